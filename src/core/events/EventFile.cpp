#include "events/EventFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <span>
#include <utility>

#include "events/EventRows.h"
#include "events/ExtensionSection.h"
#include "events/FileLines.h"
#include "events/SettingsLine.h"
#include "events/WholeFile.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

void AppendLine(std::string& out, std::string_view line) {
  out += line;
  out += ini::kLineEnd;
}

// One event line of the file as the row it becomes, after the rows already there.
void AppendRow(EventStore& store, EventKind kind, std::string_view text) {
  switch (kind) {
    case EventKind::kWeekly: {
      const auto e = ReadEventLine(text, false);
      store.week.InsertRow(store.week.DataRowCount() + 1, WeekRow(e.code, e.time, e.text, e.alarm));
      return;
    }
    case EventKind::kMonthly: {
      const auto e = ReadEventLine(text, false);
      store.month.InsertRow(store.month.DataRowCount() + 1,
                            MonthRow(e.code, e.time, e.text, e.alarm));
      return;
    }
    case EventKind::kYearly: {
      const auto e = ReadEventLine(text, true);
      store.year.InsertRow(store.year.DataRowCount() + 1,
                           YearRow(e.code, e.time, e.text, e.alarm,
                                   e.deleteFlag ? *e.deleteFlag : std::string(ini::kFalse)));
      return;
    }
  }
}

// VESPIN's writers of a folder (the panel's saves, the companion's import) take turns: each one
// reads, merges and renames under an advisory lock on the folder itself, so that no lock file is
// left behind and none is needed where a file cannot be created. A folder that cannot be locked
// (a file system without flock) is written without it.
class WriterLock {
 public:
  explicit WriterLock(const std::filesystem::path& file) {
    const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    // Bounded: a writer stopped in a terminal must not hang the panel.
    for (int waited = 0; ::flock(fd_, LOCK_EX | LOCK_NB) != 0; waited += kStepMsecs) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= kWriterLockWaitMsecs) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
      ::usleep(kStepMsecs * 1000);
    }
  }
  ~WriterLock() {
    if (fd_ >= 0) ::close(fd_);  // the lock goes with the descriptor
  }
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;

 private:
  static constexpr int kStepMsecs = 10;
  int fd_ = -1;
};

}  // namespace

bool ParseEventFile(std::string_view bytes, EventStore& store, Settings& settings) {
  for (const StoreTable& t : StoreTables()) (store.*t.table).ClearRows();
  bool settingsRead = false;
  std::vector<FileLine> lastSection;  // the version line and the extension section
  ForEachEventFileLine(bytes, [&](const FileLine& line) {
    if (line.section == FileSection::kVersion) lastSection.push_back(line);
    if (const auto kind = EventLineKind(line)) {
      AppendRow(store, *kind, line.text);
    } else if (line.section == FileSection::kSettings && !line.isHeader && !line.text.empty()) {
      ApplySettingsLine(CommaSplit(line.text), settings);
      settingsRead = true;
    }
  });
  settings.extensions = ReadExtensionSection(lastSection).values;
  for (const StoreTable& t : StoreTables()) (store.*t.table).SelectRow(1);
  return settingsRead;
}

std::string FormatEventFile(const EventStore& store, const Settings& settings) {
  std::string out;
  out.reserve(64 * static_cast<std::size_t>(store.week.DataRowCount() + store.month.DataRowCount() +
                                            store.year.DataRowCount()) +
              256);
  auto section = [&out](FileSection header, const EventTable& table, std::span<const int> cols) {
    AppendLine(out, ini::SectionHeader(header));
    for (int row = 1; row <= table.DataRowCount(); ++row) {
      bool first = true;
      for (int c : cols) {
        ini::AppendField(out, table.Cell(c, row), first);
        first = false;
      }
      out += ini::kLineEnd;
    }
  };
  section(FileSection::kWeek, store.week, ini::kWeekLineColumns);
  section(FileSection::kMonth, store.month, ini::kMonthLineColumns);
  section(FileSection::kYear, store.year, ini::kYearLineColumns);
  AppendLine(out, ini::SectionHeader(FileSection::kSettings));
  AppendLine(out, SettingsLine(settings));
  AppendLine(out, ini::SectionHeader(FileSection::kVersion));
  AppendLine(out, ini::kVersionLine);
  out += FormatExtensionSection(settings.extensions);
  return out;
}

EventFile::EventFile(std::filesystem::path path, Notifier& notifier)
    : path_(std::move(path)), notifier_(notifier) {}

LoadResult EventFile::IniLoad(EventStore& store, Settings& settings) {
  auto bytes = ReadEventFileBytes(path_).bytes;
  if (!bytes) {
    notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
    return {};
  }
  const bool settingsRead = ParseEventFile(*bytes, store, settings);
  baseline_ = std::move(bytes);
  return {.ok = true, .settingsRead = settingsRead};
}

bool EventFile::IniSave(EventStore& store, Settings& settings, bool* merged) {
  const WriterLock lock(path_);
  for (int tries = 0; tries < kSaveTries; ++tries) {
    FileRead seen = ReadEventFileBytes(path_);
    if (IsBadContent(seen.problem)) {
      notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
      return false;
    }
    const auto identity = IdentityOf(path_);
    if (seen.bytes && baseline_ && *seen.bytes != *baseline_) {
      MergeOnto(*seen.bytes, store, settings, RowChanges::kKeep);
      if (merged) *merged = true;
    }
    std::string bytes = FormatEventFile(store, settings);
    const auto stillSame = [&] {
      if (beforeRename_) beforeRename_();
      return IdentityOf(path_) == identity && ReadEventFileBytes(path_).bytes == seen.bytes;
    };
    switch (ReplaceWholeFile(path_, bytes, stillSame)) {
      case ReplaceResult::kDone:
        baseline_ = std::move(bytes);
        return true;
      case ReplaceResult::kMoved:
        continue;
      case ReplaceResult::kNotAFile:
        notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
        return false;
      case ReplaceResult::kReadOnly:
      case ReplaceResult::kFailed:
        break;
    }
    break;
  }
  // Failed, or the file never held still: it stays as the last hand left it.
  notifier_.ShowNotice(sjis::Lit(kWriteFailedNotice));
  return false;
}

void EventFile::TakeDiskAsBase() {
  if (auto now = ReadEventFileBytes(path_).bytes) baseline_ = std::move(now);
}

bool EventFile::ChangedOnDisk() const {
  if (!baseline_) return false;
  // The bytes themselves decide: a touch is no change, and an edit within the same second of
  // the same size still is one.
  const FileRead now = ReadEventFileBytes(path_);
  if (IsBadContent(now.problem)) return true;
  return now.bytes && *now.bytes != *baseline_;
}

bool EventFile::EventsDiffer(const EventStore& store) const {
  EventStore base;
  Settings unused;
  ParseEventFile(baseline_.value_or(std::string()), base, unused);
  for (const StoreTable& t : StoreTables()) {
    if (!SameEvents(base.*t.table, store.*t.table, t.doneCol)) return true;
  }
  return false;
}

bool EventFile::Rebase(EventStore& store, Settings& settings, RowChanges rows) {
  auto fresh = ReadEventFileBytes(path_).bytes;
  if (!fresh) {
    notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
    return false;
  }
  MergeOnto(std::move(*fresh), store, settings, rows);
  return true;
}

void EventFile::MergeOnto(std::string fresh, EventStore& store, Settings& settings,
                          RowChanges rows) {
  EventStore base;
  Settings baseSettings;
  ParseEventFile(baseline_.value_or(std::string()), base, baseSettings);
  const EventStore mine = store;
  // A file without a settings line leaves the settings as the last one left them.
  Settings theirs = baseSettings;
  ParseEventFile(fresh, store, theirs);
  for (const StoreTable& t : StoreTables()) {
    if (rows == RowChanges::kKeep) {
      ApplyRowChanges(base.*t.table, mine.*t.table, store.*t.table, t.doneCol, t.sortCol);
    }
    CarryDoneMarks(mine.*t.table, store.*t.table, t.doneCol);
  }
  ApplySettingChanges(baseSettings, settings, theirs);
  settings = theirs;
  baseline_ = std::move(fresh);
}

}  // namespace vespin
