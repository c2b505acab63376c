#pragma once
// Occurrences of events over a stretch of days: each day's facts are worked out once, and every
// row is tested against them with the rule test the engine itself uses.
//
//   vespin.ini --ReadCompactEvents--> CompactEvent rows <--CompactRows-- EventStore
//   rows + first..last + law --ForEachOccurrence--> (day, row), (day, row), … (date order)

#include <functional>
#include <span>

#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"
#include "events/CompactEvents.h"

namespace vespin {

// Returns false to stop the walk.
using OccurrenceVisitor = std::function<bool(sys_days day, const CompactEvent& event)>;

// Every occurrence of `events` (in walk order: yearly, monthly, weekly, each in table order)
// from `first` to `last` (both included), in date order and within a date in the order of
// `events`. A yearly row flagged for deletion occurs once: the engine deletes it when it falls
// due. Days outside the years 1 to 9999 have no occurrences.
void ForEachOccurrence(std::span<const CompactEvent> events, sys_days first, sys_days last,
                       HolidayLaw law, const OccurrenceVisitor& visit);

}  // namespace vespin
