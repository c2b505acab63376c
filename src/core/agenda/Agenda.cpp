#include "agenda/Agenda.h"

#include <algorithm>
#include <vector>

namespace vespin {

void ForEachOccurrence(std::span<const CompactEvent> events, sys_days first, sys_days last,
                       HolidayLaw law, const OccurrenceVisitor& visit) {
  std::vector<bool> gone(events.size(), false);  // flagged yearly rows that have fallen due
  const sys_days end = std::min(last, kLastCalendarDay);
  for (sys_days day = std::max(first, kFirstCalendarDay); day <= end; day += std::chrono::days{1}) {
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
