#pragma once
// Julian day numbers and the two equinoxes of a year. The holiday test (Hizuke) is the only
// client: it needs the month and day on which each equinox falls. Day 0 is 1 January 4713 BC
// of the proleptic Julian calendar (year -4712); day 2299161 is 1582-10-15, the first
// Gregorian day. Pure arithmetic, no state.

#include <cstdint>
#include <optional>

namespace vespin {

struct CivilDate {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

inline constexpr std::uint32_t kFirstGregorianDayNumber = 2299161;  // 1582-10-15

// Julian rule before 1582; from 1582 on the Gregorian rule with one more exception: a year
// divisible by 4000 is not leap.
bool IsLeapYear(std::int32_t year);

// Counted in the Julian calendar; month 1..12. (2000, 1, 1) is 2451558.
std::uint32_t JulianCalendarDayNumber(std::int32_t year, std::int32_t month, std::int32_t day);

// Julian-calendar arithmetic with February's length from IsLeapYear, so the day that a
// four-year cycle gives to a non-leap year from 1700 on has no date (nullopt).
std::optional<CivilDate> JulianCalendarDate(std::uint32_t n);

// The proleptic Gregorian date; nullopt beyond the year 32767.
std::optional<CivilDate> GregorianCalendarDate(std::uint32_t n);

// Julian calendar before day 2299161, Gregorian from it on.
std::optional<CivilDate> JulianDayToDate(std::uint32_t n);

// The day number of the day on which the March / September equinox of the year falls.
std::uint32_t VernalEquinoxDay(std::int32_t year);
std::uint32_t AutumnalEquinoxDay(std::int32_t year);

}  // namespace vespin
