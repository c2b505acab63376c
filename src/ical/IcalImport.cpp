#include "IcalImport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <unordered_set>

#include "IcalExport.h"
#include "IcalLimits.h"
#include "IcalRules.h"
#include "Libical.h"
#include "agenda/Agenda.h"
#include "events/CodeTables.h"
#include "events/EventRows.h"
#include "events/FileLines.h"
#include "events/IniFormat.h"
#include "text/Sjis.h"

namespace vespin::ical {
namespace {

// How far ahead an event without listed holidays is compared, and how far listed holidays must
// reach when the file does not say how far it lists them.
constexpr int kCompareYears = 2;
constexpr int kShortestListingDays = 365;
constexpr const char* kNoSummary = "(no SUMMARY)";

std::string IsoDate(TDateTime date) {
  const DateParts p = DecodeDate(date);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  return buf;
}

std::string TwoDigits(int n) {
  return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

bool LooksLikeCalendar(std::string_view ics) {
  if (ics.starts_with("\xEF\xBB\xBF")) ics.remove_prefix(3);
  while (!ics.empty() && std::isspace(static_cast<unsigned char>(ics.front())))
    ics.remove_prefix(1);
  constexpr std::string_view kBegin = "BEGIN:VCALENDAR";
  if (ics.size() < kBegin.size()) return false;
  for (std::size_t i = 0; i < kBegin.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(ics[i])) != kBegin[i]) return false;
  }
  return true;
}

// C0 controls, DEL and the C1 controls (U+0080 … U+009F, C2 80 … C2 9F in UTF-8).
bool HasControl(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      return true;
    }
  }
  return false;
}

// The text as the event file can hold it, or why it cannot.
struct TextCheck {
  std::string sjis;
  std::string problem;
};

TextCheck CheckText(const std::string& summary) {
  if (summary.empty()) return {"", "no text (SUMMARY)"};
  if (summary.find_first_of("\r\n") != std::string::npos) return {"", "a line break in the text"};
  // The event file and the notices take text as it is: an escape sequence in it would reach
  // every terminal that shows it.
  if (HasControl(summary)) return {"", "a control character in the text"};
  const auto sjis = sjis::FromUtf8(summary);
  if (!sjis) return {"", "a text Shift_JIS cannot hold"};
  if (sjis->find(',') != std::string::npos) return {"", "a comma in the text"};
  if (sjis->size() > ini::kEventTextMaxBytes) {
    return {"", "a text of " + std::to_string(sjis->size()) + " bytes in Shift_JIS (" +
                    std::to_string(ini::kEventTextMaxBytes) + " at most)"};
  }
  return {*sjis, ""};
}

std::vector<std::string> RowFor(EventKind kind, const std::string& code, const std::string& time,
                                const std::string& text, const std::string& alarm, bool once) {
  switch (kind) {
    case EventKind::kYearly:
      return YearRow(code, time, text, alarm, ini::BoolToken(once));
    case EventKind::kMonthly:
      return MonthRow(code, time, text, alarm);
    case EventKind::kWeekly:
      break;
  }
  return WeekRow(code, time, text, alarm);
}

EventTable& TableOf(EventStore& store, EventKind kind) {
  switch (kind) {
    case EventKind::kYearly:
      return store.year;
    case EventKind::kMonthly:
      return store.month;
    case EventKind::kWeekly:
      break;
  }
  return store.week;
}

// Whether a stored rule falls exactly on `expected` (whole dates, in order) from `first` to
// `last`, asking the engine day by day and stopping at the first difference.
bool RuleGives(const RuleCode& rule, bool once, TDateTime first, TDateTime last, HolidayLaw law,
               const std::vector<TDateTime>& expected, ImportWork& work) {
  EventStore one;
  TableOf(one, rule.kind)
      .InsertRow(1,
                 RowFor(rule.kind, rule.code, "00:00", "", std::string(StartUpLeadCode()), once));
  std::size_t next = 0;
  bool same = true;
  TDateTime reached = DateOf(last);
  ForEachOccurrence(CompactRows(one), DayOf(first), DayOf(last), law,
                    [&](sys_days day, const CompactEvent&) {
                      same = next < expected.size() && vespin::ToDateTime(day) == expected[next];
                      ++next;
                      if (!same) reached = vespin::ToDateTime(day);
                      return same;
                    });
  work.ruleDays += static_cast<std::int64_t>(std::max(0.0, reached - DateOf(first) + 1));
  return same && next == expected.size();
}

std::string LeadText(std::int64_t seconds) {
  const auto plural = [](std::int64_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
  };
  if (seconds % 86400 == 0 && seconds > 0) return plural(seconds / 86400, "day");
  if (seconds % 3600 == 0 && seconds > 0) return plural(seconds / 3600, "hour");
  if (seconds % 60 == 0) return plural(seconds / 60, "minute");
  return plural(seconds, "second");
}

std::string AlarmName(const std::string& code) {
  return sjis::ToUtf8(Codes().cdAlarm.CodeToName(code));
}

// The wall-clock day of a date or date-time value as written, whatever its zone.
std::optional<TDateTime> WrittenDay(const icaltimetype& t) {
  if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t)) return std::nullopt;
  return DateOf(ToDateTime(t));
}

std::string Uid(icalcomponent* event) {
  const char* uid = icalcomponent_get_uid(event);
  return uid ? uid : "";
}

// What one event must know of the others in its file.
class FileFacts {
 public:
  FileFacts(const std::vector<icalcomponent*>& events, TDateTime today) {
    for (icalcomponent* e : events) {
      icalproperty* id = icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY);
      if (id && Moves(id, e, today)) moved_.insert(Uid(e));
    }
  }

  // Whether the file changes single occurrences of this UID from today on (or, with
  // RANGE=THISANDFUTURE, every later one): the rule alone then no longer tells its dates and
  // texts.
  bool Moved(const std::string& uid) const { return !uid.empty() && moved_.count(uid) > 0; }

  // False for the second and later events of a UID: one event, written twice.
  bool First(const std::string& uid) { return uid.empty() || seen_.insert(uid).second; }

 private:
  // Both the date it replaces and the date it moves to count; a day before today too, as a
  // value in another zone may fall on today here.
  static bool Moves(icalproperty* id, icalcomponent* e, TDateTime today) {
    icalparameter* range = icalproperty_get_first_parameter(id, ICAL_RANGE_PARAMETER);
    if (range && icalparameter_get_range(range) == ICAL_RANGE_THISANDFUTURE) return true;
    for (const icaltimetype& t :
         {icalproperty_get_recurrenceid(id), icalcomponent_get_dtstart(e)}) {
      const auto day = WrittenDay(t);
      if (!day || *day >= today - 1) return true;
    }
    return false;
  }

  std::unordered_set<std::string> moved_;
  std::unordered_set<std::string> seen_;
};

// The properties the import reads the dates and the state of an event from, with the article
// their name takes ("an RRULE").
struct ReadProperty {
  std::string_view name;
  const char* article;
};
constexpr ReadProperty kReadProperties[] = {
    {"DTSTART", "a"}, {"DTEND", "a"},   {"DURATION", "a"},      {"RRULE", "an"}, {"RDATE", "an"},
    {"EXDATE", "an"}, {"EXRULE", "an"}, {"RECURRENCE-ID", "a"}, {"STATUS", "a"}, {"SUMMARY", "a"},
};

// A property the import reads that libical could not read, and dropped with a note (an
// X-LIC-ERROR): "an RRULE that cannot be read (FREQ=WEEKLY;INTERVAL=0)"; empty when every
// dropped property is one the import does not read (an empty DESCRIPTION, say).
std::string DroppedProperty(icalcomponent* event) {
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_XLICERROR_PROPERTY)) {
    const char* error = icalproperty_get_xlicerror(p);
    const std::string_view text = error ? error : "";
    // "Can't parse as RECUR value in RRULE property. Removing entire property: <value>", "No
    // value for STATUS property. …", "Parse error in property name: <line>".
    constexpr std::string_view kRemoving = "Removing entire property:";
    const std::size_t removing = text.find(kRemoving);
    const std::string_view head = text.substr(0, removing);
    std::string_view value;
    if (removing != std::string_view::npos) {
      value = text.substr(removing + kRemoving.size());
    } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
      value = text.substr(colon + 1);
    }
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    std::string_view words = removing != std::string_view::npos ? head : text;
    while (!words.empty()) {
      const std::size_t start = words.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
      if (start == std::string_view::npos) break;
      words.remove_prefix(start);
      const std::size_t end = words.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ-");
      const std::string_view word = words.substr(0, end);
      words.remove_prefix(word.size());
      for (const ReadProperty& read : kReadProperties) {
        if (word != read.name) continue;
        std::string reason =
            std::string(read.article) + " " + std::string(read.name) + " that cannot be read";
        if (!value.empty()) reason += " (" + std::string(value) + ")";
        return reason;
      }
    }
  }
  return {};
}

class EventReader {
 public:
  EventReader(icalcomponent* cal, icalcomponent* event, const ImportOptions& opt,
              ImportResult& result)
      : cal_(cal), ev_(event), opt_(opt), result_(result), local_(ZoneNamed(opt.zone)) {
    const char* summary = icalcomponent_get_summary(event);
    summary_ = summary ? summary : "";
  }

  void Read(FileFacts& facts) {
    if (icalcomponent_get_first_property(ev_, ICAL_RECURRENCEID_PROPERTY)) {
      return Skip("a changed occurrence of a repeating event (RECURRENCE-ID)");
    }
    if (icalcomponent_get_status(ev_) == ICAL_STATUS_CANCELLED) return Skip("cancelled");
    const std::string uid = Uid(ev_);
    if (!facts.First(uid)) return Skip("the same UID as an earlier event");
    if (std::string dropped = DroppedProperty(ev_); !dropped.empty()) return Skip(dropped);
    if (facts.Moved(uid)) {
      return Skip("single occurrences moved, changed or cancelled by other events (RECURRENCE-ID)");
    }
    const TextCheck text = CheckText(summary_);
    if (!text.problem.empty()) return Skip(text.problem);
    text_ = text.sjis;
    if (icalcomponent_get_first_property(ev_, ICAL_EXRULE_PROPERTY)) {
      return Skip("an exception rule (EXRULE)");
    }
    if (icalcomponent_count_properties(ev_, ICAL_RRULE_PROPERTY) > 1) {
      return Skip("more than one RRULE");
    }
    if (icalproperty* p = icalcomponent_get_first_property(ev_, ICAL_RRULE_PROPERTY)) {
      rule_ = icalproperty_get_rrule(p);
      if (const std::string problem = RuleProblem(*rule_); !problem.empty()) return Skip(problem);
    }
    const bool listed = icalcomponent_get_first_property(ev_, ICAL_RDATE_PROPERTY) != nullptr;
    if (!listed && (!rule_ || rule_->count == 1)) return ReadOnce();
    ReadRepeating();
  }

 private:
  void Skip(std::string reason) {
    result_.skipped.push_back({summary_.empty() ? kNoSummary : summary_, std::move(reason)});
  }
  void Note(std::string text) {
    result_.notes.push_back({summary_.empty() ? kNoSummary : summary_, std::move(text)});
  }

  static std::string RuleProblem(const icalrecurrencetype& r) {
    switch (r.freq) {
      case ICAL_YEARLY_RECURRENCE:
      case ICAL_MONTHLY_RECURRENCE:
      case ICAL_WEEKLY_RECURRENCE:
      case ICAL_DAILY_RECURRENCE:
        break;
      case ICAL_NO_RECURRENCE:
        return "an RRULE that cannot be read";
      default:
        return std::string("a repetition more often than daily (FREQ=") +
               icalrecur_freq_to_string(r.freq) + ")";
    }
    if (r.interval > 1) return "a repetition every " + std::to_string(r.interval) + " (INTERVAL)";
    if (!icaltime_is_null_time(r.until)) return "an end date (UNTIL)";
    if (r.count > 1) return "an end after " + std::to_string(r.count) + " times (COUNT)";
    if (r.by_hour[0] != ICAL_RECURRENCE_ARRAY_MAX || r.by_minute[0] != ICAL_RECURRENCE_ARRAY_MAX ||
        r.by_second[0] != ICAL_RECURRENCE_ARRAY_MAX) {
      return "several times a day (BYHOUR, BYMINUTE or BYSECOND)";
    }
    return EndlessRule(r);
  }

  // HH:MM of an occurrence, or empty when it has seconds.
  static std::string HourMinute(const Occurrence& o) {
    if (DecodeTime(TimeOf(o.start)).second != 0) return {};
    return TimeText(o.start);
  }

  void Add(EventKind kind, std::string code, const std::string& time, bool once) {
    result_.events.push_back({kind, std::move(code), time, text_, Lead(), once, summary_});
  }

  Expansion ExpandEvent(TDateTime first, TDateTime last, icaltimezone* into,
                        bool rulesOnly = false) {
    // A single date costs nothing to expand.
    if (rule_ && result_.work.expandedDays >= opt_.maxExpandedDays) {
      Expansion none;
      none.problem = "not compared: the events before it took all the comparing one import does";
      return none;
    }
    Expansion x = Expand(cal_, ev_, first, last, into, rulesOnly);
    result_.work.expansionSteps += x.steps;
    result_.work.expandedDays += x.days;
    return x;
  }

  bool Gives(const RuleCode& rule, bool once, TDateTime first, TDateTime last,
             const std::vector<TDateTime>& expected) {
    return RuleGives(rule, once, first, last, opt_.law, expected, result_.work);
  }

  void ReadOnce() {
    // A date alone costs nothing to find; a rule (COUNT=1) is followed to the horizon only.
    const TDateTime last = rule_ ? HorizonEnd(opt_.today) : EncodeDate(9999, 12, 31);
    const Expansion x = ExpandEvent(EncodeDate(1, 1, 1), last, local_);
    if (!x.problem.empty()) return Skip(x.problem);
    if (x.occurrences.empty()) {
      return Skip(rule_ ? "no occurrence within " + std::to_string(kHorizonYears) + " years"
                        : std::string("no occurrence"));
    }
    const Occurrence& o = x.occurrences.front();
    const std::string time = HourMinute(o);
    if (time.empty()) return Skip("a start time with seconds");
    const TDateTime date = DateOf(o.start);
    if (date < opt_.today) return Skip("in the past (" + IsoDate(date) + ")");
    const DateParts p = DecodeDate(date);
    const RuleCode yearly{EventKind::kYearly, TwoDigits(p.month) + TwoDigits(p.day)};
    // A yearly row flagged for deletion falls due on the first such date from today on.
    if (!Gives(yearly, true, opt_.today, date, {date})) {
      return Skip("more than a year ahead (" + IsoDate(date) + ")");
    }
    Add(EventKind::kYearly, yearly.code, time, true);
  }

  // The last date of the exceptions this file lists, when it says or shows one.
  std::optional<TDateTime> ListedUntil(std::optional<TDateTime>& lastException) const {
    for (icalproperty* p = icalcomponent_get_first_property(ev_, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(ev_, ICAL_X_PROPERTY)) {
      const char* name = icalproperty_get_x_name(p);
      if (!name || std::string_view(name) != kListedUntilProperty) continue;
      const icaltimetype t = icaltime_from_string(icalproperty_get_x(p));
      if (!icaltime_is_null_time(t) && icaltime_is_valid_time(t)) return DateOf(ToDateTime(t));
    }
    for (const icalproperty_kind kind : {ICAL_EXDATE_PROPERTY, ICAL_RDATE_PROPERTY}) {
      for (icalproperty* p = icalcomponent_get_first_property(ev_, kind); p;
           p = icalcomponent_get_next_property(ev_, kind)) {
        const icaltimetype t = kind == ICAL_EXDATE_PROPERTY ? icalproperty_get_exdate(p)
                                                            : icalproperty_get_rdate(p).time;
        if (icaltime_is_null_time(t)) continue;
        const TDateTime date = DateOf(ToDateTime(t));
        if (!lastException || date > *lastException) lastException = date;
      }
    }
    return std::nullopt;
  }

  // The rule the exporting program named, when it did (X-VESPIN-RULE: "monthly 203").
  std::optional<RuleCode> NamedRule() const {
    for (icalproperty* p = icalcomponent_get_first_property(ev_, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(ev_, ICAL_X_PROPERTY)) {
      const char* name = icalproperty_get_x_name(p);
      const char* value = icalproperty_get_x(p);
      if (!name || !value || std::string_view(name) != kRuleProperty) continue;
      const std::string_view v = value;
      for (const EventKind kind : {EventKind::kYearly, EventKind::kMonthly, EventKind::kWeekly}) {
        const std::string prefix = std::string(KindName(kind)) + " ";
        if (v.starts_with(prefix)) return RuleCode{kind, std::string(v.substr(prefix.size()))};
      }
    }
    return std::nullopt;
  }

  void ReadRepeating() {
    const TDateTime today = opt_.today;
    const TDateTime horizon = HorizonEnd(today);
    const TDateTime twoYears = YearsOn(today, kCompareYears);
    std::optional<TDateTime> lastException;
    std::optional<TDateTime> declared = ListedUntil(lastException);
    // Dates taken away or added beyond the horizon cannot be compared: the rule would be taken
    // on trust there.
    if (lastException && *lastException > horizon) {
      return Skip("single dates taken away or added more than " + std::to_string(kHorizonYears) +
                  " years ahead (EXDATE/RDATE)");
    }
    if (declared) declared = std::min(*declared, horizon);
    // Rules that need no holidays are compared for two years (and over every listed date);
    // rules that skip or add holidays as far as the holidays are listed.
    TDateTime freeEnd = std::max(twoYears, lastException.value_or(today));
    std::optional<TDateTime> holidayEnd = declared;
    if (!holidayEnd) {
      if (!lastException) {
        holidayEnd = twoYears;
      } else if (*lastException - today >= kShortestListingDays) {
        holidayEnd = lastException;
      }
    }
    Expansion full = ExpandEvent(today, std::max(freeEnd, holidayEnd.value_or(today)), local_);
    if (!full.problem.empty()) return Skip(full.problem);
    if (full.occurrences.empty()) {
      // A rule whose next date lies further out (29 February) is compared up to that date.
      full = ExpandEvent(today, YearsOn(today, kLongestGapYears), local_);
      if (full.occurrences.empty()) return Skip("no occurrence from today on");
      freeEnd = DateOf(full.occurrences.front().start);
      full.occurrences.resize(1);
    }
    const std::string time = HourMinute(full.occurrences.front());
    if (time.empty()) return Skip("a start time with seconds");
    for (const Occurrence& o : full.occurrences) {
      if (TimeText(o.start) != time) return Skip("a time of day that changes in the local zone");
    }
    std::vector<TDateTime> dates;
    for (const Occurrence& o : full.occurrences) dates.push_back(DateOf(o.start));

    // The RRULE alone must be the rule's own: EXDATE and RDATE only ever add or take holidays.
    // Both are read on the local wall clock: 23:00 UTC on Mondays is a Tuesday rule here.
    const std::optional<TDateTime> start = StartOn(cal_, ev_, local_);
    if (!start) return Skip("a start (DTSTART) that is no date");
    std::optional<std::vector<TDateTime>> givenBase;
    const auto sameBase = [&](const std::string& rrule) {
      if (!givenBase) {
        givenBase.emplace();
        for (const Occurrence& o : ExpandEvent(today, twoYears, local_, true).occurrences) {
          givenBase->push_back(DateOf(o.start));
        }
      }
      return RuleDates(rrule, DateOf(*start), today, twoYears) == *givenBase;
    };
    // Without single dates taken away or added, the rule alone gave the dates just compared.
    const bool excepted = icalcomponent_get_first_property(ev_, ICAL_EXDATE_PROPERTY) ||
                          icalcomponent_get_first_property(ev_, ICAL_RDATE_PROPERTY);
    const auto upTo = [&](TDateTime last) {
      return std::vector<TDateTime>(dates.begin(),
                                    std::upper_bound(dates.begin(), dates.end(), last));
    };
    const std::string givenRule = rule_ ? RuleText(*rule_) : "";

    // Every rule that gives the same dates; which of them is the event's is chosen below.
    std::vector<RuleCode> fits;
    std::vector<bool> spelledAlike;
    bool laterMatch = false;
    for (const RuleCode& code : CodesThrough(dates.front())) {
      const auto form = FormOf(code.kind, code.code);
      if (!form || form->rrule.empty() == rule_.has_value()) continue;
      const std::optional<TDateTime> last = form->holidays ? holidayEnd : freeEnd;
      if (!last) continue;
      if (!Gives(code, false, today, *last, upTo(*last))) {
        laterMatch = laterMatch || (dates.front() > today &&
                                    Gives(code, false, dates.front(), *last, upTo(*last)));
        continue;
      }
      if (rule_ && excepted && !sameBase(form->rrule)) continue;
      fits.push_back(code);
      spelledAlike.push_back(RuleText(icalrecurrencetype_from_string(form->rrule.c_str())) ==
                             givenRule);
    }
    if (fits.empty()) {
      if (laterMatch) {
        return Skip("a first date (" + IsoDate(dates.front()) +
                    "): a repeating event here has none and would begin at once");
      }
      if (!holidayEnd) return Skip("single dates taken away or added (EXDATE/RDATE)");
      return Skip("no stored rule falls on the same dates");
    }
    const RuleCode match = Choose(fits, spelledAlike);
    Add(match.kind, match.code, time, false);
  }

  // Of several rules with the same dates: the one the file names (X-VESPIN-RULE), else one
  // spelled as the file spells its RRULE, the weekly first such weekday (第１) before the
  // monthly first weekday (最初の), as 第２ … 第４ are weekly too; else the first in walk order.
  RuleCode Choose(const std::vector<RuleCode>& fits, const std::vector<bool>& spelledAlike) const {
    if (const auto named = NamedRule()) {
      for (const RuleCode& fit : fits) {
        if (fit.kind == named->kind && fit.code == named->code) return fit;
      }
    }
    std::optional<RuleCode> alike;
    for (std::size_t i = 0; i < fits.size(); ++i) {
      if (!spelledAlike[i]) continue;
      if (!alike || fits[i].kind == EventKind::kWeekly) alike = fits[i];
    }
    return alike.value_or(fits.front());
  }

  static std::string RuleText(const icalrecurrencetype& rule) {
    char* text = icalrecurrencetype_as_string_r(const_cast<icalrecurrencetype*>(&rule));
    std::string out = text ? text : "";
    std::free(text);
    return out;
  }

  // The lead of the earliest alarm before the start; announced at start-up without one.
  // Placeholders are no alarms: ACTION:NONE (written beside a real alarm by some programs, with
  // a moment in 1976), and a moment already past, which will not come again.
  std::string Lead() {
    std::optional<std::int64_t> before;
    for (icalcomponent* a = icalcomponent_get_first_component(ev_, ICAL_VALARM_COMPONENT); a;
         a = icalcomponent_get_next_component(ev_, ICAL_VALARM_COMPONENT)) {
      if (icalproperty* action = icalcomponent_get_first_property(a, ICAL_ACTION_PROPERTY)) {
        // NONE is no action libical knows: it reads as an extension value.
        const char* value = icalproperty_get_value_as_string(action);
        if (value && std::string_view(value) == "NONE") continue;
      }
      icalproperty* p = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
      if (!p) continue;
      if (Passed(icalproperty_get_trigger(p))) {
        Note("an alarm at a moment already past is left out");
        continue;
      }
      const auto seconds = SecondsBefore(p);
      if (!seconds) continue;
      if (*seconds < 0) {
        Note("an alarm after the start is left out");
        continue;
      }
      before = std::max(before.value_or(0), *seconds);
    }
    if (!before) return std::string(StartUpLeadCode());
    const auto leads = LeadCodes();
    for (const auto& [code, lead] : leads) {
      if (lead == *before) return code;
    }
    // Rounded up, so the notice never comes later than the other calendar's alarm would.
    const auto up = std::find_if(leads.begin(), leads.end(),
                                 [&](const auto& l) { return l.second >= *before; });
    const std::string code = up == leads.end() ? leads.back().first : up->first;
    Note("an alarm " + LeadText(*before) + " before becomes " + AlarmName(code));
    return code;
  }

  // An alarm at a moment (not relative to the start) before today began here.
  bool Passed(const icaltriggertype& t) const {
    if (icaltime_is_null_time(t.time)) return false;
    const auto moment = icaltime_as_timet_with_zone(t.time, Utc());
    return moment < icaltime_as_timet_with_zone(WallTime(opt_.today), local_ ? local_ : Utc());
  }

  std::optional<std::int64_t> SecondsBefore(icalproperty* trigger) const {
    const icaltriggertype t = icalproperty_get_trigger(trigger);
    if (!icaltime_is_null_time(t.time)) {
      icalproperty* dtstart = icalcomponent_get_first_property(ev_, ICAL_DTSTART_PROPERTY);
      if (!dtstart) return std::nullopt;
      const icaltimetype start = icalproperty_get_dtstart(dtstart);
      const ZoneOf zone = PropertyZone(cal_, dtstart, start);
      icaltimezone* startZone = zone.zone ? zone.zone : (local_ ? local_ : Utc());
      return static_cast<std::int64_t>(icaltime_as_timet_with_zone(start, startZone)) -
             static_cast<std::int64_t>(icaltime_as_timet_with_zone(t.time, Utc()));
    }
    std::int64_t seconds = -icaldurationtype_as_int(t.duration);
    icalparameter* related = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
    if (related && icalparameter_get_related(related) == ICAL_RELATED_END) {
      seconds -= icaldurationtype_as_int(icalcomponent_get_duration(ev_));
    }
    return seconds;
  }

  icalcomponent* cal_;
  icalcomponent* ev_;
  const ImportOptions& opt_;
  ImportResult& result_;
  icaltimezone* local_;
  std::string summary_;
  std::string text_;
  std::optional<icalrecurrencetype> rule_;
};

}  // namespace

namespace {

// The calendars of an iCalendar text (a file may hold several), or nothing when it is none.
struct Parsed {
  Component root;
  std::vector<icalcomponent*> calendars;
  std::string error;
};

Parsed Parse(std::string_view ics) {
  Parsed parsed;
  if (ics.size() > kMaxCalendarBytes) {
    parsed.error = std::string("larger than ") + kMaxCalendarSize;
    return parsed;
  }
  if (!LooksLikeCalendar(ics)) {
    parsed.error = "not iCalendar data (it does not begin with BEGIN:VCALENDAR)";
    return parsed;
  }
  const std::string text(ics);
  parsed.root.reset(icalparser_parse_string(text.c_str()));
  icalcomponent* root = parsed.root.get();
  if (root && icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT) {
    parsed.calendars.push_back(root);
  } else if (root && icalcomponent_isa(root) == ICAL_XROOT_COMPONENT) {
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT)) {
      parsed.calendars.push_back(c);
    }
  }
  if (parsed.calendars.empty()) parsed.error = "not iCalendar data (no calendar could be read)";
  return parsed;
}

// Collected first: reading an event asks its calendar for zones, which must not disturb a walk
// over the calendar's components.
std::vector<icalcomponent*> EventsOf(icalcomponent* cal) {
  std::vector<icalcomponent*> events;
  for (icalcomponent* e = icalcomponent_get_first_component(cal, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(cal, ICAL_VEVENT_COMPONENT)) {
    events.push_back(e);
  }
  return events;
}

}  // namespace

ImportResult ReadCalendar(std::string_view ics, const ImportOptions& opt) {
  ImportResult result;
  const Parsed parsed = Parse(ics);
  if (!parsed.error.empty()) {
    result.error = parsed.error;
    return result;
  }
  std::vector<std::pair<icalcomponent*, icalcomponent*>> events;  // calendar, event
  std::vector<icalcomponent*> all;
  for (icalcomponent* cal : parsed.calendars) {
    for (icalcomponent* e : EventsOf(cal)) {
      events.emplace_back(cal, e);
      all.push_back(e);
    }
  }
  if (events.empty()) {
    result.error = "no events to import (no VEVENT: to-dos, journals or free/busy only)";
    return result;
  }
  FileFacts facts(all, opt.today);
  for (const auto& [cal, e] : events) EventReader(cal, e, opt, result).Read(facts);
  return result;
}

std::optional<std::vector<EventStarts>> ExpandCalendar(std::string_view ics, TDateTime first,
                                                       TDateTime last, const std::string& zone) {
  const Parsed parsed = Parse(ics);
  if (!parsed.error.empty()) return std::nullopt;
  last = std::min(last, HorizonEnd(first));
  std::vector<EventStarts> out;
  for (icalcomponent* cal : parsed.calendars) {
    for (icalcomponent* e : EventsOf(cal)) {
      EventStarts starts;
      const char* uid = icalcomponent_get_uid(e);
      const char* summary = icalcomponent_get_summary(e);
      starts.uid = uid ? uid : "";
      starts.summary = summary ? summary : "";
      const Expansion x = Expand(cal, e, first, last, ZoneNamed(zone));
      starts.problem = x.problem;
      for (const Occurrence& o : x.occurrences) starts.starts.push_back(o.start);
      out.push_back(std::move(starts));
    }
  }
  return out;
}

std::vector<ImportedEvent> AddEvents(EventStore& store, const std::vector<ImportedEvent>& events,
                                     std::vector<Skipped>& skipped) {
  const auto key = [](EventKind kind, const std::vector<std::string>& row) {
    std::string k(1, static_cast<char>('0' + static_cast<int>(kind)));
    for (const std::string& cell : row) k += '\x1f' + cell;
    return k;
  };
  std::set<std::string> stored;
  for (const EventKind kind : {EventKind::kYearly, EventKind::kMonthly, EventKind::kWeekly}) {
    const EventTable& table = TableOf(store, kind);
    for (int row = 1; row <= table.DataRowCount(); ++row) {
      std::vector<std::string> cells;
      for (int col = 0; col < table.ColCount(); ++col) cells.emplace_back(table.Cell(col, row));
      stored.insert(key(kind, cells));
    }
  }
  std::vector<ImportedEvent> added;
  for (const ImportedEvent& e : events) {
    std::vector<std::string> row = RowFor(e.kind, e.code, e.time, e.text, e.alarm, e.once);
    if (stored.count(key(e.kind, row))) {
      skipped.push_back({e.summary, "already stored"});
      continue;
    }
    EventTable& table = TableOf(store, e.kind);
    int position = table.DataRowCount() + 1;
    if (e.kind != EventKind::kWeekly) {
      const int sortCol = e.kind == EventKind::kYearly ? YearCol::kSortKey : MonthCol::kSortKey;
      const std::string& sortKey = row[static_cast<std::size_t>(sortCol)];
      while (position > 1 && table.Cell(sortCol, position - 1) > sortKey) --position;
    }
    table.InsertRow(position, std::move(row));
    added.push_back(e);
  }
  return added;
}

std::string FileLine(const ImportedEvent& e) {
  std::string line = e.code + "," + e.time + "," + sjis::ToUtf8(e.text) + "," + e.alarm;
  if (e.kind == EventKind::kYearly) ini::AppendField(line, ini::BoolToken(e.once));
  return line;
}

}  // namespace vespin::ical
