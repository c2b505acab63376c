#include "Libical.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "IcalLimits.h"

namespace vespin::ical {
namespace {

// A zone-less wall-clock time of a value in `from`, on the wall clock of `to`. Either zone may
// be none (floating time), which stays as written.
icaltimetype OnWallOf(icaltimetype t, icaltimezone* from, icaltimezone* to) {
  if (from && to && from != to && !t.is_date) icaltimezone_convert_time(&t, from, to);
  t.zone = nullptr;
  return t;
}

// Starts an iterator at `from` rather than at a start years back: each step of libical's
// iterator is a calendar computation of its own. A counted rule must count from its start.
void SkipAhead(icalrecur_iterator* it, bool counted, const icaltimetype& start, TDateTime from) {
  if (counted || DateOf(from) <= ToDateTime(WallDate(ToDateTime(start)))) return;
  icaltimetype at = WallTime(DateOf(from));
  at.hour = start.hour;
  at.minute = start.minute;
  at.second = start.second;
  at.is_date = start.is_date;
  icalrecur_iterator_set_start(it, at);
}

// A key that is equal for equal wall-clock times (or, for dates, equal days).
std::int64_t WallKey(const icaltimetype& t) {
  return ToMsecs(t.is_date ? DateOf(ToDateTime(t)) : ToDateTime(t));
}

std::size_t Count(const short* values, std::size_t size) {
  std::size_t n = 0;
  while (n < size && values[n] != ICAL_RECURRENCE_ARRAY_MAX) ++n;
  return n;
}

// The starts of one RRULE from `start` up to the day `stop`, at most as many as its days can
// hold (and kMaxStartsPerEvent). The iterator is told the end as UNTIL: its search for the next
// date otherwise goes on to the year 2582 whenever no date is left. COUNT is counted here, as
// UNTIL and COUNT cannot stand together. `work` gets the starts taken and the days walked.
std::string FollowRule(icalrecurrencetype rule, const icaltimetype& start, TDateTime from,
                       TDateTime stop, std::vector<icaltimetype>& starts, Expansion& work) {
  if (std::string endless = EndlessRule(rule); !endless.empty()) return endless;
  const int count = rule.count;
  rule.count = 0;
  icaltimetype until = WallTime(DateOf(stop) + EncodeTime(23, 59, 59));
  until.is_date = start.is_date;
  if (icaltime_is_null_time(rule.until) || icaltime_compare_date_only(rule.until, until) > 0) {
    rule.until = until;
  }
  icalrecur_iterator* it = icalrecur_iterator_new(rule, start);
  if (!it) return "an RRULE that cannot be followed";
  SkipAhead(it, count > 0, start, from);
  const TDateTime startDay = DateOf(ToDateTime(start));
  const TDateTime walkedFrom = count > 0 ? startDay : std::max(startDay, DateOf(from));
  // A rule starts once an hour at most (finer ones are refused above), so more starts than
  // that mean the skip ahead did not take: the walk is not followed.
  const double span = std::max(0.0, DateOf(stop) - walkedFrom) + 4;
  const auto most = static_cast<int>(std::min<double>(kMaxStartsPerEvent, 24 * span));
  const icaltimetype last = WallDate(stop);
  TDateTime reached = DateOf(stop);
  std::string problem;
  for (int n = 0; count == 0 || n < count; ++n) {
    const icaltimetype t = icalrecur_iterator_next(it);
    if (icaltime_is_null_time(t) || icaltime_compare_date_only(t, last) > 0) break;
    if (n == most) {
      problem = "more than " + std::to_string(most) + " starts";
      break;
    }
    ++work.steps;
    starts.push_back(t);
    if (count > 0 && n + 1 == count) reached = DateOf(ToDateTime(t));
  }
  icalrecur_iterator_free(it);
  work.days += static_cast<std::int64_t>(std::max(0.0, reached - walkedFrom) + 1);
  return problem;
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

std::optional<TDateTime> StartOn(icalcomponent* calendar, icalcomponent* event,
                                 icaltimezone* into) {
  icalproperty* dtstart = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
  if (!dtstart) return std::nullopt;
  const icaltimetype start = icalproperty_get_dtstart(dtstart);
  if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start)) return std::nullopt;
  const ZoneOf zone = PropertyZone(calendar, dtstart, start);
  if (!zone.known) return std::nullopt;
  return ToDateTime(OnWallOf(start, zone.zone, into ? into : zone.zone));
}

std::string EndlessRule(const icalrecurrencetype& rule) {
  if (rule.freq == ICAL_SECONDLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE) {
    return std::string("a repetition more often than hourly (FREQ=") +
           icalrecur_freq_to_string(rule.freq) + ")";
  }
  const std::size_t days = Count(rule.by_month_day, ICAL_BY_MONTHDAY_SIZE);
  // Months of other calendars (RSCALE) are not the Gregorian ones counted here.
  if (days == 0 || (rule.rscale && *rule.rscale)) return {};
  const std::size_t months = Count(rule.by_month, ICAL_BY_MONTH_SIZE);
  // The longest each month can be (29 February in leap years).
  constexpr int kLongest[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    if (months > 0 &&
        std::find(rule.by_month, rule.by_month + months, month) == rule.by_month + months) {
      continue;
    }
    for (std::size_t i = 0; i < days; ++i) {
      const int day = rule.by_month_day[i];
      if (day != 0 && std::abs(day) <= kLongest[month - 1]) return {};
    }
  }
  return "a rule that never occurs (no month of BYMONTH has a day of BYMONTHDAY)";
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
  const TDateTime stop = std::min(DateOf(last) + 2, EncodeDate(9999, 12, 31));

  std::vector<icaltimetype> starts;
  bool ruled = false;
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
    ruled = true;
    out.problem = FollowRule(icalproperty_get_rrule(p), start, first - 2, stop, starts, out);
    if (!out.problem.empty()) return out;
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
    // Looked up, not compared pairwise: a file may list thousands of dates.
    std::unordered_set<std::int64_t> excludedDays, excludedTimes;
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
      const auto t = wallValue(p, icalproperty_get_exdate(p));
      if (!t) return out;
      (t->is_date ? excludedDays : excludedTimes).insert(WallKey(*t));
    }
    std::erase_if(starts, [&](const icaltimetype& s) {
      icaltimetype day = s;
      day.is_date = 1;
      // A date and a time never name the same start (as icaltime_compare has it).
      return (!s.is_date && excludedTimes.count(WallKey(s)) > 0) ||
             excludedDays.count(WallKey(day)) > 0;
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
  SkipAhead(it, rule.count > 0, WallDate(start), first);
  const icaltimetype stop = WallDate(last);
  for (int n = 0; n < kMaxStartsPerEvent; ++n) {
    const icaltimetype t = icalrecur_iterator_next(it);
    if (icaltime_is_null_time(t) || icaltime_compare_date_only(t, stop) > 0) break;
    const TDateTime date = ToDateTime(t);
    if (date >= DateOf(first)) dates.push_back(date);
  }
  icalrecur_iterator_free(it);
  return dates;
}

}  // namespace vespin::ical
