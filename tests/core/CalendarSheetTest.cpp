#include "display/CalendarSheet.h"

#include <gtest/gtest.h>

#include <vector>

#include "text/Sjis.h"

namespace vespin {
namespace {

std::vector<std::string> Row(const CalendarSheet& s, std::size_t block, std::size_t row) {
  std::vector<std::string> texts;
  for (std::size_t c = 0; c < 7; ++c) texts.push_back(s.cells[block][row * 7 + c].text);
  return texts;
}

const CalendarOptions kDark{};

TEST(CalendarSheetTest, April2005) {
  const CalendarSheet s = DrawCalendar({2005, 4}, EncodeDate(2005, 4, 18), kDark, nullptr);
  EXPECT_EQ(s.yearMonthText, "2005-04");
  EXPECT_EQ(Row(s, 0, 0), (std::vector<std::string>{"  ", "  ", "  ", "  ", "  ", " 1", " 2"}));
  EXPECT_EQ(s.cells[0][4 * 7 + 6].text, "30");
  EXPECT_EQ(Row(s, 0, 5), std::vector<std::string>(7, "  "));
  EXPECT_EQ(s.cells[0][5].date, EncodeDate(2005, 4, 1));
  EXPECT_FALSE(s.cells[0][4].date.has_value());
  // One month shown: the other blocks are filled but hidden.
  EXPECT_TRUE(s.cells[0][0].visible);
  EXPECT_FALSE(s.cells[1][0].visible);
  EXPECT_EQ(s.blocks[1], (YearMonth{2005, 5}));
  EXPECT_EQ(s.cells[1][0].text, " 1");  // 1 May 2005 is a Sunday
}

TEST(CalendarSheetTest, October2005UsesAllSixRows) {
  const CalendarSheet s = DrawCalendar({2005, 10}, EncodeDate(2005, 4, 18), kDark, nullptr);
  EXPECT_EQ(s.cells[0][6].text, " 1");  // Saturday
  EXPECT_EQ(s.cells[0][35].text, "30");
  EXPECT_EQ(s.cells[0][36].text, "31");
}

TEST(CalendarSheetTest, ThreeMonthsWrapIntoTheNextYear) {
  CalendarOptions three;
  three.months = 3;
  const CalendarSheet s = DrawCalendar({2005, 11}, EncodeDate(2005, 4, 18), three, nullptr);
  EXPECT_EQ(s.blocks[0], (YearMonth{2005, 11}));
  EXPECT_EQ(s.blocks[1], (YearMonth{2005, 12}));
  EXPECT_EQ(s.blocks[2], (YearMonth{2006, 1}));
  EXPECT_TRUE(s.cells[2][0].visible);
  EXPECT_EQ(CellDate(s, 2, 0), EncodeDate(2006, 1, 1));
}

TEST(CalendarSheetTest, Colours) {
  CalendarOptions bright;
  bright.figureBright = true;
  const struct {
    const CalendarOptions* options;
    int day;
    CellColor expected;
  } cases[] = {
      {&kDark, 1, CellColor::Red},   // Sunday
      {&kDark, 7, CellColor::Blue},  // Saturday
      {&bright, 7, CellColor::Aqua},
      {&kDark, 3, CellColor::Red},         // Constitution Day, a Tuesday
      {&kDark, 5, CellColor::Red},         // Children's Day, a Thursday
      {&kDark, 6, CellColor::WindowText},  // an ordinary Friday
      {&bright, 6, CellColor::White},
      {&bright, 4, CellColor::Red},  // a holiday on a Wednesday
  };
  for (const auto& c : cases) {
    const CalendarSheet s = DrawCalendar({2005, 5}, EncodeDate(2005, 4, 18), *c.options, nullptr);
    EXPECT_EQ(s.cells[0][static_cast<std::size_t>(c.day - 1)].color, c.expected)
        << c.day;  // 1 May is a Sunday
  }
  // Cells without a day keep the plain colour of the scheme.
  const CalendarSheet s = DrawCalendar({2005, 4}, EncodeDate(2005, 4, 18), bright, nullptr);
  EXPECT_EQ(s.cells[0][0].color, CellColor::White);
}

TEST(CalendarSheetTest, TodayIsABoxEvenOnASundayOrHoliday) {
  for (int day : {1, 3, 10}) {  // a Sunday, a holiday, an ordinary Tuesday in May 2005
    const CalendarSheet s =
        DrawCalendar({2005, 5}, EncodeDate(2005, 5, day) + 0.75, kDark, nullptr);
    const CalendarCell& cell = s.cells[0][static_cast<std::size_t>(day - 1)];
    EXPECT_TRUE(cell.today) << day;
    EXPECT_EQ(cell.color, CellColor::WindowText) << day;
    int boxes = 0;
    for (const auto& block : s.cells) {
      for (const auto& c : block) boxes += c.today;
    }
    EXPECT_EQ(boxes, 1);
  }
}

TEST(CalendarSheetTest, UnderlinesFollowTheKindsThatAreSwitchedOn) {
  // Mondays carry a weekly event, the 15th a monthly one, 4 May a yearly one.
  const DayMaskFn mask = [](TDateTime d) {
    int m = 0;
    if (DayOfWeek(d) == 2) m |= 4;
    if (DecodeDate(d).day == 15) m |= 2;
    if (DecodeDate(d).month == 5 && DecodeDate(d).day == 4) m |= 1;
    return m;
  };
  CalendarOptions weekOnly;
  weekOnly.months = 3;
  weekOnly.weekLine = true;
  const CalendarSheet s = DrawCalendar({2005, 5}, EncodeDate(2005, 4, 18), weekOnly, mask);
  for (const auto& block : s.cells) {
    for (const auto& c : block) {
      if (!c.date) {
        EXPECT_FALSE(c.underline);
        continue;
      }
      EXPECT_EQ(c.underline, DayOfWeek(*c.date) == 2) << c.text;
    }
  }
  CalendarOptions yearAndMonth;
  yearAndMonth.yearLine = yearAndMonth.monthLine = true;
  const CalendarSheet t = DrawCalendar({2005, 5}, EncodeDate(2005, 4, 18), yearAndMonth, mask);
  EXPECT_TRUE(t.cells[0][3].underline);   // 4 May
  EXPECT_TRUE(t.cells[0][14].underline);  // 15 May
  EXPECT_FALSE(t.cells[0][1].underline);  // Monday 2 May: weekly only, switched off
  // The kinds themselves are kept whatever is underlined (screen readers say them).
  EXPECT_EQ(t.cells[0][1].eventKinds, 4);
  EXPECT_EQ(t.cells[0][14].eventKinds, 2);
  EXPECT_EQ(t.cells[0][3].eventKinds, 1);
  EXPECT_EQ(t.cells[0][2].eventKinds, 0);
  // No tables yet: no underlines at all.
  const CalendarSheet none =
      DrawCalendar({2005, 5}, EncodeDate(2005, 4, 18), yearAndMonth, nullptr);
  EXPECT_FALSE(none.cells[0][3].underline);
  EXPECT_EQ(none.cells[0][3].eventKinds, 0);
}

// The choice of holidays decides the red days and the names under them; 2026 is a year in
// which the two sets part in both directions.
TEST(CalendarSheetTest, TheChosenHolidaysAreRedAndNamed) {
  CalendarOptions current;
  current.holidays = HolidayLaw::kCurrent;
  const struct {
    const CalendarOptions* options;
    int month, day;
    CellColor color;
    const char* name;
  } cases[] = {
      {&kDark, 12, 23, CellColor::Red, "天皇誕生日"},  // a Wednesday
      {&current, 12, 23, CellColor::WindowText, ""},
      {&kDark, 2, 23, CellColor::WindowText, ""},  // a Monday
      {&current, 2, 23, CellColor::Red, "天皇誕生日"},
      {&current, 9, 22, CellColor::Red, "国民の休日"},
      {&current, 5, 6, CellColor::Red, "振替休日"},
      {&kDark, 5, 6, CellColor::WindowText, ""},
      {&current, 8, 9, CellColor::Red, ""},     // a Sunday, no holiday
      {&current, 11, 21, CellColor::Blue, ""},  // a Saturday
      {&current, 11, 3, CellColor::Red, "文化の日"},
  };
  for (const auto& c : cases) {
    const CalendarSheet s =
        DrawCalendar({2026, c.month}, EncodeDate(2005, 4, 18), *c.options, nullptr);
    const int column = DayOfWeek(EncodeDate(2026, c.month, 1)) - 1;
    const CalendarCell& cell = s.cells[0][static_cast<std::size_t>(column + c.day - 1)];
    ASSERT_EQ(cell.date, EncodeDate(2026, c.month, c.day));
    EXPECT_EQ(cell.color, c.color) << c.month << "-" << c.day;
    EXPECT_EQ(sjis::ToUtf8(cell.holidayName), c.name) << c.month << "-" << c.day;
  }
}

TEST(CalendarSheetTest, SpinBounds) {
  EXPECT_EQ(SpinMUp({1, 1}), std::nullopt);
  EXPECT_EQ(SpinMDown({9998, 12}), std::nullopt);
  EXPECT_EQ(SpinYUp({1, 5}), std::nullopt);
  EXPECT_EQ(SpinYDown({9998, 5}), std::nullopt);
  EXPECT_EQ(SpinMUp({2, 1}), (YearMonth{1, 12}));
  EXPECT_EQ(SpinMDown({9997, 12}), (YearMonth{9998, 1}));
  EXPECT_EQ(SpinMUp({2005, 4}), (YearMonth{2005, 3}));
  EXPECT_EQ(SpinYDown({2005, 4}), (YearMonth{2006, 4}));
  EXPECT_EQ(ShiftMonth({2005, 12}, 1), (YearMonth{2006, 1}));
  EXPECT_EQ(ShiftMonth({2005, 1}, -1), (YearMonth{2004, 12}));
  // The last shown block of the last reachable month still lies in 9999.
  CalendarOptions three;
  three.months = 3;
  const CalendarSheet s = DrawCalendar({9998, 12}, EncodeDate(2005, 4, 18), three, nullptr);
  EXPECT_EQ(s.blocks[2], (YearMonth{9999, 2}));
  const CalendarSheet first = DrawCalendar({1, 1}, EncodeDate(2005, 4, 18), three, nullptr);
  EXPECT_EQ(first.cells[0][1].text, " 1");  // 1 January of year 1 is a Monday
}

}  // namespace
}  // namespace vespin
