#include "calendar/Hizuke.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "LiteralHolidays.h"
#include "calendar/Julius.h"

namespace vespin {
namespace {

using Days = std::chrono::days;

sys_days D(int y, int m, int d) {
  return DayOf(EncodeDate(y, m, d));
}

std::string Text(sys_days t) {
  const DateParts p = DecodeDate(t);
  return std::to_string(p.year) + "-" + std::to_string(p.month) + "-" + std::to_string(p.day);
}

std::string Text(std::optional<sys_days> t) {
  return t ? Text(*t) : "none";
}

using test::LiteralIsHoliday;

TEST(HizukeTest, HolidaysAtTheEdgesOfTheirRules) {
  const struct {
    int y, m, d;
    bool holiday;
  } cases[] = {
      {1947, 5, 3, false},   {1948, 1, 1, true},   {1947, 12, 31, false}, {1999, 1, 15, true},
      {2000, 1, 15, false},  {2000, 1, 10, true},  // second Monday
      {1965, 2, 11, false},  {1966, 2, 11, true},  {1985, 5, 4, false},   {1986, 5, 4, true},
      {1988, 12, 23, false}, {1989, 12, 23, true}, {2002, 7, 20, true},   {2003, 7, 20, false},
      {2003, 7, 21, true},   {2003, 9, 15, true},  {2002, 9, 16, true},  // after Sunday 15th
      {2006, 1, 2, true},    {2005, 3, 21, true},   // Mondays after a Sunday holiday
      {2009, 9, 22, false},                         // a Tuesday between two holidays
      {2007, 4, 30, true},   {2007, 5, 1, false},   // a substitute does not carry further
      {1995, 1, 16, true},   {1995, 1, 17, false},  // Sunday 15 January before 2000
      {2100, 3, 20, true},   {2100, 3, 21, false},  // the true date of the 2100 equinox
      {2100, 9, 23, true},   {2100, 9, 24, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsHoliday(D(c.y, c.m, c.d)), c.holiday) << c.y << "-" << c.m << "-" << c.d;
  }
}

TEST(HizukeTest, HolidaysOf2005) {
  std::vector<std::string> got;
  for (sys_days t = D(2005, 1, 1); t < D(2006, 1, 1); t += Days{1}) {
    if (IsHoliday(t)) got.push_back(Text(t));
  }
  const std::vector<std::string> expected = {"2005-1-1",   "2005-1-10", "2005-2-11",  "2005-3-20",
                                             "2005-3-21",  "2005-4-29", "2005-5-3",   "2005-5-4",
                                             "2005-5-5",   "2005-7-18", "2005-9-19",  "2005-9-23",
                                             "2005-10-10", "2005-11-3", "2005-11-23", "2005-12-23"};
  EXPECT_EQ(got, expected);
}

TEST(HizukeTest, OutsideTheCalendarNothingIsAHoliday) {
  EXPECT_FALSE(IsHoliday(D(1, 1, 1)));
  EXPECT_FALSE(IsHoliday(D(9999, 12, 31) + Days{1}));  // would be New Year's Day
  // A moment that is no date never becomes a day to ask about.
  EXPECT_EQ(CalendarDay(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
  EXPECT_EQ(CalendarDay(1e300), std::nullopt);
  EXPECT_EQ(CalendarDay(EncodeDate(1, 1, 1) - 1), std::nullopt);
  EXPECT_TRUE(IsHoliday(D(9999, 1, 1)));
  // The time of day does not matter.
  EXPECT_TRUE(IsHoliday(*CalendarDay(EncodeDate(2005, 1, 1) + 0.75)));
}

// Every day from 1940 to 2200 against the rules as written. The per-year answers are kept in a
// handful of slots, so the days are also visited in an order that jumps between years.
TEST(HizukeTest, AgreesWithTheLiteralRulesFrom1940To2200) {
  const sys_days first = D(1940, 1, 1);
  const sys_days last = D(2200, 12, 31);
  std::vector<bool> expected;
  for (sys_days t = first; t <= last; t += Days{1})
    expected.push_back(LiteralIsHoliday(ToDateTime(t)));

  for (std::size_t i = 0; i < expected.size(); ++i) {
    const sys_days t = first + Days{static_cast<std::int64_t>(i)};
    ASSERT_EQ(IsHoliday(t), expected[i]) << Text(t);
  }
  const std::size_t count = expected.size();
  const std::size_t stride = 4001;  // coprime with the count checked below, about 11 years
  ASSERT_NE(count % stride, 0u);
  std::size_t i = 0;
  for (std::size_t k = 0; k < count; ++k, i = (i + stride) % count) {
    const sys_days t = first + Days{static_cast<std::int64_t>(i)};
    ASSERT_EQ(IsHoliday(t), expected[i]) << Text(t);
  }
}

TEST(HizukeTest, WeekOfMonthAndNextWeekday) {
  EXPECT_EQ(WeekOfMonth(D(2005, 1, 7)), 1);
  EXPECT_EQ(WeekOfMonth(D(2005, 1, 8)), 2);
  EXPECT_EQ(WeekOfMonth(D(2005, 1, 29)), 5);
  // 2005-04-18 is a Monday.
  EXPECT_EQ(NextWeekday(2, D(2005, 4, 18)), D(2005, 4, 18));
  EXPECT_EQ(NextWeekday(7, D(2005, 4, 18)), D(2005, 4, 23));
  EXPECT_EQ(NextWeekday(1, D(2005, 4, 18)), D(2005, 4, 24));
  EXPECT_EQ(NextWeekday(1, D(2005, 4, 24)), D(2005, 4, 24));
  EXPECT_EQ(NextWeekday(2, D(2005, 4, 19)), D(2005, 4, 25));
}

TEST(HizukeTest, NextNthWeekday) {
  const struct {
    int n, weekday;
    sys_days from;
    std::optional<sys_days> expected;
  } cases[] = {
      {0, 3, D(2005, 4, 18), D(2005, 4, 19)},
      {2, 3, D(2005, 4, 1), D(2005, 4, 12)},  // second Tuesday
      {2, 3, D(2005, 4, 12), D(2005, 4, 12)},
      {2, 3, D(2005, 4, 13), D(2005, 5, 10)},
      {4, 6, D(2005, 12, 25), D(2006, 1, 27)},  // over the year's end
      {5, 2, D(2005, 2, 1), D(2005, 5, 30)},    // skips months without a fifth Monday
      {5, 6, D(9999, 12, 1), D(9999, 12, 31)},
      {5, 7, D(9999, 12, 1), std::nullopt},  // no fifth Saturday before the calendar ends
      {6, 2, D(2005, 4, 1), std::nullopt},   // no month has a sixth week
      {-1, 2, D(2005, 4, 1), std::nullopt},
      {1, 0, D(2005, 4, 1), std::nullopt},
      {1, 8, D(2005, 4, 1), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(NextNthWeekday(c.n, c.weekday, c.from)), Text(c.expected))
        << c.n << "/" << c.weekday << " from " << Text(c.from);
  }
}

TEST(HizukeTest, NextDayOfMonth) {
  const struct {
    int day;
    sys_days from;
    std::optional<sys_days> expected;
  } cases[] = {
      {18, D(2005, 4, 18), D(2005, 4, 18)},   {19, D(2005, 4, 18), D(2005, 4, 19)},
      {17, D(2005, 4, 18), D(2005, 5, 17)},   {31, D(2005, 4, 1), D(2005, 5, 31)},
      {30, D(2005, 1, 31), D(2005, 3, 30)},   {29, D(2100, 2, 1), D(2100, 3, 29)},
      {29, D(2000, 2, 1), D(2000, 2, 29)},    {5, D(2005, 12, 6), D(2006, 1, 5)},
      {31, D(2005, 12, 31), D(2005, 12, 31)}, {10, D(9999, 12, 15), std::nullopt},
      {0, D(2005, 4, 18), std::nullopt},      {32, D(2005, 4, 18), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(NextDayOfMonth(c.day, c.from)), Text(c.expected))
        << c.day << " from " << Text(c.from);
  }
}

TEST(HizukeTest, NextDateOfYear) {
  const struct {
    int month, day;
    sys_days from;
    std::optional<sys_days> expected;
  } cases[] = {
      {2, 29, D(2005, 3, 1), D(2008, 2, 29)},  {2, 29, D(2096, 3, 1), D(2104, 2, 29)},
      {4, 18, D(2005, 4, 18), D(2005, 4, 18)}, {4, 17, D(2005, 4, 18), D(2006, 4, 17)},
      {3, 1, D(2005, 4, 18), D(2006, 3, 1)},   {12, 31, D(2005, 4, 18), D(2005, 12, 31)},
      {2, 29, D(9997, 1, 1), std::nullopt},    {1, 1, D(9999, 1, 2), std::nullopt},
      {2, 30, D(2005, 1, 1), std::nullopt},    {4, 31, D(2005, 1, 1), std::nullopt},
      {13, 1, D(2005, 1, 1), std::nullopt},    {0, 1, D(2005, 1, 1), std::nullopt},
      {1, 0, D(2005, 1, 1), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(NextDateOfYear(c.month, c.day, c.from)), Text(c.expected))
        << c.month << "-" << c.day << " from " << Text(c.from);
  }
}

TEST(HizukeTest, FirstAndLastBusinessDays) {
  EXPECT_EQ(NextFirstOfMonth(D(2005, 4, 18)), D(2005, 5, 1));
  EXPECT_EQ(NextFirstOfMonth(D(2005, 4, 1)), D(2005, 5, 1));
  EXPECT_EQ(NextFirstOfMonth(D(2005, 12, 31)), D(2006, 1, 1));

  const struct {
    sys_days from, expected;
  } first[] = {
      {D(2005, 10, 1), D(2005, 10, 3)},  // Saturday 1st: this month's first business day
      {D(2005, 10, 2), D(2005, 11, 1)},  // before this month's: still the next month's
      {D(2005, 10, 3), D(2005, 10, 3)},  // the first business day itself
      {D(2005, 10, 4), D(2005, 11, 1)},
      {D(2005, 12, 20), D(2006, 1, 3)},  // 1 January a holiday, 2nd its substitute
      {D(2004, 5, 1), D(2004, 5, 6)},    // Saturday, Sunday, then three holidays
  };
  for (const auto& c : first) {
    EXPECT_EQ(Text(NextFirstBusinessDay(c.from)), Text(c.expected)) << Text(c.from);
  }

  const struct {
    sys_days from, expected;
  } last[] = {
      {D(2005, 4, 1), D(2005, 4, 28)},     // 29th a holiday, 30th a Saturday
      {D(2005, 12, 31), D(2005, 12, 30)},  // earlier than the date asked about
      {D(2005, 2, 3), D(2005, 2, 28)},
      {D(2000, 2, 3), D(2000, 2, 29)},
  };
  for (const auto& c : last) {
    EXPECT_EQ(Text(LastBusinessDayOfMonth(c.from)), Text(c.expected)) << Text(c.from);
  }
}

TEST(HizukeTest, HourMinuteToTime) {
  EXPECT_EQ(HourMinuteToTime("07:05"), EncodeTime(7, 5));
  EXPECT_EQ(HourMinuteToTime("00:00"), 0.0);
  EXPECT_EQ(HourMinuteToTime("23:59"), EncodeTime(23, 59));
  for (const char* bad : {"24:00", "12:60", "7:05", "07:5", "07-05", "07:05 ", " 7:05", "+7:05",
                          "ab:cd", "", "0705", "07:05:00", "\xff\xff:00"}) {
    EXPECT_EQ(HourMinuteToTime(bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace vespin
