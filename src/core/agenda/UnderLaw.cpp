#include "agenda/UnderLaw.h"

#include "calendar/Hizuke.h"

namespace vespin {

bool IsHolidayUnder(TDateTime date, HolidayLaw /*law*/) {
  return IsHoliday(date);
}

std::string HolidayNameUnder(TDateTime /*date*/, HolidayLaw /*law*/) {
  return {};
}

std::vector<DayEvent> EventsOnUnder(const EventStore& store, TDateTime date, HolidayLaw /*law*/) {
  return EventEngine::EventsOn(store, date);
}

HolidayLaw LawOfFile(const Settings& /*settings*/) {
  return HolidayLaw::k2005;
}

}  // namespace vespin
