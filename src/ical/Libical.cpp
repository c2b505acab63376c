#include "Libical.h"

#include <algorithm>
#include <cstdlib>

namespace vespin::ical {
namespace {

// Far more than two years of daily occurrences, even from a start decades back; a rule that
// keeps yielding beyond it is cut off rather than followed for ever.
constexpr int kMaxSteps = 200'000;

// A zone-less wall-clock time of a value in `from`, on the wall clock of `to`. Either zone may
// be none (floating time), which stays as written.
icaltimetype OnWallOf(icaltimetype t, icaltimezone* from, icaltimezone* to) {
  if (from && to && from != to && !t.is_date) icaltimezone_convert_time(&t, from, to);
  t.zone = nullptr;
  return t;
}

// Starts an iterator at `from` rather than at a start years back: each step of libical's
// iterator is a calendar computation of its own. A counted rule must count from its start.
void SkipAhead(icalrecur_iterator* it, const icalrecurrencetype& rule, const icaltimetype& start,
               TDateTime from) {
  if (rule.count > 0 || DateOf(from) <= ToDateTime(WallDate(ToDateTime(start)))) return;
  icaltimetype at = WallTime(DateOf(from));
  at.hour = start.hour;
  at.minute = start.minute;
  at.second = start.second;
  at.is_date = start.is_date;
  icalrecur_iterator_set_start(it, at);
}

}  // namespace

std::string Text(icalcomponent* component) {
  char* text = icalcomponent_as_ical_string_r(component);
  std::string out = text ? text : "";
  std::free(text);
  return out;
}

icaltimezone* Utc() {
  return icaltimezone_get_utc_timezone();
}

icaltimezone* ZoneNamed(const std::string& name) {
  if (name.empty()) return nullptr;
  return icaltimezone_get_builtin_timezone(name.c_str());
}

icaltimetype WallTime(TDateTime t) {
  const std::int64_t ms = ToMsecs(t);
  const std::int64_t day = ms >= 0 ? ms / kMsecsPerDay : (ms - kMsecsPerDay + 1) / kMsecsPerDay;
  const DateParts d = DecodeDate(static_cast<TDateTime>(day));
  const TimeParts tp = DecodeTime(FromMsecs(ms - day * kMsecsPerDay));
  icaltimetype out = icaltime_null_time();
  out.year = d.year;
  out.month = d.month;
  out.day = d.day;
  out.hour = tp.hour;
  out.minute = tp.minute;
  out.second = tp.second;
  return out;
}

icaltimetype WallDate(TDateTime date) {
  icaltimetype out = WallTime(DateOf(date));
  out.is_date = 1;
  return out;
}

TDateTime ToDateTime(const icaltimetype& t) {
  const auto date = TryEncodeDate(t.year, t.month, t.day);
  if (!date) return 0;
  if (t.is_date) return *date;
  const int h = std::clamp(t.hour, 0, 23);
  const int m = std::clamp(t.minute, 0, 59);
  const int s = std::clamp(t.second, 0, 59);
  return *date + EncodeTime(h, m, s);
}

ZoneOf PropertyZone(icalcomponent* calendar, icalproperty* property, const icaltimetype& value) {
  ZoneOf out;
  if (icaltime_is_utc(value)) {
    out.zone = Utc();
    return out;
  }
  icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
  if (!tzid || value.is_date) return out;
  const char* name = icalparameter_get_tzid(tzid);
  out.tzid = name ? name : "";
  if (calendar) out.zone = icalcomponent_get_timezone(calendar, out.tzid.c_str());
  if (!out.zone) out.zone = ZoneNamed(out.tzid);
  if (!out.zone) out.zone = icaltimezone_get_builtin_timezone_from_tzid(out.tzid.c_str());
  out.known = out.zone != nullptr;
  return out;
}

Expansion Expand(icalcomponent* calendar, icalcomponent* event, TDateTime first, TDateTime last,
                 icaltimezone* into, bool rulesOnly) {
  Expansion out;
  icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
  if (!dtstart) {
    out.problem = "no start (DTSTART)";
    return out;
  }
  icaltimetype start = icalproperty_get_dtstart(dtstart);
  if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start)) {
    out.problem = "a start (DTSTART) that is no date";
    return out;
  }
  const ZoneOf zone = PropertyZone(calendar, dtstart, start);
  if (!zone.known) {
    out.problem = "an unknown time zone (TZID=" + zone.tzid + ")";
    return out;
  }
  // Rules run on the wall clock of the event's own zone; conversion comes last.
  start.zone = nullptr;
  // A conversion moves a start by a day at most.
  const icaltimetype stop = WallDate(std::min(DateOf(last) + 2, EncodeDate(9999, 12, 31)));

  std::vector<icaltimetype> starts;
  bool ruled = false;
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
    ruled = true;
    const icalrecurrencetype rule = icalproperty_get_rrule(p);
    icalrecur_iterator* it = icalrecur_iterator_new(rule, start);
    if (!it) {
      out.problem = "an RRULE that cannot be followed";
      return out;
    }
    SkipAhead(it, rule, start, first - 2);
    for (int n = 0; n < kMaxSteps; ++n) {
      const icaltimetype t = icalrecur_iterator_next(it);
      if (icaltime_is_null_time(t) || icaltime_compare_date_only(t, stop) > 0) break;
      starts.push_back(t);
    }
    icalrecur_iterator_free(it);
  }
  if (!ruled) starts.push_back(start);

  if (!rulesOnly) {
    // RDATE and EXDATE values on the event's wall clock; a date alone on a timed event stands
    // for the event's time of day (RDATE) or the whole day (EXDATE).
    const auto wallValue = [&](icalproperty* p, icaltimetype t) -> std::optional<icaltimetype> {
      const ZoneOf z = PropertyZone(calendar, p, t);
      if (!z.known) {
        out.problem = "an unknown time zone (TZID=" + z.tzid + ")";
        return std::nullopt;
      }
      return OnWallOf(t, z.zone, zone.zone);
    };
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
      const icaldatetimeperiodtype value = icalproperty_get_rdate(p);
      auto t = wallValue(p, icaltime_is_null_time(value.time) ? value.period.start : value.time);
      if (!t) return out;
      if (t->is_date && !start.is_date) {
        t->is_date = 0;
        t->hour = start.hour;
        t->minute = start.minute;
        t->second = start.second;
      }
      starts.push_back(*t);
    }
    std::vector<icaltimetype> excluded;
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
      const auto t = wallValue(p, icalproperty_get_exdate(p));
      if (!t) return out;
      excluded.push_back(*t);
    }
    std::erase_if(starts, [&](const icaltimetype& s) {
      return std::any_of(excluded.begin(), excluded.end(), [&](const icaltimetype& x) {
        return x.is_date ? icaltime_compare_date_only(x, s) == 0 : icaltime_compare(x, s) == 0;
      });
    });
  }

  const TDateTime firstDay = DateOf(first);
  const TDateTime lastDay = DateOf(last);
  for (const icaltimetype& s : starts) {
    const icaltimetype t = OnWallOf(s, zone.zone, into ? into : zone.zone);
    const TDateTime when = ToDateTime(t);
    if (DateOf(when) < firstDay || DateOf(when) > lastDay) continue;
    out.occurrences.push_back({when, start.is_date != 0});
  }
  std::sort(
      out.occurrences.begin(), out.occurrences.end(),
      [](const Occurrence& a, const Occurrence& b) { return ToMsecs(a.start) < ToMsecs(b.start); });
  out.occurrences.erase(std::unique(out.occurrences.begin(), out.occurrences.end(),
                                    [](const Occurrence& a, const Occurrence& b) {
                                      return ToMsecs(a.start) == ToMsecs(b.start);
                                    }),
                        out.occurrences.end());
  return out;
}

std::vector<TDateTime> RuleDates(const std::string& rrule, TDateTime start, TDateTime first,
                                 TDateTime last) {
  std::vector<TDateTime> dates;
  const icalrecurrencetype rule = icalrecurrencetype_from_string(rrule.c_str());
  if (rule.freq == ICAL_NO_RECURRENCE) return dates;
  icalrecur_iterator* it = icalrecur_iterator_new(rule, WallDate(start));
  if (!it) return dates;
  SkipAhead(it, rule, WallDate(start), first);
  const icaltimetype stop = WallDate(last);
  for (int n = 0; n < kMaxSteps; ++n) {
    const icaltimetype t = icalrecur_iterator_next(it);
    if (icaltime_is_null_time(t) || icaltime_compare_date_only(t, stop) > 0) break;
    const TDateTime date = ToDateTime(t);
    if (date >= DateOf(first)) dates.push_back(date);
  }
  icalrecur_iterator_free(it);
  return dates;
}

}  // namespace vespin::ical
