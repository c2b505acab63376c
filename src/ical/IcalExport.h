#pragma once
// The events of an event file, and the national holidays, as an iCalendar file (RFC 5545)
// that other calendar programs import or subscribe to with the same occurrences and alarms.
//
//   EventStore --ForEachOccurrence--> dates per row --ExportEvents--> VCALENDAR text (UTF-8)
//
// One VEVENT per row, starting on its first occurrence on or after `from`. A rule iCalendar
// can say is an RRULE; a rule that skips or adds national holidays is the RRULE that holds
// without them, with the holidays up to `until` taken away (EXDATE) or added (RDATE), or the
// plain list of its dates when no RRULE fits. Every event is checked against libical's own
// reading of it before it is written: what is written occurs exactly on the stored rule's
// dates from `from` to `until`. Each event lasts one minute (DURATION:PT1M); the zone's
// VTIMEZONE holds only its rules from `from` on.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"
#include "events/EventEngine.h"
#include "events/EventStore.h"

namespace vespin::ical {

// Written on every event whose exceptions end at `until`: the last date they cover, so that an
// import knows how far the listed holidays reach.
inline constexpr const char* kListedUntilProperty = "X-VESPIN-HOLIDAYS-UNTIL";
// Written where two rules read the same RRULE (第１ and 最初の, both BYDAY=1TU): the row's kind and
// code ("monthly 203"), so that an import gives back the rule that was written.
inline constexpr const char* kRuleProperty = "X-VESPIN-RULE";

struct ExportOptions {
  TDateTime from = 0;         // the first day (whole day)
  TDateTime until = 0;        // the last day the holiday exceptions cover (included)
  std::string zone;           // Olson name of the zone the times are in; empty: floating times
  std::int64_t stampUtc = 0;  // DTSTAMP, seconds since 1970-01-01 00:00 UTC
  HolidayLaw law = HolidayLaw::k2005;
};

struct LeftOut {
  EventKind kind = EventKind::kYearly;
  int row = 0;
  std::string text;  // Shift_JIS, as stored
};

struct ExportResult {
  std::string ics;             // UTF-8, folded, CR LF lines
  std::vector<LeftOut> never;  // rows that never occur, so have no start to write
};

ExportResult ExportEvents(const EventStore& store, const ExportOptions& options);

// The national holidays from `from` to `until` as all-day events with their names.
std::string ExportHolidays(const ExportOptions& options);

// The Olson name of the local time zone (TZ, else /etc/localtime, else /etc/timezone) when
// libical knows it; empty otherwise.
std::string LocalZoneName();

// A file's last change in seconds since 1970 (UTC), for DTSTAMP: exporting an unchanged file
// gives the same bytes. `fallback` when the file has no time to give.
std::int64_t ModifiedUtc(const std::filesystem::path& file, std::int64_t fallback);

// The same date a number of years on; 29 February becomes 28 February in other years.
TDateTime YearsOn(TDateTime date, int years);

// The panel's export: every event from `today` on, two years ahead, in the local time zone, with
// the holidays of `law`, stamped with the last change of `eventFile` (else `nowUtc`).
std::string ExportFromToday(const EventStore& store, HolidayLaw law,
                            const std::filesystem::path& eventFile, TDateTime today,
                            std::int64_t nowUtc);

}  // namespace vespin::ical
