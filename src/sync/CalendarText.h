#pragma once
// iCalendar text taken apart into its events and time zones, and put together again: the many
// resources of a collection become the one file readers expand, and VESPIN's export becomes one
// resource per event. Works on the text's lines (RFC 5545 content lines); the reader's libical
// parses the result, so this only needs the components' borders to be sound.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vespin::sync {

struct CalendarParts {
  std::vector<std::string> events;           // each BEGIN:VEVENT … END:VEVENT, CR LF lines
  std::map<std::string, std::string> zones;  // TZID -> BEGIN:VTIMEZONE … END:VTIMEZONE
  // What the events need of the zones: the TZIDs their properties name.
  std::vector<std::vector<std::string>> eventZones;
  std::vector<std::string> eventUids;  // the UID of each event ("" when it has none)
};

// nullopt when the text is not one VCALENDAR with well-nested components (an HTML page, a cut
// transfer). Components other than events and time zones (to-dos, journals) are passed over.
std::optional<CalendarParts> SplitCalendar(std::string_view text);

// One VCALENDAR with every zone once (those the events name) and the events in the given order.
std::string MergeCalendar(const std::vector<const CalendarParts*>& parts);

// One VCALENDAR per UID: the events with that UID (the rule and its moved occurrences) and the
// zones they need, keyed by UID; events without a UID are left out.
std::map<std::string, std::string> CalendarsByUid(const CalendarParts& parts);

}  // namespace vespin::sync
