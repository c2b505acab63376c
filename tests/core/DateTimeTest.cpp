#include "calendar/DateTime.h"

#include <gtest/gtest.h>

#include "text/Sjis.h"

namespace vespin {
namespace {

TEST(DateTimeTest, EncodeDecodeKnownDays) {
  struct Case {
    int y, m, d;
    double serial;
    int weekday;
  };
  const Case cases[] = {
      {1899, 12, 30, 0, 7},    {1900, 1, 1, 2, 2},    {2005, 4, 18, 38460, 2},
      {2000, 2, 29, 36585, 3}, {1, 1, 1, -693593, 2}, {9999, 12, 31, 2958465, 6},
      {2026, 12, 8, 46364, 3}, {1899, 12, 29, -1, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.serial);
    EXPECT_EQ(DecodeDate(c.serial), (DateParts{c.y, c.m, c.d}));
    EXPECT_EQ(DayOfWeek(c.serial), c.weekday);
  }
}

TEST(DateTimeTest, InvalidDatesAreRefused) {
  EXPECT_FALSE(TryEncodeDate(2005, 2, 29));
  EXPECT_TRUE(TryEncodeDate(2004, 2, 29));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
  EXPECT_FALSE(TryEncodeDate(2005, 4, 31));
  EXPECT_FALSE(TryEncodeDate(2005, 13, 1));
  EXPECT_FALSE(TryEncodeDate(2005, 0, 1));
  EXPECT_FALSE(TryEncodeDate(2005, 1, 0));
  EXPECT_EQ(DaysInMonth(2100, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(2005, 13), 0);
}

TEST(DateTimeTest, TimeSplitsRoundToTheMillisecond) {
  // 10:00 minus 9:55 plus one second, the way the advance notice computes it.
  const TDateTime r = EncodeTime(10, 0) - EncodeTime(9, 55) + EncodeTime(0, 0, 1);
  EXPECT_EQ(DecodeTime(r), (TimeParts{0, 5, 1, 0}));
  EXPECT_EQ(DecodeTime(EncodeTime(12, 34, 56, 789)), (TimeParts{12, 34, 56, 789}));
  EXPECT_EQ(DecodeTime(EncodeDate(2005, 4, 18) + EncodeTime(23, 59, 59, 999)),
            (TimeParts{23, 59, 59, 999}));
  // Just short of midnight never reads as hour 24.
  EXPECT_EQ(DecodeTime(0.99999999999).hour, 23);
}

TEST(DateTimeTest, MillisecondRoundTrip) {
  const TDateTime t = EncodeDate(2026, 12, 8) + EncodeTime(9, 55, 0, 10);
  EXPECT_EQ(ToMsecs(t) % kMsecsPerDay, ((9 * 60 + 55) * 60) * 1000 + 10);
  EXPECT_EQ(ToMsecs(FromMsecs(ToMsecs(t))), ToMsecs(t));
  EXPECT_EQ(DateOf(t), EncodeDate(2026, 12, 8));
  EXPECT_EQ(ToMsecs(TimeOf(t)), ToMsecs(EncodeTime(9, 55, 0, 10)));
}

TEST(DateTimeTest, Texts) {
  WeekdayNames names;
  const char* utf8[] = {"日", "月", "火", "水", "木", "金", "土"};
  for (int i = 0; i < 7; ++i) names[static_cast<std::size_t>(i)] = sjis::Lit(utf8[i]);
  EXPECT_EQ(sjis::ToUtf8(DateText(EncodeDate(2005, 4, 18), names)), "2005/04/18(月)");
  EXPECT_EQ(sjis::ToUtf8(DateText(EncodeDate(10, 1, 3), names)), "0010/01/03(日)");
  EXPECT_EQ(sjis::ToUtf8(DateText(EncodeDate(2005, 4, 23) + 0.99, names)), "2005/04/23(土)");
  EXPECT_EQ(TimeText(EncodeDate(2005, 4, 18) + EncodeTime(9, 5, 59, 999)), "09:05");
  EXPECT_EQ(TimeText(EncodeTime(23, 59)), "23:59");
  EXPECT_EQ(TimeText(0), "00:00");
}

}  // namespace
}  // namespace vespin
