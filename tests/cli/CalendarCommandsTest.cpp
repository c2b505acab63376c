#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Cli.h"
#include "MemoryStream.h"
#include "calendar/DateTime.h"

namespace vespin::cli {
namespace {

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result RunCli(std::vector<std::string> args, bool colour = false,
              TDateTime today = EncodeDate(2005, 4, 18)) {
  test::MemoryStream out, err;
  Environment env;
  env.colour = colour;
  env.today = today;
  const int code = Run(args, out.File(), err.File(), env);
  return {code, out.Text(), err.Text()};
}

TEST(CalendarCommandsTest, HolidaysOfAYear) {
  const Result r = RunCli({"holidays", "2005"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out,
            "2005-01-01\n2005-01-10\n2005-02-11\n2005-03-20\n2005-03-21\n2005-04-29\n"
            "2005-05-03\n2005-05-04\n2005-05-05\n2005-07-18\n2005-09-19\n2005-09-23\n"
            "2005-10-10\n2005-11-03\n2005-11-23\n2005-12-23\n");
  EXPECT_EQ(r.err, "");

  const Result before = RunCli({"holidays", "1947"});
  EXPECT_EQ(before.code, kExitOk);
  EXPECT_EQ(before.out, "");
}

TEST(CalendarCommandsTest, HolidaysUnderEitherSetWithNames) {
  const std::string current2026 =
      "2026-01-01 元日\n2026-01-12 成人の日\n2026-02-11 建国記念の日\n2026-02-23 天皇誕生日\n"
      "2026-03-20 春分の日\n2026-04-29 昭和の日\n2026-05-03 憲法記念日\n2026-05-04 みどりの日\n"
      "2026-05-05 こどもの日\n2026-05-06 振替休日\n2026-07-20 海の日\n2026-08-11 山の日\n"
      "2026-09-21 敬老の日\n2026-09-22 国民の休日\n2026-09-23 秋分の日\n"
      "2026-10-12 スポーツの日\n2026-11-03 文化の日\n2026-11-23 勤労感謝の日\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"holidays", "--law", "current", "--names", "2026"}, current2026},
      {{"holidays", "--names", "2026", "--law", "current"}, current2026},
      {{"holidays", "--law", "2005", "2005"}, RunCli({"holidays", "2005"}).out},
      {{"holidays", "--law", "current", "1948"}, "1948-09-23\n1948-11-03\n1948-11-23\n"},
      {{"holidays", "--names", "1948"},
       "1948-01-01 元日\n1948-01-15 成人の日\n1948-03-21 春分の日\n1948-03-22 振替休日\n"
       "1948-04-29 天皇誕生日\n"
       "1948-05-03 憲法記念日\n1948-05-05 こどもの日\n1948-09-23 秋分の日\n"
       "1948-11-03 文化の日\n1948-11-23 勤労感謝の日\n"},
  };
  for (const auto& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.code, kExitOk) << c.args.back();
    EXPECT_EQ(r.out, c.out) << c.args.back();
    EXPECT_EQ(r.err, "");
  }
}

TEST(CalendarCommandsTest, MonthMarksTheChosenHolidays) {
  // December 2026: the 23rd, a Wednesday, is a holiday under the 2005 rules only.
  const std::string week = RunCli({"month", "2026", "12"}).out;
  EXPECT_NE(week.find(" 20* 21  22  23* 24  25  26\n"), std::string::npos) << week;
  const std::string current = RunCli({"month", "--law", "current", "2026", "12"}).out;
  EXPECT_NE(current.find(" 20* 21  22  23  24  25  26\n"), std::string::npos) << current;
  EXPECT_EQ(RunCli({"month", "--law", "2005", "2026", "12"}).out, week);
  // Without a month: today's, under the chosen rules.
  EXPECT_EQ(RunCli({"month", "--law", "current"}, false, EncodeDate(2026, 12, 1)).out, current);
}

TEST(CalendarCommandsTest, EquinoxLines) {
  const Result r = RunCli({"equinox", "2005"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, "vernal 2453450 2005-03-20\nautumnal 2453637 2005-09-23\n");
}

TEST(CalendarCommandsTest, JulianDayNumbers) {
  const struct {
    const char* n;
    const char* line;
  } cases[] = {
      {"0", "-4712-01-01\n"},       {"2299160", "1582-10-04\n"}, {"2299161", "1582-10-15\n"},
      {"2451545", "2000-01-01\n"},  {"1721424", "0001-01-01\n"}, {"1721423", "0000-12-31\n"},
      {"1721057", "-0001-12-31\n"}, {"5373484", "9999-12-31\n"},
  };
  for (const auto& c : cases) {
    const Result r = RunCli({"jd", c.n});
    EXPECT_EQ(r.code, kExitOk) << c.n;
    EXPECT_EQ(r.out, c.line) << c.n;
  }
  const Result tooFar = RunCli({"jd", "4294967295"});
  EXPECT_EQ(tooFar.code, kExitProblem);
  EXPECT_EQ(tooFar.out, "");
  EXPECT_NE(tooFar.err, "");
}

TEST(CalendarCommandsTest, BadArgumentsAreNamedBeforeTheUsage) {
  const char* holidays = "holidays [--law 2005|current] [--names] YEAR [TO-YEAR]";
  const char* month = "month [--law 2005|current] [YEAR MONTH]";
  const struct {
    std::vector<std::string> args;
    const char* problem;
    const char* usage;
  } cases[] = {
      {{"holidays"}, "a year is needed", holidays},
      {{"holidays", "2005", "1"}, "'1' comes before '2005'", holidays},
      {{"holidays", "2005", "2006", "2007"}, "'2007' is one argument too many", holidays},
      {{"holidays", "20o5"}, "'20o5' is not a year from 1 to 9999", holidays},
      {{"holidays", "10000"}, "'10000' is not a year from 1 to 9999", holidays},
      {{"holidays", "--law", "2019", "2005"}, "--law takes 2005 or current", holidays},
      {{"holidays", "2005", "--law"}, "--law takes 2005 or current", holidays},
      {{"holidays", "--names"}, "a year is needed", holidays},
      {{"equinox", "0"}, "'0' is not a year from 1 to 9999", "equinox YEAR"},
      {{"equinox", "+2005"}, "'+2005' is not a year from 1 to 9999", "equinox YEAR"},
      {{"jd", "-1"}, "'-1' is not a day number from 0 to 4294967295", "jd N"},
      {{"jd", "4294967296"}, "'4294967296' is not a day number from 0 to 4294967295", "jd N"},
      {{"jd", "1e6"}, "'1e6' is not a day number from 0 to 4294967295", "jd N"},
      {{"jd", ""}, "'' is not a day number from 0 to 4294967295", "jd N"},
      {{"month", "2005"}, "a year goes with a month", month},
      {{"month", "2005", "4", "1"}, "'1' is one argument too many", month},
      {{"month", "2005", "13"}, "'13' is not a month from 1 to 12", month},
      {{"month", "0", "1"}, "'0' is not a year from 1 to 9999", month},
      {{"month", "2005", " 4"}, "' 4' is not a month from 1 to 12", month},
      {{"month", "--law", "Current", "2005", "4"}, "--law takes 2005 or current", month},
      {{"month", "2005", "4", "--law"}, "--law takes 2005 or current", month},
  };
  for (const auto& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_EQ(r.code, kExitUsage) << c.args.back();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              std::string("vespin-cli: ") + c.problem + "\nusage: vespin-cli " + c.usage + "\n");
  }
}

TEST(CalendarCommandsTest, MonthGridWithMarkers) {
  const Result r = RunCli({"month", "2005", "4"});
  EXPECT_EQ(r.code, kExitOk);
  // 1 April 2005 is a Friday; the 29th a holiday on a Friday.
  EXPECT_EQ(r.out,
            "         2005年4月\n"
            " 日  月  火  水  木  金  土\n"
            "                      1   2\n"
            "  3*  4   5   6   7   8   9\n"
            " 10* 11  12  13  14  15  16\n"
            " 17* 18  19  20  21  22  23\n"
            " 24* 25  26  27  28  29* 30\n");
  // Without arguments: the month of today, whatever its time of day.
  EXPECT_EQ(RunCli({"month"}, false, EncodeDate(2005, 4, 18) + 0.5).out, r.out);
}

TEST(CalendarCommandsTest, MonthGridUsesSixRowsWhenNeeded) {
  const Result r = RunCli({"month", "2005", "10"}, false, EncodeDate(1999, 1, 1));
  EXPECT_EQ(r.out,
            "        2005年10月\n"
            " 日  月  火  水  木  金  土\n"
            "                          1\n"
            "  2*  3   4   5   6   7   8\n"
            "  9* 10* 11  12  13  14  15\n"
            " 16* 17  18  19  20  21  22\n"
            " 23* 24  25  26  27  28  29\n"
            " 30* 31\n");
}

TEST(CalendarCommandsTest, MonthGridInColour) {
  const std::string red = "\x1b[31m";
  const std::string blue = "\x1b[34m";
  const std::string reverse = "\x1b[7m";
  const std::string reset = "\x1b[0m";
  const Result r = RunCli({"month", "2005", "5"}, true, EncodeDate(2005, 5, 4));
  EXPECT_EQ(r.code, kExitOk);
  std::istringstream lines(r.out);
  std::string title, header, week1, week2;
  std::getline(lines, title);
  std::getline(lines, header);
  std::getline(lines, week1);
  std::getline(lines, week2);
  EXPECT_EQ(title, "         2005年5月");
  EXPECT_EQ(header, " 日  月  火  水  木  金  土");
  // Sunday the 1st, holidays 3–5 (today the 4th, in reverse), Saturday the 7th.
  EXPECT_EQ(week1, " " + red + " 1" + reset + "   2  " + red + " 3" + reset + "  " + reverse +
                       " 4" + reset + "  " + red + " 5" + reset + "   6  " + blue + " 7" + reset);
  EXPECT_EQ(week2, " " + red + " 8" + reset + "   9  10  11  12  13  " + blue + "14" + reset);
  EXPECT_EQ(r.out.find('*'), std::string::npos);
}

TEST(CalendarCommandsTest, MonthAtTheEndsOfTheCalendar) {
  const Result first = RunCli({"month", "1", "1"});
  EXPECT_EQ(first.code, kExitOk);
  EXPECT_NE(first.out.find("          1年1月\n"), std::string::npos);
  EXPECT_NE(first.out.find("\n      1   2   3   4   5   6\n"), std::string::npos);  // a Monday
  const Result last = RunCli({"month", "9999", "12"});
  EXPECT_EQ(last.code, kExitOk);
  EXPECT_NE(last.out.find("\n 26* 27  28  29  30  31\n"), std::string::npos);
}

}  // namespace
}  // namespace vespin::cli
