#pragma once
// Changes made here carried onto a file that someone else changed meanwhile (a hand edit, or
// another program): the rows added and removed, and the settings that changed, since the file
// was last read or written. The rest is the other side's. Done marks, which no file holds,
// follow their rows by content, not by place.
//
//   base (as last read/written) --what changed here--> mine
//   theirs (the file now) + (mine - base) --> what the program keeps and writes

#include <array>

#include "events/EventStore.h"
#include "events/Settings.h"

namespace vespin {

// Whether the rows changed here go onto the fresh file, or give way to it.
enum class RowChanges { kKeep, kDrop };

// Rows are the same event when every cell but the done mark agrees.
bool SameEvents(const EventTable& a, const EventTable& b, int doneCol);

// Gives every row of `to` the done mark of an equal row of `from`: equal rows are paired in
// order, each row of `from` once; a row without an equal gets none.
void CarryDoneMarks(const EventTable& from, EventTable& to, int doneCol);

// Removes from `theirs` the rows that went from `base` to `mine` (where it still has them)
// and appends the rows that came; with a sort column the table is then sorted by it.
void ApplyRowChanges(const EventTable& base, const EventTable& mine, EventTable& theirs,
                     int doneCol, int sortCol = -1);

// Every setting that differs between `base` and `mine` takes mine's value in `theirs`.
void ApplySettingChanges(const Settings& base, const Settings& mine, Settings& theirs);

// The three tables of a store with their done-mark and sort columns (-1: kept in file order).
struct StoreTable {
  EventTable EventStore::*table;
  int doneCol;
  int sortCol;
};
const std::array<StoreTable, 3>& StoreTables();

}  // namespace vespin
