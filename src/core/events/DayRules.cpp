#include "events/DayRules.h"

#include <cmath>

#include "calendar/Hizuke.h"

namespace vespin {

const char* KindName(EventKind kind) {
  switch (kind) {
    case EventKind::kYearly:
      return "yearly";
    case EventKind::kMonthly:
      return "monthly";
    case EventKind::kWeekly:
      return "weekly";
  }
  return "";
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::string HourMinuteText(std::int64_t msOfDay) {
  const auto minutes = static_cast<int>(msOfDay / kMsecsPerMinute);
  const int h = (minutes / 60) % 24;
  const int m = minutes % 60;
  return {static_cast<char>('0' + h / 10), static_cast<char>('0' + h % 10), ':',
          static_cast<char>('0' + m / 10), static_cast<char>('0' + m % 10)};
}

std::optional<std::int64_t> RowTimeMsecs(std::string_view cell) {
  if (cell.empty()) return 0;
  const auto time = HourMinuteToTime(cell);
  if (!time) return std::nullopt;
  return ToMsecs(*time);
}

std::optional<sys_days> EventDay(TDateTime date) {
  constexpr TDateTime first = ToDateTime(kFirstCalendarDay);
  constexpr TDateTime last = ToDateTime(kLastCalendarDay);
  if (!std::isfinite(date) || date < first || date > last) return std::nullopt;
  return DayAtMsecs(ToMsecs(date));
}

DayFacts::DayFacts(sys_days on, HolidayLaw law) : date(on) {
  const DateParts parts = DecodeDate(date);
  month = parts.month;
  day = parts.day;
  weekday = DayOfWeek(date);
  weekOfMonth = (day + 6) / 7;
  daysInMonth = DaysInMonth(parts.year, parts.month);
  holiday = IsHoliday(date, law);
  businessDay = weekday != 1 && weekday != 7 && !holiday;
  if (businessDay) {
    firstBusinessDay = true;
    for (int d = 1; d < day && firstBusinessDay; ++d) {
      firstBusinessDay = !IsBusinessDay(date - std::chrono::days{day - d}, law);
    }
    lastBusinessDay = true;
    for (int d = day + 1; d <= daysInMonth && lastBusinessDay; ++d) {
      lastBusinessDay = !IsBusinessDay(date + std::chrono::days{d - day}, law);
    }
  }
}

bool DayFacts::Yearly(std::string_view code) const {
  const YearlyRule r = ParseYearly(code);
  return r.month == month && r.day == day;  // 0229 thereby only in leap years
}

bool DayFacts::Monthly(std::string_view code) const {
  const MonthlyRule r = ParseMonthly(code);
  switch (r.meaning) {
    case MonthlyRule::Meaning::kNever:
      break;
    case MonthlyRule::Meaning::kDayOfMonth:
      return r.day == day;  // months without that day never match
    case MonthlyRule::Meaning::kBusinessDay:
      return r.last ? lastBusinessDay : firstBusinessDay;
    case MonthlyRule::Meaning::kWeekday:
      // The last such weekday is the one a week before the first of the next month.
      return r.weekday == weekday && (r.last ? day + 7 > daysInMonth : day <= 7);
    case MonthlyRule::Meaning::kLastDay:
      return day == daysInMonth;
  }
  return false;
}

bool DayFacts::Weekly(std::string_view code) const {
  const WeeklyRule r = ParseWeekly(code);
  switch (r.meaning) {
    case WeeklyRule::Meaning::kNever:
      break;
    case WeeklyRule::Meaning::kEveryDay:
      return true;
    case WeeklyRule::Meaning::kPattern: {
      const bool onWeekday = (r.pattern->weekdays & WeekdayBit(weekday)) != 0;
      switch (r.pattern->holidays) {
        case HolidayUse::kLikeAnyDay:
          return onWeekday;
        case HolidayUse::kExcluded:
          return onWeekday && !holiday;
        case HolidayUse::kAdded:
          return onWeekday || holiday;
      }
      break;
    }
    case WeeklyRule::Meaning::kWeekday:
      // A fifth occurrence (days 29 to 31) is in no week but every week's.
      return r.weekday == weekday && (r.type->weeks & WeekBit(weekOfMonth)) != 0;
  }
  return false;
}

bool DayFacts::Falls(EventKind kind, std::string_view code) const {
  switch (kind) {
    case EventKind::kYearly:
      return Yearly(code);
    case EventKind::kMonthly:
      return Monthly(code);
    case EventKind::kWeekly:
      return Weekly(code);
  }
  return false;
}

}  // namespace vespin
