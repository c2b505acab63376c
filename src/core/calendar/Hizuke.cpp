#include "calendar/Hizuke.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>

#include "calendar/HolidayRules.h"
#include "text/Sjis.h"

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

// nullopt outside 1948–9999 (and for NaN), where nothing is a holiday.
std::optional<YearDay> HolidayYearDay(TDateTime date) {
  const TDateTime day = std::trunc(date);
  if (!(day >= kFirstHolidayDate && day <= kLastDate)) return std::nullopt;
  const chr::sys_days d = DaysOf(day);
  const chr::year year = chr::year_month_day{d}.year();
  return YearDay{static_cast<int>(year),
                 static_cast<int>((d - chr::sys_days{year / 1 / 1}).count())};
}

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
  return IsHoliday(date, HolidayLaw::k2005);
}

bool IsHoliday(TDateTime date, HolidayLaw law) {
  const auto at = HolidayYearDay(date);
  return at && HolidaysOf(at->year, law).Contains(at->dayOfYear);
}

std::optional<std::string_view> HolidayName(TDateTime date, HolidayLaw law) {
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

bool IsBusinessDay(TDateTime date) {
  return IsBusinessDay(date, HolidayLaw::k2005);
}

bool IsBusinessDay(TDateTime date, HolidayLaw law) {
  const int weekday = DayOfWeek(date);
  return weekday != 1 && weekday != 7 && !IsHoliday(date, law);
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
  return NextFirstBusinessDay(x, HolidayLaw::k2005);
}

TDateTime NextFirstBusinessDay(TDateTime x, HolidayLaw law) {
  TDateTime first = FirstOfMonth(x);
  while (!IsBusinessDay(first, law)) first += 1;
  if (first == x) return x;
  first = NextFirstOfMonth(x - 1);  // x itself when x is a 1st
  while (!IsBusinessDay(first, law)) first += 1;
  return first;
}

TDateTime LastBusinessDayOfMonth(TDateTime x) {
  return LastBusinessDayOfMonth(x, HolidayLaw::k2005);
}

TDateTime LastBusinessDayOfMonth(TDateTime x, HolidayLaw law) {
  TDateTime last = NextFirstOfMonth(x) - 1;
  while (!IsBusinessDay(last, law)) last -= 1;
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
