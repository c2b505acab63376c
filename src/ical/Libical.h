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
  std::int64_t steps = 0;               // starts taken from libical's iterator
  std::int64_t days = 0;                // days its walk spanned (each may cost a step inside)
};

// The occurrences of a VEVENT that start from `first` to `last` (whole days, both included):
// libical's recurrence iterator over each RRULE from DTSTART (DTSTART alone without one),
// then RDATE added and EXDATE taken away. With `into`, starts are converted to that zone;
// without, they stay on the wall clock of the event's own zone. `rulesOnly` leaves RDATE and
// EXDATE out.
// The work follows the range and the number of dates listed, never the dates a rule names: the
// iterator is told to end after `last` (it would otherwise search up to the year 2582 for a
// date a rule never reaches), a rule that can never occur or that repeats more often than
// hourly is a problem rather than a search, and so are more starts than the days walked can
// hold hourly (or kMaxStartsPerEvent).
Expansion Expand(icalcomponent* calendar, icalcomponent* event, TDateTime first, TDateTime last,
                 icaltimezone* into, bool rulesOnly = false);

// The start (DTSTART) of an event on the wall clock of `into` (without, of its own zone);
// nullopt when it has none or names a zone nobody knows.
std::optional<TDateTime> StartOn(icalcomponent* calendar, icalcomponent* event, icaltimezone* into);

// Why libical's iterator would search without end for this rule's dates, or empty: no month of
// BYMONTH has a day of BYMONTHDAY, or it repeats more often than hourly.
std::string EndlessRule(const icalrecurrencetype& rule);

// The dates of an RRULE from a start date (no time, no zone), from `first` to `last`.
std::vector<TDateTime> RuleDates(const std::string& rrule, TDateTime start, TDateTime first,
                                 TDateTime last);

}  // namespace vespin::ical
