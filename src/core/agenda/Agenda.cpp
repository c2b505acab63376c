#include "agenda/Agenda.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vespin {

void ForEachOccurrence(std::span<const CompactEvent> events, TDateTime first, TDateTime last,
                       HolidayLaw law, const OccurrenceVisitor& visit) {
  if (!std::isfinite(first) || !std::isfinite(last)) return;
  const auto begin = EventDayIndex(std::max(DateOf(first), EncodeDate(1, 1, 1)));
  const auto end = EventDayIndex(std::min(DateOf(last), EncodeDate(9999, 12, 31)));
  if (!begin || !end) return;
  std::vector<bool> gone(events.size(), false);  // flagged yearly rows that have fallen due
  for (std::int64_t day = *begin; day <= *end; ++day) {
    const DayFacts facts(day, law);
    for (std::size_t i = 0; i < events.size(); ++i) {
      const CompactEvent& e = events[i];
      if (gone[i] || !facts.Falls(e.kind, e.code)) continue;
      if (e.deleteOnceDue) gone[i] = true;
      if (!visit(day, e)) return;
    }
  }
}

}  // namespace vespin
