#include "events/FirstDay.h"

#include "events/EventEngine.h"

namespace vespin {

void QuietDay(EventStore& store, TDateTime date, HolidayLaw law) {
  const auto day = CalendarDay(date);
  if (!day) return;
  for (const DayEvent& event : EventEngine::EventsOn(store, date, law)) {
    switch (event.kind) {
      case EventKind::kYearly:
        store.year.SetCell(YearCol::kDone, event.row, DoneMarkText(*day, true));
        break;
      case EventKind::kMonthly:
        store.month.SetCell(MonthCol::kDone, event.row, DoneMarkText(*day, true));
        break;
      case EventKind::kWeekly:
        store.week.SetCell(WeekCol::kDone, event.row, DoneMarkText(*day, true));
        break;
    }
  }
}

}  // namespace vespin
