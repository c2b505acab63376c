#pragma once
// Occurrences of the stored events over a stretch of days: what the engine would find on each
// of those days, one day after the other.
//
//   EventStore + first..last + law --ForEachOccurrence--> DayEvent, DayEvent, … (date order)
//
// The rules themselves are the engine's; nothing here decides whether an event falls on a date.

#include <functional>
#include <vector>

#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"
#include "events/EventEngine.h"
#include "events/EventStore.h"

namespace vespin {

// Returns false to stop the walk.
using OccurrenceVisitor = std::function<bool(const DayEvent& occurrence)>;

// Every occurrence from `first` to `last` (whole days, both included), in date order and
// within a date in the engine's walk order (yearly, monthly, weekly, each in table order).
// A yearly row flagged for deletion occurs once: the engine deletes it when it falls due.
// Days outside the years 1 to 9999 have no occurrences.
void ForEachOccurrence(const EventStore& store, TDateTime first, TDateTime last, HolidayLaw law,
                       const OccurrenceVisitor& visit);

std::vector<DayEvent> Occurrences(const EventStore& store, TDateTime first, TDateTime last,
                                  HolidayLaw law);

}  // namespace vespin
