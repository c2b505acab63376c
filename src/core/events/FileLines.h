#pragma once
// The lines of vespin.ini as the reader sees them: cut at CR LF, a lone CR or a lone LF,
// numbered from 1, and placed in their sections by position.
//
//   bytes --CutLine--> FileLine (text, number, line end) --SectionTracker--> section, header

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "events/DayRules.h"
#include "events/IniFormat.h"

namespace vespin {

using ini::FileSection;

enum class LineEnd { kCrLf, kLf, kCr, kNone };

// Sections come by position: the first line opens the weekly one, and every later line that
// begins with '[' opens the next. After the version header only the extension section is read
// (ExtensionSection.h).
struct FileLine {
  std::string_view text;  // without its line end
  int number = 0;         // from 1
  LineEnd end = LineEnd::kCrLf;
  FileSection section = FileSection::kWeek;
  bool isHeader = false;  // opens its section: the first non-empty line, or a '[' line
};

// Every line; the views point into `bytes`.
std::vector<FileLine> SplitEventFile(std::string_view bytes);
// The same lines handed over one at a time, none kept.
void ForEachEventFileLine(std::string_view bytes,
                          const std::function<void(const FileLine&)>& onLine);

// The kind of event a line holds; none for headers, empty lines and the lines of the settings
// and version sections.
std::optional<EventKind> EventLineKind(const FileLine& line);

// How much of the file the streamed reader holds at a time, a line longer than this aside.
inline constexpr std::size_t kStreamPiece = 64 * 1024;
// The same lines, read from the file a piece at a time so that a large file is never held
// whole; each line's view lives only during its call. False when the file is missing, larger
// than kMaxEventFileBytes or not text, or a read fails (the lines before the failure may have
// been handed over: a caller drops what it gathered).
bool StreamEventFile(const std::filesystem::path& path,
                     const std::function<void(const FileLine&)>& onLine);

}  // namespace vespin
