#pragma once
// vespin.ini, the one file the program keeps: the three event tables and the settings line.
//
//   file bytes --SplitEventFile--> lines by section --ParseEventFile--> EventStore + Settings
//   EventStore + Settings --FormatEventFile--> bytes --EventFile::IniSave--> file (atomic)
//
// Texts are Shift_JIS bytes and pass through untouched: a file written here reads back and
// writes out byte for byte the same.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "events/DayRules.h"
#include "events/EngineHost.h"
#include "events/EventStore.h"
#include "events/FileMerge.h"
#include "events/IniFormat.h"
#include "events/Settings.h"

namespace vespin {

using ini::FileSection;

inline constexpr const char* kEventFileName = "vespin.ini";
// Notices, as UTF-8 (shown as Shift_JIS).
inline constexpr const char* kOpenFailedNotice = "vespin.iniを開くことができません。";
inline constexpr const char* kWriteFailedNotice = "vespin.iniに書き込むことができません。";

// The fields of one line, split at every comma; n commas give n + 1 fields, empty ones
// included. An empty line gives no fields.
std::vector<std::string> CommaSplit(std::string_view line);

// Whole table rows (one text per column) built from what the file stores; display names come
// from the code tables and are empty for unknown codes, the done mark is empty. The reader and
// the event dialog both build rows this way.
//   weekly type code: "13", "82" …   monthly: "115", "203", "308", "400" …   yearly: "0418"
std::vector<std::string> WeekRow(std::string_view typeCode, std::string_view time,
                                 std::string_view text, std::string_view alarmCode);
std::vector<std::string> MonthRow(std::string_view typeCode, std::string_view time,
                                  std::string_view text, std::string_view alarmCode);
std::vector<std::string> YearRow(std::string_view code, std::string_view time,
                                 std::string_view text, std::string_view alarmCode,
                                 std::string_view deleteFlag);

// One event line taken apart as the reader takes it. Missing fields are empty. A line with more
// fields than its section has had commas in its text: the text is joined back, and the lead
// (and the yearly delete flag) are the last fields. A yearly line of four fields has no flag.
// Two hand edits are read as they were meant: a comma after the lead code (or the yearly
// delete flag) ends the line with an empty field that is not read, and a text that ends in half
// a double-byte character loses that byte, which would otherwise swallow what follows it.
struct EventLineFields {
  std::string code, time, text, alarm;
  std::optional<std::string> deleteFlag;
  std::size_t fieldCount = 0;  // fields as split at the commas, a trailing empty one aside
  bool trailingComma = false;  // the line ended in a comma after its lead (or flag)
  bool cutLeadByte = false;    // the text ended in half a character, now cut
};
EventLineFields ReadEventLine(std::string_view line, bool yearly);

// Applies one split settings line: 14 fields, or the older short form (any other count).
// A field that should be a number but is not, or that is missing, leaves its setting alone.
void ApplySettingsLine(const std::vector<std::string>& fields, Settings& settings);
// The 14-field settings line, without its line end.
std::string SettingsLine(const Settings& settings);

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

// Lines end at CR LF, or at a lone CR or LF. The views point into `bytes`.
std::vector<FileLine> SplitEventFile(std::string_view bytes);
// The kind of event a line holds; none for headers, empty lines and the lines of the settings
// and version sections.
std::optional<EventKind> EventLineKind(const FileLine& line);
// The same lines handed over one at a time, none kept.
void ForEachEventFileLine(std::string_view bytes,
                          const std::function<void(const FileLine&)>& onLine);
// How much of the file the streamed reader holds at a time, a line longer than this aside.
inline constexpr std::size_t kStreamPiece = 64 * 1024;
// The same lines, read from the file a piece at a time so that a large file is never held
// whole; each line's view lives only during its call. False when the file is missing or a read
// fails (the lines before the failure have been handed over).
bool StreamEventFile(const std::filesystem::path& path,
                     const std::function<void(const FileLine&)>& onLine);

// Empties the three tables and fills them from the file's bytes; applies every settings line
// in turn (the last one wins), and takes the extension section (its defaults when the file has
// none). Returns whether a settings line was applied. Empty lines are
// skipped. An event line with too few fields keeps the missing ones empty; one with too many
// has had commas in its text, which is joined back so that nothing is lost.
bool ParseEventFile(std::string_view bytes, EventStore& store, Settings& settings);
// The whole file: every line ends with CR LF. The extension section follows the version line
// only when an option is on or the section holds lines this version keeps.
std::string FormatEventFile(const EventStore& store, const Settings& settings);

// Why a file could not be read.
enum class FileProblem {
  kNone,
  kMissing,
  kDirectory,
  kFifo,
  kDevice,
  kSocket,
  kDenied,
  kReadError
};
// The problem in a few English words for the terminal ("is a named pipe, not a file").
const char* FileProblemText(FileProblem problem);

struct FileRead {
  std::optional<std::string> bytes;  // the whole content
  FileProblem problem = FileProblem::kNone;
};
// The whole content of a regular file, or a symbolic link to one. Anything else (a named pipe, a
// device, a folder) is refused without being opened for reading, so nothing blocks.
FileRead ReadEventFileBytes(const std::filesystem::path& path);
// Why a file that could not be read was not: for readers that stream it instead.
FileProblem ProblemWith(const std::filesystem::path& path);
// The same, without the reason.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

struct LoadResult {
  bool ok = false;            // the file was read
  bool settingsRead = false;  // a settings line was applied
};

class EventFile {
 public:
  EventFile(std::filesystem::path path, Notifier& notifier);

  const std::filesystem::path& Path() const { return path_; }

  // Reads the whole file first, then fills the tables and settings. When the file is missing
  // or cannot be read, tells the user and changes nothing.
  LoadResult IniLoad(EventStore& store, Settings& settings);
  // The same load in two steps, for a start that shows the panel before it builds the tables:
  // IniLoadSettings reads the file as IniLoad does and applies its settings only; LoadEvents
  // then fills the tables from the same bytes. In between, Baseline() holds those bytes, and
  // nothing may save or compare (the tables do not hold the file's events yet).
  LoadResult IniLoadSettings(Settings& settings);
  void LoadEvents(EventStore& store) const;
  // The bytes last read or written; empty before either.
  std::string_view Baseline() const;
  // Rewrites the whole file through a temporary file of its own beside it, synced and renamed
  // over it, with the old file's mode and owner. Never creates the file, and never replaces one
  // the user may not write. False after telling the user; the old file is then left as it was.
  bool IniSave(const EventStore& store, const Settings& settings);

  // Whether the file's bytes differ from those last read or written here. False before either,
  // and when the file cannot be read (the next load or save says what is wrong).
  bool ChangedOnDisk() const;
  // Whether the tables hold other events than those last read or written (done marks aside).
  bool EventsDiffer(const EventStore& store) const;
  // Reads the file again and carries onto it what was changed here since the last read or
  // write: the settings that changed and, with kKeep, the rows added and removed. Done marks
  // follow their rows. When the file cannot be read, tells the user and changes nothing.
  bool Rebase(EventStore& store, Settings& settings, RowChanges rows);

 private:
  // Reads the file and applies it: the settings, and the events when given a store.
  LoadResult Load(EventStore* store, Settings& settings);

  std::filesystem::path path_;
  Notifier& notifier_;
  // The bytes last read or written: what "changed here" and "changed there" are measured from.
  std::optional<std::string> baseline_;
};

}  // namespace vespin
