#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "Cli.h"
#include "CliRun.h"
#include "RandomEventFile.h"
#include "TempDir.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

using Strings = std::vector<std::string>;
using capture::Outcome;
using capture::RunCli;

std::string IsoDay(TDateTime t) {
  const DateParts d = DecodeDate(t);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

Strings Lines(const std::string& text) {
  Strings lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// With no event flagged for deletion, the agenda of a range is `day` of each of its dates.
TEST(AgendaCommandTest, EqualsTheDaysOfItsRangeForRandomFiles) {
  test::TempDir dir;
  for (unsigned seed = 1; seed <= 10; ++seed) {
    test::RandomEventFile gen(seed);
    std::string bytes = gen.Make(150, seed % 2 == 0);  // some follow the current law
    for (std::size_t p; (p = bytes.find(",TRUE")) != std::string::npos;)
      bytes.replace(p, 5, ",FALSE");
    const std::string file = dir.Write("r.ini", bytes).string();
    const TDateTime from = EncodeDate(1995 + gen.Pick(40), 1, 1) + gen.Pick(365);
    const int days = 1 + gen.Pick(70);
    Strings want;
    for (int i = 0; i < days; ++i) {
      const std::string date = IsoDay(from + i);
      const Outcome day = RunCli({"day", "--file", file, date});
      ASSERT_EQ(day.rc, kExitOk);
      for (const std::string& l : Lines(day.out)) {
        if (l.rfind("mask ", 0) != 0) want.push_back(date + " " + l);
      }
    }
    const Outcome o = RunCli({"agenda", "--file", file, IsoDay(from), IsoDay(from + days - 1)});
    EXPECT_EQ(o.rc, kExitOk);
    EXPECT_EQ(Lines(o.out), want) << "seed " << seed;
    // The same range by its length.
    EXPECT_EQ(RunCli({"agenda", "--file", file, IsoDay(from), "--days", std::to_string(days)}).out,
              o.out);
  }
}

std::string SjisFile(const Strings& lines) {
  std::string out;
  for (const auto& l : lines) out += sjis::Lit(l) + "\r\n";
  return out;
}

TEST(AgendaCommandTest, AYearlyEventFlaggedForDeletionIsListedOnce) {
  test::TempDir dir;
  const std::string file = dir.Write("v.ini", SjisFile({"[週間]", "[月間]", "101,09:00,月初,04",
                                                        "[年間]", "0102,10:00,一度だけ,04,TRUE",
                                                        "0102,11:00,毎年,04,FALSE", "[設定]"}))
                               .string();
  const Outcome o = RunCli({"agenda", "--file", file, "2005-01-01", "2007-01-02"});
  EXPECT_EQ(o.rc, kExitOk);
  Strings dated;
  for (const std::string& l : Lines(o.out)) {
    if (l.find("2005-01") == 0 || l.find("-01-02") == 4) dated.push_back(l);
  }
  EXPECT_EQ(dated, (Strings{"2005-01-01 monthly 09:00 月初", "2005-01-02 yearly 10:00 一度だけ",
                            "2005-01-02 yearly 11:00 毎年", "2006-01-02 yearly 11:00 毎年",
                            "2007-01-02 yearly 11:00 毎年"}));
  EXPECT_EQ(Lines(o.out).size(), 25u + 4u);  // 25 first days of a month, four yearly lines
}

TEST(AgendaCommandTest, RangesAndBadArguments) {
  test::TempDir dir;
  Environment env;
  env.workDir = dir.Path();
  env.today = EncodeDate(2005, 4, 30);
  dir.Write("vespin.ini", SjisFile({"[週間]", "81,07:00,毎日,01", "[月間]", "[年間]"}));
  EXPECT_EQ(RunCli({"agenda", "--days", "2"}, env).out,
            "2005-04-30 weekly 07:00 毎日\n2005-05-01 weekly 07:00 毎日\n");
  EXPECT_EQ(RunCli({"agenda", "9999-12-31"}, env).out, "9999-12-31 weekly 07:00 毎日\n");
  const Strings bad[] = {
      {"agenda"},
      {"agenda", "2005-04-02", "2005-04-01"},  // backwards
      {"agenda", "2005-04-01", "2005-04-02", "--days", "3"},
      {"agenda", "--days", "0"},
      {"agenda", "--days", "x"},
      {"agenda", "9999-12-31", "--days", "2"},  // beyond the calendar
      {"agenda", "2005-02-30"},
      {"agenda", "--file"},
      {"holidays", "2006", "2005"},
      {"holidays", "2005", "2006", "2007"},
  };
  for (const Strings& args : bad) {
    const Outcome o = RunCli(args, env);
    EXPECT_EQ(o.rc, kExitUsage) << args.back();
    EXPECT_NE(o.err.find("usage: vespin-cli " + args[0] + " "), std::string::npos) << o.err;
  }
  const Outcome missing = RunCli({"agenda", "--file", dir.File("none.ini").string(), "2005-01-01"});
  EXPECT_EQ(missing.rc, kExitProblem);
  EXPECT_EQ(missing.out, "");
}

TEST(AgendaCommandTest, HolidaysOfARangeOfYearsAreEachYearsInTurn) {
  const Outcome range = RunCli({"holidays", "2004", "2006"});
  ASSERT_EQ(range.rc, kExitOk);
  std::string joined;
  for (const char* y : {"2004", "2005", "2006"}) joined += RunCli({"holidays", y}).out;
  EXPECT_EQ(range.out, joined);
  EXPECT_NE(range.out.find("2005-05-04\n"), std::string::npos);
}

// Remind's own listing of the same events (the rules it can express) must agree with ours as
// a set of (date, minute, text). Runs only where remind is installed (scripts/setup.sh installs
// it, and the test command fails on any skipped test).
TEST(AgendaCommandTest, AgreesWithRemindsListing) {
  if (std::system("command -v remind >/dev/null 2>&1 && command -v python3 >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "remind (or python3) is not installed; scripts/setup.sh installs it";
  }
  test::TempDir dir;
  const std::string peers = std::string(VESPIN_SOURCE_DIR) + "/bench/peers/";
  const std::string ini = dir.File("v.ini").string(), rem = dir.File("v.rem").string();
  const std::string listing = dir.File("remind.txt").string();
  const std::string cmd = "python3 " + peers + "gen_events.py 200 --seed 5 >" + ini +
                          " && python3 " + peers + "convert.py remind " + ini + " >" + rem +
                          " && remind -s12 " + rem + " 2025-01-01 >" + listing;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  using Entry = std::tuple<std::string, std::string, std::string>;
  std::multiset<Entry> theirs, ours;
  for (const std::string& l : Lines(test::ReadBytes(listing))) {
    // 2025/01/05 * * * 600 10:00am text
    std::istringstream in(l);
    std::string date, a, b, c, minutes, clock, text;
    in >> date >> a >> b >> c >> minutes >> clock;
    std::getline(in >> std::ws, text);
    for (char& ch : date) ch = ch == '/' ? '-' : ch;
    const int m = std::clamp(std::atoi(minutes.c_str()), 0, 24 * 60 - 1);
    char hhmm[16];
    std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", m / 60, m % 60);
    theirs.insert({date, hhmm, text});
  }
  const Outcome o = RunCli({"agenda", "--file", ini, "2025-01-01", "2025-12-31"});
  ASSERT_EQ(o.rc, kExitOk);
  for (const std::string& l : Lines(o.out)) {
    std::istringstream in(l);
    std::string date, kind, time, text;
    in >> date >> kind >> time;
    std::getline(in >> std::ws, text);
    ours.insert({date, time, text});
  }
  EXPECT_GT(ours.size(), 1000u);
  EXPECT_TRUE(ours == theirs) << ours.size() << " ours, " << theirs.size() << " remind's";
}

}  // namespace
}  // namespace vespin::cli
