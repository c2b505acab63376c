#pragma once
// The first day of a folder made from the samples. The sample's events show what the program
// does, but they are not the user's: a stranger is not greeted with notices about them. Every
// occurrence of that day counts as announced and done with (its done mark), so the day brings no
// notice, while the panel still lists the coming events and underlines the days; from the next
// day on the events are announced as always.
//
//   sample copied --> IniLoad --> QuietDay(today) --> first alarm pass: nothing to announce

#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"
#include "events/EventStore.h"

namespace vespin {

// Marks every row that falls on `date` as finished for that date.
void QuietDay(EventStore& store, TDateTime date, HolidayLaw law);

}  // namespace vespin
