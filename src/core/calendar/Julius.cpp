#include "calendar/Julius.h"

#include <array>
#include <chrono>
#include <cmath>
#include <numbers>

namespace vespin {
namespace {

namespace chr = std::chrono;

// The equinox values are truncated to a day, so the working precision is part of the answer:
// the terms are combined in 80-bit long double (x87 extended on x86-64) and rounded to double
// only where noted, which keeps every equinox on the day this calendar has always shown.
using Extended = long double;

constexpr std::array<std::int64_t, 4> kLastDayOfCycleYear = {365, 730, 1095, 1460};

// Day 2440588 is 1970-01-01, the epoch of std::chrono::sys_days.
constexpr std::int64_t kSysDaysEpochDayNumber = 2440588;
constexpr std::int64_t kLastChronoDayNumber =
    chr::sys_days{chr::year{32767} / chr::December / 31}.time_since_epoch().count() +
    kSysDaysEpochDayNumber;

Extended SinDegrees(Extended degrees) {
  return std::sin(degrees / 180 * std::numbers::pi_v<Extended>);
}

struct EquinoxTerms {
  Extended phase1, phase3, phase4, phase5, phase6;
  Extended linear;  // signed coefficient of b inside the periodic correction
  Extended meanYear;
  Extended epoch;
};

constexpr EquinoxTerms kVernal = {
    321.0L, 202.0L, 84.0L, 132.0L, 239.0L, -0.00004871850323926L, 365.24229L, 2451624.683L};
constexpr EquinoxTerms kAutumnal = {
    485.0L, 268.2L, 309.2L, 244.6L, 248.6L, 0.00004871850323926L, 365.24206L, 2451811.096L};

std::uint32_t EquinoxDay(std::int32_t year, const EquinoxTerms& t) {
  const Extended b = static_cast<Extended>(year) - 2000;
  const Extended s1 = SinDegrees(t.phase1 - 30.37L * b);
  const Extended s2 = SinDegrees(249.0L + 0.19L * b);
  const Extended s3 = SinDegrees(t.phase3 - 132.57L * b);
  const Extended s4 = SinDegrees(t.phase4 - 90.37L * b);
  const Extended s5 = SinDegrees(t.phase5 - 134.81L * b);
  const Extended s6 = SinDegrees(t.phase6 - 19.34L * b);
  // The correction terms were stored as doubles between the steps.
  const double p =
      static_cast<double>(0.002L * (s1 + s2 + s3 + s4) + t.linear * b + 0.001L * s5 + 0.005L * s6);
  const double q = static_cast<double>(1e-7L * b * b - p);
  const Extended day = std::trunc(t.meanYear * b + t.epoch + static_cast<Extended>(q));
  // Day numbers are unsigned 32-bit; years before -4712 wrap like the original type did.
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(day));
}

}  // namespace

bool IsLeapYear(std::int32_t year) {
  if (year < 1582) return (year + 4712) % 4 == 0;
  if (year % 4000 == 0) return false;
  if (year % 400 == 0) return true;
  if (year % 100 == 0) return false;
  return year % 4 == 0;
}

std::uint32_t JulianCalendarDayNumber(std::int32_t year, std::int32_t month, std::int32_t day) {
  // 64-bit integers so that no argument can overflow; the result wraps to 32 bits.
  const std::int64_t y = year;
  const std::int64_t m = month;
  std::int64_t k = 0;
  if (m >= 3) {
    const auto e = static_cast<std::int64_t>(std::trunc(0.4L * static_cast<Extended>(m) + 1.2L));
    const Extended f = static_cast<Extended>(y + 4712) / 4;
    const auto l = static_cast<std::int64_t>(std::trunc((std::trunc(f) + 1) - f));
    k = l - e - 1;
  }
  const auto yearStart =
      static_cast<std::int64_t>(std::trunc(static_cast<Extended>(y + 4715) * 365.25L));
  return static_cast<std::uint32_t>(yearStart + 31 * (m - 1) + day + k - 1 - 1095);
}

std::optional<CivilDate> JulianCalendarDate(std::uint32_t n) {
  const std::int64_t rest4 = n % 1461;
  const std::int64_t base = static_cast<std::int64_t>(n / 1461) * 4 - 4712;
  std::int64_t i = 0;
  while (rest4 > kLastDayOfCycleYear[static_cast<std::size_t>(i)]) ++i;
  const auto year = static_cast<std::int32_t>(base + i);

  std::int64_t rest = static_cast<std::int64_t>(n) - JulianCalendarDayNumber(year, 1, 1);
  std::array<std::int64_t, 12> monthLength = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  monthLength[1] = IsLeapYear(year) ? 29 : 28;
  for (std::int32_t month = 1; month <= 12; ++month) {
    const std::int64_t length = monthLength[static_cast<std::size_t>(month - 1)];
    if (rest < length) return CivilDate{year, month, static_cast<std::int32_t>(rest + 1)};
    rest -= length;
  }
  return std::nullopt;
}

std::optional<CivilDate> GregorianCalendarDate(std::uint32_t n) {
  // Shifting the number so that Julian-calendar arithmetic lands on the Gregorian date goes
  // wrong around every century year that is not leap, and the leap rule of year 4000 differs
  // from the calendar's; the civil calendar of the standard library has neither problem.
  if (n > kLastChronoDayNumber) return std::nullopt;
  const chr::year_month_day ymd{
      chr::sys_days{chr::days{static_cast<std::int64_t>(n) - kSysDaysEpochDayNumber}}};
  return CivilDate{static_cast<int>(ymd.year()), static_cast<int>(unsigned{ymd.month()}),
                   static_cast<int>(unsigned{ymd.day()})};
}

std::optional<CivilDate> JulianDayToDate(std::uint32_t n) {
  if (n < kFirstGregorianDayNumber) return JulianCalendarDate(n);
  return GregorianCalendarDate(n);
}

std::uint32_t VernalEquinoxDay(std::int32_t year) {
  return EquinoxDay(year, kVernal);
}

std::uint32_t AutumnalEquinoxDay(std::int32_t year) {
  return EquinoxDay(year, kAutumnal);
}

}  // namespace vespin
