#include "events/RuleCodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/CodeTables.h"

namespace vespin {
namespace {

using WM = WeeklyRule::Meaning;
using MM = MonthlyRule::Meaning;

// Every code the dialog can put together from its lists: a type, then whatever its day list
// offers. Each must read back as written, with the meaning its rows give it.
TEST(RuleCodesTest, EveryCodeTheDialogCanMakeReadsAsWritten) {
  const CodeTables& codes = Codes();
  int weekly = 0;
  for (const TCodeItem& type : codes.cdWType.Items()) {
    std::vector<std::string> made;
    if (IsDayPattern(type.Code)) {
      made.push_back(type.Code);
    } else {
      for (const TCodeItem& day : codes.cdDay.Items()) made.push_back(type.Code + day.Code);
    }
    for (const std::string& code : made) {
      SCOPED_TRACE(code);
      ++weekly;
      const WeeklyRule r = ParseWeekly(code);
      EXPECT_TRUE(r.written);
      EXPECT_EQ(codes.cdWType.CodeToName(r.typePart), type.Name);
      if (r.pattern) {
        EXPECT_EQ(r.meaning, WM::kPattern);
        EXPECT_EQ(r.pattern->code, code);
      } else {
        // A business day in a weekly row is stored but never occurs.
        EXPECT_EQ(r.meaning, r.weekdayPart == kBusinessDayCode ? WM::kNever : WM::kWeekday);
        ASSERT_NE(r.type, nullptr);
        EXPECT_EQ(r.type->code, type.Code);
      }
    }
  }
  EXPECT_EQ(weekly, 7 * 8 + 7);

  int monthly = 0;
  for (const TCodeItem& type : codes.cdMType.Items()) {
    std::vector<std::string> made;
    switch (MonthDayPartOf(type.Code)) {
      case MonthDayPart::kDate:
        for (const TCodeItem& date : codes.cdDate.Items()) made.push_back(type.Code + date.Code);
        break;
      case MonthDayPart::kWeekday:
        for (const TCodeItem& day : codes.cdDay.Items()) made.push_back(type.Code + day.Code);
        break;
      case MonthDayPart::kNone:
        made.push_back(type.Code);
        break;
    }
    for (const std::string& code : made) {
      SCOPED_TRACE(code);
      ++monthly;
      const MonthlyRule r = ParseMonthly(code);
      EXPECT_TRUE(r.written);
      EXPECT_NE(r.meaning, MM::kNever);
      EXPECT_EQ(codes.cdMType.CodeToName(r.typePart), type.Name);
      EXPECT_EQ(r.typePart.size() + r.dayPart.size(), code.size());
    }
  }
  EXPECT_EQ(monthly, 31 + 8 + 8 + 1);
}

// What a hand edit may leave: the meaning each code has always had in the engine, and whether
// iCalendar and `check` may take it as one the dialog wrote.
TEST(RuleCodesTest, HandEditedCodesKeepTheirMeaningButAreNotWritten) {
  const struct {
    const char* code;
    WM meaning;
    int weekday;
    bool written;
  } weekly[] = {
      {"13", WM::kWeekday, 3, true},
      {"131", WM::kWeekday, 3, false},  // the third character is not read
      {"88", WM::kEveryDay, 0, false},  // a day pattern no row has: every day
      {"8", WM::kEveryDay, 0, false},
      {"821", WM::kEveryDay, 0, false},  // not the weekday pattern 82
      {"18", WM::kNever, 0, true},       // written, but a business day is no weekday
      {"19", WM::kNever, 0, false},
      {"93", WM::kNever, 0, false},
      {"03", WM::kNever, 0, false},
      {"1", WM::kNever, 0, false},
      {"", WM::kNever, 0, false},
  };
  for (const auto& c : weekly) {
    SCOPED_TRACE(c.code);
    const WeeklyRule r = ParseWeekly(c.code);
    EXPECT_EQ(r.meaning, c.meaning);
    EXPECT_EQ(r.weekday, c.weekday);
    EXPECT_EQ(r.written, c.written);
  }

  const struct {
    const char* code;
    MM meaning;
    bool last;
    int dayOrWeekday;
    bool written;
  } monthly[] = {
      {"115", MM::kDayOfMonth, false, 15, true},
      {"132", MM::kDayOfMonth, false, 32, false},  // never falls: no month has it
      {"1x5", MM::kDayOfMonth, false, -1, false},
      {"1155", MM::kDayOfMonth, false, 15, false},
      {"203", MM::kWeekday, false, 3, true},
      {"253", MM::kWeekday, false, 3, false},  // the weekday counts whatever stands before it
      {"308", MM::kBusinessDay, true, 0, true},
      {"318", MM::kNever, true, 0, false},  // … the business day only after the type itself
      {"209", MM::kNever, false, 0, false},
      {"400", MM::kLastDay, false, 0, true},
      {"401", MM::kLastDay, false, 0, false},
      {"999", MM::kLastDay, false, 0, false},  // a type no row has: the last day
      {"4", MM::kNever, false, 0, false},      // shorter than any monthly code
      {"", MM::kNever, false, 0, false},
  };
  for (const auto& c : monthly) {
    SCOPED_TRACE(c.code);
    const MonthlyRule r = ParseMonthly(c.code);
    EXPECT_EQ(r.meaning, c.meaning);
    EXPECT_EQ(r.last, c.last);
    EXPECT_EQ(r.meaning == MM::kDayOfMonth ? r.day : r.weekday, c.dayOrWeekday);
    EXPECT_EQ(r.written, c.written);
  }
  EXPECT_EQ(MonthlyForms(), "1DD, 20W, 30W or 400");
}

}  // namespace
}  // namespace vespin
