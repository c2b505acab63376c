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

int Digit(char c) {
  return c >= '0' && c <= '9' ? c - '0' : -1;
}

int TwoDigits(char tens, char units) {
  if (tens < '0' || tens > '9' || units < '0' || units > '9') return -1;
  return (tens - '0') * 10 + (units - '0');
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

std::optional<std::int64_t> EventDayIndex(TDateTime date) {
  static const TDateTime first = EncodeDate(1, 1, 1);
  static const TDateTime last = EncodeDate(9999, 12, 31);
  if (!std::isfinite(date) || date < first || date > last) return std::nullopt;
  return FloorDiv(ToMsecs(date), kMsecsPerDay);
}

DayFacts::DayFacts(std::int64_t index, HolidayLaw law) : dayIndex(index) {
  const auto date = static_cast<TDateTime>(index);
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
      firstBusinessDay = !IsBusinessDay(date - (day - d), law);
    }
    lastBusinessDay = true;
    for (int d = day + 1; d <= daysInMonth && lastBusinessDay; ++d) {
      lastBusinessDay = !IsBusinessDay(date + (d - day), law);
    }
  }
}

bool DayFacts::Yearly(std::string_view code) const {
  if (code.size() < 4) return false;
  const int mm = TwoDigits(code[0], code[1]);
  const int dd = TwoDigits(code[2], code[3]);
  return mm == month && dd == day;  // 0229 thereby only in leap years
}

bool DayFacts::Monthly(std::string_view code) const {
  if (code.size() < 3) return false;
  switch (code[0]) {
    case '1':
      return TwoDigits(code[1], code[2]) == day;  // months without that day never match
    case '2':
    case '3': {
      const bool first = code[0] == '2';
      if (code[1] == '0' && code[2] == '8') return first ? firstBusinessDay : lastBusinessDay;
      const int w = Digit(code[2]);
      if (w < 1 || w > 7 || w != weekday) return false;
      // The last such weekday is the one a week before the first of the next month.
      return first ? day <= 7 : day + 7 > daysInMonth;
    }
    default:  // 400, and whatever else a hand edit put there: the last day of the month
      return day == daysInMonth;
  }
}

bool DayFacts::Weekly(std::string_view code) const {
  if (code.empty()) return false;
  if (code[0] == '8') {
    if (code.size() != 2) return true;
    switch (code[1]) {
      case '2':
        return businessDay;
      case '3':
        return weekday == 2 || weekday == 4 || weekday == 6;
      case '4':
        return weekday == 3 || weekday == 5 || weekday == 7;
      case '5':
        return weekday == 1 || weekday == 7;
      case '6':
        return holiday;
      case '7':
        return weekday == 1 || weekday == 7 || holiday;
      default:  // 81, and any other day pattern: every day
        return true;
    }
  }
  const int type = Digit(code[0]);
  if (type < 1 || type > 7 || code.size() < 2) return false;
  const int w = Digit(code[1]);  // 8 (a business day) has no meaning here: never
  if (w < 1 || w > 7 || w != weekday) return false;
  switch (type) {
    case 1:
      return true;
    case 6:
      return weekOfMonth == 1 || weekOfMonth == 3;
    case 7:
      return weekOfMonth == 2 || weekOfMonth == 4;
    default:  // 2 to 5: the first to fourth; a fifth occurrence never matches
      return weekOfMonth == type - 1;
  }
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
