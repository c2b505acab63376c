#include "events/EventFile.h"
#include "events/EventRows.h"
#include "events/FileLines.h"
#include "events/SettingsLine.h"
#include "events/WholeFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "RecordingNotifier.h"
#include "TempDir.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// A file from UTF-8 lines, each converted to Shift_JIS and ended with CR LF.
std::string File(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* l : lines) out += sjis::Lit(l) + "\r\n";
  return out;
}

// The UTF-8 texts of one data row.
Strings RowUtf8(const EventTable& t, int row) {
  Strings out;
  for (int c = 0; c < t.ColCount(); ++c) out.push_back(sjis::ToUtf8(t.Cell(c, row)));
  return out;
}

std::string Fill(int n, char c) {
  return std::string(static_cast<std::size_t>(n), c);
}

const std::string kSample = File({
    "[週間]",
    "13,10:00,定例会議,04",
    "82,12:00,昼休み,02",
    "[月間]",
    "125,10:00,給料日,01",
    "308,15:00,経費精算,11",
    "400,23:00,バックアップ,12",
    "[年間]",
    "0418,09:00,母の誕生日,13,FALSE",
    "1224,19:00,クリスマス会,04,TRUE",
    "[設定]",
    "1180,20,CLEAR,BRIGHT,ＭＳ ゴシック,TRUE,12,5,TRUE,FALSE,TRUE,FALSE,TRUE,3",
    "[バージョン]",
    "vespin Ver3.2(2005.04.18)",
});

TEST(EventFileTest, CommaSplitKeepsEveryField) {
  const std::string longField = Fill(300, 'x');
  const struct {
    std::string line;
    Strings fields;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"13,10:00,text,04", {"13", "10:00", "text", "04"}},
      {",", {"", ""}},
      {"a,,b,", {"a", "", "b", ""}},
      {" a , b ", {" a ", " b "}},  // no trimming
      // A field of 256 bytes or more does not end the line.
      {Fill(256, 'y') + ",z", {Fill(256, 'y'), "z"}},
      {"1," + longField + ",2," + longField, {"1", longField, "2", longField}},
      {std::string("a\0b,c", 5), {std::string("a\0b", 3), "c"}},
      {sjis::Lit("会議,Ａ室"), {sjis::Lit("会議"), sjis::Lit("Ａ室")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 40));
    EXPECT_EQ(CommaSplit(c.line), c.fields);
  }
}

TEST(EventFileTest, RowsGetTheirNamesFromTheCodes) {
  const struct {
    const char* code;
    const char* col0;
    const char* col1;
  } weekly[] = {
      {"13", "毎週", "火曜"}, {"33", "第２", "火曜"},   {"62", "第１・第３", "月曜"},
      {"18", "毎週", "平日"},  // stored although it never occurs
      {"81", "毎日", ""},     {"87", "土日祝祭日", ""}, {"88", "", ""},
      {"9", "", ""},          {"19", "毎週", ""},       {"", "", ""},
      {"8", "", ""},
  };
  for (const auto& c : weekly) {
    SCOPED_TRACE(c.code);
    EventTable t(WeekCol::kCount);
    t.InsertRow(1, WeekRow(c.code, "10:00", sjis::Lit("会議"), "04"));
    EXPECT_EQ(RowUtf8(t, 1), (Strings{c.col0, c.col1, "10:00", "会議", "5分前", c.code, "04", ""}));
  }

  const struct {
    const char* code;
    const char* col0;
    const char* col1;
  } monthly[] = {
      {"115", "毎月", "15日"},   {"131", "毎月", "31日"},   {"132", "毎月", ""},
      {"1", "毎月", ""},         {"203", "最初の", "火曜"}, {"208", "最初の", "平日"},
      {"307", "最後の", "土曜"}, {"309", "最後の", ""},     {"400", "末日", ""},
      {"401", "", ""},           {"503", "", "火曜"},       {"", "", ""},
  };
  for (const auto& c : monthly) {
    SCOPED_TRACE(c.code);
    EventTable t(MonthCol::kCount);
    t.InsertRow(1, MonthRow(c.code, "09:00", "x", "99"));
    EXPECT_EQ(RowUtf8(t, 1), (Strings{c.col0, c.col1, "09:00", "x", "", c.code, "99", "",
                                      std::string(c.code) + " 09:00"}));
  }

  const struct {
    const char* code;
    const char* col0;
    const char* col1;
  } yearly[] = {
      {"0418", "4月", "18日"}, {"1231", "12月", "31日"}, {"0229", "2月", "29日"},
      {"1301", "", "1日"},     {"04", "4月", ""},        {"4", "", ""},
  };
  for (const auto& c : yearly) {
    SCOPED_TRACE(c.code);
    EventTable t(YearCol::kCount);
    t.InsertRow(1, YearRow(c.code, "07:30", "x", "01", "TRUE"));
    EXPECT_EQ(RowUtf8(t, 1), (Strings{c.col0, c.col1, "07:30", "x", "起動時", "TRUE", c.code, "01",
                                      "", std::string(c.code) + " 07:30"}));
  }
}

TEST(EventFileTest, ReadsAFileAndWritesItBackByteForByte) {
  EventStore store;
  Settings settings;
  ASSERT_TRUE(ParseEventFile(kSample, store, settings));

  ASSERT_EQ(store.week.DataRowCount(), 2);
  EXPECT_EQ(RowUtf8(store.week, 1),
            (Strings{"毎週", "火曜", "10:00", "定例会議", "5分前", "13", "04", ""}));
  EXPECT_EQ(RowUtf8(store.week, 2),
            (Strings{"平日", "", "12:00", "昼休み", "1分前", "82", "02", ""}));
  ASSERT_EQ(store.month.DataRowCount(), 3);
  EXPECT_EQ(RowUtf8(store.month, 2), (Strings{"最後の", "平日", "15:00", "経費精算", "6時間前",
                                              "308", "11", "", "308 15:00"}));
  ASSERT_EQ(store.year.DataRowCount(), 2);
  EXPECT_EQ(RowUtf8(store.year, 2), (Strings{"12月", "24日", "19:00", "クリスマス会", "5分前",
                                             "TRUE", "1224", "04", "", "1224 19:00"}));
  EXPECT_EQ(store.week.SelectedRow(), 1);

  Settings expected;
  expected.left = 1180;
  expected.top = 20;
  expected.backClear = true;
  expected.backColor = kSilver;
  expected.figureBright = true;
  expected.fontName = sjis::Lit("ＭＳ ゴシック");
  expected.beep = true;
  expected.fontSize = 12;
  expected.fontStyle = kFontBold | kFontUnderline;
  expected.yearLine = true;
  expected.monthLine = false;
  expected.weekLine = true;
  expected.startUp = false;
  expected.onTime = true;
  expected.months = 3;
  EXPECT_EQ(settings, expected);

  EXPECT_EQ(FormatEventFile(store, settings), kSample);
}

TEST(EventFileTest, TheSampleFileRoundTrips) {
  const std::string bytes =
      test::ReadBytes(fs::path(VESPIN_SOURCE_DIR) / "examples" / "vespin.ini");
  ASSERT_FALSE(bytes.empty());
  EventStore store;
  Settings settings;
  EXPECT_TRUE(ParseEventFile(bytes, store, settings));
  EXPECT_EQ(store.week.DataRowCount(), 13);
  EXPECT_EQ(FormatEventFile(store, settings), bytes);
}

TEST(EventFileTest, SavingAndLoadingKeepsRowsAndSettingsAndClearsDoneMarks) {
  EventStore store;
  Settings settings;
  ParseEventFile(kSample, store, settings);
  store.week.SetCell(WeekCol::kDone, 1, "x");
  store.year.SetCell(YearCol::kDone, 2, "x");
  settings.backClear = false;
  settings.backColor = 0xE0FFFF;
  settings.months = 2;
  settings.beep = false;
  const std::string saved = FormatEventFile(store, settings);

  EventStore again;
  Settings reread;
  ParseEventFile(saved, again, reread);
  EXPECT_EQ(reread, settings);
  EXPECT_EQ(again.week.Cell(WeekCol::kDone, 1), "");
  EXPECT_EQ(again.year.Cell(YearCol::kDone, 2), "");
  store.week.SetCell(WeekCol::kDone, 1, "");
  store.year.SetCell(YearCol::kDone, 2, "");
  for (auto [a, b] : {std::pair{&store.week, &again.week},
                      {&store.month, &again.month},
                      {&store.year, &again.year}}) {
    ASSERT_EQ(a->DataRowCount(), b->DataRowCount());
    for (int r = 1; r <= a->DataRowCount(); ++r) EXPECT_EQ(RowUtf8(*a, r), RowUtf8(*b, r));
  }
}

TEST(EventFileTest, SettingsLineForms) {
  Settings before;
  before.left = 5;
  before.top = 6;
  before.fontName = "keep";
  before.fontSize = 20;
  before.fontStyle = 3;
  before.yearLine = before.monthLine = before.weekLine = true;
  before.startUp = false;
  before.onTime = true;
  before.months = 3;
  before.beep = false;

  {
    SCOPED_TRACE("older six-field line");
    Settings s = before;
    ApplySettingsLine(CommaSplit("10,20,255,DARK,Font,ON"), s);
    EXPECT_EQ(s.left, 10);
    EXPECT_EQ(s.top, 20);
    EXPECT_FALSE(s.backClear);
    EXPECT_EQ(s.backColor, 255u);
    EXPECT_FALSE(s.figureBright);
    EXPECT_EQ(s.fontName, "Font");
    EXPECT_TRUE(s.beep);
    EXPECT_EQ(s.fontSize, 9);
    EXPECT_EQ(s.fontStyle, 0);
    EXPECT_FALSE(s.yearLine || s.monthLine || s.weekLine);
    EXPECT_TRUE(s.startUp);
    EXPECT_FALSE(s.onTime);
    EXPECT_EQ(s.months, 1);
  }
  {
    SCOPED_TRACE("a fourteen-field line reads TRUE, not ON, for the sound");
    Settings s = before;
    ApplySettingsLine(CommaSplit("0,0,CLEAR,BRIGHT,F,ON,11,2,FALSE,TRUE,FALSE,TRUE,FALSE,2"), s);
    EXPECT_FALSE(s.beep);
    EXPECT_TRUE(s.backClear);
    EXPECT_EQ(s.backColor, kSilver);
    EXPECT_TRUE(s.figureBright);
    EXPECT_EQ(s.fontSize, 11);
    EXPECT_EQ(s.fontStyle, kFontItalic);
    EXPECT_EQ(s.months, 2);
  }
  {
    SCOPED_TRACE("comparisons are exact and case-sensitive");
    Settings s = before;
    ApplySettingsLine(CommaSplit("0,0,clear,bright,F,true,11,0,true,True,TRUE ,TRUE,x,02"), s);
    EXPECT_FALSE(s.backClear);
    EXPECT_FALSE(s.figureBright);
    EXPECT_FALSE(s.beep);
    EXPECT_FALSE(s.yearLine || s.monthLine || s.weekLine || s.onTime);
    EXPECT_TRUE(s.startUp);
    EXPECT_EQ(s.months, 3);  // "02" is none of 1, 2, 3: the choice stays
  }
  {
    SCOPED_TRACE("non-numbers keep what was there; a position that is none is no position");
    Settings s = before;
    s.backColor = 77;
    ApplySettingsLine(CommaSplit("abc,,12x,DARK,F,TRUE,big,,TRUE,TRUE,TRUE,TRUE,TRUE,1"), s);
    EXPECT_EQ(s.left, kNoPosition);
    EXPECT_EQ(s.top, kNoPosition);
    EXPECT_EQ(s.backColor, 77u);
    EXPECT_FALSE(s.backClear);
    EXPECT_EQ(s.fontSize, 20);
    EXPECT_EQ(s.fontStyle, 3);
    ApplySettingsLine(CommaSplit("-30,-40,-1,DARK,F,TRUE,9,300,T,T,T,T,T,1"), s);
    EXPECT_EQ(s.left, -30);  // monitors left of and above the main one
    EXPECT_EQ(s.top, -40);
    EXPECT_EQ(s.backColor, 77u);  // colours are not negative
    EXPECT_EQ(s.fontStyle, 300 & 0xFF);
  }
  {
    SCOPED_TRACE("a short line changes only the fields it has");
    Settings s = before;
    ApplySettingsLine(CommaSplit("30,40"), s);
    EXPECT_EQ(s.left, 30);
    EXPECT_EQ(s.top, 40);
    EXPECT_EQ(s.fontName, "keep");
    EXPECT_FALSE(s.beep);
    EXPECT_EQ(s.fontSize, 9);  // the older line's defaults still apply
  }
}

TEST(EventFileTest, SettingsLineIsWrittenInFieldOrder) {
  Settings s;
  s.left = -8;
  s.top = 0;
  s.backColor = 14745599;
  s.fontName = sjis::Lit("ＭＳ Ｐゴシック");
  s.beep = true;
  s.fontSize = 10;
  s.fontStyle = kFontBold | kFontStrikeOut;
  s.weekLine = true;
  s.months = 2;
  EXPECT_EQ(sjis::ToUtf8(SettingsLine(s)),
            "-8,0,14745599,DARK,ＭＳ Ｐゴシック,TRUE,10,9,FALSE,FALSE,TRUE,TRUE,FALSE,2");
  s.months = 0;  // none of the three month choices: the field stays empty
  const Strings fields = CommaSplit(SettingsLine(s));
  ASSERT_EQ(fields.size(), 14u);
  EXPECT_EQ(fields[13], "");
}

TEST(EventFileTest, EachBooleanFieldIsItsOwnSetting) {
  // Field position to setting, as the file has always had them; read and written both ways.
  const struct {
    std::size_t field;
    bool Settings::*flag;
  } flags[] = {
      {5, &Settings::beep},      {8, &Settings::yearLine}, {9, &Settings::monthLine},
      {10, &Settings::weekLine}, {11, &Settings::startUp}, {12, &Settings::onTime},
  };
  for (const auto& on : flags) {
    Strings fields = CommaSplit("0,0,CLEAR,DARK,F,FALSE,9,0,FALSE,FALSE,FALSE,FALSE,FALSE,1");
    fields[on.field] = "TRUE";
    Settings s;
    for (const auto& f : flags) s.*f.flag = true;
    ApplySettingsLine(fields, s);
    for (const auto& f : flags) {
      EXPECT_EQ(s.*f.flag, f.field == on.field)
          << "TRUE in field " << on.field << ", setting of field " << f.field;
    }
    EXPECT_EQ(CommaSplit(SettingsLine(s)), fields) << "TRUE in field " << on.field;
  }
}

TEST(EventFileTest, SettingsSectionVariants) {
  {
    SCOPED_TRACE("only the headers");
    EventStore store;
    store.week.InsertRow(1, WeekRow("13", "10:00", "old", "04"));
    Settings s;
    s.left = 42;
    const Settings before = s;
    EXPECT_FALSE(
        ParseEventFile(File({"[週間]", "[月間]", "[年間]", "[設定]", "[バージョン]"}), store, s));
    EXPECT_EQ(store.week.DataRowCount(), 0);
    EXPECT_EQ(s, before);
  }
  {
    SCOPED_TRACE("several settings lines: the last wins");
    EventStore store;
    Settings s;
    EXPECT_TRUE(ParseEventFile(
        File({"[週間]", "[月間]", "[年間]", "[設定]", "1,2,CLEAR,DARK,A,TRUE,9,0,F,F,F,F,F,1",
              "3,4,CLEAR,DARK,B,TRUE,9,0,F,F,F,F,F,2"}),
        store, s));
    EXPECT_EQ(s.left, 3);
    EXPECT_EQ(s.fontName, "B");
    EXPECT_EQ(s.months, 2);
  }
  {
    SCOPED_TRACE("the version line does not matter");
    EventStore a, b;
    Settings sa, sb;
    ParseEventFile(
        File({"[週間]", "13,10:00,x,04", "[月間]", "[年間]", "[設定]", "[x]", "anything,at,all"}),
        a, sa);
    ParseEventFile(File({"[週間]", "13,10:00,x,04", "[月間]", "[年間]", "[設定]"}), b, sb);
    EXPECT_EQ(sa, sb);
    EXPECT_EQ(FormatEventFile(a, sa), FormatEventFile(b, sb));
  }
}

TEST(EventFileTest, SectionsAreFoundByPosition) {
  EventStore store;
  Settings s;
  // Header names are never compared; the first line is skipped whatever it holds.
  ParseEventFile(File({"13,10:00,skipped,04", "81,07:00,a,01", "[", "400,23:00,b,12", "[something]",
                       "0101,00:00,c,01,FALSE"}),
                 store, s);
  ASSERT_EQ(store.week.DataRowCount(), 1);
  EXPECT_EQ(sjis::ToUtf8(store.week.Cell(WeekCol::kText, 1)), "a");
  ASSERT_EQ(store.month.DataRowCount(), 1);
  EXPECT_EQ(store.month.Cell(MonthCol::kText, 1), "b");
  ASSERT_EQ(store.year.DataRowCount(), 1);
  EXPECT_EQ(store.year.Cell(YearCol::kText, 1), "c");

  // A file that stops early leaves the later tables empty.
  ParseEventFile(File({"[週間]", "81,07:00,a,01"}), store, s);
  EXPECT_EQ(store.week.DataRowCount(), 1);
  EXPECT_EQ(store.month.DataRowCount(), 0);
  EXPECT_EQ(store.year.DataRowCount(), 0);
}

TEST(EventFileTest, YearlyLineWithoutDeleteFlag) {
  EventStore store;
  Settings s;
  ParseEventFile(File({"[週間]", "[月間]", "[年間]", "1224,19:00,クリスマス,04"}), store, s);
  ASSERT_EQ(store.year.DataRowCount(), 1);
  EXPECT_EQ(store.year.Cell(YearCol::kDelete, 1), "FALSE");
  const std::string saved = FormatEventFile(store, s);
  EXPECT_NE(saved.find(sjis::Lit("1224,19:00,クリスマス,04,FALSE\r\n")), std::string::npos);
}

TEST(EventFileTest, BadLinesLoseNothing) {
  static const std::string kOddBytes("13,10:00,a\0\x7f\xff,04\r\n", 18);
  const struct {
    const char* name;
    std::string in;       // the event lines of the file, without headers
    std::string section;  // which section they go into: "w", "m" or "y"
    std::string out;      // how a save writes them
  } cases[] = {
      {"too few weekly fields", "13,10:00\r\n", "w", "13,10:00,,\r\n"},
      {"a lone code", "400\r\n", "m", "400,,,\r\n"},
      {"too few yearly fields", "0101\r\n", "y", "0101,,,,FALSE\r\n"},
      {"comma in a weekly text", "13,10:00,a,b,04\r\n", "w", "13,10:00,a,b,04\r\n"},
      {"commas in a yearly text", "0101,00:00,a,b,,c,04,TRUE\r\n", "y",
       "0101,00:00,a,b,,c,04,TRUE\r\n"},
      {"empty lines are skipped", "\r\n13,10:00,a,04\r\n\r\n", "w", "13,10:00,a,04\r\n"},
      {"lone LF and CR end lines", "13,10:00,a,04\n81,07:00,b,01\r82,08:00,c,02\r\n", "w",
       "13,10:00,a,04\r\n81,07:00,b,01\r\n82,08:00,c,02\r\n"},
      {"NUL and other bytes are kept", kOddBytes, "w", kOddBytes},
      {"an over-long text is kept", "13,10:00," + Fill(100000, 'z') + ",04\r\n", "w",
       "13,10:00," + Fill(100000, 'z') + ",04\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string w = c.section == "w" ? c.in : "";
    const std::string m = c.section == "m" ? c.in : "";
    const std::string y = c.section == "y" ? c.in : "";
    const std::string head = File({"[週間]"}), month = File({"[月間]"}), year = File({"[年間]"});
    EventStore store;
    Settings s;
    ParseEventFile(head + w + month + m + year + y, store, s);
    const std::string saved = FormatEventFile(store, s);
    const std::string expectedW = c.section == "w" ? c.out : "";
    const std::string expectedM = c.section == "m" ? c.out : "";
    const std::string expectedY = c.section == "y" ? c.out : "";
    EXPECT_EQ(saved.substr(0, saved.find(sjis::Lit("[設定]"))),
              head + expectedW + month + expectedM + year + expectedY);
  }
}

TEST(EventFileTest, OddFileEndsAreSafe) {
  const struct {
    const char* name;
    std::string bytes;
    int weekRows;
  } cases[] = {
      {"empty file", "", 0},
      {"no final CR LF", sjis::Lit("[週間]\r\n13,10:00,a,04"), 1},
      {"only a CR", "\r", 0},
      {"empty lines before the first header", "\r\n\r\n" + sjis::Lit("[週間]\r\n13,10:00,a,04\r\n"),
       1},
      {"a lone '[' line", "[", 0},
      {"NUL bytes only", std::string(64, '\0'), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EventStore store;
    Settings s;
    ParseEventFile(c.bytes, store, s);
    EXPECT_EQ(store.week.DataRowCount(), c.weekRows);
    // Whatever came in, what goes out reads back to itself.
    const std::string once = FormatEventFile(store, s);
    EventStore again;
    Settings s2;
    ParseEventFile(once, again, s2);
    EXPECT_EQ(FormatEventFile(again, s2), once);
  }
}

TEST(EventFileTest, LinesKnowTheirEndsAndSections) {
  const auto lines = SplitEventFile("a\r\nb\nc\rd\r\n\r\n[x\r\ne");
  ASSERT_EQ(lines.size(), 7u);
  const LineEnd ends[] = {LineEnd::kCrLf, LineEnd::kLf,   LineEnd::kCr,  LineEnd::kCrLf,
                          LineEnd::kCrLf, LineEnd::kCrLf, LineEnd::kNone};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].end, ends[i]) << i;
    EXPECT_EQ(lines[i].number, static_cast<int>(i) + 1);
  }
  EXPECT_TRUE(lines[0].isHeader);
  EXPECT_EQ(lines[3].text, "d");
  EXPECT_EQ(lines[4].text, "");
  EXPECT_TRUE(lines[5].isHeader);
  EXPECT_EQ(lines[5].section, FileSection::kMonth);
  EXPECT_EQ(lines[6].section, FileSection::kMonth);
}

TEST(EventFileTest, APositionThatIsNoNumberIsNoPosition) {
  const struct {
    const char* line;
    int left, top;
  } cases[] = {
      {"40,30", 40, 30},
      {"x,30", kNoPosition, kNoPosition},
      {"40,abc", kNoPosition, kNoPosition},
      {"40,", kNoPosition, kNoPosition},
      {"99999999999,30", kNoPosition, kNoPosition},  // beyond an int
      {"-0,+5", 0, 5},
  };
  for (const auto& c : cases) {
    Settings s;
    ApplySettingsLine(CommaSplit(std::string(c.line) + ",CLEAR,DARK,F,ON"), s);
    EXPECT_EQ(s.left, c.left) << c.line;
    EXPECT_EQ(s.top, c.top) << c.line;
  }
  // Placed as a position beyond the screen is: at the top right.
  EXPECT_EQ(PlaceWindow(kNoPosition, kNoPosition, 1280, 800, 150), (WindowPos{1130, 0}));
}

TEST(EventFileTest, HandEditsAreReadAsTheyWereMeant) {
  const struct {
    const char* name;
    std::string in;       // one event line of the section, Shift_JIS
    std::string section;  // "w", "m" or "y"
    std::string out;      // how a save writes it
  } cases[] = {
      // A comma after the lead code: the lead stays the lead, the text stays the text.
      {"weekly", sjis::Lit("13,10:00,定例会議,04,\r\n"), "w",
       sjis::Lit("13,10:00,定例会議,04\r\n")},
      {"monthly", "125,10:00,pay,01,\r\n", "m", "125,10:00,pay,01\r\n"},
      {"yearly with its flag", "0101,00:00,a,01,TRUE,\r\n", "y", "0101,00:00,a,01,TRUE\r\n"},
      {"yearly without a flag", "1224,19:00,a,04,\r\n", "y", "1224,19:00,a,04,FALSE\r\n"},
      {"and a comma in the text", "13,10:00,a,b,04,\r\n", "w", "13,10:00,a,b,04\r\n"},
      // No lead before the empty field: the field is the (empty) lead.
      {"an empty lead", "13,10:00,a,\r\n", "w", "13,10:00,a,\r\n"},
      // Half a double-byte character at the end of the text would swallow the 」 of a notice.
      {"a lone lead byte", sjis::Lit("13,10:00,会議") + "\x82,04\r\n", "w",
       sjis::Lit("13,10:00,会議,04\r\n")},
      {"nothing but a lead byte", "0101,00:00,\xE0,01,TRUE\r\n", "y", "0101,00:00,,01,TRUE\r\n"},
      {"a whole character stays", sjis::Lit("13,10:00,ソ,04\r\n"), "w",
       sjis::Lit("13,10:00,ソ,04\r\n")},
      // Cut, these texts would end in ",04" before an empty lead or flag and lose it to the
      // lead at the next load: they keep their byte.
      {"a cut that would feed the lead", "13,10:00,a,04\x9D,\r\n", "w", "13,10:00,a,04\x9D,\r\n"},
      {"a cut that would feed the flag", "0101,10:00,a,04\x9D,TRUE,\r\n", "y",
       "0101,10:00,a,04\x9D,TRUE,\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string head = File({"[週間]"}), month = File({"[月間]"}), year = File({"[年間]"});
    const auto in = [&](const char* s) { return c.section == s ? c.in : std::string(); };
    const auto out = [&](const char* s) { return c.section == s ? c.out : std::string(); };
    EventStore store;
    Settings s;
    ParseEventFile(head + in("w") + month + in("m") + year + in("y"), store, s);
    const std::string saved = FormatEventFile(store, s);
    EXPECT_EQ(saved.substr(0, saved.find(sjis::Lit("[設定]"))),
              head + out("w") + month + out("m") + year + out("y"));
    EventStore again;  // and the next load and save change nothing
    ParseEventFile(saved, again, s);
    EXPECT_EQ(FormatEventFile(again, s), saved);
  }
}

class EventFileOnDiskTest : public testing::Test {
 protected:
  test::TempDir dir;
  test::RecordingNotifier notifier;
  fs::path file = dir.File(kEventFileName);
};

TEST_F(EventFileOnDiskTest, MissingFileIsReportedAndNeverCreated) {
  EventFile ef(file, notifier);
  EventStore store;
  store.week.InsertRow(1, WeekRow("13", "10:00", "keep", "04"));
  Settings s;
  s.left = 7;
  EXPECT_FALSE(ef.IniLoad(store, s).ok);
  EXPECT_EQ(store.week.DataRowCount(), 1);
  EXPECT_EQ(s.left, 7);
  EXPECT_FALSE(ef.IniSave(store, s));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(fs::is_empty(dir.Path()));
  EXPECT_EQ(notifier.notices, (Strings{kOpenFailedNotice, kOpenFailedNotice}));
}

TEST_F(EventFileOnDiskTest, AFolderInPlaceOfTheFileCannotBeRead) {
  fs::create_directory(file);
  EventFile ef(file, notifier);
  EventStore store;
  Settings s;
  EXPECT_FALSE(ef.IniLoad(store, s).ok);
  EXPECT_FALSE(ef.IniSave(store, s));
  EXPECT_EQ(notifier.notices, (Strings{kOpenFailedNotice, kOpenFailedNotice}));
}

TEST_F(EventFileOnDiskTest, LoadAndSaveThroughTheFile) {
  dir.Write(kEventFileName, kSample);
  EventFile ef(file, notifier);
  EXPECT_EQ(ef.Path(), file);
  EventStore store;
  Settings s;
  const LoadResult r = ef.IniLoad(store, s);
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.settingsRead);
  EXPECT_EQ(store.month.DataRowCount(), 3);

  store.week.DeleteRow(1);
  ASSERT_TRUE(ef.IniSave(store, s));
  EXPECT_EQ(test::ReadBytes(file), FormatEventFile(store, s));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
  EXPECT_TRUE(notifier.notices.empty());

  dir.Write(kEventFileName, File({"[週間]", "[月間]", "[年間]", "[設定]"}));
  EXPECT_EQ(ef.IniLoad(store, s).settingsRead, false);
}

TEST_F(EventFileOnDiskTest, SaveKeepsPermissionsAndLeavesWhatLiesBesideItAlone) {
  dir.Write(kEventFileName, kSample);
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // Names another program (or an older VESPIN) may have left beside the file.
  dir.Write(std::string(kEventFileName) + ".tmp", "left over from a crash");
  fs::create_directory(dir.File(std::string(".") + kEventFileName + ".folder"));
  EventFile ef(file, notifier);
  EventStore store;
  Settings s;
  ef.IniLoad(store, s);
  s.months = 1;
  ASSERT_TRUE(ef.IniSave(store, s));
  EXPECT_EQ(fs::status(file).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(test::ReadBytes(file), FormatEventFile(store, s));
  EXPECT_EQ(dir.Read(std::string(kEventFileName) + ".tmp"), "left over from a crash");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 3);
}

TEST_F(EventFileOnDiskTest, SaveThroughASymbolicLinkKeepsTheLink) {
  const fs::path real = dir.Write("real.ini", kSample);
  fs::create_symlink(real, file);
  EventFile ef(file, notifier);
  EventStore store;
  Settings s;
  ef.IniLoad(store, s);
  store.year.ClearRows();
  ASSERT_TRUE(ef.IniSave(store, s));
  EXPECT_TRUE(fs::is_symlink(file));
  EXPECT_EQ(test::ReadBytes(real), FormatEventFile(store, s));
}

// --- Sharing the file with other programs ----------------------------------------------------

// Saves in a loop in a child process until `stopAt`; the child's exit status is the number of
// saves that failed (capped), so the parent sees every false alarm.
pid_t SaveInAChild(const fs::path& file, int left, std::chrono::steady_clock::time_point stopAt) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  test::RecordingNotifier quiet;
  EventFile ef(file, quiet);
  EventStore store;
  Settings s;
  ParseEventFile(kSample, store, s);
  s.left = left;
  int failures = 0;
  while (std::chrono::steady_clock::now() < stopAt) {
    if (!ef.IniSave(store, s)) ++failures;
  }
  ::_exit(std::min(failures, 100));
}

TEST_F(EventFileOnDiskTest, TwoWritersNeverShowAReaderAHalfFile) {
  dir.Write(kEventFileName, kSample);
  ::chmod(file.c_str(), 0640);
  // The two writers differ only in the window's left edge; a reader must always see one of the
  // three files whole.
  std::set<std::string> whole = {kSample};
  for (int left : {111, 222}) {
    EventStore store;
    Settings s;
    ParseEventFile(kSample, store, s);
    s.left = left;
    whole.insert(FormatEventFile(store, s));
  }
  const auto stopAt = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  const pid_t a = SaveInAChild(file, 111, stopAt);
  const pid_t b = SaveInAChild(file, 222, stopAt);
  int reads = 0;
  int torn = 0;
  while (std::chrono::steady_clock::now() < stopAt) {
    const auto bytes = ReadWholeFile(file);
    ++reads;
    if (!bytes || !whole.contains(*bytes)) ++torn;
  }
  for (pid_t child : {a, b}) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "saves reported as failed";
  }
  EXPECT_GT(reads, 100);
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // Nothing is left behind in the folder but the file.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(EventFileOnDiskTest, AFailedWriteLeavesNeitherAHalfFileNorATemporaryOne) {
  dir.Write(kEventFileName, kSample);
  EventFile ef(file, notifier);
  EventStore store;
  Settings s;
  ASSERT_TRUE(ef.IniLoad(store, s).ok);
  // A file-size limit makes the write fail part way, whoever runs the test (root included).
  for (int i = 0; i < 200; ++i) store.week.InsertRow(1, WeekRow("13", "10:00", "long", "04"));
  struct rlimit old {};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1024;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const bool saved = ef.IniSave(store, s);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_EQ(notifier.notices, Strings{kWriteFailedNotice});
  EXPECT_EQ(test::ReadBytes(file), kSample);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

// Whether `file` may be saved by a process of `uid`, run in a child that takes that identity.
bool SavesAs(uid_t uid, const fs::path& file) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(2);
    test::RecordingNotifier quiet;
    EventFile ef(file, quiet);
    EventStore store;
    Settings s;
    ::_exit(ef.IniSave(store, s) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(EventFileOnDiskTest, AWriteProtectedFileIsNotReplaced) {
  dir.Write(kEventFileName, kSample);
  ::chmod(file.c_str(), 0444);
  EventFile ef(file, notifier);
  EventStore store;
  Settings s;
  ASSERT_TRUE(ef.IniLoad(store, s).ok);
  store.week.ClearRows();
  // Root may write anything; the missing write bits still say what the user meant.
  EXPECT_FALSE(ef.IniSave(store, s));
  EXPECT_EQ(notifier.notices, Strings{kWriteFailedNotice});
  EXPECT_EQ(test::ReadBytes(file), kSample);
  EXPECT_EQ(store.week.DataRowCount(), 0);  // memory keeps the change
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);

  ::chmod(file.c_str(), 0644);
  EXPECT_TRUE(ef.IniSave(store, s));

  // An ordinary user may save only a file that grants them the write.
  if (::geteuid() == 0) {
    constexpr uid_t kNobody = 65534;
    ::chmod(dir.Path().c_str(), 0777);
    ::chmod(file.c_str(), 0644);
    EXPECT_FALSE(SavesAs(kNobody, file));
    ::chmod(file.c_str(), 0666);
    EXPECT_TRUE(SavesAs(kNobody, file));
  }
}

TEST_F(EventFileOnDiskTest, OnlyRegularFilesAreOpenedAndNothingBlocks) {
  const struct {
    const char* what;
    std::function<void(const fs::path&)> make;
    FileProblem problem;
  } cases[] = {
      {"named pipe", [](const fs::path& p) { ::mkfifo(p.c_str(), 0644); }, FileProblem::kFifo},
      {"link to a pipe",
       [&](const fs::path& p) {
         ::mkfifo(dir.File("pipe").c_str(), 0644);
         fs::create_symlink(dir.File("pipe"), p);
       },
       FileProblem::kFifo},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, FileProblem::kDirectory},
      {"device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
       FileProblem::kDevice},
      {"missing", [](const fs::path&) {}, FileProblem::kMissing},
      {"dangling link", [](const fs::path& p) { fs::create_symlink("nowhere", p); },
       FileProblem::kMissing},
  };
  for (const auto& c : cases) {
    test::TempDir here;
    const fs::path path = here.File(kEventFileName);
    c.make(path);
    auto read = std::async(std::launch::async, [&] { return ReadEventFileBytes(path); });
    if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      // Unblock the reader before failing, or the test would hang here.
      const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      ADD_FAILURE() << c.what << ": the read blocked";
      continue;
    }
    const FileRead r = read.get();
    EXPECT_FALSE(r.bytes.has_value()) << c.what;
    EXPECT_EQ(r.problem, c.problem) << c.what;
    EXPECT_NE(std::string(FileProblemText(r.problem)), "") << c.what;

    test::RecordingNotifier told;
    EventFile ef(path, told);
    EventStore store;
    Settings s;
    EXPECT_FALSE(ef.IniLoad(store, s).ok) << c.what;
    EXPECT_FALSE(ef.IniSave(store, s)) << c.what;
    EXPECT_EQ(told.notices, (Strings{kOpenFailedNotice, kOpenFailedNotice})) << c.what;
  }
}

// --- Files that are no calendar ------------------------------------------------------------

void PutBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A file far too large, or one that is not text, is neither taken as a calendar (empty or
// garbage) nor written over; the one streamed reader stops at the same limit.
TEST_F(EventFileOnDiskTest, AFileTooLargeOrNotTextIsNeitherReadNorWrittenOver) {
  const auto sparse = [](const fs::path& p, std::int64_t size) {
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
  };
  const struct {
    const char* what;
    std::function<void(const fs::path&)> make;
    FileProblem problem;
    const char* said;
  } cases[] = {
      {"all NUL", [](const fs::path& p) { PutBytes(p, std::string(8192, '\0')); },
       FileProblem::kNotText, "is not a text file"},
      {"one NUL after the events",
       [](const fs::path& p) { PutBytes(p, kSample + std::string(1, '\0')); },
       FileProblem::kNotText, "is not a text file"},
      {"saved as UTF-16",
       [](const fs::path& p) { PutBytes(p, std::string("\xFF\xFE[\0w\0]\0\r\0\n\0", 12)); },
       FileProblem::kNotText, "is not a text file"},
      {"a NUL past the first piece the stream reads",
       [](const fs::path& p) { PutBytes(p, kSample + std::string(kStreamPiece * 2, 'a') + '\0'); },
       FileProblem::kNotText, "is not a text file"},
      {"one byte over the limit", [&](const fs::path& p) { sparse(p, kMaxEventFileBytes + 1); },
       FileProblem::kTooLarge, "is larger than 16 MiB"},
      {"a gigabyte", [&](const fs::path& p) { sparse(p, std::int64_t{1} << 30); },
       FileProblem::kTooLarge, "is larger than 16 MiB"},
  };
  for (const auto& c : cases) {
    test::TempDir here;
    const fs::path path = here.File(kEventFileName);
    c.make(path);
    const FileRead r = ReadEventFileBytes(path);
    EXPECT_FALSE(r.bytes.has_value()) << c.what;
    EXPECT_EQ(r.problem, c.problem) << c.what;
    EXPECT_STREQ(FileProblemText(r.problem), c.said) << c.what;
    int lines = 0;
    EXPECT_FALSE(StreamEventFile(path, [&](const FileLine&) { ++lines; })) << c.what;
    EXPECT_EQ(ProblemWith(path), c.problem) << c.what;

    // Not loaded at start-up.
    test::RecordingNotifier told;
    EventFile fresh(path, told);
    EventStore store;
    Settings s;
    EXPECT_FALSE(fresh.IniLoad(store, s).ok) << c.what;
    EXPECT_EQ(told.notices, Strings{kOpenFailedNotice}) << c.what;

    // Put in place of a file that was loaded: seen as changed, not taken, not written over.
    const fs::path good = here.Write("good.ini", kSample);
    test::RecordingNotifier told2;
    EventFile loaded(good, told2);
    ASSERT_TRUE(loaded.IniLoad(store, s).ok);
    fs::rename(path, good);
    const auto before = IdentityOf(good);
    EXPECT_TRUE(loaded.ChangedOnDisk()) << c.what;
    EXPECT_FALSE(loaded.Rebase(store, s, RowChanges::kKeep)) << c.what;
    EXPECT_EQ(store.week.DataRowCount(), 2) << c.what;
    EXPECT_FALSE(loaded.IniSave(store, s)) << c.what;
    EXPECT_EQ(told2.notices, (Strings{kOpenFailedNotice, kOpenFailedNotice})) << c.what;
    EXPECT_EQ(IdentityOf(good), before) << c.what;
  }
}

TEST_F(EventFileOnDiskTest, TheLimitIsOnSizeAndNULOnlyNotOnShiftJisOrControlBytes) {
  // Exactly the limit is read; Shift_JIS with every high byte and odd control bytes is text.
  std::string atLimit = kSample + "\x1b\x7f\x80\xff\x81\x40";
  atLimit.resize(static_cast<std::size_t>(kMaxEventFileBytes), 'a');
  dir.Write(kEventFileName, atLimit);
  const FileRead r = ReadEventFileBytes(file);
  ASSERT_TRUE(r.bytes.has_value());
  EXPECT_EQ(r.bytes->size(), atLimit.size());
  EXPECT_TRUE(StreamEventFile(file, [](const FileLine&) {}));
}

// --- What a save killed mid-write leaves ------------------------------------------------------

TEST_F(EventFileOnDiskTest, OnlyStaleTemporaryFilesOfTheSaveAreRemoved) {
  dir.Write(kEventFileName, kSample);
  const std::timespec lock{1700000000, 500};
  const auto at = [](const fs::path& p, std::timespec when) {
    const std::timespec both[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), both, AT_SYMLINK_NOFOLLOW), 0);
  };
  const std::timespec before{lock.tv_sec - 3600, 0};
  const std::timespec after{lock.tv_sec, lock.tv_nsec + 1};
  const struct {
    const char* name;
    std::timespec when;
    bool folder;
    bool removed;
  } cases[] = {
      {".vespin.ini.Ab3xYz", before, false, true},
      {".vespin.ini.000000", before, false, true},
      {".vespin.ini.zzzzzz", {lock.tv_sec, lock.tv_nsec - 1}, false, true},
      {".vespin.ini.QwErTy", after, false, false},  // a save under way by another writer
      {".vespin.ini.QwErTz", lock, false, false},
      {".vespin.ini.Ab3xY", before, false, false},
      {".vespin.ini.Ab3xYz1", before, false, false},
      {".vespin.ini.Ab-xYz", before, false, false},
      {".vespin.ini.Ab.xYz", before, false, false},
      {"vespin.ini.Ab3xYz", before, false, false},
      {".vespin.inI.Ab3xYz", before, false, false},
      {".other.ini.Ab3xYz", before, false, false},
      {".vespin.ini.lockxx", before, true, false},  // a folder with the name
  };
  for (const auto& c : cases) {
    const fs::path p = dir.File(c.name);
    if (c.folder) {
      fs::create_directory(p);
    } else {
      dir.Write(c.name, "half a file");
    }
    at(p, c.when);
  }
  // A link with the name, to a file elsewhere: neither goes.
  test::TempDir elsewhere;
  const fs::path target = elsewhere.Write("precious", "keep");
  fs::create_symlink(target, dir.File(".vespin.ini.LnK123"));
  at(dir.File(".vespin.ini.LnK123"), before);

  EXPECT_EQ(RemoveStaleTempFiles(file, lock), 3);
  for (const auto& c : cases) EXPECT_EQ(fs::exists(dir.File(c.name)), !c.removed) << c.name;
  EXPECT_TRUE(fs::is_symlink(dir.File(".vespin.ini.LnK123")));
  EXPECT_EQ(test::ReadBytes(target), "keep");
  EXPECT_EQ(test::ReadBytes(file), kSample);

  // Another user's, in a folder both may write: left to its owner.
  if (::geteuid() == 0) {
    const fs::path theirs = dir.Write(".vespin.ini.NoBody", "theirs");
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    at(theirs, before);
    EXPECT_EQ(RemoveStaleTempFiles(file, lock), 0);
    EXPECT_TRUE(fs::exists(theirs));
  }
}

}  // namespace
}  // namespace vespin
