#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "Commands.h"
#include "TempDir.h"
#include "events/EventRows.h"
#include "events/SettingsLine.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

using Strings = std::vector<std::string>;

using capture::Outcome;

Outcome RunCheck(const Args& args, const Environment& env = {}) {
  std::vector<std::string> all{"check"};
  all.insert(all.end(), args.begin(), args.end());
  return capture::RunCli(all, env);
}

// A settings line check finds nothing wrong with, UTF-8.
const char* const kGoodSettings =
    "0,0,CLEAR,BRIGHT,ＭＳ ゴシック,TRUE,9,0,TRUE,TRUE,TRUE,TRUE,FALSE,1";

// A well-formed file (Shift_JIS, CR LF) in which the line after `header` is replaced by
// `line` (both UTF-8 here).
std::string FileWith(const std::string& header, const std::string& line) {
  const Strings lines = {"[週間]",       "13,10:00,会議,04",         "[月間]", "400,23:00,締め,12",
                         "[年間]",       "0101,00:00,元日,01,FALSE", "[設定]", kGoodSettings,
                         "[バージョン]", "vespin Ver3.2(2005.04.18)"};
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool swap = i > 0 && lines[i - 1] == header;
    out += sjis::Lit(swap ? line : lines[i]);
    out += "\r\n";
  }
  return out;
}

TEST(CheckCommandTest, TheSampleFileIsClean) {
  Environment env;
  env.workDir = std::filesystem::path(VESPIN_SOURCE_DIR) / "examples";
  const Outcome o = RunCheck({}, env);
  EXPECT_EQ(o.rc, kExitOk) << o.out;
  EXPECT_EQ(o.out, "ok\n");
  EXPECT_EQ(o.err, "");
}

TEST(CheckCommandTest, ArgumentsAndFileProblemsAreNamed) {
  test::TempDir dir;
  const struct {
    Args args;
    const char* problem;
  } bad[] = {
      {{"--file"}, "--file needs a file name"},
      {{"x"}, "'x' is no option of check"},
      {{"--file", "a", "b"}, "'b' is one argument too many"},
      {{"--file", ""}, "--file needs a file name"},
      {{"--fil", "a"}, "'--fil' is no option of check"},
  };
  for (const auto& c : bad) {
    const Outcome o = RunCheck(c.args);
    EXPECT_EQ(o.rc, kExitUsage) << c.args[0];
    EXPECT_EQ(o.err.rfind(std::string("vespin-cli: ") + c.problem + "\n", 0), 0u) << o.err;
  }
  Environment env;
  env.workDir = dir.Path();
  Outcome o = RunCheck({}, env);
  EXPECT_EQ(o.rc, kExitProblem);
  EXPECT_EQ(o.err, (dir.Path() / "vespin.ini").string() + ": no such file\n");
  o = RunCheck({"--file", dir.Path().string()});
  EXPECT_EQ(o.rc, kExitProblem);
  EXPECT_EQ(o.err, dir.Path().string() + ": is a folder, not a file\n");
  // A named pipe would keep a plain open waiting for a writer for ever.
  const auto pipe = dir.File("pipe.ini");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  o = RunCheck({"--file", pipe.string()});
  EXPECT_EQ(o.rc, kExitProblem);
  EXPECT_EQ(o.err, pipe.string() + ": is a named pipe, not a file\n");
  // A NUL byte anywhere: not a text file, whatever else it holds.
  const auto binary = dir.Write("nul.ini", std::string("\0", 1) + FileWith("", ""));
  o = RunCheck({"--file", binary.string()});
  EXPECT_EQ(o.rc, kExitProblem);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, binary.string() + ": is not a text file\n");

  const auto file = dir.Write("other.ini", FileWith("", ""));
  o = RunCheck({"--file", file.string()});
  EXPECT_EQ(o.rc, kExitOk) << o.out;
  EXPECT_EQ(o.out, "ok\n");
}

TEST(CheckCommandTest, ReportsEveryProblemWithItsLine) {
  const struct {
    const char* section;  // the header whose first line is replaced
    std::string line;     // UTF-8
    Strings messages;     // all on the replaced line
  } cases[] = {
      // Weekly codes, by position.
      {"[週間]", "19,10:00,会議,04", {"unknown weekday '9' in weekly code '19'"}},
      {"[週間]", "93,10:00,会議,04", {"unknown weekly type '9' in code '93'"}},
      {"[週間]", "88,10:00,会議,04", {"unknown weekly type code '88'"}},
      {"[週間]",
       "1,10:00,会議,04",
       {"unknown weekly type code '1': a type 1-7 and a weekday 1-8, or 81 to 87"}},
      {"[週間]", "18,10:00,会議,04", {}},  // weekday 8: stored as the dialog makes it
      // Times, texts, leads.
      {"[週間]",
       "13,24:00,会議,04",
       {"invalid time '24:00': HH:MM with hours 00-23 and minutes 00-59"}},
      {"[週間]",
       "13,9:30,会議,04",
       {"invalid time '9:30': HH:MM with hours 00-23 and minutes 00-59"}},
      {"[週間]",
       "13,12:60,会議,04",
       {"invalid time '12:60': HH:MM with hours 00-23 and minutes 00-59"}},
      {"[週間]", "13,10:00,会議,16", {"unknown lead-time code '16' (01 to 15)"}},
      // A comma after the lead (or the yearly flag) is no comma in the text.
      {"[週間]",
       "13,10:00,定例会議,04,",
       {"trailing comma: the program reads the line without the empty field after it"}},
      {"[年間]",
       "0101,10:00,会議,04,TRUE,",
       {"trailing comma: the program reads the line without the empty field after it"}},
      {"[年間]",
       "1224,19:00,会議,04,",
       {"trailing comma: the program reads the line without the empty field after it"}},
      {"[週間]", "13,10:00,会議,4", {"unknown lead-time code '4' (01 to 15)"}},
      {"[週間]",
       "13,10:00,会議,Ａ室,04",
       {"weekly line has 5 fields where 4 belong: a comma splits the event text '会議,Ａ室'"}},
      {"[週間]",
       "13,10:00",
       {"weekly line has 2 fields where 4 belong", "empty event text",
        "unknown lead-time code '' (01 to 15)"}},
      {"[週間]",
       "13,10:00,あいうえおかきくけこさしすせそたち,04",
       {"event text 'あいうえおかきくけこさしすせそたち' is 34 bytes; the event dialog keeps "
        "at most 32"}},
      {"[週間]", "13,10:00,あいうえおかきくけこさしすせそた,04", {}},  // exactly 32
      // Monthly codes.
      {"[月間]", "115,10:00,会議,04", {}},
      {"[月間]", "308,10:00,会議,04", {}},
      {"[月間]", "132,10:00,会議,04", {"unknown day '32' in monthly code '132'"}},
      {"[月間]", "209,10:00,会議,04", {"unknown weekday '9' in monthly code '209'"}},
      {"[月間]", "253,10:00,会議,04", {"unknown monthly type '25' in code '253'"}},
      {"[月間]", "401,10:00,会議,04", {"unknown monthly type code '401': 400 expected"}},
      {"[月間]", "500,10:00,会議,04", {"unknown monthly type code '500': 1DD, 20W, 30W or 400"}},
      {"[月間]", "20,10:00,会議,04", {"unknown monthly type code '20': 1DD, 20W, 30W or 400"}},
      // Yearly codes and flags.
      {"[年間]", "0229,10:00,会議,04,TRUE", {}},
      {"[年間]", "1224,19:00,会議,04", {}},  // the older four-field form
      {"[年間]",
       "0230,10:00,会議,04,TRUE",
       {"yearly code '0230' names a day that month never has"}},
      {"[年間]",
       "1300,10:00,会議,04,TRUE",
       {"unknown month '13' in yearly code '1300'", "unknown day '00' in yearly code '1300'"}},
      {"[年間]", "418,10:00,会議,04,TRUE", {"unknown yearly code '418': MMDD expected"}},
      {"[年間]", "0101,10:00,会議,04,YES", {"delete flag 'YES' is neither TRUE nor FALSE"}},
      {"[年間]",
       "0101,10:00,a,b,04,TRUE",
       {"yearly line has 6 fields where 5 belong: a comma splits the event text 'a,b'"}},
      {"[年間]",
       "0101,10:00",
       {"yearly line has 2 fields where 5 belong", "empty event text",
        "unknown lead-time code '' (01 to 15)"}},
      // Settings.
      {"[設定]", "1,2,CLEAR,DARK,F,ON", {}},  // the older short form
      {"[設定]",
       "1,2,CLEAR,DARK,F,TRUE",
       {"sound 'TRUE' of the older six-field line is not ON: the sound stays off"}},
      {"[設定]",
       "0,0,CLEAR,BRIGHT,F,TRUE,30,0,TRUE,TRUE,TRUE,TRUE,FALSE,1",
       {"font size '30' is outside 6 to 24: the program uses 24"}},
      {"[設定]",
       "0,0,CLEAR,BRIGHT,F,TRUE,5,0,TRUE,TRUE,TRUE,TRUE,FALSE,1",
       {"font size '5' is outside 6 to 24: the program uses 6"}},
      {"[設定]",
       "1,2,CLEAR,DARK,F",
       {"settings line has 5 fields where 14 belong (or 6 in the older form)"}},
      {"[設定]",
       "x,2.5,white,dark,,TRUE,0,16,yes,TRUE,TRUE,TRUE,TRUE,4",
       {"window left 'x' is not a whole number: the window goes to the top right",
        "window top '2.5' is not a whole number: the window goes to the top right",
        "background 'white' is neither CLEAR nor a colour value",
        "text scheme 'dark' is neither BRIGHT nor DARK", "empty font name",
        "font size '0' is not a positive whole number",
        "font style '16' is not a number from 0 to 15",
        "yearly underline 'yes' is neither TRUE nor FALSE", "month count '4' is not 1, 2 or 3"}},
      {"[設定]",
       "-10,5,16777216,BRIGHT,F,on,9,0,TRUE,TRUE,TRUE,TRUE,TRUE,1",
       {"background '16777216' is neither CLEAR nor a colour value",
        "sound 'on' is neither TRUE nor FALSE"}},
      {"[設定]", "0,0,255,BRIGHT,F,TRUE,9,0,TRUE,FALSE,TRUE,FALSE,TRUE,3", {}},
      // Headers by position.
      {"[設定]",
       "[年間]",
       {"section header '[年間]' stands where [バージョン] belongs; sections are found by "
        "position"}},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto file = dir.Write("vespin.ini", FileWith(c.section, c.line));
    const std::string s = c.section;
    const int lineNo = s == "[週間]" ? 2 : s == "[月間]" ? 4 : s == "[年間]" ? 6 : 8;
    std::string expected;
    for (const auto& m : c.messages) {
      expected += file.string() + ":" + std::to_string(lineNo) + ": " + m + "\n";
    }
    const Outcome o = RunCheck({"--file", file.string()});
    EXPECT_EQ(o.out, c.messages.empty() ? "ok\n" : expected);
    EXPECT_EQ(o.rc, c.messages.empty() ? kExitOk : kExitProblem);
  }
}

// What check says about a file whose settings line is `line` (UTF-8): its messages for line 8,
// or "ok".
std::string CheckSettingsLine(const test::TempDir& dir, const std::string& line) {
  const auto file = dir.Write("vespin.ini", FileWith("[設定]", line));
  const Outcome o = RunCheck({"--file", file.string()});
  std::string out = o.out;
  for (std::size_t at; (at = out.find(file.string() + ":8: ")) != std::string::npos;) {
    out.erase(at, file.string().size() + 4);
  }
  return out;
}

TEST(CheckCommandTest, EverySettingsFieldIsChecked) {
  // One value per field that the program would never write there; every field of the line,
  // each once, so that a field check cannot go missing unnoticed.
  const struct {
    std::size_t field;
    const char* bad;
    const char* message;
  } cases[] = {
      {0, "1e3", "window left '1e3' is not a whole number: the window goes to the top right"},
      {1, "2147483648",
       "window top '2147483648' is not a whole number: the window goes to the top right"},
      {2, "16777216", "background '16777216' is neither CLEAR nor a colour value"},
      {3, "Bright", "text scheme 'Bright' is neither BRIGHT nor DARK"},
      {4, "", "empty font name"},
      {5, "ON", "sound 'ON' is neither TRUE nor FALSE"},
      {6, "-9", "font size '-9' is not a positive whole number"},
      {7, "-1", "font style '-1' is not a number from 0 to 15"},
      {8, "true", "yearly underline 'true' is neither TRUE nor FALSE"},
      {9, "TRUE ", "monthly underline 'TRUE ' is neither TRUE nor FALSE"},
      {10, "1", "weekly underline '1' is neither TRUE nor FALSE"},
      {11, "", "start-up notices '' is neither TRUE nor FALSE"},
      {12, "False", "on-time notices 'False' is neither TRUE nor FALSE"},
      {13, "01", "month count '01' is not 1, 2 or 3"},
  };
  const Strings good = CommaSplit(kGoodSettings);
  ASSERT_EQ(good.size(), std::size(cases));
  test::TempDir dir;
  ASSERT_EQ(CheckSettingsLine(dir, kGoodSettings), "ok\n");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    ASSERT_EQ(c.field, i) << "the table covers every field in order";
    Strings fields = good;
    fields[c.field] = c.bad;
    std::string line;
    for (std::size_t f = 0; f < fields.size(); ++f) line += (f > 0 ? "," : "") + fields[f];
    SCOPED_TRACE(line);
    EXPECT_EQ(CheckSettingsLine(dir, line), std::string(c.message) + "\n");
  }
}

TEST(CheckCommandTest, WhatTheProgramWritesPassesTheCheck) {
  // Every spelling the writer can produce for a field is one that check accepts.
  const struct {
    const char* name;
    void (*change)(Settings&);
  } cases[] = {
      {"defaults", [](Settings&) {}},
      {"colour", [](Settings& s) { s.backColor = 0xFFFFFF; }},
      {"black", [](Settings& s) { s.backColor = 0; }},
      {"see-through", [](Settings& s) { s.backClear = true; }},
      {"bright", [](Settings& s) { s.figureBright = true; }},
      {"far left and up", [](Settings& s) { s.left = s.top = -2147483647 - 1; }},
      {"every style", [](Settings& s) { s.fontStyle = 15; }},
      {"every flag on",
       [](Settings& s) {
         s.beep = s.yearLine = s.monthLine = s.weekLine = s.startUp = s.onTime = true;
       }},
      {"every flag off",
       [](Settings& s) {
         s.beep = s.yearLine = s.monthLine = s.weekLine = s.startUp = s.onTime = false;
       }},
      {"two months", [](Settings& s) { s.months = 2; }},
      {"three months", [](Settings& s) { s.months = 3; }},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Settings s;
    s.fontName = sjis::Lit("ＭＳ ゴシック");
    c.change(s);
    EXPECT_EQ(CheckSettingsLine(dir, sjis::ToUtf8(SettingsLine(s))), "ok\n");
  }
}

TEST(CheckCommandTest, FileShapeProblems) {
  const std::string good = FileWith("", "");
  const std::string afterFirst = good.substr(good.find("\r\n") + 2);
  const struct {
    const char* name;
    std::string bytes;
    Strings lines;  // expected output, after the file name and ':'
  } cases[] = {
      {"LF line end", sjis::Lit("[週間]\n") + afterFirst, {"1: line ends with LF, not CR LF"}},
      {"no final CR LF",
       good.substr(0, good.size() - 2),
       {"10: last line does not end with CR LF"}},
      {"lone CR", good + "\r", {"11: line ends with a lone CR, not CR LF"}},
      {"first line is an event",
       sjis::Lit("13,10:00,会議,04\r\n") + afterFirst,
       {"1: first line '13,10:00,会議,04' is not a section header; the program skips it unread"}},
      {"two settings lines",
       good.substr(0, good.find(sjis::Lit("[バージョン]"))) +
           "1,1,CLEAR,DARK,F,TRUE,9,0,TRUE,TRUE,TRUE,TRUE,TRUE,1\r\n",
       {"9: another settings line; only the last one counts"}},
      {"half a character at the end of a text",
       sjis::Lit("[週間]\r\n13,10:00,会議") + "\x82,04\r\n" +
           good.substr(good.find(sjis::Lit("[月間]"))),
       {"2: event text '会議' ends in half a double-byte character; the program drops that byte"}},
      {"cut short",
       sjis::Lit("[週間]\r\n[月間]\r\n"),
       {"2: file ends without the [年間] section", "2: file ends without the [設定] section"}},
      {"empty",
       "",
       {"1: file ends without the [週間] section", "1: file ends without the [月間] section",
        "1: file ends without the [年間] section", "1: file ends without the [設定] section"}},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = dir.Write("v.ini", c.bytes);
    std::string expected;
    for (const auto& l : c.lines) expected += file.string() + ":" + l + "\n";
    const Outcome o = RunCheck({"--file", file.string()});
    EXPECT_EQ(o.out, expected);
    EXPECT_EQ(o.rc, kExitProblem);
  }
}

// The section after the version line is the program's own; check reads it and names what it
// cannot read there.
TEST(CheckCommandTest, TheExtensionSection) {
  const std::string good = FileWith("", "");
  const auto lines = [](const Strings& utf8) {
    std::string out;
    for (const auto& l : utf8) out += sjis::Lit(l) + "\r\n";
    return out;
  };
  const struct {
    const char* name;
    std::string tail;
    Strings report;  // expected output, after the file name and ':'
  } cases[] = {
      {"the option on", lines({"[拡張]", "祝日=現行"}), {}},
      {"empty lines", lines({"[拡張]", "", "祝日=現行", ""}), {}},
      {"an unknown value and an unknown line",
       lines({"[拡張]", "祝日=未来", "色=青"}),
       {"12: holiday rules '未来' unknown: 現行 (the law as amended) is the only choice; the line "
        "is dropped",
        "13: extension line '色=青' is unknown to this version; it is kept as it is"}},
      // Lines after the version line are never read, and the next save leaves them out.
      {"an event appended at the end",
       lines({"13,10:00,会議,04"}),
       {"11: line '13,10:00,会議,04' after the version line is never read; the next save drops "
        "it"}},
      {"before the extension section",
       lines({"メモ", "[拡張]", "祝日=現行"}),
       {"11: line 'メモ' after the version line is never read; the next save drops it"}},
      {"another header and its line",
       lines({"[メモ]", "x", "", "[拡張]"}),
       {"11: line '[メモ]' after the version line is never read; the next save drops it",
        "12: line 'x' after the version line is never read; the next save drops it"}},
      {"a line ending badly",
       sjis::Lit("[拡張]\r\n祝日=現行\n"),
       {"12: line ends with LF, not CR LF"}},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = dir.Write("v.ini", good + c.tail);
    std::string expected;
    for (const auto& l : c.report) expected += file.string() + ":" + l + "\n";
    const Outcome o = RunCheck({"--file", file.string()});
    EXPECT_EQ(o.out, c.report.empty() ? "ok\n" : expected);
    EXPECT_EQ(o.rc, c.report.empty() ? kExitOk : kExitProblem);
  }
}

}  // namespace
}  // namespace vespin::cli
