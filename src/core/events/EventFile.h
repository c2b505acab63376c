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
#include <functional>
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

  // Reads the whole file first, then fills the tables and settings. When the file is missing,
  // cannot be read, is too large or is not text, tells the user and changes nothing.
  LoadResult IniLoad(EventStore& store, Settings& settings);
  // Rewrites the whole file through a temporary file of its own beside it, synced and renamed
  // over it, with the old file's mode and owner. Never creates the file, and never replaces one
  // the user may not write, nor one too large or not text. False after telling the user; the
  // old file is then left as it was.
  //
  // A change made on disk since the last read or write is carried onto the tables first (as
  // Rebase with kKeep does; `merged` is then set), and so is one that lands while the new file
  // is written: the file is looked at again right before the rename. One that keeps coming is
  // given up on after a few tries, and the user told. VESPIN's own writers take turns through a
  // lock on the folder.
  bool IniSave(EventStore& store, Settings& settings, bool* merged = nullptr);

  // The user chose to write the tables over the file as it is now: its bytes become what the next
  // save measures changes from. Nothing is read into the tables.
  void TakeDiskAsBase();
  // For a caller that read and parsed the bytes itself.
  void SetBase(std::string bytes) { baseline_ = std::move(bytes); }
  // Runs between the write of the temporary file and the last look before the rename.
  void SetBeforeRenameHook(std::function<void()> hook) { beforeRename_ = std::move(hook); }

  // Whether the file's bytes differ from those last read or written here. False before either,
  // and when the file cannot be read (the next load or save says what is wrong); true when it
  // is now too large or not text, so that nothing is saved over it unseen.
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
  std::function<void()> beforeRename_;

  // Carries what was changed here onto `fresh`, the file's bytes now, and takes them as the base.
  void MergeOnto(std::string fresh, EventStore& store, Settings& settings, RowChanges rows);
};

// How often a save looks again when the file keeps changing under it.
inline constexpr int kSaveTries = 5;
// How long a save waits for another VESPIN writer of the folder before it goes on without the
// lock (the look before the rename still guards the file).
inline constexpr int kWriterLockWaitMsecs = 3000;

}  // namespace vespin
