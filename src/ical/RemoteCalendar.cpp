#include "RemoteCalendar.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

#include "Libical.h"

namespace vespin::ical {
namespace {

using remote::CleanText;
using remote::kNoLead;
using remote::RemoteOccurrence;

// An event and the calendar whose VTIMEZONEs its TZIDs name.
struct Placed {
  icalcomponent* calendar = nullptr;
  icalcomponent* event = nullptr;
};

// A text too large to read whole is read up to the end of its last event before the limit:
// VTIMEZONEs come first in every calendar we have seen, so the events kept keep their zones.
std::string Bounded(std::string_view ics, std::size_t maxBytes, bool& cut) {
  if (ics.size() <= maxBytes) return std::string(ics);
  cut = true;
  const std::string_view head = ics.substr(0, maxBytes);
  const std::size_t end = head.rfind("END:VEVENT");
  if (end == std::string_view::npos) return {};
  const std::size_t lineEnd = head.find('\n', end);
  std::string text(head.substr(0, lineEnd == std::string_view::npos ? head.size() : lineEnd + 1));
  text += "\r\nEND:VCALENDAR\r\n";
  return text;
}

// The moment of a wall-clock time in `zone` (none: floating, read on the local clock) as
// seconds since 1970.
std::time_t Moment(icaltimetype wall, icaltimezone* zone) {
  if (zone && !wall.is_date) {
    wall.zone = nullptr;
    return icaltime_as_timet_with_zone(wall, zone);
  }
  std::tm local{};
  local.tm_year = wall.year - 1900;
  local.tm_mon = wall.month - 1;
  local.tm_mday = wall.day;
  if (!wall.is_date) {
    local.tm_hour = wall.hour;
    local.tm_min = wall.minute;
    local.tm_sec = wall.second;
  }
  local.tm_isdst = -1;
  return std::mktime(&local);
}

// Where a time lands on the local clock: zoned times through the moment they name, floating
// times and dates as written.
std::int64_t LocalMsecs(icaltimetype wall, icaltimezone* zone) {
  if (!zone || wall.is_date) return ToMsecs(ToDateTime(wall));
  const std::time_t moment = Moment(wall, zone);
  std::tm local{};
  if (!localtime_r(&moment, &local)) return ToMsecs(ToDateTime(wall));
  const auto date = TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  if (!date) return ToMsecs(ToDateTime(wall));
  return ToMsecs(*date) +
         ((local.tm_hour * 60 + local.tm_min) * 60 + std::min(local.tm_sec, 59)) * kMsecsPerSecond;
}

// The start an instance has by its rule, the same however the file spells it: zoned times as
// UTC, floating times and dates as written.
std::string RecurrenceText(icaltimetype wall, icaltimezone* zone) {
  char text[32];
  if (wall.is_date) {
    std::snprintf(text, sizeof text, "%04d%02d%02d", wall.year, wall.month, wall.day);
    return text;
  }
  const bool utc = zone != nullptr;
  if (utc) icaltimezone_convert_time(&wall, zone, Utc());
  std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d%s", wall.year, wall.month, wall.day,
                wall.hour, wall.minute, wall.second, utc ? "Z" : "");
  return text;
}

bool Cancelled(icalcomponent* event) {
  return icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED;
}

std::string UidOf(icalcomponent* event) {
  const char* uid = icalcomponent_get_uid(event);
  return uid ? uid : "";
}

// The days an all-day event covers: DTEND (the day after its last) or DURATION, else one.
int SpanDays(icalcomponent* event, const icaltimetype& start) {
  if (!start.is_date) return 1;
  long days = 1;
  if (icalproperty* end = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
    const icaltimetype until = icalproperty_get_dtend(end);
    if (!icaltime_is_null_time(until)) {
      days = std::lround(ToDateTime(WallDate(ToDateTime(until))) - ToDateTime(start));
    }
  } else if (icalproperty* length =
                 icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
    days = icaldurationtype_as_int(icalproperty_get_duration(length)) / (24 * 60 * 60);
  }
  return static_cast<int>(std::clamp<long>(days, 1, remote::kMaxAllDaySpan));
}

// The event's own alarms: the earliest relative one before the start, and the absolute ones.
struct Alarms {
  std::optional<std::int64_t> relativeMs;
  std::vector<std::time_t> absolute;
};

Alarms AlarmsOf(icalcomponent* event) {
  Alarms alarms;
  for (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
       alarm; alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
    // Some calendars keep a placeholder alarm that is never meant to go off.
    if (icalproperty* action = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY)) {
      const char* value = icalproperty_get_value_as_string(action);
      if (icalproperty_get_action(action) == ICAL_ACTION_NONE ||
          (value && std::string_view(value) == "NONE")) {
        continue;
      }
    }
    icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
    if (!trigger) continue;
    const icaltriggertype when = icalproperty_get_trigger(trigger);
    if (!icaltime_is_null_time(when.time)) {
      alarms.absolute.push_back(icaltime_as_timet_with_zone(when.time, Utc()));
      continue;
    }
    std::int64_t seconds = icaldurationtype_as_int(when.duration);
    icalparameter* related = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
    if (related && icalparameter_get_related(related) == ICAL_RELATED_END) {
      seconds += icaldurationtype_as_int(icalcomponent_get_duration(event));
    }
    if (seconds > 0) continue;  // after the start: no notice before it
    const std::int64_t lead = -seconds * kMsecsPerSecond;
    if (!alarms.relativeMs || lead > *alarms.relativeMs) alarms.relativeMs = lead;
  }
  return alarms;
}

// The lead of one occurrence. An absolute trigger counts only within the longest lead before
// the start: one long before it (a placeholder dated decades back) is no reminder of this one.
std::int64_t LeadOf(const Alarms& alarms, std::time_t start) {
  std::optional<std::int64_t> lead = alarms.relativeMs;
  const std::int64_t longest = remote::NearestLead(INT64_MAX / 2);
  for (const std::time_t at : alarms.absolute) {
    const std::int64_t before = (static_cast<std::int64_t>(start) - at) * kMsecsPerSecond;
    if (before >= 0 && before <= longest && (!lead || before > *lead)) lead = before;
  }
  return lead ? remote::NearestLead(*lead) : kNoLead;
}

class Expander {
 public:
  Expander(std::string_view calendar, sys_days from, sys_days to)
      : calendar_(calendar), from_(from), to_(to) {}

  void Run(const std::vector<Placed>& events, RemoteExpansion& out) {
    // Instances moved or cancelled, by UID and the start they replace.
    std::map<std::string, std::map<std::string, Placed>> overrides;
    for (const Placed& p : events) {
      icalproperty* rid = icalcomponent_get_first_property(p.event, ICAL_RECURRENCEID_PROPERTY);
      if (!rid) continue;
      const icaltimetype value = icalproperty_get_recurrenceid(rid);
      const ZoneOf zone = PropertyZone(p.calendar, rid, value);
      overrides[UidOf(p.event)][RecurrenceText(value, zone.zone)] = p;
    }
    for (const Placed& p : events) {
      if (out.occurrences.size() > kRemoteOccurrenceCap) break;
      if (icalcomponent_get_first_property(p.event, ICAL_RECURRENCEID_PROPERTY)) {
        AddOverride(p, out);
      } else {
        const auto found = overrides.find(UidOf(p.event));
        AddMaster(p, found == overrides.end() ? nullptr : &found->second, out);
      }
    }
    if (out.occurrences.size() > kRemoteOccurrenceCap) {
      out.occurrences.resize(kRemoteOccurrenceCap);
      out.cut = true;
    }
    std::sort(out.occurrences.begin(), out.occurrences.end(),
              [](const RemoteOccurrence& a, const RemoteOccurrence& b) {
                return std::tie(a.startMs, a.key) < std::tie(b.startMs, b.key);
              });
  }

 private:
  void Problem(icalcomponent* event, const std::string& what, RemoteExpansion& out) {
    out.problems.push_back(CleanText(UidOf(event)) + ": " + what);
  }

  void AddMaster(const Placed& p, const std::map<std::string, Placed>* moved,
                 RemoteExpansion& out) {
    if (Cancelled(p.event)) return;
    icalproperty* dtstart = icalcomponent_get_first_property(p.event, ICAL_DTSTART_PROPERTY);
    if (!dtstart) return Problem(p.event, "no start (DTSTART)", out);
    const icaltimetype start = icalproperty_get_dtstart(dtstart);
    const ZoneOf zone = PropertyZone(p.calendar, dtstart, start);
    const int span = SpanDays(p.event, start);
    // A zone moves a start by up to a day each way; an all-day span reaches back its length.
    const Expansion expansion =
        Expand(p.calendar, p.event, vespin::ToDateTime(from_) - 2 - (span - 1),
               vespin::ToDateTime(to_) + 2, nullptr);
    if (!expansion.problem.empty()) return Problem(p.event, expansion.problem, out);
    const bool recurring = icalcomponent_get_first_property(p.event, ICAL_RRULE_PROPERTY) ||
                           icalcomponent_get_first_property(p.event, ICAL_RDATE_PROPERTY);
    const Alarms alarms = AlarmsOf(p.event);
    for (const Occurrence& o : expansion.occurrences) {
      icaltimetype wall = o.allDay ? WallDate(o.start) : WallTime(o.start);
      const std::string rid = RecurrenceText(wall, zone.zone);
      if (moved && moved->count(rid)) continue;  // the override stands in for it
      std::string key = UidOf(p.event);
      if (recurring) key += "/" + rid;
      Add(p.event, wall, zone.zone, span, alarms, std::move(key), out);
    }
  }

  void AddOverride(const Placed& p, RemoteExpansion& out) {
    if (Cancelled(p.event)) return;
    icalproperty* dtstart = icalcomponent_get_first_property(p.event, ICAL_DTSTART_PROPERTY);
    if (!dtstart) return Problem(p.event, "no start (DTSTART)", out);
    icaltimetype start = icalproperty_get_dtstart(dtstart);
    if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start)) {
      return Problem(p.event, "a start (DTSTART) that is no date", out);
    }
    const ZoneOf zone = PropertyZone(p.calendar, dtstart, start);
    if (!zone.known) return Problem(p.event, "an unknown time zone (TZID=" + zone.tzid + ")", out);
    icalproperty* rid = icalcomponent_get_first_property(p.event, ICAL_RECURRENCEID_PROPERTY);
    const icaltimetype original = icalproperty_get_recurrenceid(rid);
    const ZoneOf ridZone = PropertyZone(p.calendar, rid, original);
    start.zone = nullptr;
    Add(p.event, start, zone.zone, SpanDays(p.event, start), AlarmsOf(p.event),
        UidOf(p.event) + "/" + RecurrenceText(original, ridZone.zone), out);
  }

  void Add(icalcomponent* event, const icaltimetype& wall, icaltimezone* zone, int span,
           const Alarms& alarms, std::string key, RemoteExpansion& out) {
    RemoteOccurrence o;
    o.allDay = wall.is_date != 0;
    o.days = o.allDay ? span : 1;
    o.startMs = LocalMsecs(wall, zone);
    if (o.LastDay() < from_ || o.FirstDay() > to_) return;
    o.calendar = calendar_;
    o.uid = UidOf(event);
    o.key = std::move(key);
    const char* summary = icalcomponent_get_summary(event);
    o.summary = CleanText(summary ? summary : "");
    o.leadMs = LeadOf(alarms, Moment(wall, zone));
    out.occurrences.push_back(std::move(o));
  }

  std::string calendar_;
  sys_days from_;
  sys_days to_;
};

}  // namespace

RemoteExpansion ExpandRemoteCalendar(std::string_view ics, std::string_view calendar, sys_days from,
                                     sys_days to, std::size_t maxBytes) {
  RemoteExpansion out;
  const std::string text = Bounded(ics, maxBytes, out.cut);
  Component root(text.empty() ? nullptr : icalparser_parse_string(text.c_str()));
  std::vector<icalcomponent*> calendars;
  if (root && icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
    calendars.push_back(root.get());
  } else if (root && icalcomponent_isa(root.get()) == ICAL_XROOT_COMPONENT) {
    for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
         c; c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT)) {
      calendars.push_back(c);
    }
  }
  if (calendars.empty()) {
    out.error = "not iCalendar data";
    return out;
  }
  // Collected first: asking a calendar for a zone must not disturb a walk over its components.
  std::vector<Placed> events;
  for (icalcomponent* c : calendars) {
    for (icalcomponent* e = icalcomponent_get_first_component(c, ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(c, ICAL_VEVENT_COMPONENT)) {
      events.push_back({c, e});
    }
  }
  if (to >= from) Expander(calendar, from, to).Run(events, out);
  return out;
}

RemoteExpansion ReadRemoteCalendar(const std::filesystem::path& file, std::string_view calendar,
                                   sys_days from, sys_days to) {
  RemoteExpansion out;
  std::error_code ec;
  // Only a regular file: a named pipe in its place would hold the reader for ever.
  if (!std::filesystem::is_regular_file(file, ec)) {
    out.error = std::filesystem::exists(file, ec) ? "not a regular file" : "not fetched yet";
    return out;
  }
  const auto size = std::filesystem::file_size(file, ec);
  std::ifstream in(file, std::ios::binary);
  if (ec || !in) {
    out.error = "cannot be read";
    return out;
  }
  // One byte past the limit tells a file at the limit from one beyond it.
  std::string text(std::min<std::uintmax_t>(size, kRemoteCalendarMaxBytes + 1), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return ExpandRemoteCalendar(text, calendar, from, to);
}

}  // namespace vespin::ical
