#include "events/EventFile.h"

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
  auto bytes = ReadWholeFile(path_);
  if (!bytes) {
    notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
    return {};
  }
  const bool settingsRead = ParseEventFile(*bytes, store, settings);
  baseline_ = std::move(bytes);
  return {.ok = true, .settingsRead = settingsRead};
}

bool EventFile::IniSave(const EventStore& store, const Settings& settings) {
  std::string bytes = FormatEventFile(store, settings);
  switch (ReplaceWholeFile(path_, bytes)) {
    case ReplaceResult::kDone:
      baseline_ = std::move(bytes);
      return true;
    case ReplaceResult::kNotAFile:
      notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
      return false;
    case ReplaceResult::kReadOnly:
    case ReplaceResult::kFailed:
      break;
  }
  notifier_.ShowNotice(sjis::Lit(kWriteFailedNotice));
  return false;
}

bool EventFile::ChangedOnDisk() const {
  if (!baseline_) return false;
  // The bytes themselves decide: a touch is no change, and an edit within the same second of
  // the same size still is one.
  const auto now = ReadWholeFile(path_);
  return now && *now != *baseline_;
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
  auto fresh = ReadWholeFile(path_);
  if (!fresh) {
    notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
    return false;
  }
  EventStore base;
  Settings baseSettings;
  ParseEventFile(baseline_.value_or(std::string()), base, baseSettings);
  const EventStore mine = store;
  // A file without a settings line leaves the settings as the last one left them.
  Settings theirs = baseSettings;
  ParseEventFile(*fresh, store, theirs);
  for (const StoreTable& t : StoreTables()) {
    if (rows == RowChanges::kKeep) {
      ApplyRowChanges(base.*t.table, mine.*t.table, store.*t.table, t.doneCol, t.sortCol);
    }
    CarryDoneMarks(mine.*t.table, store.*t.table, t.doneCol);
  }
  ApplySettingChanges(baseSettings, settings, theirs);
  settings = theirs;
  baseline_ = std::move(fresh);
  return true;
}

}  // namespace vespin
