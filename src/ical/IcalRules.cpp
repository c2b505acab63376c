#include "IcalRules.h"

#include <algorithm>
#include <array>

#include "events/LeadTimes.h"
#include "events/RuleCodes.h"

namespace vespin::ical {
namespace {

// Weekday codes 1 (Sunday) … 7 as iCalendar names them.
constexpr std::array<const char*, 7> kDays = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

std::string DayName(int weekday) {
  return kDays[static_cast<std::size_t>(weekday - 1)];
}

// BYDAY of a set of weekdays, Sunday first.
std::string DayList(std::uint8_t weekdays) {
  std::string days;
  for (int w = 1; w <= 7; ++w) {
    if (!(weekdays & WeekdayBit(w))) continue;
    if (!days.empty()) days += ',';
    days += DayName(w);
  }
  return days;
}

// A day pattern from its days: every day is daily, a set of weekdays weekly, and holidays alone
// have no rule (their dates are listed).
RuleForm PatternForm(const DayPattern& p) {
  const bool holidays = p.holidays != HolidayUse::kLikeAnyDay;
  if (p.weekdays == kEveryWeekday) return RuleForm{"FREQ=DAILY", holidays};
  if (p.weekdays == 0) return RuleForm{"", holidays};
  return RuleForm{"FREQ=WEEKLY;BYDAY=" + DayList(p.weekdays), holidays};
}

std::optional<RuleForm> WeeklyForm(std::string_view code) {
  const WeeklyRule r = ParseWeekly(code);
  if (!r.written) return std::nullopt;
  switch (r.meaning) {
    case WeeklyRule::Meaning::kPattern:
      return PatternForm(*r.pattern);
    case WeeklyRule::Meaning::kWeekday:
      break;
    case WeeklyRule::Meaning::kNever:
    case WeeklyRule::Meaning::kEveryDay:
      return std::nullopt;
  }
  const std::string d = DayName(r.weekday);
  if (r.type->weeks == kEveryWeek) return RuleForm{"FREQ=WEEKLY;BYDAY=" + d};
  std::string byDay;
  for (int week = 1; week <= 5; ++week) {
    if (!(r.type->weeks & WeekBit(week))) continue;
    if (!byDay.empty()) byDay += ',';
    byDay += std::to_string(week) + d;
  }
  return RuleForm{"FREQ=MONTHLY;BYDAY=" + byDay};
}

std::optional<RuleForm> MonthlyForm(std::string_view code) {
  const MonthlyRule r = ParseMonthly(code);
  if (!r.written) return std::nullopt;
  const char* position = r.last ? "-1" : "1";
  switch (r.meaning) {
    case MonthlyRule::Meaning::kNever:
      break;
    case MonthlyRule::Meaning::kDayOfMonth:
      return RuleForm{"FREQ=MONTHLY;BYMONTHDAY=" + std::to_string(r.day)};
    case MonthlyRule::Meaning::kLastDay:
      return RuleForm{"FREQ=MONTHLY;BYMONTHDAY=-1"};
    case MonthlyRule::Meaning::kBusinessDay:
      return RuleForm{"FREQ=MONTHLY;BYDAY=" + DayList(kMondayToFriday) + ";BYSETPOS=" + position,
                      true};
    case MonthlyRule::Meaning::kWeekday:
      // The first weekday of the month reads 1MO as the weekly 第１ does: BYSETPOS is lost on
      // programs that do not know it, which then fire every week. An export tells the two apart.
      if (!r.last) return RuleForm{"FREQ=MONTHLY;BYDAY=1" + DayName(r.weekday)};
      return RuleForm{"FREQ=MONTHLY;BYDAY=-1" + DayName(r.weekday)};
  }
  return std::nullopt;
}

std::optional<RuleForm> YearlyForm(std::string_view code) {
  if (code.size() != 4) return std::nullopt;
  const YearlyRule r = ParseYearly(code);
  // Any leap year has every date a year can have.
  if (!IsValidDate(2000, r.month, r.day)) return std::nullopt;
  return RuleForm{"FREQ=YEARLY;BYMONTH=" + std::to_string(r.month) +
                  ";BYMONTHDAY=" + std::to_string(r.day)};
}

std::string TwoDigits(int n) {
  return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

}  // namespace

std::optional<RuleForm> FormOf(EventKind kind, std::string_view code) {
  switch (kind) {
    case EventKind::kYearly:
      return YearlyForm(code);
    case EventKind::kMonthly:
      return MonthlyForm(code);
    case EventKind::kWeekly:
      return WeeklyForm(code);
  }
  return std::nullopt;
}

std::vector<RuleCode> CodesThrough(TDateTime date) {
  const DateParts p = DecodeDate(date);
  const std::string w(1, static_cast<char>('0' + DayOfWeek(date)));
  std::vector<RuleCode> codes;
  codes.push_back({EventKind::kYearly, TwoDigits(p.month) + TwoDigits(p.day)});
  for (const MonthType& type : kMonthTypes) {
    const std::string code(type.code);
    switch (type.dayPart) {
      case MonthDayPart::kDate:
        codes.push_back({EventKind::kMonthly, code + TwoDigits(p.day)});
        break;
      case MonthDayPart::kWeekday:
        codes.push_back({EventKind::kMonthly, code + w});
        codes.push_back({EventKind::kMonthly, code + std::string(kBusinessDayCode)});
        break;
      case MonthDayPart::kNone:
        codes.push_back({EventKind::kMonthly, code});
        break;
    }
  }
  for (const WeekType& type : kWeekTypes) {
    codes.push_back({EventKind::kWeekly, std::string(type.code) + w});
  }
  for (const DayPattern& pattern : kDayPatterns) {
    codes.push_back({EventKind::kWeekly, std::string(pattern.code)});
  }
  return codes;
}

std::vector<std::pair<std::string, std::int64_t>> LeadCodes() {
  std::vector<std::pair<std::string, std::int64_t>> leads;
  for (const LeadTime& lead : kLeadTimes) {
    if (!lead.atStartUp) leads.emplace_back(lead.code, lead.msecs / kMsecsPerSecond);
  }
  // The table lists them as the dialog does, which need not be by length.
  std::stable_sort(leads.begin(), leads.end(),
                   [](const auto& a, const auto& b) { return a.second < b.second; });
  return leads;
}

}  // namespace vespin::ical
