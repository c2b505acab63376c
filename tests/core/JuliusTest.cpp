#include "calendar/Julius.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>

namespace vespin {
namespace {

namespace chr = std::chrono;

TEST(JuliusTest, LeapYearsKeepTheirOwnRule) {
  const struct {
    std::int32_t year;
    bool leap;
  } cases[] = {
      {-4712, true}, {-1, false},   {0, true},     {1500, true},  {1581, false}, {1582, false},
      {1600, true},  {1700, false}, {1900, false}, {2000, true},  {2004, true},  {2100, false},
      {2400, true},  {4000, false}, {4004, true},  {8000, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
  }
}

TEST(JuliusTest, DayNumbersOfKnownDates) {
  EXPECT_EQ(JulianCalendarDayNumber(2000, 1, 1), 2451558u);
  EXPECT_EQ(JulianCalendarDayNumber(-4712, 1, 1), 0u);
  // The Julian calendar's 4 October 1582 was followed by the Gregorian 15 October.
  EXPECT_EQ(JulianCalendarDayNumber(1582, 10, 4), 2299160u);

  const struct {
    std::uint32_t n;
    CivilDate date;
  } cases[] = {
      {0, {-4712, 1, 1}},        {2299160, {1582, 10, 4}},    {2299161, {1582, 10, 15}},
      {2451545, {2000, 1, 1}},   {2305438, {1599, 12, 22}},   {2342327, {1700, 12, 21}},
      {2342337, {1700, 12, 31}}, {2415385, {1900, 12, 31}},   {2451535, {1999, 12, 22}},
      {2488434, {2100, 12, 31}}, {3182089, {4000, 2, 29}},    {3182090, {4000, 3, 1}},
      {5373484, {9999, 12, 31}}, {13689325, {32767, 12, 31}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JulianDayToDate(c.n), c.date) << c.n;
  }
  EXPECT_EQ(JulianDayToDate(13689326), std::nullopt);
  EXPECT_EQ(JulianDayToDate(std::numeric_limits<std::uint32_t>::max()), std::nullopt);
}

// The month correction of JulianCalendarDayNumber rests on truncating 0.4 * M + 1.2, which
// lands exactly on a whole number for July and December; a precision slip shows up here.
TEST(JuliusTest, JulianCalendarRoundTripsFirstAndLastDayOfEveryMonth) {
  for (std::int32_t year = -4712; year < 1582; ++year) {
    const bool leap = year % 4 == 0;
    const std::int32_t lengths[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (std::int32_t month = 1; month <= 12; ++month) {
      for (const std::int32_t day : {1, lengths[month - 1]}) {
        const std::uint32_t n = JulianCalendarDayNumber(year, month, day);
        const auto back = JulianCalendarDate(n);
        ASSERT_EQ(back, (CivilDate{year, month, day})) << year << "-" << month << "-" << day;
      }
    }
    // The next year begins the day after 31 December.
    ASSERT_EQ(JulianCalendarDayNumber(year + 1, 1, 1), JulianCalendarDayNumber(year, 12, 31) + 1);
  }
}

// Walks the civil calendar day by day from the first Gregorian day, so the reference shares
// nothing with the conversion but the calendar's month lengths.
TEST(JuliusTest, GregorianDatesAgreeWithTheCivilCalendarToTheYear9999) {
  chr::year_month_day expected = chr::year{1582} / chr::October / 15;
  for (std::uint32_t n = kFirstGregorianDayNumber;; ++n) {
    const auto got = JulianDayToDate(n);
    ASSERT_TRUE(got.has_value()) << n;
    ASSERT_EQ(*got, (CivilDate{static_cast<int>(expected.year()),
                               static_cast<int>(unsigned{expected.month()}),
                               static_cast<int>(unsigned{expected.day()})}))
        << n;
    if (expected == chr::year{9999} / chr::December / 31) break;
    expected = expected.year() / expected.month() / (expected.day() + chr::days{1});
    if (!expected.ok()) {
      const auto next = chr::year_month{expected.year(), expected.month()} + chr::months{1};
      expected = next / chr::day{1};
    }
  }
}

TEST(JuliusTest, EquinoxDays) {
  const struct {
    std::int32_t year;
    std::uint32_t vernal;
    CivilDate vernalDate;
    std::uint32_t autumnal;
    CivilDate autumnalDate;
  } cases[] = {
      {1948, 2432632, {1948, 3, 21}, 2432818, {1948, 9, 23}},
      {1980, 2444319, {1980, 3, 20}, 2444506, {1980, 9, 23}},
      {2000, 2451624, {2000, 3, 20}, 2451811, {2000, 9, 23}},
      {2002, 2452355, {2002, 3, 21}, 2452541, {2002, 9, 23}},
      {2005, 2453450, {2005, 3, 20}, 2453637, {2005, 9, 23}},
      {2012, 2456007, {2012, 3, 20}, 2456193, {2012, 9, 22}},
      {2044, 2467695, {2044, 3, 20}, 2467881, {2044, 9, 22}},
      {2092, 2485226, {2092, 3, 19}, 2485413, {2092, 9, 22}},
      {2099, 2487783, {2099, 3, 20}, 2487970, {2099, 9, 23}},
      // A century year that is not leap: the day numbers fall on the true dates.
      {2100, 2488148, {2100, 3, 20}, 2488335, {2100, 9, 23}},
      {2200, 2524673, {2200, 3, 21}, 2524859, {2200, 9, 23}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.year);
    EXPECT_EQ(VernalEquinoxDay(c.year), c.vernal);
    EXPECT_EQ(JulianDayToDate(c.vernal), c.vernalDate);
    EXPECT_EQ(AutumnalEquinoxDay(c.year), c.autumnal);
    EXPECT_EQ(JulianDayToDate(c.autumnal), c.autumnalDate);
  }
}

}  // namespace
}  // namespace vespin
