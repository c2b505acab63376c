#pragma once
// Events of an iCalendar file that one of the stored rules holds exactly, as rows for the event
// tables; everything else is listed with the reason it cannot be held.
//
//   .ics text --ReadCalendar--> ImportedEvent… + Skipped… --AddEvents--> EventStore
//
// An event is taken when a stored rule gives exactly its dates (as libical's recurrence
// iterator reads them, in the local zone) from today on: for two years, or for a rule that
// skips or adds holidays as far as the file lists them (kHorizonYears at most). A single event
// in the coming year becomes a yearly row flagged for deletion. The work is bounded as
// IcalLimits.h says: a text over kMaxCalendarBytes is refused, and no event is expanded
// beyond the horizon, whatever dates it names.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "IcalLimits.h"
#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"
#include "events/EventEngine.h"
#include "events/EventStore.h"

namespace vespin::ical {

struct ImportOptions {
  TDateTime today = 0;
  HolidayLaw law = HolidayLaw::k2005;
  std::string zone;  // Olson name of the local zone; empty: times are taken as written
  std::int64_t maxExpandedDays = kMaxExpandedDaysPerCalendar;
};

struct ImportedEvent {
  EventKind kind = EventKind::kYearly;
  std::string code;
  std::string time;     // HH:MM
  std::string text;     // Shift_JIS
  std::string alarm;    // "01" … "15"
  bool once = false;    // yearly, deleted once it has fallen due
  std::string summary;  // UTF-8, as the file has it
};

struct Skipped {
  std::string summary;  // UTF-8
  std::string reason;
};

struct Note {
  std::string summary;  // UTF-8
  std::string text;
};

// What reading a calendar cost, in the two steps that grow with the dates an event names.
struct ImportWork {
  std::int64_t expansionSteps = 0;  // starts taken from libical's recurrence iterator
  std::int64_t expandedDays = 0;    // days its walks spanned (kMaxExpandedDaysPerCalendar)
  std::int64_t ruleDays = 0;        // days the engine was asked about, rule by rule
};

struct ImportResult {
  // Not empty: the input is no iCalendar data, too large, or has no event at all; nothing else
  // is set then.
  std::string error;
  std::vector<ImportedEvent> events;
  std::vector<Skipped> skipped;
  std::vector<Note> notes;  // taken, but not quite as written (an alarm rounded up)
  ImportWork work;
};

ImportResult ReadCalendar(std::string_view ics, const ImportOptions& options);

// Adds the events to the tables where the event dialog would put them: weekly rows at the end,
// monthly and yearly rows after the last row whose sort key is not greater. An event that is
// already stored goes to `skipped`. Returns the events added.
std::vector<ImportedEvent> AddEvents(EventStore& store, const std::vector<ImportedEvent>& events,
                                     std::vector<Skipped>& skipped);

// Every VEVENT of an iCalendar text with its starts from `first` to `last` (whole days), as
// libical's recurrence iterator, RDATE and EXDATE give them, on the wall clock of `zone`
// (empty: each event's own). nullopt when the text is no iCalendar data or larger than
// kMaxCalendarBytes. Bounded as the import is: `last` is HorizonEnd(first) at the latest, and
// an event whose expansion would not end is given a problem instead.
struct EventStarts {
  std::string uid;
  std::string summary;
  std::vector<TDateTime> starts;
  std::string problem;  // not empty: the event could not be expanded
};
std::optional<std::vector<EventStarts>> ExpandCalendar(std::string_view ics, TDateTime first,
                                                       TDateTime last, const std::string& zone);

// The event as a line of the event file, text in UTF-8: "13,10:00,会議,04".
std::string FileLine(const ImportedEvent& event);

}  // namespace vespin::ical
