#pragma once
// The small part of libical this library uses, made safe to hold: owners for components and
// strings, time zones by name, and the expansion of an event into its occurrences.
// Only the library's own sources include this header.

#include <libical/ical.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/DateTime.h"

namespace vespin::ical {

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

// A component's text as libical writes it: folded, escaped, CR LF lines.
std::string Text(icalcomponent* component);

icaltimezone* Utc();
// A zone of libical's own zone data by its Olson name ("Asia/Tokyo"); nullptr when unknown.
icaltimezone* ZoneNamed(const std::string& name);

// A wall-clock date and time as libical holds it, without a zone.
icaltimetype WallTime(TDateTime t);
icaltimetype WallDate(TDateTime date);
TDateTime ToDateTime(const icaltimetype& t);

// The zone a date-time property's value is in: UTC for a trailing Z, the zone its TZID names
// (the calendar's own VTIMEZONE first, then libical's zone data), or none for floating time.
struct ZoneOf {
  icaltimezone* zone = nullptr;
  bool known = true;  // false: a TZID that names no zone
  std::string tzid;
};
ZoneOf PropertyZone(icalcomponent* calendar, icalproperty* property, const icaltimetype& value);

// One occurrence of an event: its start on the wall clock of the zone asked for.
struct Occurrence {
  TDateTime start = 0;
  bool allDay = false;
};

struct Expansion {
  std::vector<Occurrence> occurrences;  // in time order, each once
  std::string problem;                  // not empty: the event could not be expanded
};

// The occurrences of a VEVENT that start from `first` to `last` (whole days, both included):
// libical's recurrence iterator over each RRULE from DTSTART (DTSTART alone without one),
// then RDATE added and EXDATE taken away. With `into`, starts are converted to that zone;
// without, they stay on the wall clock of the event's own zone. `rulesOnly` leaves RDATE and
// EXDATE out.
Expansion Expand(icalcomponent* calendar, icalcomponent* event, TDateTime first, TDateTime last,
                 icaltimezone* into, bool rulesOnly = false);

// The dates of an RRULE from a start date (no time, no zone), from `first` to `last`.
std::vector<TDateTime> RuleDates(const std::string& rrule, TDateTime start, TDateTime first,
                                 TDateTime last);

}  // namespace vespin::ical
