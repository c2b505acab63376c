#include "events/FileMerge.h"

#include <map>
#include <string>
#include <vector>

#include "events/ExtensionSection.h"
#include "events/IniFormat.h"

namespace vespin {
namespace {

using Row = std::vector<std::string>;

// A row without its done mark: what makes it the event it is.
Row EventOf(const EventTable& t, int row, int doneCol) {
  Row cells;
  cells.reserve(static_cast<std::size_t>(t.ColCount()));
  for (int c = 0; c < t.ColCount(); ++c) {
    if (c != doneCol) cells.emplace_back(t.Cell(c, row));
  }
  return cells;
}

Row WholeRow(const EventTable& t, int row) {
  Row cells;
  for (int c = 0; c < t.ColCount(); ++c) cells.emplace_back(t.Cell(c, row));
  return cells;
}

// How often each event occurs in a table.
std::map<Row, int> Count(const EventTable& t, int doneCol) {
  std::map<Row, int> counts;
  for (int r = 1; r <= t.DataRowCount(); ++r) ++counts[EventOf(t, r, doneCol)];
  return counts;
}

}  // namespace

bool SameEvents(const EventTable& a, const EventTable& b, int doneCol) {
  if (a.DataRowCount() != b.DataRowCount()) return false;
  for (int r = 1; r <= a.DataRowCount(); ++r) {
    if (EventOf(a, r, doneCol) != EventOf(b, r, doneCol)) return false;
  }
  return true;
}

void CarryDoneMarks(const EventTable& from, EventTable& to, int doneCol) {
  // The marks of each event, in the order of its rows.
  std::map<Row, std::vector<std::string>> marks;
  for (int r = 1; r <= from.DataRowCount(); ++r) {
    marks[EventOf(from, r, doneCol)].emplace_back(from.Cell(doneCol, r));
  }
  std::map<Row, std::size_t> used;
  for (int r = 1; r <= to.DataRowCount(); ++r) {
    const Row event = EventOf(to, r, doneCol);
    const auto it = marks.find(event);
    std::size_t& next = used[event];
    const bool paired = it != marks.end() && next < it->second.size();
    to.SetCell(doneCol, r, paired ? it->second[next++] : std::string());
  }
}

void ApplyRowChanges(const EventTable& base, const EventTable& mine, EventTable& theirs,
                     int doneCol, int sortCol) {
  std::map<Row, int> removed = Count(base, doneCol);
  std::vector<Row> added;
  for (int r = 1; r <= mine.DataRowCount(); ++r) {
    const Row event = EventOf(mine, r, doneCol);
    auto it = removed.find(event);
    if (it != removed.end() && it->second > 0) {
      --it->second;  // still there
    } else {
      added.push_back(WholeRow(mine, r));
    }
  }
  // The first of equal rows goes, as it would have here.
  for (int r = 1; r <= theirs.DataRowCount();) {
    const auto it = removed.find(EventOf(theirs, r, doneCol));
    if (it != removed.end() && it->second > 0) {
      --it->second;
      theirs.DeleteRow(r);
      continue;
    }
    ++r;
  }
  for (Row& row : added) theirs.InsertRow(theirs.DataRowCount() + 1, std::move(row));
  if (!added.empty() && sortCol >= 0) theirs.SortRows(sortCol, 1);
  theirs.SelectRow(1);
}

namespace {

// Each member on its own: a background made clear here keeps the colour a hand edit chose.
template <typename T>
void TakeChanged(const Settings& base, const Settings& mine, Settings& theirs,
                 T Settings::*member) {
  if (member && mine.*member != base.*member) theirs.*member = mine.*member;
}

}  // namespace

void ApplySettingChanges(const Settings& base, const Settings& mine, Settings& theirs) {
  for (const ini::SettingsFieldDef& def : ini::kSettingsFields) {
    TakeChanged(base, mine, theirs, def.number);
    TakeChanged(base, mine, theirs, def.flag);
    TakeChanged(base, mine, theirs, def.colour);
    TakeChanged(base, mine, theirs, def.text);
  }
  // Option by option, so that an option changed here leaves the other side's options and the
  // lines it added that this version does not know.
  for (const ExtensionKey& key : kExtensionKeys) {
    if (!key.same(base.extensions, mine.extensions)) key.take(mine.extensions, theirs.extensions);
  }
  if (mine.extensions.keptLines != base.extensions.keptLines) {
    theirs.extensions.keptLines = mine.extensions.keptLines;
  }
}

const std::array<StoreTable, 3>& StoreTables() {
  static const std::array<StoreTable, 3> tables = {{
      {&EventStore::week, WeekCol::kDone, -1},
      {&EventStore::month, MonthCol::kDone, MonthCol::kSortKey},
      {&EventStore::year, YearCol::kDone, YearCol::kSortKey},
  }};
  return tables;
}

}  // namespace vespin
