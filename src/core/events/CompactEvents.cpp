#include "events/CompactEvents.h"

#include <array>

#include "events/EventRows.h"
#include "events/ExtensionSection.h"
#include "events/FileLines.h"
#include "events/IniFormat.h"

namespace vespin {
std::optional<CompactEvents> ReadCompactEvents(const std::filesystem::path& path,
                                               const EventFilter& keep) {
  // By kind in walk order; joined at the end.
  std::array<std::vector<CompactEvent>, kEventKindCount> kept;
  std::array<int, kEventKindCount> rows{};  // event lines met so far in each section
  // The version section is a line or two, and the extension section after it a few more: kept
  // whole for the file reader's own reading of them.
  std::vector<std::string> versionTexts;
  std::vector<FileLine> versionLines;
  const bool ok = StreamEventFile(path, [&](const FileLine& line) {
    if (line.section == FileSection::kVersion) {
      versionTexts.emplace_back(line.text);
      versionLines.push_back(line);
      return;
    }
    const std::optional<EventKind> kind = EventLineKind(line);
    if (!kind) return;
    const int row = ++rows[KindIndex(*kind)];
    // The code is the first field whatever else the line holds; most rows stop here.
    if (!keep(*kind, line.text.substr(0, line.text.find(',')))) return;
    EventLineFields e = ReadEventLine(line.text, *kind == EventKind::kYearly);
    const auto time = RowTimeMsecs(e.time);
    if (!time) return;
    kept[KindIndex(*kind)].push_back({*kind, row, std::move(e.code), *time, std::move(e.text),
                                      e.deleteFlag && *e.deleteFlag == ini::kTrue});
  });
  if (!ok) return std::nullopt;
  for (std::size_t i = 0; i < versionLines.size(); ++i) versionLines[i].text = versionTexts[i];
  CompactEvents read;
  Extensions extensions = ReadExtensionSection(versionLines).values;
  read.holidayLaw = extensions.holidayLaw;
  read.subscriptions = std::move(extensions.subscriptions);
  read.remoteLine = extensions.remoteLine;
  read.events = std::move(kept[KindIndex(EventKind::kYearly)]);
  read.events.reserve(read.events.size() + kept[KindIndex(EventKind::kMonthly)].size() +
                      kept[KindIndex(EventKind::kWeekly)].size());
  for (const EventKind kind : {EventKind::kMonthly, EventKind::kWeekly}) {
    for (auto& e : kept[KindIndex(kind)]) read.events.push_back(std::move(e));
  }
  return read;
}

std::vector<CompactEvent> CompactRows(const EventStore& store) {
  // Time and text sit in the same columns of all three tables.
  static_assert(WeekCol::kTime == MonthCol::kTime && MonthCol::kTime == YearCol::kTime);
  static_assert(WeekCol::kText == MonthCol::kText && MonthCol::kText == YearCol::kText);
  const struct {
    EventKind kind;
    const EventTable& table;
    int typeCode;
  } tables[] = {{EventKind::kYearly, store.year, YearCol::kTypeCode},
                {EventKind::kMonthly, store.month, MonthCol::kTypeCode},
                {EventKind::kWeekly, store.week, WeekCol::kTypeCode}};
  std::vector<CompactEvent> rows;
  rows.reserve(static_cast<std::size_t>(store.year.DataRowCount() + store.month.DataRowCount() +
                                        store.week.DataRowCount()));
  for (const auto& t : tables) {
    for (int row = 1; row <= t.table.DataRowCount(); ++row) {
      const auto time = RowTimeMsecs(t.table.Cell(WeekCol::kTime, row));
      if (!time) continue;
      rows.push_back(
          {t.kind, row, std::string(t.table.Cell(t.typeCode, row)), *time,
           std::string(t.table.Cell(WeekCol::kText, row)),
           t.kind == EventKind::kYearly && t.table.Cell(YearCol::kDelete, row) == ini::kTrue});
    }
  }
  return rows;
}

}  // namespace vespin
