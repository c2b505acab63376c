#include "calendar/Hizuke.h"

#include <array>
#include <bitset>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>

#include "calendar/Julius.h"

namespace vespin {
namespace {

namespace chr = std::chrono;

constexpr chr::sys_days kEpoch = chr::year{1899} / chr::December / 30;

constexpr TDateTime SerialOf(chr::sys_days d) {
  return static_cast<TDateTime>((d - kEpoch).count());
}

constexpr TDateTime kFirstDate = SerialOf(chr::year{1} / chr::January / 1);
constexpr TDateTime kLastDate = SerialOf(chr::year{9999} / chr::December / 31);

constexpr int kFirstHolidayYear = 1948;
constexpr TDateTime kFirstHolidayDate = SerialOf(chr::year{kFirstHolidayYear} / chr::January / 1);

// Also false for NaN.
bool InDateRange(TDateTime x) {
  const TDateTime day = std::trunc(x);
  return day >= kFirstDate && day <= kLastDate;
}

chr::sys_days DaysOf(TDateTime x) {
  return kEpoch + chr::days{static_cast<std::int64_t>(std::trunc(x))};
}

chr::year_month_day YmdOf(TDateTime x) {
  return chr::year_month_day{DaysOf(x)};
}

int MonthDay(unsigned month, unsigned day) {
  return static_cast<int>(month * 100 + day);
}

// --- The holiday rules ---------------------------------------------------------------------

struct FixedHoliday {
  int monthDay;
  int fromYear;
  int toYear;
};

constexpr FixedHoliday kFixedHolidays[] = {
    {101, kFirstHolidayYear, INT_MAX},  // New Year's Day
    {115, kFirstHolidayYear, 1999},     // Coming of Age Day, before it moved to a Monday
    {211, 1966, INT_MAX},               // National Foundation Day
    {429, kFirstHolidayYear, INT_MAX},
    {503, kFirstHolidayYear, INT_MAX},  // Constitution Day
    {504, 1986, INT_MAX},
    {505, kFirstHolidayYear, INT_MAX},   // Children's Day
    {720, 1996, 2002},                   // Marine Day, before it moved to a Monday
    {915, 1966, 2002},                   // Respect for the Aged Day, likewise
    {1010, 1966, 1999},                  // Health and Sports Day, likewise
    {1103, kFirstHolidayYear, INT_MAX},  // Culture Day
    {1123, kFirstHolidayYear, INT_MAX},  // Labour Thanksgiving Day
    {1223, 1989, INT_MAX},               // Emperor's Birthday
};

struct MondayHoliday {
  int fromYear;
  unsigned month;
  int weekOfMonth;
};

constexpr MondayHoliday kMondayHolidays[] = {
    {2000, 1, 2},   // Coming of Age Day
    {2000, 10, 2},  // Health and Sports Day
    {2003, 7, 3},   // Marine Day
    {2003, 9, 3},   // Respect for the Aged Day
};

// The equinox as month * 100 + day, or 0 when it has no date.
int EquinoxMonthDay(std::uint32_t dayNumber) {
  const auto date = JulianDayToDate(dayNumber);
  return date ? date->month * 100 + date->day : 0;
}

bool IsListedHoliday(int year, unsigned month, int monthDay, int vernal, int autumnal) {
  if (month == 3 && monthDay == vernal) return true;
  if (month == 9 && monthDay == autumnal) return true;
  for (const auto& h : kFixedHolidays) {
    if (monthDay == h.monthDay && year >= h.fromYear && year <= h.toYear) return true;
  }
  return false;
}

bool IsMondayHoliday(int year, unsigned month, int weekOfMonth) {
  for (const auto& h : kMondayHolidays) {
    if (year >= h.fromYear && month == h.month && weekOfMonth == h.weekOfMonth) return true;
  }
  return false;
}

// --- One year at a time ----------------------------------------------------------------------

// Whether a day is a substitute holiday depends on the day before, which in turn may depend on
// its own day before, and so on back to the last listed holiday. Walking forward through a
// whole year once gives every answer of that year with one step per day.
struct HolidayYear {
  int year = 0;               // 0: slot unused
  std::int64_t firstDay = 0;  // serial of 1 January
  std::int64_t length = 0;
  std::bitset<366> holidays;
};

void BuildHolidayYear(int year, HolidayYear& out) {
  const chr::sys_days first = chr::year{year} / chr::January / 1;
  const chr::sys_days end = chr::year{year + 1} / chr::January / 1;
  out.year = year;
  out.firstDay = (first - kEpoch).count();
  out.length = (end - first).count();
  out.holidays.reset();

  const int vernal = EquinoxMonthDay(VernalEquinoxDay(year));
  const int autumnal = EquinoxMonthDay(AutumnalEquinoxDay(year));
  // 31 December is never a holiday (it could only be a Monday after a Sunday holiday, and
  // 30 December is none), and 1 January is listed anyway.
  bool dayBefore = false;
  std::size_t index = 0;
  for (chr::sys_days d = first; d < end; d += chr::days{1}, ++index) {
    const chr::year_month_day ymd{d};
    const auto month = unsigned{ymd.month()};
    const auto day = unsigned{ymd.day()};
    const bool monday = chr::weekday{d} == chr::Monday;
    const bool holiday = IsListedHoliday(year, month, MonthDay(month, day), vernal, autumnal) ||
                         (monday && dayBefore) ||  // the Monday after a Sunday holiday
                         (monday && IsMondayHoliday(year, month, static_cast<int>(day + 6) / 7));
    out.holidays[index] = holiday;
    dayBefore = holiday;
  }
}

// A calendar redraw touches at most two years and the alarm engine mostly today's, so a few
// slots per thread are plenty; each thread has its own, so no locking.
class HolidayCache {
 public:
  // yearOf is asked only on a miss, which spares the date split on the common path.
  template <typename YearOf>
  bool IsHoliday(std::int64_t serial, YearOf yearOf) {
    for (const auto& slot : slots_) {
      if (slot.year != 0 && serial >= slot.firstDay && serial < slot.firstDay + slot.length) {
        return slot.holidays[static_cast<std::size_t>(serial - slot.firstDay)];
      }
    }
    HolidayYear& slot = slots_[next_];
    next_ = (next_ + 1) % slots_.size();
    BuildHolidayYear(yearOf(), slot);
    return slot.holidays[static_cast<std::size_t>(serial - slot.firstDay)];
  }

 private:
  std::array<HolidayYear, 4> slots_{};
  std::size_t next_ = 0;
};

TDateTime FirstOfNextMonth(TDateTime x) {
  const chr::year_month_day ymd = YmdOf(x);
  const chr::year_month next = chr::year_month{ymd.year(), ymd.month()} + chr::months{1};
  return SerialOf(chr::sys_days{next / chr::day{1}});
}

TDateTime FirstOfMonth(TDateTime x) {
  const chr::year_month_day ymd = YmdOf(x);
  return SerialOf(chr::sys_days{ymd.year() / ymd.month() / chr::day{1}});
}

}  // namespace

bool IsHoliday(TDateTime date) {
  const TDateTime day = std::trunc(date);
  if (!(day >= kFirstHolidayDate && day <= kLastDate)) return false;
  thread_local HolidayCache cache;
  const auto serial = static_cast<std::int64_t>(day);
  return cache.IsHoliday(serial, [&] { return static_cast<int>(YmdOf(day).year()); });
}

bool IsBusinessDay(TDateTime date) {
  const int weekday = DayOfWeek(date);
  return weekday != 1 && weekday != 7 && !IsHoliday(date);
}

int WeekOfMonth(TDateTime date) {
  return (DecodeDate(date).day + 6) / 7;
}

TDateTime NextWeekday(int weekday, TDateTime x) {
  const int current = DayOfWeek(x);
  return weekday >= current ? x + (weekday - current) : x + (weekday - current + 7);
}

std::optional<TDateTime> NextNthWeekday(int n, int weekday, TDateTime x) {
  if (n < 0 || n > 5 || weekday < 1 || weekday > 7 || !InDateRange(x)) return std::nullopt;
  for (TDateTime r = NextWeekday(weekday, x);; r += 7) {
    if (std::trunc(r) > kLastDate) return std::nullopt;
    if (n == 0 || WeekOfMonth(r) == n) return r;
  }
}

std::optional<TDateTime> NextDayOfMonth(int day, TDateTime x) {
  if (day < 1 || day > 31 || !InDateRange(x)) return std::nullopt;
  const chr::year_month_day start = YmdOf(x);
  const chr::day wanted{static_cast<unsigned>(day)};
  chr::year_month month{start.year(), start.month()};
  if (wanted < start.day()) month += chr::months{1};
  // At most two short months in a row (February, then never two 30-day months).
  while (!(month / wanted).ok()) month += chr::months{1};
  const TDateTime result = SerialOf(chr::sys_days{month / wanted});
  if (result > kLastDate) return std::nullopt;
  return result;
}

std::optional<TDateTime> NextDateOfYear(int month, int day, TDateTime x) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || !InDateRange(x)) return std::nullopt;
  const chr::month wantedMonth{static_cast<unsigned>(month)};
  const chr::day wantedDay{static_cast<unsigned>(day)};
  if (!(chr::year{2000} / wantedMonth / wantedDay).ok()) return std::nullopt;  // no year has it

  const chr::year_month_day start = YmdOf(x);
  chr::year year = start.year();
  if (wantedMonth < start.month() || (wantedMonth == start.month() && wantedDay < start.day())) {
    ++year;
  }
  while (!(year / wantedMonth / wantedDay).ok()) ++year;  // only 29 February, up to 8 years
  if (year > chr::year{9999}) return std::nullopt;
  return SerialOf(chr::sys_days{year / wantedMonth / wantedDay});
}

TDateTime NextFirstOfMonth(TDateTime x) {
  return FirstOfNextMonth(x);
}

TDateTime NextFirstBusinessDay(TDateTime x) {
  TDateTime first = FirstOfMonth(x);
  while (!IsBusinessDay(first)) first += 1;
  if (first == x) return x;
  first = NextFirstOfMonth(x - 1);  // x itself when x is a 1st
  while (!IsBusinessDay(first)) first += 1;
  return first;
}

TDateTime LastBusinessDayOfMonth(TDateTime x) {
  TDateTime last = NextFirstOfMonth(x) - 1;
  while (!IsBusinessDay(last)) last -= 1;
  return last;
}

std::optional<TDateTime> HourMinuteToTime(std::string_view hhmm) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (hhmm.size() != 5 || !digit(hhmm[0]) || !digit(hhmm[1]) || hhmm[2] != ':' || !digit(hhmm[3]) ||
      !digit(hhmm[4])) {
    return std::nullopt;
  }
  const int hours = (hhmm[0] - '0') * 10 + (hhmm[1] - '0');
  const int minutes = (hhmm[3] - '0') * 10 + (hhmm[4] - '0');
  if (hours > 23 || minutes > 59) return std::nullopt;
  return EncodeTime(hours, minutes);
}

}  // namespace vespin
