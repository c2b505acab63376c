// The current-law holidays against the Cabinet Office's published list (tests/data), and against
// the law's clauses for the years after the list.

#include "calendar/HolidayRules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "LiteralHolidays.h"
#include "calendar/Hizuke.h"
#include "calendar/Julius.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

constexpr HolidayLaw kCurrent = HolidayLaw::kCurrent;
constexpr HolidayLaw k2005 = HolidayLaw::k2005;

std::string Iso(TDateTime t) {
  const DateParts p = DecodeDate(t);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
  return text;
}

// The name in UTF-8, "" for no holiday.
std::string NameOf(TDateTime t, HolidayLaw law) {
  const auto name = HolidayName(DayOf(t), law);
  return name ? sjis::ToUtf8(*name) : std::string();
}

// "YYYY-MM-DD" -> name, as published.
std::map<std::string, std::string> PublishedList() {
  std::ifstream in(VESPIN_SOURCE_DIR "/tests/data/national-holidays.csv");
  std::map<std::string, std::string> list;
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    const auto comma = line.find(',');
    if (comma == 10) list[line.substr(0, 10)] = line.substr(11);
  }
  return list;
}

// The published list names the days that other holidays bring along plainly "休日", and the two
// one-off days of 2019 "休日（祝日扱い）"; 2019's 体育の日 carries the name it took in 2020.
bool SameName(const std::string& published, const std::string& ours) {
  if (published == "休日") return ours == "振替休日" || ours == "国民の休日";
  if (published == "休日（祝日扱い）") return ours == "天皇の即位の日" || ours == "即位礼正殿の儀";
  if (published == "体育の日（スポーツの日）") return ours == "体育の日";
  return published == ours;
}

TEST(HolidayRulesTest, EveryYearOfThePublishedListDateForDate) {
  const auto published = PublishedList();
  ASSERT_GT(published.size(), 1000u);
  const int firstYear = std::stoi(published.begin()->first.substr(0, 4));
  const int lastYear = std::stoi(published.rbegin()->first.substr(0, 4));
  EXPECT_EQ(firstYear, 1955);
  EXPECT_GE(lastYear, 2026);

  for (int year = firstYear; year <= lastYear; ++year) {
    std::vector<std::string> expected;
    std::vector<std::string> got;
    for (TDateTime t = EncodeDate(year, 1, 1); t < EncodeDate(year + 1, 1, 1); t += 1) {
      const auto it = published.find(Iso(t));
      if (it != published.end()) expected.push_back(Iso(t) + " " + it->second);
      if (IsHoliday(DayOf(t), kCurrent)) {
        const std::string name = NameOf(t, kCurrent);
        got.push_back(Iso(t) + " " +
                      (it != published.end() && SameName(it->second, name) ? it->second : name));
      }
    }
    EXPECT_EQ(got, expected) << year;
  }
}

// The law's clauses for the years after the list: the fixed days, the Mondays, the equinoxes,
// then the days they bring along, worked out here clause by clause.
struct Named {
  unsigned month;
  unsigned day;  // 0: the Monday of week `week`
  unsigned week;
  const char* name;
};
constexpr Named kNamedSince2022[] = {
    {1, 1, 0, "元日"},        {1, 0, 2, "成人の日"},       {2, 11, 0, "建国記念の日"},
    {2, 23, 0, "天皇誕生日"}, {4, 29, 0, "昭和の日"},      {5, 3, 0, "憲法記念日"},
    {5, 4, 0, "みどりの日"},  {5, 5, 0, "こどもの日"},     {7, 0, 3, "海の日"},
    {8, 11, 0, "山の日"},     {9, 0, 3, "敬老の日"},       {10, 0, 2, "スポーツの日"},
    {11, 3, 0, "文化の日"},   {11, 23, 0, "勤労感謝の日"},
};

TDateTime MondayOfWeek(int year, unsigned month, unsigned week) {
  for (int day = static_cast<int>(week) * 7 - 6;; ++day) {
    const TDateTime t = EncodeDate(year, static_cast<int>(month), day);
    if (DayOfWeek(t) == 2) return t;
  }
}

TDateTime Equinox(std::uint32_t dayNumber) {
  const auto date = JulianDayToDate(dayNumber);
  return EncodeDate(date->year, date->month, date->day);
}

std::map<TDateTime, std::string> ByTheClauses(int year) {
  std::map<TDateTime, std::string> named;
  for (const auto& n : kNamedSince2022) {
    const TDateTime t = n.day ? EncodeDate(year, static_cast<int>(n.month), static_cast<int>(n.day))
                              : MondayOfWeek(year, n.month, n.week);
    named[t] = n.name;
  }
  named[Equinox(VernalEquinoxDay(year))] = "春分の日";
  named[Equinox(AutumnalEquinoxDay(year))] = "秋分の日";

  std::map<TDateTime, std::string> all = named;
  for (const auto& [t, name] : named) {
    TDateTime next = t + 1;  // a Sunday's holiday moves to the first day that is none
    while (named.count(next)) next += 1;
    if (DayOfWeek(t) == 1) all[next] = "振替休日";
    if (named.count(t + 2) && !named.count(t + 1) && !all.count(t + 1)) all[t + 1] = "国民の休日";
  }
  return all;
}

TEST(HolidayRulesTest, LaterYearsFollowTheLawsClauses) {
  for (int year = 2027; year <= 2150; ++year) {
    const auto expected = ByTheClauses(year);
    std::map<TDateTime, std::string> got;
    for (TDateTime t = EncodeDate(year, 1, 1); t < EncodeDate(year + 1, 1, 1); t += 1) {
      if (IsHoliday(DayOf(t), kCurrent)) got[t] = NameOf(t, kCurrent);
    }
    ASSERT_EQ(got, expected) << year;
  }
}

// What the published list cannot show: the days between two holidays after it, the names of
// the days other holidays bring along (the list calls both "休日"), and the years before it.
TEST(HolidayRulesTest, DatesThatShowEachClause) {
  const struct {
    int y, m, d;
    const char* name;  // "" for a working day
  } cases[] = {
      // 敬老の日 on a Monday, 秋分の日 on the Wednesday: the Tuesday between them.
      {2026, 9, 22, "国民の休日"},
      {2032, 9, 21, "国民の休日"},
      {2037, 9, 22, "国民の休日"},
      {2043, 9, 22, "国民の休日"},
      {2049, 9, 21, "国民の休日"},
      {1988, 5, 4, "国民の休日"},
      {2019, 4, 30, "国民の休日"},
      {1986, 5, 4, ""},  // a Sunday between two holidays, before 2007
      // Substitute days, carried past the next holidays from 2007 on.
      {2026, 5, 6, "振替休日"},
      {2027, 3, 22, "振替休日"},
      {2029, 4, 30, "振替休日"},
      {2031, 11, 24, "振替休日"},
      {1992, 5, 4, "振替休日"},  // 3 May a Sunday: the substitute, not a day between
      {2021, 8, 9, "振替休日"},
      // The names that changed, and the one-off days.
      {2019, 10, 14, "体育の日"},
      {2022, 10, 10, "スポーツの日"},
      {2020, 7, 24, "スポーツの日"},
      {2019, 5, 1, "天皇の即位の日"},
      {2019, 10, 22, "即位礼正殿の儀"},
      {2019, 12, 23, ""},
      {2150, 2, 23, "天皇誕生日"},
      // The law took effect on 20 July 1948.
      {1948, 1, 1, ""},
      {1948, 5, 5, ""},
      {1948, 9, 23, "秋分の日"},
      {1948, 11, 3, "文化の日"},
      {1949, 4, 29, "天皇誕生日"},
      {1947, 11, 3, ""},
      {9999, 11, 23, "勤労感謝の日"},
  };
  for (const auto& c : cases) {
    const TDateTime t = EncodeDate(c.y, c.m, c.d);
    EXPECT_EQ(NameOf(t, kCurrent), c.name) << Iso(t);
    EXPECT_EQ(IsHoliday(DayOf(t), kCurrent), *c.name != '\0') << Iso(t);
  }
}

// The 2005 set keeps its dates whatever the law did since, and names them too.
TEST(HolidayRulesTest, The2005SetTakesNoAmendment) {
  const struct {
    int y, m, d;
    const char* name;
  } cases[] = {
      {2026, 12, 23, "天皇誕生日"},
      {2026, 2, 23, ""},
      {2026, 8, 11, ""},
      {2026, 5, 6, ""},
      {2026, 9, 22, ""},
      {2020, 7, 23, ""},
      {2020, 10, 12, "体育の日"},
      {2026, 5, 4, "国民の休日"},
      {2026, 4, 29, "みどりの日"},
      {1966, 2, 11, "建国記念の日"},
      {1948, 1, 1, "元日"},
      {2005, 3, 21, "振替休日"},
      {1973, 2, 12, "振替休日"},
      {2019, 5, 1, ""},
      {1959, 4, 10, ""},
  };
  for (const auto& c : cases) {
    const TDateTime t = EncodeDate(c.y, c.m, c.d);
    EXPECT_EQ(NameOf(t, k2005), c.name) << Iso(t);
  }
}

// Every holiday has a name and every name a holiday, under both sets, in every year; and the
// answers do not depend on which years were asked before or by which thread.
TEST(HolidayRulesTest, NamesGoWithHolidaysEverywhere) {
  for (const HolidayLaw law : {k2005, kCurrent}) {
    for (int year : {1948, 1973, 1986, 2006, 2007, 2019, 2100, 2400, 5000, 9999}) {
      for (TDateTime t = EncodeDate(year, 1, 1); t < EncodeDate(year + 1, 1, 1); t += 1) {
        ASSERT_EQ(IsHoliday(DayOf(t), law), HolidayName(DayOf(t), law).has_value()) << Iso(t);
      }
    }
  }
  EXPECT_EQ(HolidayName(DayOf(EncodeDate(1947, 12, 31)), k2005), std::nullopt);
  EXPECT_EQ(HolidayName(DayOf(EncodeDate(9999, 12, 31) + 1), kCurrent), std::nullopt);
  EXPECT_EQ(HolidayName(DayOf(EncodeDate(2026, 2, 23) + 0.5), kCurrent).value_or(""),
            sjis::Lit("天皇誕生日"));
}

TEST(HolidayRulesTest, The2005SetAgreesWithTheLiteralRulesInFarYears) {
  for (int year : {2201, 2400, 3000, 4000, 5555, 9998, 9999}) {
    for (TDateTime t = EncodeDate(year, 1, 1); t < EncodeDate(year + 1, 1, 1); t += 1) {
      ASSERT_EQ(IsHoliday(DayOf(t), k2005), test::LiteralIsHoliday(t)) << Iso(t);
    }
  }
}

TEST(HolidayRulesTest, BusinessDaysFollowTheChosenSet) {
  const struct {
    TDateTime from;
    HolidayLaw law;
    TDateTime first;
    TDateTime last;
  } cases[] = {
      // 2019: the law made 30 April to 6 May holidays, 2005's rules only 3 to 6 May.
      {EncodeDate(2019, 5, 1), k2005, EncodeDate(2019, 5, 1), EncodeDate(2019, 5, 31)},
      {EncodeDate(2019, 5, 1), kCurrent, EncodeDate(2019, 5, 7), EncodeDate(2019, 5, 31)},
      {EncodeDate(2019, 4, 10), k2005, EncodeDate(2019, 5, 1), EncodeDate(2019, 4, 30)},
      {EncodeDate(2019, 4, 10), kCurrent, EncodeDate(2019, 5, 7), EncodeDate(2019, 4, 26)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Iso(ToDateTime(NextFirstBusinessDay(DayOf(c.from), c.law))), Iso(c.first))
        << Iso(c.from);
    EXPECT_EQ(Iso(ToDateTime(LastBusinessDayOfMonth(DayOf(c.from), c.law))), Iso(c.last))
        << Iso(c.from);
  }
  EXPECT_FALSE(IsBusinessDay(DayOf(EncodeDate(2026, 9, 22)), kCurrent));
  EXPECT_TRUE(IsBusinessDay(DayOf(EncodeDate(2026, 9, 22)), k2005));
  EXPECT_TRUE(IsBusinessDay(DayOf(EncodeDate(2026, 12, 23)), kCurrent));
  EXPECT_FALSE(IsBusinessDay(DayOf(EncodeDate(2026, 12, 23)), k2005));
}

}  // namespace
}  // namespace vespin
