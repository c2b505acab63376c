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

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "events/FileLines.h"
#include "events/Settings.h"

namespace vespin {

// As UTF-8 (stored as Shift_JIS).
inline constexpr const char* kExtensionHeader = "[拡張]";

// How a value of the section is spelled, by the type of the member that holds it. ReadValue
// takes one line's value (Shift_JIS, after the '='): an empty text when it was read, otherwise
// why not (UTF-8, for the terminal), and the line is dropped. ValueLines gives what a save
// writes, one line each; nothing at the default, so the option off costs no byte.
// The holiday rules: "現行" for the law as amended; the default (2005) is written as nothing.
std::string ReadValue(std::string_view value, HolidayLaw& law);
std::vector<std::string> ValueLines(HolidayLaw law);
// One text, as written; empty is the default.
std::string ReadValue(std::string_view value, std::string& text);
std::vector<std::string> ValueLines(const std::string& text);
// A key that may stand on many lines: each line adds its text, in file order.
std::string ReadValue(std::string_view value, std::vector<std::string>& texts);
std::vector<std::string> ValueLines(const std::vector<std::string>& texts);

// One key of the section and the member of Extensions that holds its value.
struct ExtensionKey {
  const char* keyUtf8;  // before the '='
  std::string (*read)(std::string_view value, Extensions& into);
  std::vector<std::string> (*write)(const Extensions& from);
  bool (*same)(const Extensions& a, const Extensions& b);
  void (*take)(const Extensions& from, Extensions& into);
};

template <auto Member>
constexpr ExtensionKey KeyOf(const char* keyUtf8) {
  return {keyUtf8,
          [](std::string_view value, Extensions& into) { return ReadValue(value, into.*Member); },
          [](const Extensions& from) { return ValueLines(from.*Member); },
          [](const Extensions& a, const Extensions& b) { return a.*Member == b.*Member; },
          [](const Extensions& from, Extensions& into) { into.*Member = from.*Member; }};
}

// The keys in the order a save writes them. A new option is a member of Extensions and a row
// here (and a ReadValue/ValueLines pair when its type is new).
inline constexpr auto kExtensionKeys = std::to_array<ExtensionKey>({
    KeyOf<&Extensions::holidayLaw>("祝日"),
});

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
