#pragma once
// Everything the agenda and the calendar export ask of a holiday law, in one place. The
// holidays of the current law and their names come with the law-aware holiday set; until
// then every law answers with the 2005 holidays and no names.

#include <string>
#include <vector>

#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"
#include "events/EventEngine.h"
#include "events/EventStore.h"
#include "events/Settings.h"

namespace vespin {

bool IsHolidayUnder(TDateTime date, HolidayLaw law);

// The holiday's name in Shift_JIS; empty when the date is no holiday or no name is known.
std::string HolidayNameUnder(TDateTime date, HolidayLaw law);

// The events that fall on a date under a law, in walk order.
std::vector<DayEvent> EventsOnUnder(const EventStore& store, TDateTime date, HolidayLaw law);

// The law an event file's events follow.
HolidayLaw LawOfFile(const Settings& settings);

}  // namespace vespin
