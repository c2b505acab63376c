#include "agenda/Agenda.h"

#include <cmath>
#include <set>

namespace vespin {

void ForEachOccurrence(const EventStore& store, TDateTime first, TDateTime last, HolidayLaw law,
                       const OccurrenceVisitor& visit) {
  if (!std::isfinite(first) || !std::isfinite(last)) return;
  const TDateTime begin = std::max(DateOf(first), EncodeDate(1, 1, 1));
  const TDateTime end = std::min(DateOf(last), EncodeDate(9999, 12, 31));
  std::set<int> onceDone;  // yearly rows flagged for deletion that have fallen due
  for (TDateTime day = begin; day <= end; day += 1) {
    for (const DayEvent& e : EventEngine::EventsOn(store, day, law)) {
      if (e.kind == EventKind::kYearly && store.year.Cell(YearCol::kDelete, e.row) == "TRUE" &&
          !onceDone.insert(e.row).second) {
        continue;
      }
      if (!visit(e)) return;
    }
  }
}

std::vector<DayEvent> Occurrences(const EventStore& store, TDateTime first, TDateTime last,
                                  HolidayLaw law) {
  std::vector<DayEvent> out;
  ForEachOccurrence(store, first, last, law, [&](const DayEvent& e) {
    out.push_back(e);
    return true;
  });
  return out;
}

}  // namespace vespin
