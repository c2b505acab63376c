#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Cli.h"
#include "CliRun.h"
#include "TempDir.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

using Strings = std::vector<std::string>;

using capture::Outcome;
using capture::RunCli;

Environment SampleEnv() {
  Environment env;
  env.workDir = std::filesystem::path(VESPIN_SOURCE_DIR) / "examples";
  return env;
}

// A file from UTF-8 lines, in Shift_JIS with CR LF.
std::string File(const Strings& lines) {
  std::string out;
  for (const auto& l : lines) out += sjis::Lit(l) + "\r\n";
  return out;
}

TEST(EventCommandsTest, DayListsTheSampleFilesEventsInWalkOrder) {
  const struct {
    const char* date;
    const char* out;
  } cases[] = {
      // A Tuesday and a holiday: the first Tuesday of May, and the holiday patterns.
      {"2005-05-03",
       "monthly 09:30 月初ミーティング\n"
       "weekly 10:00 定例会議\n"
       "weekly 20:00 ピアノの練習\n"
       "weekly 10:00 家族で外出\n"
       "weekly 11:00 ブランチ\n"
       "mask 6\n"},
      // The fourth Saturday of December, with a yearly event.
      {"2005-12-24",
       "yearly 19:00 クリスマス会\n"
       "weekly 09:00 町内清掃\n"
       "weekly 20:00 ピアノの練習\n"
       "weekly 09:30 布団を干す\n"
       "weekly 11:00 ブランチ\n"
       "mask 5\n"},
  };
  for (const auto& c : cases) {
    const Outcome o = RunCli({"day", c.date}, SampleEnv());
    EXPECT_EQ(o.rc, kExitOk) << o.err;
    EXPECT_EQ(o.out, c.out) << c.date;
  }
}

TEST(EventCommandsTest, DayOfAnEmptyTimeAndAnEmptyDay) {
  test::TempDir dir;
  const auto file = dir.Write("mine.ini", File({"[週間]", "[月間]", "131,,月末,01", "[年間]"}));
  Outcome o = RunCli({"day", "--file", file.string(), "2005-05-31"});
  EXPECT_EQ(o.rc, kExitOk);
  EXPECT_EQ(o.out, "monthly 00:00 月末\nmask 2\n");
  o = RunCli({"day", "2005-04-30", "--file", file.string()});
  EXPECT_EQ(o.rc, kExitOk);
  EXPECT_EQ(o.out, "mask 0\n");
}

TEST(EventCommandsTest, SimulateRunsTheClocksPasses) {
  test::TempDir dir;
  const std::string bytes = File({
      "[週間]",
      "13,10:00,定例会議,04",
      "[月間]",
      "[年間]",
      "0419,09:58,記念日,02,TRUE",
      "[設定]",
      "0,0,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,TRUE,TRUE,1",
  });
  const auto file = dir.Write("vespin.ini", bytes);
  Environment env;
  env.workDir = dir.Path();
  const struct {
    Strings options;
    std::string out;
  } cases[] = {
      // From the file: start-up and on-time notices on.
      {{},
       "2005-04-19 09:50 今日は「記念日」です。\n"
       "2005-04-19 09:50 今日は「定例会議」です。\n"
       "2005-04-19 09:55 あと5分で「定例会議」です。\n"
       "2005-04-19 09:57 あと1分で「記念日」です。\n"
       "2005-04-19 09:58 「記念日」の時間です。\n"
       "2005-04-19 10:00 「定例会議」の時間です。\n"},
      {{"--on-time", "off", "--start-up", "off"},
       "2005-04-19 09:55 あと5分で「定例会議」です。\n"
       "2005-04-19 09:57 あと1分で「記念日」です。\n"},
  };
  for (const auto& c : cases) {
    Strings args = {"simulate"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back("2005-04-19T09:50:30");
    args.push_back("2005-04-19T10:00");
    const Outcome o = RunCli(args, env);
    EXPECT_EQ(o.rc, kExitOk) << o.err;
    EXPECT_EQ(o.out, c.out);
    // The flagged yearly event went in memory only.
    EXPECT_EQ(test::ReadBytes(file), bytes);
  }
  // Across midnight the marks start afresh: the meeting is announced again a week later.
  const Outcome o =
      RunCli({"simulate", "--start-up", "off", "2005-04-19T09:56", "2005-04-26T09:55"}, env);
  EXPECT_EQ(o.out,
            "2005-04-19 09:56 あと4分で「定例会議」です。\n"
            "2005-04-19 09:57 あと1分で「記念日」です。\n"
            "2005-04-19 09:58 「記念日」の時間です。\n"
            "2005-04-19 10:00 「定例会議」の時間です。\n"
            "2005-04-26 09:55 あと5分で「定例会議」です。\n");
}

// day and simulate go by the holidays the file chose, unless --law says otherwise.
TEST(EventCommandsTest, DayAgendaAndSimulateFollowTheFilesHolidays) {
  const Strings body = {
      "[週間]",
      "82,12:00,昼休み,02",
      "86,13:00,祝日の午後,02",
      "[月間]",
      "[年間]",
      "[設定]",
      "0,0,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,FALSE,FALSE,1",
      "[バージョン]",
      "vespin Ver3.2(2005.04.18)",
  };
  Strings current = body;
  current.insert(current.end(), {"[拡張]", "祝日=現行"});
  test::TempDir dir;
  const std::string plain = dir.Write("plain.ini", File(body)).string();
  const std::string chosen = dir.Write("chosen.ini", File(current)).string();

  const std::string holidayNoon = "weekly 13:00 祝日の午後\nmask 4\n";
  const std::string lunch = "weekly 12:00 昼休み\nmask 4\n";
  const std::string noon = "2026-09-22 11:59 あと1分で「昼休み」です。\n";
  const std::string afternoon = "2026-09-22 12:59 あと1分で「祝日の午後」です。\n";
  const struct {
    Strings args;
    std::string out;
  } cases[] = {
      // Tuesday 22 September 2026 lies between two holidays under the law.
      {{"day", "--file", chosen, "2026-09-22"}, holidayNoon},
      {{"day", "--file", chosen, "--law", "2005", "2026-09-22"}, lunch},
      {{"day", "--file", plain, "2026-09-22"}, lunch},
      {{"day", "--law", "current", "--file", plain, "2026-09-22"}, holidayNoon},
      {{"agenda", "--file", chosen, "2026-09-22"}, "2026-09-22 weekly 13:00 祝日の午後\n"},
      {{"agenda", "--file", chosen, "--law", "2005", "2026-09-22"},
       "2026-09-22 weekly 12:00 昼休み\n"},
      {{"agenda", "--law", "current", "--file", plain, "2026-09-22", "--days", "1"},
       "2026-09-22 weekly 13:00 祝日の午後\n"},
      {{"simulate", "--file", chosen, "2026-09-22T11:58", "2026-09-22T12:59"}, afternoon},
      {{"simulate", "--file", plain, "2026-09-22T11:58", "2026-09-22T12:59"}, noon},
      {{"simulate", "--law", "2005", "--file", chosen, "2026-09-22T11:58", "2026-09-22T12:59"},
       noon},
  };
  for (const auto& c : cases) {
    const Outcome o = RunCli(c.args);
    EXPECT_EQ(o.rc, kExitOk) << o.err;
    EXPECT_EQ(o.out, c.out) << c.args[0] << " " << c.args[2] << " " << c.args[3];
  }
}

TEST(EventCommandsTest, BadArgumentsAreNamedAndFileProblemsToo) {
  const struct {
    Strings args;
    const char* problem;
  } bad[] = {
      {{"day"}, "a date YYYY-MM-DD is needed"},
      {{"day", "2005-02-30"}, "'2005-02-30' is not a date YYYY-MM-DD"},
      {{"day", "0000-01-01"}, "'0000-01-01' is not a date YYYY-MM-DD"},
      {{"day", "2005-04-01", "2005-04-02"}, "'2005-04-02' is one argument too many"},
      {{"day", "--file", "", "2005-04-01"}, "--file needs a file name"},
      {{"simulate"}, "a first and a last moment are needed"},
      {{"simulate", "2005-04-19T10:00", "2005-04-19T09:59"},
       "the last moment comes before the first"},
      {{"simulate", "2005-04-19T24:00", "2005-04-20T10:00"},
       "'2005-04-19T24:00' is not a moment YYYY-MM-DDTHH:MM[:SS]"},
      {{"simulate", "2005-04-19T10:00:60", "2005-04-20T10:00"},
       "'2005-04-19T10:00:60' is not a moment YYYY-MM-DDTHH:MM[:SS]"},
      {{"simulate", "--on-time", "yes", "2005-04-19T10:00", "2005-04-20T10:00"},
       "--on-time takes on or off, not 'yes'"},
      {{"simulate", "--start-up", "2005-04-19T10:00", "2005-04-20T10:00"},
       "--start-up takes on or off, not '2005-04-19T10:00'"},
      {{"simulate", "2005-04-19T10:00", "2005-04-20T10:00", "2005-04-21T10:00"},
       "'2005-04-21T10:00' is one argument too many"},
      {{"day", "--law", "2019", "2005-04-01"}, "--law takes 2005 or current"},
      {{"day", "2005-04-01", "--law"}, "--law takes 2005 or current"},
      {{"simulate", "--law", "now", "2005-04-19T10:00", "2005-04-20T10:00"},
       "--law takes 2005 or current"},
  };
  for (const auto& c : bad) {
    const Outcome o = RunCli(c.args, SampleEnv());
    EXPECT_EQ(o.rc, kExitUsage) << c.args.back();
    EXPECT_EQ(
        o.err.rfind(
            std::string("vespin-cli: ") + c.problem + "\nusage: vespin-cli " + c.args[0] + " ", 0),
        0u)
        << o.err;
  }

  test::TempDir dir;
  Environment env;
  env.workDir = dir.Path();
  const std::string missing = (dir.Path() / "vespin.ini").string() + ": no such file\n";
  for (const Strings& args : {Strings{"day", "2005-04-01"},
                              Strings{"simulate", "2005-04-19T10:00", "2005-04-19T10:00"}}) {
    const Outcome o = RunCli(args, env);
    EXPECT_EQ(o.rc, kExitProblem);
    EXPECT_EQ(o.err, missing);
    EXPECT_EQ(o.out, "");
  }
}

// A file far too large or not text is no calendar: every reader says so and ends, without
// reading it whole, and nothing is written over it.
TEST(EventCommandsTest, EveryReaderRefusesAFileTooLargeOrNotText) {
  test::TempDir dir;
  dir.Write("event.ics",
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//t//EN\r\nBEGIN:VEVENT\r\nUID:1\r\n"
            "DTSTAMP:20050101T000000Z\r\nDTSTART:20050419T100000\r\nSUMMARY:x\r\nEND:VEVENT\r\n"
            "END:VCALENDAR\r\n");
  const struct {
    const char* what;
    std::int64_t size;  // a sparse file of this size; 0 for the NUL file below
    const char* said;
  } files[] = {
      {"NUL bytes", 0, ": is not a text file\n"},
      {"1 GiB", std::int64_t{1} << 30, ": is larger than 16 MiB\n"},
  };
  const Strings commands[] = {
      {"check"},
      {"day", "2005-04-19"},
      {"agenda", "2005-04-19", "2005-04-20"},
      {"simulate", "2005-04-19T09:00", "2005-04-19T11:00"},
      {"export"},
      {"export", "--holidays"},
      {"import", dir.File("event.ics").string()},
  };
  const auto ini = dir.File("vespin.ini");
  for (const auto& f : files) {
    if (f.size == 0) {
      dir.Write("vespin.ini", std::string(4096, '\0'));
    } else {
      std::filesystem::resize_file(dir.Write("vespin.ini", ""),
                                   static_cast<std::uintmax_t>(f.size));
    }
    const auto before = std::filesystem::last_write_time(ini);
    for (const Strings& args : commands) {
      Environment env;
      env.workDir = dir.Path();
      const Outcome o = RunCli(args, env);
      EXPECT_EQ(o.rc, kExitProblem) << f.what << ": " << args[0];
      EXPECT_EQ(o.err, ini.string() + f.said) << f.what << ": " << args[0];
      EXPECT_EQ(o.out, "") << f.what << ": " << args[0];
      EXPECT_EQ(std::filesystem::file_size(ini),
                f.size ? static_cast<std::uintmax_t>(f.size) : 4096u);
      EXPECT_EQ(std::filesystem::last_write_time(ini), before);
    }
  }
}

}  // namespace
}  // namespace vespin::cli
