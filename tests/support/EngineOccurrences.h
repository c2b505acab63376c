#pragma once
#include <set>
#include <vector>

#include "events/EventEngine.h"
#include "events/EventStore.h"

namespace vespin::test {

// What the engine finds day by day from `first` to `last`, a yearly row flagged for deletion
// at its first occurrence only (the engine deletes it then): the reference for any walk over a
// stretch of dates.
inline std::vector<DayEvent> EngineOccurrences(const EventStore& store, TDateTime first,
                                               TDateTime last, HolidayLaw law) {
  std::vector<DayEvent> found;
  std::set<int> gone;
  for (TDateTime day = first; day <= last; day += 1) {
    for (DayEvent& e : EventEngine::EventsOn(store, day, law)) {
      if (e.kind == EventKind::kYearly && store.year.Cell(YearCol::kDelete, e.row) == "TRUE" &&
          !gone.insert(e.row).second) {
        continue;
      }
      found.push_back(std::move(e));
    }
  }
  return found;
}

}  // namespace vespin::test
