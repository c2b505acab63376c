#pragma once
// The section after the version line: the options this program offers beyond its first form.
// Older readers stop at the version header and never reach it.
//
//   [バージョン]
//   vespin Ver3.2(2005.04.18)
//   [拡張]          <- from the first such line after the version header to the end of the file
//   祝日=現行
//
// One line per option as key=value. Lines this version does not know are kept and written back
// in their order; a known key with a value it cannot read leaves its option alone.

#include <span>
#include <string>
#include <vector>

#include "events/FileLines.h"
#include "events/Settings.h"

namespace vespin {

// As UTF-8 (stored as Shift_JIS).
inline constexpr const char* kExtensionHeader = "[拡張]";
inline constexpr const char* kHolidayLawKey = "祝日";
inline constexpr const char* kCurrentLawValue = "現行";

struct ExtensionIssue {
  int line = 0;         // from 1
  std::string message;  // UTF-8, for the terminal
};

struct ExtensionSection {
  // The line that opens the section: it and every line after it belong to the section. 0 when
  // the file has none.
  int headerLine = 0;
  Extensions values;
  // Lines of the section that this version cannot read, in file order.
  std::vector<ExtensionIssue> unreadable;
};

ExtensionSection ReadExtensionSection(std::span<const FileLine> lines);

// The section with its header, every line ending in CR LF; empty when every option is at its
// default and no line is kept.
std::string FormatExtensionSection(const Extensions& extensions);

}  // namespace vespin
