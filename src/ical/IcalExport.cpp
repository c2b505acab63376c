#include "IcalExport.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "IcalRules.h"
#include "Libical.h"
#include "agenda/Agenda.h"
#include "calendar/Hizuke.h"
#include "events/IniFormat.h"
#include "text/Sjis.h"

namespace vespin::ical {
namespace {

constexpr const char* kProductId = "-//vespin//vespin Ver3.2//JA";
constexpr const char* kEventsCalendarName = "VESPIN";
constexpr const char* kHolidaysCalendarName = "祝日";
// Every holiday has a name; this is for one that would come without.
constexpr const char* kHolidayFallbackName = "祝日";
// The start-up announcement has no iCalendar alarm; the event says so instead.
constexpr const char* kStartUpDescription =
    "ｱﾗｰﾑ: 起動時（VESPINの起動時にお知らせします。iCalendarにはこの指定がないため、"
    "アラームはありません）";
// How long an event lasts, in seconds.
constexpr int kLength = 60;

icalproperty* XProperty(const char* name, const std::string& value) {
  icalproperty* p = icalproperty_new_x(value.c_str());
  icalproperty_set_x_name(p, name);
  return p;
}

Component NewCalendar(const char* name) {
  Component cal(icalcomponent_new_vcalendar());
  icalcomponent_add_property(cal.get(), icalproperty_new_version("2.0"));
  icalcomponent_add_property(cal.get(), icalproperty_new_prodid(kProductId));
  icalcomponent_add_property(cal.get(), icalproperty_new_calscale("GREGORIAN"));
  // The name calendar programs give a subscribed calendar.
  icalcomponent_add_property(cal.get(), XProperty("X-WR-CALNAME", name));
  return cal;
}

// libical names its zones after its own prefix; calendar programs know the plain Olson name.
// Only the zone's rules from the day before `from` on are written (no date of the file is
// earlier, and a day covers any offset): programs that make one yearly rule of the zone take
// its first summer time, which for Tokyo would be the one of 1948 to 1951. The rules in force
// keep their first year, as such programs also want the rule, not a first onset.
void AddZone(icalcomponent* cal, icaltimezone* zone, const std::string& name, TDateTime from) {
  icalcomponent* vtimezone = icalcomponent_new_clone(icaltimezone_get_component(zone));
  icaltimetype since = WallTime(DateOf(from) - 1);
  since.zone = Utc();
  icaltimezone_truncate_vtimezone(vtimezone, since, icaltime_null_time(), 1);
  if (icalproperty* tzid = icalcomponent_get_first_property(vtimezone, ICAL_TZID_PROPERTY)) {
    icalproperty_set_tzid(tzid, name.c_str());
  }
  icalcomponent_add_component(cal, vtimezone);
}

icalproperty* InZone(icalproperty* p, const std::string& tzid) {
  if (!tzid.empty()) icalproperty_add_parameter(p, icalparameter_new_tzid(tzid.c_str()));
  return p;
}

icalproperty* Stamp(std::int64_t utcSeconds) {
  return icalproperty_new_dtstamp(
      icaltime_from_timet_with_zone(static_cast<time_t>(utcSeconds), 0, Utc()));
}

// 64-bit FNV-1a: the same row gives the same UID in every export.
std::string Fingerprint(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037ULL;
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ULL;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

std::string DateDigits(TDateTime date) {
  const DateParts p = DecodeDate(date);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", p.year, p.month, p.day);
  return buf;
}

struct StoredRow {
  EventKind kind;
  std::string code, text, alarm;
  bool once = false;  // a yearly row flagged for deletion
};

StoredRow RowOf(const EventStore& store, EventKind kind, int row) {
  switch (kind) {
    case EventKind::kYearly:
      return {kind, std::string(store.year.Cell(YearCol::kTypeCode, row)),
              std::string(store.year.Cell(YearCol::kText, row)),
              std::string(store.year.Cell(YearCol::kAlarmCode, row)),
              store.year.Cell(YearCol::kDelete, row) == ini::kTrue};
    case EventKind::kMonthly:
      return {kind, std::string(store.month.Cell(MonthCol::kTypeCode, row)),
              std::string(store.month.Cell(MonthCol::kText, row)),
              std::string(store.month.Cell(MonthCol::kAlarmCode, row))};
    case EventKind::kWeekly:
      break;
  }
  return {kind, std::string(store.week.Cell(WeekCol::kTypeCode, row)),
          std::string(store.week.Cell(WeekCol::kText, row)),
          std::string(store.week.Cell(WeekCol::kAlarmCode, row))};
}

// When a row occurs: its dates from `from` to `until`, or its first date after that.
struct RowDates {
  std::vector<TDateTime> dates;
  std::optional<TDateTime> later;
  std::string time;  // HH:MM as the engine reads the row
};

// What one VEVENT says about its dates.
struct Plan {
  TDateTime start = 0;
  std::string rrule;
  std::vector<TDateTime> exdates, rdates;
  bool listedUntil = false;
  std::string rule;  // "<kind> <code>" when another rule reads the same RRULE
};

// The row's rule by name, when another rule the dialog writes has the same RRULE (the weekly
// 第１ and the monthly first weekday): an import cannot tell them apart by their dates.
std::string SharedRule(const StoredRow& row, const std::string& rrule, TDateTime start) {
  for (const RuleCode& other : CodesThrough(start)) {
    if (other.kind == row.kind && other.code == row.code) continue;
    const auto form = FormOf(other.kind, other.code);
    if (form && !form->rrule.empty() && form->rrule == rrule) {
      return std::string(KindName(row.kind)) + " " + row.code;
    }
  }
  return {};
}

// The RRULE that holds without holidays, with the dates where the row differs from it up to
// `until` (none for a rule that needs no holidays); nullopt when no occurrence of the rule is
// one of the row's, so there is no start the RRULE agrees with.
std::optional<Plan> RulePlan(const RuleForm& form, const RowDates& d, bool once,
                             const ExportOptions& opt) {
  Plan plan;
  plan.rrule = form.rrule + (once ? ";COUNT=1" : "");
  plan.listedUntil = form.holidays;
  if (d.dates.empty()) {
    plan.start = *d.later;
    return plan;
  }
  if (once) {
    plan.start = d.dates.front();
    return plan;
  }
  const std::vector<TDateTime> base = RuleDates(form.rrule, opt.from, opt.from, opt.until);
  const auto real = [&](TDateTime t) {
    return std::binary_search(d.dates.begin(), d.dates.end(), t);
  };
  // The start must be one of the rule's own dates (RFC 5545 leaves any other start undefined,
  // and libical then drops it) and one of the row's.
  const auto start = std::find_if(base.begin(), base.end(), real);
  if (start == base.end()) return std::nullopt;
  plan.start = *start;
  for (const TDateTime t : base) {
    if (t > plan.start && !real(t)) plan.exdates.push_back(t);
  }
  for (const TDateTime t : d.dates) {
    if (!std::binary_search(base.begin(), base.end(), t)) plan.rdates.push_back(t);
  }
  plan.listedUntil = plan.listedUntil || !plan.exdates.empty() || !plan.rdates.empty();
  return plan;
}

Plan ListPlan(const RowDates& d) {
  Plan plan;
  plan.listedUntil = true;
  if (d.dates.empty()) {
    plan.start = *d.later;
    return plan;
  }
  plan.start = d.dates.front();
  plan.rdates.assign(d.dates.begin() + 1, d.dates.end());
  return plan;
}

class EventWriter {
 public:
  EventWriter(icalcomponent* cal, const ExportOptions& opt, std::string tzid)
      : cal_(cal), opt_(opt), tzid_(std::move(tzid)) {}

  void Add(const StoredRow& row, const RowDates& d) {
    const TDateTime timeOfDay = HourMinuteToTime(d.time).value_or(0);
    const std::string summary = sjis::ToUtf8(row.text);
    const std::string uid = Uid(row, d.time);
    std::optional<Plan> plan;
    if (const auto form = FormOf(row.kind, row.code)) {
      plan = RulePlan(*form, d, row.once, opt_);
      if (plan) plan->rule = SharedRule(row, plan->rrule, plan->start);
    }
    Component event;
    if (plan) {
      event = Build(*plan, uid, summary, row.alarm, timeOfDay);
      if (!Holds(event.get(), d, timeOfDay)) plan.reset();
    }
    if (!plan) event = Build(ListPlan(d), uid, summary, row.alarm, timeOfDay);
    icalcomponent_add_component(cal_, event.release());
  }

 private:
  std::string Uid(const StoredRow& row, const std::string& time) {
    const std::string key =
        std::string(1, KindName(row.kind)[0]) + '\0' + row.code + '\0' + time + '\0' + row.text;
    const int n = ++seen_[key];
    // Identical rows are told apart by their order.
    return Fingerprint(key) + (n > 1 ? "-" + std::to_string(n) : "") + "@vespin";
  }

  Component Build(const Plan& plan, const std::string& uid, const std::string& summary,
                  const std::string& alarm, TDateTime timeOfDay) const {
    Component ev(icalcomponent_new_vevent());
    icalcomponent* e = ev.get();
    icalcomponent_add_property(e, icalproperty_new_uid(uid.c_str()));
    icalcomponent_add_property(e, Stamp(opt_.stampUtc));
    icalcomponent_add_property(
        e, InZone(icalproperty_new_dtstart(WallTime(plan.start + timeOfDay)), tzid_));
    // An event is its minute. Without a length, readers take one of their own (an hour: an
    // event at 23:30 shows on the next day too) or refuse a repeating event at midnight; a
    // length of nothing is refused as well.
    icalcomponent_add_property(e, icalproperty_new_duration(icaldurationtype_from_int(kLength)));
    if (!plan.rrule.empty()) {
      icalcomponent_add_property(
          e, icalproperty_new_rrule(icalrecurrencetype_from_string(plan.rrule.c_str())));
    }
    for (const TDateTime t : plan.exdates) {
      icalcomponent_add_property(e,
                                 InZone(icalproperty_new_exdate(WallTime(t + timeOfDay)), tzid_));
    }
    for (const TDateTime t : plan.rdates) {
      icaldatetimeperiodtype value{};
      value.time = WallTime(t + timeOfDay);
      value.period = icalperiodtype_null_period();
      icalcomponent_add_property(e, InZone(icalproperty_new_rdate(value), tzid_));
    }
    icalcomponent_add_property(e, icalproperty_new_summary(summary.c_str()));
    if (IsStartUpLead(alarm)) {
      icalcomponent_add_property(e, icalproperty_new_description(kStartUpDescription));
    }
    if (plan.listedUntil) {
      icalcomponent_add_property(e, XProperty(kListedUntilProperty, DateDigits(opt_.until)));
    }
    if (!plan.rule.empty()) icalcomponent_add_property(e, XProperty(kRuleProperty, plan.rule));
    if (!IsStartUpLead(alarm)) icalcomponent_add_component(e, Alarm(summary, alarm));
    return ev;
  }

  // A lead the table does not know is no lead: the engine's advance notice then comes at the
  // event's own minute.
  static icalcomponent* Alarm(const std::string& summary, const std::string& alarm) {
    icalcomponent* valarm = icalcomponent_new_valarm();
    icalcomponent_add_property(valarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icalcomponent_add_property(valarm, icalproperty_new_description(summary.c_str()));
    icaltriggertype trigger{};
    trigger.time = icaltime_null_time();
    trigger.duration =
        icaldurationtype_from_int(-static_cast<int>(LeadMsecs(alarm) / kMsecsPerSecond));
    icalcomponent_add_property(valarm, icalproperty_new_trigger(trigger));
    return valarm;
  }

  // Whether libical reads the event as occurring exactly on the row's dates, at its time.
  bool Holds(icalcomponent* event, const RowDates& d, TDateTime timeOfDay) const {
    const Expansion x = Expand(cal_, event, opt_.from, opt_.until, nullptr);
    if (!x.problem.empty() || x.occurrences.size() != d.dates.size()) return false;
    for (std::size_t i = 0; i < d.dates.size(); ++i) {
      if (ToMsecs(x.occurrences[i].start) != ToMsecs(d.dates[i] + timeOfDay)) return false;
    }
    return true;
  }

  icalcomponent* cal_;
  const ExportOptions& opt_;
  std::string tzid_;
  std::map<std::string, int> seen_;
};

}  // namespace

std::int64_t ModifiedUtc(const std::filesystem::path& file, std::int64_t fallback) {
  std::error_code ec;
  const auto stamp = std::filesystem::last_write_time(file, ec);
  if (ec) return fallback;
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::file_clock::to_sys(stamp).time_since_epoch())
      .count();
}

TDateTime YearsOn(TDateTime date, int years) {
  const DateParts p = DecodeDate(date);
  const int year = std::min(p.year + years, 9999);
  return EncodeDate(year, p.month, std::min(p.day, DaysInMonth(year, p.month)));
}

ExportResult ExportEvents(const EventStore& store, const ExportOptions& opt) {
  ExportResult result;
  Component cal = NewCalendar(kEventsCalendarName);
  icaltimezone* zone = ZoneNamed(opt.zone);
  const std::string tzid = zone ? opt.zone : "";
  if (zone) AddZone(cal.get(), zone, tzid, opt.from);

  const std::array<const EventTable*, 3> tables = {&store.year, &store.month, &store.week};
  std::array<std::vector<RowDates>, kEventKindCount> dates;
  int missing = 0;
  for (std::size_t k = 0; k < tables.size(); ++k) {
    dates[k].resize(static_cast<std::size_t>(tables[k]->DataRowCount()) + 1);
    missing += tables[k]->DataRowCount();
  }
  const auto slot = [&](const CompactEvent& e) -> RowDates& {
    return dates[KindIndex(e.kind)][static_cast<std::size_t>(e.row)];
  };
  const std::vector<CompactEvent> rows = CompactRows(store);
  ForEachOccurrence(rows, DayOf(opt.from), DayOf(opt.until), opt.law,
                    [&](sys_days day, const CompactEvent& e) {
                      RowDates& d = slot(e);
                      if (d.dates.empty()) --missing;
                      d.dates.push_back(vespin::ToDateTime(day));
                      d.time = HourMinuteText(e.timeMs);
                      return true;
                    });
  if (missing > 0) {
    ForEachOccurrence(rows, DayOf(opt.until + 1), DayOf(YearsOn(opt.from, kLongestGapYears)),
                      opt.law, [&](sys_days day, const CompactEvent& e) {
                        RowDates& d = slot(e);
                        if (d.dates.empty() && !d.later) {
                          d.later = vespin::ToDateTime(day);
                          d.time = HourMinuteText(e.timeMs);
                          --missing;
                        }
                        return missing > 0;
                      });
  }

  EventWriter writer(cal.get(), opt, tzid);
  for (const EventKind kind : {EventKind::kYearly, EventKind::kMonthly, EventKind::kWeekly}) {
    const auto& kindDates = dates[KindIndex(kind)];
    for (int row = 1; row < static_cast<int>(kindDates.size()); ++row) {
      const RowDates& d = kindDates[static_cast<std::size_t>(row)];
      const StoredRow stored = RowOf(store, kind, row);
      if (d.dates.empty() && !d.later) {
        result.never.push_back({kind, row, stored.text});
        continue;
      }
      writer.Add(stored, d);
    }
  }
  result.ics = Text(cal.get());
  return result;
}

std::string ExportHolidays(const ExportOptions& opt) {
  Component cal = NewCalendar(kHolidaysCalendarName);
  for (TDateTime day = DateOf(opt.from); day <= DateOf(opt.until); day += 1) {
    if (!IsHoliday(DayOf(day), opt.law)) continue;
    const auto name = HolidayName(DayOf(day), opt.law);
    icalcomponent* e = icalcomponent_new_vevent();
    icalcomponent_add_property(
        e, icalproperty_new_uid(("holiday-" + DateDigits(day) + "@vespin").c_str()));
    icalcomponent_add_property(e, Stamp(opt.stampUtc));
    icalcomponent_add_property(e, icalproperty_new_dtstart(WallDate(day)));
    icalcomponent_add_property(e, icalproperty_new_dtend(WallDate(day + 1)));
    const std::string summary = name ? sjis::ToUtf8(*name) : kHolidayFallbackName;
    icalcomponent_add_property(e, icalproperty_new_summary(summary.c_str()));
    // A holiday takes no time: calendars must not show the day as busy.
    icalcomponent_add_property(e, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    icalcomponent_add_component(cal.get(), e);
  }
  return Text(cal.get());
}

std::string ExportFromToday(const EventStore& store, HolidayLaw law,
                            const std::filesystem::path& eventFile, TDateTime today,
                            std::int64_t nowUtc) {
  constexpr int kYearsAhead = 2;
  ExportOptions opt;
  opt.from = today;
  opt.until = YearsOn(today, kYearsAhead);
  opt.zone = LocalZoneName();
  opt.stampUtc = ModifiedUtc(eventFile, nowUtc);
  opt.law = law;
  return ExportEvents(store, opt).ics;
}

std::string LocalZoneName() {
  const auto known = [](std::string name) -> std::string {
    const std::string marker = "zoneinfo/";
    if (const auto at = name.rfind(marker); at != std::string::npos) {
      name.erase(0, at + marker.size());
    }
    while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
    return ZoneNamed(name) ? name : std::string();
  };
  if (const char* tz = std::getenv("TZ"); tz && *tz) {
    std::string name = tz;
    if (name.front() == ':') name.erase(0, 1);
    return known(name);
  }
  std::error_code ec;
  const auto target = std::filesystem::canonical("/etc/localtime", ec);
  if (!ec) {
    if (auto name = known(target.string()); !name.empty()) return name;
  }
  std::ifstream in("/etc/timezone");
  std::string line;
  if (std::getline(in, line)) return known(line);
  return {};
}

}  // namespace vespin::ical
