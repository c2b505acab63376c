#include "calendar/Hizuke.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "calendar/HolidayRules.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

namespace chr = std::chrono;

constexpr int kFirstHolidayYear = 1948;
constexpr sys_days kFirstHolidayDate = chr::year{kFirstHolidayYear} / chr::January / 1;

bool InDateRange(sys_days x) {
  return x >= kFirstCalendarDay && x <= kLastCalendarDay;
}

// --- The holidays of each year, kept once worked out -------------------------------------------

constexpr int kLastHolidayYear = 9999;
constexpr std::size_t kHolidayYears = kLastHolidayYear - kFirstHolidayYear + 1;

// A year's holidays are worked out on first use and kept for the rest of the run (80 bytes a
// year; only the years asked for are touched), so any pattern of dates costs a lookup each:
// a calendar redraw, a sweep over a century, random dates. Readers never wait; a year is built
// once under the lock and published by its flag.
struct HolidaySlot {
  std::atomic<bool> ready{false};
  HolidayYear holidays;
};
using HolidaySlots = std::array<HolidaySlot, kHolidayYears>;

constinit HolidaySlots g2005Years{};
constinit HolidaySlots gCurrentYears{};
constinit std::mutex gBuildLock{};

const HolidayYear& HolidaysOf(int year, HolidayLaw law) {
  HolidaySlots& slots = law == HolidayLaw::kCurrent ? gCurrentYears : g2005Years;
  HolidaySlot& slot = slots[static_cast<std::size_t>(year - kFirstHolidayYear)];
  if (!slot.ready.load(std::memory_order_acquire)) {
    const std::lock_guard lock(gBuildLock);
    if (!slot.ready.load(std::memory_order_relaxed)) {
      slot.holidays = BuildHolidayYear(year, law);
      slot.ready.store(true, std::memory_order_release);
    }
  }
  return slot.holidays;
}

struct YearDay {
  int year;
  int dayOfYear;  // 0 = 1 January
};

// nullopt outside 1948–9999, where nothing is a holiday.
std::optional<YearDay> HolidayYearDay(sys_days d) {
  if (!(d >= kFirstHolidayDate && d <= kLastCalendarDay)) return std::nullopt;
  const chr::year year = chr::year_month_day{d}.year();
  return YearDay{static_cast<int>(year), static_cast<int>((d - sys_days{year / 1 / 1}).count())};
}

sys_days FirstOfMonth(sys_days x) {
  const chr::year_month_day ymd{x};
  return sys_days{ymd.year() / ymd.month() / chr::day{1}};
}

}  // namespace

bool IsHoliday(sys_days date) {
  return IsHoliday(date, HolidayLaw::k2005);
}

bool IsHoliday(sys_days date, HolidayLaw law) {
  const auto at = HolidayYearDay(date);
  return at && HolidaysOf(at->year, law).Contains(at->dayOfYear);
}

std::optional<std::string_view> HolidayName(sys_days date, HolidayLaw law) {
  const auto at = HolidayYearDay(date);
  if (!at) return std::nullopt;
  const HolidayNameId id = HolidaysOf(at->year, law).NameAt(at->dayOfYear);
  if (id == HolidayNameId::kNone) return std::nullopt;
  static const std::array<std::string, kHolidayNameCount> sjisNames = [] {
    std::array<std::string, kHolidayNameCount> out;
    for (std::size_t i = 0; i < kHolidayNameCount; ++i) {
      out[i] = sjis::Lit(HolidayNameUtf8(static_cast<HolidayNameId>(i)));
    }
    return out;
  }();
  return std::string_view{sjisNames[static_cast<std::size_t>(id)]};
}

bool IsBusinessDay(sys_days date) {
  return IsBusinessDay(date, HolidayLaw::k2005);
}

bool IsBusinessDay(sys_days date, HolidayLaw law) {
  const int weekday = DayOfWeek(date);
  return weekday != 1 && weekday != 7 && !IsHoliday(date, law);
}

int WeekOfMonth(sys_days date) {
  return (DecodeDate(date).day + 6) / 7;
}

sys_days NextWeekday(int weekday, sys_days x) {
  return x + (chr::weekday{static_cast<unsigned>(weekday - 1)} - chr::weekday{x});
}

std::optional<sys_days> NextNthWeekday(int n, int weekday, sys_days x) {
  if (n < 0 || n > 5 || weekday < 1 || weekday > 7 || !InDateRange(x)) return std::nullopt;
  for (sys_days r = NextWeekday(weekday, x);; r += chr::weeks{1}) {
    if (r > kLastCalendarDay) return std::nullopt;
    if (n == 0 || WeekOfMonth(r) == n) return r;
  }
}

std::optional<sys_days> NextDayOfMonth(int day, sys_days x) {
  if (day < 1 || day > 31 || !InDateRange(x)) return std::nullopt;
  const chr::year_month_day start{x};
  const chr::day wanted{static_cast<unsigned>(day)};
  chr::year_month month{start.year(), start.month()};
  if (wanted < start.day()) month += chr::months{1};
  // At most two short months in a row (February, then never two 30-day months).
  while (!(month / wanted).ok()) month += chr::months{1};
  const sys_days result{month / wanted};
  if (result > kLastCalendarDay) return std::nullopt;
  return result;
}

std::optional<sys_days> NextDateOfYear(int month, int day, sys_days x) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || !InDateRange(x)) return std::nullopt;
  const chr::month wantedMonth{static_cast<unsigned>(month)};
  const chr::day wantedDay{static_cast<unsigned>(day)};
  if (!(chr::year{2000} / wantedMonth / wantedDay).ok()) return std::nullopt;  // no year has it

  const chr::year_month_day start{x};
  chr::year year = start.year();
  if (wantedMonth < start.month() || (wantedMonth == start.month() && wantedDay < start.day())) {
    ++year;
  }
  while (!(year / wantedMonth / wantedDay).ok()) ++year;  // only 29 February, up to 8 years
  if (year > chr::year{9999}) return std::nullopt;
  return sys_days{year / wantedMonth / wantedDay};
}

sys_days NextFirstOfMonth(sys_days x) {
  const chr::year_month_day ymd{x};
  const chr::year_month next = chr::year_month{ymd.year(), ymd.month()} + chr::months{1};
  return sys_days{next / chr::day{1}};
}

sys_days NextFirstBusinessDay(sys_days x) {
  return NextFirstBusinessDay(x, HolidayLaw::k2005);
}

sys_days NextFirstBusinessDay(sys_days x, HolidayLaw law) {
  sys_days first = FirstOfMonth(x);
  while (!IsBusinessDay(first, law)) first += chr::days{1};
  if (first == x) return x;
  first = NextFirstOfMonth(x - chr::days{1});  // x itself when x is a 1st
  while (!IsBusinessDay(first, law)) first += chr::days{1};
  return first;
}

sys_days LastBusinessDayOfMonth(sys_days x) {
  return LastBusinessDayOfMonth(x, HolidayLaw::k2005);
}

sys_days LastBusinessDayOfMonth(sys_days x, HolidayLaw law) {
  sys_days last = NextFirstOfMonth(x) - chr::days{1};
  while (!IsBusinessDay(last, law)) last -= chr::days{1};
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
