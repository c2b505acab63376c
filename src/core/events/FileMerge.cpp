#include "events/FileMerge.h"

#include <map>
#include <string>
#include <vector>

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

template <typename... Fields>
void TakeChanged(const Settings& base, const Settings& mine, Settings& theirs,
                 Fields Settings::*... fields) {
  ((mine.*fields != base.*fields ? void(theirs.*fields = mine.*fields) : void()), ...);
}

}  // namespace

void ApplySettingChanges(const Settings& base, const Settings& mine, Settings& theirs) {
  TakeChanged(base, mine, theirs, &Settings::left, &Settings::top, &Settings::backClear,
              &Settings::backColor, &Settings::figureBright, &Settings::fontName, &Settings::beep,
              &Settings::fontSize, &Settings::fontStyle, &Settings::yearLine, &Settings::monthLine,
              &Settings::weekLine, &Settings::startUp, &Settings::onTime, &Settings::months,
              &Settings::extensions);
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
