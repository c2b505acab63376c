#pragma once
// vespin.ini, the one file the program keeps: the three event tables and the settings line.
//
//   file bytes --FileLines--> lines by section --EventRows / SettingsLine--> EventStore + Settings
//   EventStore + Settings --FormatEventFile--> bytes --ReplaceWholeFile--> file (atomic)
//   a file changed on disk meanwhile --Rebase (FileMerge)--> the changes made here carried onto it
//
// Texts are Shift_JIS bytes and pass through untouched: a file written here reads back and
// writes out byte for byte the same.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "events/EngineHost.h"
#include "events/EventStore.h"
#include "events/FileMerge.h"
#include "events/Settings.h"

namespace vespin {

inline constexpr const char* kEventFileName = "vespin.ini";
// Notices, as UTF-8 (shown as Shift_JIS).
inline constexpr const char* kOpenFailedNotice = "vespin.iniを開くことができません。";
inline constexpr const char* kWriteFailedNotice = "vespin.iniに書き込むことができません。";

// Empties the three tables and fills them from the file's bytes; applies every settings line
// in turn (the last one wins), and takes the extension section (its defaults when the file has
// none). Returns whether a settings line was applied. Empty lines are skipped. An event line with
// too few fields keeps the missing ones empty; one with too many has had commas in its text, which
// is joined back so that nothing is lost.
bool ParseEventFile(std::string_view bytes, EventStore& store, Settings& settings);
// The whole file: every line ends with CR LF. The extension section follows the version line
// only when an option is on or the section holds lines this version keeps.
std::string FormatEventFile(const EventStore& store, const Settings& settings);

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
  std::filesystem::path path_;
  Notifier& notifier_;
  // The bytes last read or written: what "changed here" and "changed there" are measured from.
  std::optional<std::string> baseline_;
};

}  // namespace vespin
