#include "events/FileMerge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <initializer_list>
#include <string>
#include <vector>

#include "RecordingNotifier.h"
#include "TempDir.h"
#include "events/EventFile.h"
#include "events/EventRows.h"
#include "events/ExtensionSection.h"
#include "events/IniFormat.h"
#include "events/SettingsLine.h"
#include "events/WholeFile.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

using Strings = std::vector<std::string>;

// A file from UTF-8 lines, each converted to Shift_JIS and ended with CR LF.
std::string File(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* l : lines) out += sjis::Lit(l) + "\r\n";
  return out;
}

// A weekly table from "code,time,text" lines (lead 04), with done marks after a '|'.
EventTable Week(std::initializer_list<const char*> rows) {
  EventStore store;
  for (std::string row : rows) {
    std::string done;
    if (const auto bar = row.find('|'); bar != std::string::npos) {
      done = row.substr(bar + 1);
      row.resize(bar);
    }
    const auto f = CommaSplit(sjis::Lit(row));
    store.week.InsertRow(store.week.DataRowCount() + 1, WeekRow(f[0], f[1], f[2], "04"));
    store.week.SetCell(WeekCol::kDone, store.week.DataRowCount(), done);
  }
  return store.week;
}

// "text|done" of each row.
Strings Rows(const EventTable& t) {
  Strings out;
  for (int r = 1; r <= t.DataRowCount(); ++r) {
    out.push_back(sjis::ToUtf8(t.Cell(WeekCol::kText, r)) + "|" +
                  std::string(t.Cell(WeekCol::kDone, r)));
  }
  return out;
}

TEST(FileMergeTest, DoneMarksFollowTheirRowsNotTheirPlaces) {
  const EventTable from =
      Week({"13,10:00,A|x20050419", "81,12:00,B|x20050419+", "13,10:00,A|x20050412"});
  EventTable to = Week({"81,12:00,B", "14,09:00,C", "13,10:00,A", "13,10:00,A", "13,10:00,A"});
  CarryDoneMarks(from, to, WeekCol::kDone);
  // Equal rows take the marks of their equals in turn; a row with no equal has none.
  EXPECT_EQ(Rows(to), (Strings{"B|x20050419+", "C|", "A|x20050419", "A|x20050412", "A|"}));
  // A row that differs in any cell but the mark is another event.
  EventTable other = Week({"13,10:01,A", "13,10:00,a"});
  CarryDoneMarks(from, other, WeekCol::kDone);
  EXPECT_EQ(Rows(other), (Strings{"A|", "a|"}));
}

TEST(FileMergeTest, RowChangesAreCarriedOntoTheFreshTable) {
  const struct {
    const char* what;
    EventTable base, mine, theirs;
    Strings expected;
  } cases[] = {
      {"one removed here, one added there",
       Week({"13,10:00,A", "13,11:00,B", "13,12:00,C"}),
       Week({"13,10:00,A", "13,12:00,C"}),
       Week({"13,10:00,A", "13,11:00,B", "13,12:00,C", "13,13:00,E"}),
       {"A|", "C|", "E|"}},
      {"added here goes to the end",
       Week({"13,10:00,A"}),
       Week({"13,10:00,A", "13,09:00,D"}),
       Week({"13,08:00,Z", "13,10:00,A"}),
       {"Z|", "A|", "D|"}},
      {"removed there stays removed",
       Week({"13,10:00,A", "13,11:00,B"}),
       Week({"13,10:00,A", "13,11:00,B"}),
       Week({"13,11:00,B"}),
       {"B|"}},
      {"removed on both sides",
       Week({"13,10:00,A", "13,11:00,B"}),
       Week({"13,11:00,B"}),
       Week({"13,11:00,B"}),
       {"B|"}},
      {"one of two equal rows removed",
       Week({"13,10:00,A", "13,10:00,A"}),
       Week({"13,10:00,A"}),
       Week({"13,10:00,A", "13,10:00,A", "13,11:00,B"}),
       {"A|", "B|"}},
  };
  for (const auto& c : cases) {
    EventTable theirs = c.theirs;
    ApplyRowChanges(c.base, c.mine, theirs, WeekCol::kDone);
    EXPECT_EQ(Rows(theirs), c.expected) << c.what;
  }
}

TEST(FileMergeTest, SettingsChangedHereWinOnlyWhereTheyChanged) {
  Settings base;
  Settings mine = base;
  mine.beep = true;
  mine.months = 3;
  mine.left = 500;
  mine.extensions.holidayLaw = HolidayLaw::kCurrent;
  Settings theirs = base;
  theirs.fontName = "IPAGothic";
  theirs.beep = false;
  theirs.months = 2;
  theirs.top = 40;
  ApplySettingChanges(base, mine, theirs);
  Settings expected = base;
  expected.fontName = "IPAGothic";
  expected.beep = true;
  expected.months = 3;
  expected.left = 500;
  expected.top = 40;
  expected.extensions.holidayLaw = HolidayLaw::kCurrent;
  EXPECT_EQ(theirs, expected);
}

// The settings line is the oracle: whatever field a line changes here must come through a merge
// with another field changed there, for every field the file has.
TEST(FileMergeTest, EverySettingsFieldChangedHereSurvivesAMerge) {
  const Strings base = {"100", "200",   "12632256", "DARK",  "ＭＳ ゴシック", "FALSE", "9",
                        "0",   "FALSE", "FALSE",    "FALSE", "TRUE",          "FALSE", "1"};
  const auto other = [](ini::SettingsType type, const std::string& now) -> std::string {
    switch (type) {
      case ini::SettingsType::kInteger:
        return "-30";
      case ini::SettingsType::kBackground:
        return "CLEAR";
      case ini::SettingsType::kScheme:
        return "BRIGHT";
      case ini::SettingsType::kText:
        return "IPAGothic";
      case ini::SettingsType::kBoolean:
        return now == "TRUE" ? "FALSE" : "TRUE";
      case ini::SettingsType::kFontSize:
        return "14";
      case ini::SettingsType::kFontStyle:
        return "5";
      case ini::SettingsType::kMonths:
        return "3";
    }
    return now;
  };
  const auto read = [](const Strings& fields) {
    Strings sjisFields;
    for (const std::string& f : fields) sjisFields.push_back(sjis::Lit(f));
    Settings s;
    ApplySettingsLine(sjisFields, s);
    return s;
  };
  ASSERT_EQ(base.size(), ini::kSettingsFieldCount);
  for (std::size_t i = 0; i < ini::kSettingsFieldCount; ++i) {
    const std::size_t j = (i + 1) % ini::kSettingsFieldCount;  // changed on the other side
    SCOPED_TRACE(ini::kSettingsFields[i].name);
    Strings here = base, there = base, both = base;
    here[i] = both[i] = other(ini::kSettingsFields[i].type, base[i]);
    there[j] = both[j] = other(ini::kSettingsFields[j].type, base[j]);
    Settings theirs = read(there);
    ApplySettingChanges(read(base), read(here), theirs);
    EXPECT_EQ(sjis::ToUtf8(SettingsLine(theirs)), sjis::ToUtf8(SettingsLine(read(both))));
  }
}

// Each option of the extension section merges on its own, and the lines a hand added that this
// version does not know stay.
TEST(FileMergeTest, ExtensionOptionsMergeOneByOne) {
  const Settings base;
  Settings mine = base;
  mine.extensions.holidayLaw = HolidayLaw::kCurrent;
  Settings theirs = base;
  theirs.extensions.keptLines = {sjis::Lit("購読=https://example.com/a.ics")};
  ApplySettingChanges(base, mine, theirs);
  EXPECT_EQ(FormatExtensionSection(theirs.extensions),
            sjis::Lit("[拡張]\r\n祝日=現行\r\n購読=https://example.com/a.ics\r\n"));
  // Nothing changed here: theirs stays as it is.
  Settings again = theirs;
  ApplySettingChanges(mine, mine, again);
  EXPECT_EQ(again, theirs);
}

const std::string kStart = File({
    "[週間]",
    "13,10:00,定例会議,04",
    "[月間]",
    "[年間]",
    "0418,09:00,母の誕生日,13,FALSE",
    "0419,09:00,歯医者,04,TRUE",
    "[設定]",
    "1180,20,CLEAR,BRIGHT,ＭＳ ゴシック,FALSE,12,0,TRUE,FALSE,TRUE,FALSE,TRUE,1",
    "[バージョン]",
    "vespin Ver3.2(2005.04.18)",
});

class FileMergeOnDiskTest : public testing::Test {
 protected:
  test::TempDir dir;
  test::RecordingNotifier notifier;
  EventFile ef{dir.File(kEventFileName), notifier};
  EventStore store;
  Settings settings;
};

TEST_F(FileMergeOnDiskTest, AChangeIsSeenByItsBytesNotByItsTime) {
  EXPECT_FALSE(ef.ChangedOnDisk());  // nothing read yet: nothing to compare
  dir.Write(kEventFileName, kStart);
  ASSERT_TRUE(ef.IniLoad(store, settings).ok);
  EXPECT_FALSE(ef.ChangedOnDisk());
  // Touched, same bytes: no change.
  struct utimbuf later {
    1500000000, 1500000000
  };
  ASSERT_EQ(::utime(dir.File(kEventFileName).c_str(), &later), 0);
  EXPECT_FALSE(ef.ChangedOnDisk());
  // Same size, one byte other.
  std::string edited = kStart;
  edited[edited.find("10:00")] = '2';
  dir.Write(kEventFileName, edited);
  EXPECT_TRUE(ef.ChangedOnDisk());
  // Our own save is the new reference.
  ASSERT_TRUE(ef.IniSave(store, settings));
  EXPECT_FALSE(ef.ChangedOnDisk());
  dir.Write(kEventFileName, kStart + "x");
  EXPECT_TRUE(ef.ChangedOnDisk());
  ASSERT_TRUE(ef.IniLoad(store, settings).ok);
  EXPECT_FALSE(ef.ChangedOnDisk());
}

TEST_F(FileMergeOnDiskTest, RebaseKeepsTheHandEditAndTheChangesMadeHere) {
  dir.Write(kEventFileName, kStart);
  ASSERT_TRUE(ef.IniLoad(store, settings).ok);
  // Here: the engine announced the meeting and deleted the flagged yearly row; the user ticked
  // the sound and chose three months (not yet written).
  store.week.SetCell(WeekCol::kDone, 1, "x20050419");
  store.year.DeleteRow(2);
  settings.beep = true;
  settings.months = 3;
  EXPECT_TRUE(ef.EventsDiffer(store));
  // Meanwhile, by hand: an event appended to the weekly section, the dark scheme chosen.
  std::string edited = kStart;
  edited.insert(edited.find(sjis::Lit("[月間]")), sjis::Lit("82,12:00,昼休み,02\r\n"));
  edited.replace(edited.find("BRIGHT"), 6, "DARK");
  dir.Write(kEventFileName, edited);
  ASSERT_TRUE(ef.ChangedOnDisk());

  ASSERT_TRUE(ef.Rebase(store, settings, RowChanges::kKeep));
  EXPECT_TRUE(notifier.notices.empty());
  ASSERT_EQ(store.week.DataRowCount(), 2);
  EXPECT_EQ(sjis::ToUtf8(store.week.Cell(WeekCol::kText, 2)), "昼休み");
  EXPECT_EQ(store.week.Cell(WeekCol::kDone, 1), "x20050419");
  EXPECT_EQ(store.year.DataRowCount(), 1);
  EXPECT_TRUE(settings.beep);
  EXPECT_EQ(settings.months, 3);
  EXPECT_FALSE(settings.figureBright);
  // What is left to write is what was changed here, on top of the edit.
  EXPECT_FALSE(ef.ChangedOnDisk());
  ASSERT_TRUE(ef.IniSave(store, settings));
  std::string expected = edited;
  expected.replace(expected.find(sjis::Lit("0419,09:00,歯医者,04,TRUE\r\n")),
                   sjis::Lit("0419,09:00,歯医者,04,TRUE\r\n").size(), "");
  expected.replace(expected.find("FALSE,12,0"), 5, "TRUE");
  expected.replace(expected.find("FALSE,TRUE,1\r\n"), 14, "FALSE,TRUE,3\r\n");
  EXPECT_EQ(dir.Read(kEventFileName), expected);
}

TEST_F(FileMergeOnDiskTest, RebaseCanDropTheRowsChangedHere) {
  dir.Write(kEventFileName, kStart);
  ASSERT_TRUE(ef.IniLoad(store, settings).ok);
  store.week.ClearRows();
  settings.months = 2;
  std::string edited = kStart;
  edited.replace(edited.find(sjis::Lit("定例会議")), sjis::Lit("定例会議").size(),
                 sjis::Lit("週例会議"));
  dir.Write(kEventFileName, edited);
  ASSERT_TRUE(ef.Rebase(store, settings, RowChanges::kDrop));
  ASSERT_EQ(store.week.DataRowCount(), 1);
  EXPECT_EQ(sjis::ToUtf8(store.week.Cell(WeekCol::kText, 1)), "週例会議");
  EXPECT_EQ(settings.months, 2);
  EXPECT_FALSE(ef.EventsDiffer(store));

  // A file that went away cannot be the base: the user is told and nothing changes.
  std::filesystem::remove(dir.File(kEventFileName));
  store.week.ClearRows();
  EXPECT_FALSE(ef.Rebase(store, settings, RowChanges::kKeep));
  EXPECT_EQ(store.week.DataRowCount(), 0);
  EXPECT_EQ(notifier.notices, Strings{"vespin.iniを開くことができません。"});
}

// --- Edits that land during a save ------------------------------------------------------------

// Writes `bytes` over the file as an editor that saves by rename does.
void WriteByRename(const std::filesystem::path& file, const std::string& bytes) {
  const auto temp = file.parent_path() / "editor.tmp";
  {
    std::ofstream out(temp, std::ios::binary);
    out << bytes;
  }
  std::filesystem::rename(temp, file);
}

// Writes `bytes` into the file itself, as an editor that saves in place does.
void WriteInPlace(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string WithWeekLine(std::string file, const char* line) {
  file.insert(file.find(sjis::Lit("[月間]")), sjis::Lit(line) + "\r\n");
  return file;
}

// The hand's edit comes between the write of the new file and its rename: the save looks again,
// carries its own changes onto the edit, and the edit survives.
TEST_F(FileMergeOnDiskTest, AnEditThatLandsDuringTheSaveSurvivesIt) {
  const auto file = dir.File(kEventFileName);
  const std::string handAdded = WithWeekLine(kStart, "82,12:00,昼休み,02");
  const std::string darker = [&] {
    std::string f = kStart;
    f.replace(f.find("BRIGHT"), 6, "DARK");
    return f;
  }();
  const struct {
    const char* what;
    int edits;  // how many of the save's tries see an edit
    std::function<void(int)> edit;
    bool saved;
    Strings notices;
    std::string handLine;  // a weekly line the file must hold afterwards ("" for none)
  } cases[] = {
      {"a row added, saved by rename",
       1,
       [&](int) { WriteByRename(file, handAdded); },
       true,
       {},
       "昼休み"},
      {"a row added, written in place",
       1,
       [&](int) { WriteInPlace(file, handAdded); },
       true,
       {},
       "昼休み"},
      {"a setting changed", 1, [&](int) { WriteByRename(file, darker); }, true, {}, ""},
      {"only touched",
       1,
       [&](int) {
         struct utimbuf later {
           1500000000, 1500000000
         };
         ::utime(file.c_str(), &later);
       },
       true,
       {},
       ""},
      {"edited again at the next try",
       2,
       [&](int n) {
         WriteByRename(file, n == 0 ? handAdded : WithWeekLine(handAdded, "83,18:00,ジム,02"));
       },
       true,
       {},
       "ジム"},
      {"replaced by a file that is no text",
       1,
       [&](int) { WriteByRename(file, std::string(4096, '\0')); },
       false,
       {"vespin.iniを開くことができません。"},
       ""},
      {"edited at every try",
       kSaveTries,
       [&](int n) {
         WriteByRename(file,
                       WithWeekLine(kStart, n % 2 ? "83,18:00,ジム,02" : "82,12:00,昼休み,02"));
       },
       false,
       {"vespin.iniに書き込むことができません。"},
       ""},
  };
  for (const auto& c : cases) {
    test::RecordingNotifier told;
    EventFile here(file, told);
    dir.Write(kEventFileName, kStart);
    EventStore mine;
    Settings mySettings;
    ASSERT_TRUE(here.IniLoad(mine, mySettings).ok);
    // Changed here: a row added, three months shown.
    mine.week.InsertRow(mine.week.DataRowCount() + 1,
                        WeekRow("81", "07:00", sjis::Lit("薬"), "04"));
    mySettings.months = 3;
    int tries = 0;
    std::string lastEdit;
    here.SetBeforeRenameHook([&] {
      if (tries < c.edits) c.edit(tries);
      ++tries;
      lastEdit = dir.Read(kEventFileName);
    });
    bool merged = false;
    EXPECT_EQ(here.IniSave(mine, mySettings, &merged), c.saved) << c.what;
    EXPECT_EQ(told.notices, c.notices) << c.what;
    const std::string after = dir.Read(kEventFileName);
    if (!c.saved) {
      // Left as the last hand left it.
      EXPECT_EQ(after, lastEdit) << c.what;
      continue;
    }
    EXPECT_EQ(after, FormatEventFile(mine, mySettings)) << c.what;
    EventStore onDisk;
    Settings diskSettings;
    ParseEventFile(after, onDisk, diskSettings);
    const Strings rows = Rows(onDisk.week);
    EXPECT_NE(std::find(rows.begin(), rows.end(), "薬|"), rows.end()) << c.what;
    if (!c.handLine.empty()) {
      EXPECT_NE(std::find(rows.begin(), rows.end(), c.handLine + "|"), rows.end()) << c.what;
    }
    EXPECT_EQ(diskSettings.months, 3) << c.what;
    EXPECT_EQ(diskSettings.figureBright, std::string(c.what) != "a setting changed") << c.what;
    EXPECT_EQ(tries, c.edits + 1) << c.what;
    EXPECT_EQ(merged, std::string(c.what) != "only touched") << c.what;
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1)
        << c.what;
  }
}

// Two of VESPIN's writers (a panel saving, an import adding rows) on one file at once: each
// carries the other's rows, and none is lost, however their saves interleave.
TEST_F(FileMergeOnDiskTest, TwoWritersSavingAtOnceLoseNoRow) {
  dir.Write(kEventFileName, kStart);
  constexpr int kRounds = 60;
  const auto writer = [&](const char* name) {
    test::RecordingNotifier told;
    EventFile mine(dir.File(kEventFileName), told);
    EventStore rows;
    Settings s;
    if (!mine.IniLoad(rows, s).ok) return std::string("cannot read");
    for (int i = 0; i < kRounds; ++i) {
      const std::string text = name + std::to_string(i);
      rows.week.InsertRow(rows.week.DataRowCount() + 1, WeekRow("81", "07:00", text, "04"));
      if (!mine.IniSave(rows, s)) return "save " + text + " failed";
    }
    return told.notices.empty() ? std::string() : told.notices.front();
  };
  auto a = std::async(std::launch::async, writer, "a");
  auto b = std::async(std::launch::async, writer, "b");
  EXPECT_EQ(a.get(), "");
  EXPECT_EQ(b.get(), "");
  EventStore onDisk;
  Settings s;
  ParseEventFile(dir.Read(kEventFileName), onDisk, s);
  Strings rows = Rows(onDisk.week);
  std::sort(rows.begin(), rows.end());
  Strings expected = Rows(Week({"13,10:00,定例会議"}));
  for (const char* name : {"a", "b"}) {
    for (int i = 0; i < kRounds; ++i) expected.push_back(name + std::to_string(i) + "|");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rows, expected);
}

}  // namespace
}  // namespace vespin
