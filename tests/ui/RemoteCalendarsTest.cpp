// Other calendars in the panel, from a cache the network helper left: the event lines, the
// fourth underline, a clicked day's notices and alarms announced once, on a fake clock. The
// helper itself is stood in for by a script that records how it was started.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "QtFakeSound.h"
#include "QtWidgetTestSupport.h"
#include "TempDir.h"
#include "app/Application.h"
#include "app/Main.h"
#include "app/Msg.h"
#include "app/RemoteCalendars.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;
using sjis::Lit;
using test::JapaneseWeekdays;
using test::MenuItem;
using test::Settle;

std::string Calendar(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}
std::string Event(const std::string& uid, const std::string& lines) {
  return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20050101T000000Z\r\n" + lines +
         "END:VEVENT\r\n";
}

// Tuesday 2005-04-19 in Tokyo: the file's own weekly meeting at 10:00, and two other calendars with
// an all-day trip, a 09:30 errand with a 10-minute alarm, a meeting at 10:00 (a tie with the file's
// own) and one at 12:00.
const char* const kFile =
    "[週間]\r\n13,10:00,定例会議,04\r\n[月間]\r\n[年間]\r\n[設定]\r\n"
    "40,30,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,FALSE,FALSE,1\r\n"
    "[バージョン]\r\nvespin Ver3.2(2005.04.18)\r\n";
const char* const kSubscriptions =
    "[拡張]\r\n購読=work https://example.com/work.ics\r\n"
    "購読=家 https://example.com/home.ics alice\r\n";

const std::string kWork = Calendar(
    Event("trip",
          "DTSTART;VALUE=DATE:20050417\r\nDTEND;VALUE=DATE:20050420\r\nSUMMARY:出張 🧳\r\n") +
    Event("tie", "DTSTART:20050419T010000Z\r\nSUMMARY:打合せ\r\n") +
    Event("noon", "DTSTART:20050419T030000Z\r\nSUMMARY:昼会 🎉\r\n"));
const std::string kHome =
    Calendar(Event("errand",
                   "DTSTART:20050419T003000Z\r\nSUMMARY:ゴミ出し\r\nBEGIN:VALARM\r\n"
                   "ACTION:DISPLAY\r\nTRIGGER:-PT10M\r\nDESCRIPTION:x\r\nEND:VALARM\r\n"));

class RemoteCalendarsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterFontSubstitutions();
    if (const char* old = std::getenv("XDG_CACHE_HOME")) oldCache_ = old;
    setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
    clock.Set(2005, 4, 19, 9, 0, 0);
  }
  void TearDown() override {
    if (oldCache_) {
      setenv("XDG_CACHE_HOME", oldCache_->c_str(), 1);
    } else {
      unsetenv("XDG_CACHE_HOME");
    }
  }

  std::filesystem::path Cache() const { return remote::CacheFolder(dir.Path()); }
  void CacheCalendar(const std::string& name, const std::string& ics) const {
    const auto folder = remote::SubscriptionFolder(Cache(), name);
    std::filesystem::create_directories(folder);
    std::FILE* f = std::fopen((folder / remote::kCalendarFile).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(ics.data(), 1, ics.size(), f);
    std::fclose(f);
  }

  // The panel on the folder; with `expanded`, once the cached calendars are in its lines.
  std::unique_ptr<Application> Start(const std::string& extension, bool expanded = true) {
    dir.Write("vespin.ini", Lit(std::string(kFile) + extension));
    auto app =
        std::make_unique<Application>(clock, sound, dir.File("vespin.ini"), JapaneseWeekdays());
    EXPECT_TRUE(app->Start());
    if (app->Remote()) app->Remote()->SetProgram(QString());
    if (expanded) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !app->Remote()->Index()->Empty(); }, 10000));
      Settle();
    }
    return app;
  }

  QStringList Lines(TfrmMain& w) {
    QStringList lines;
    for (int i = 0; i < kEventLineCount; ++i) {
      if (w.lTimeN(i)->text().isEmpty()) continue;
      lines << w.lTimeN(i)->text() + QLatin1Char(' ') + w.lEvent(i)->text();
    }
    return lines;
  }

  test::FakeClock clock;
  test::FakeSound sound;
  test::TempDir dir;
  std::optional<std::string> oldCache_;
  QStringList notices;
  ScopedModalHandler answer{[this](QDialog& dialog) {
    if (auto* msg = dynamic_cast<TfrmMsg*>(&dialog)) notices << msg->lMsg()->text();
    return QDialog::Accepted;
  }};
};

TEST_F(RemoteCalendarsTest, CachedCalendarsJoinTheLinesInOrderWithAllDayFirst) {
  CacheCalendar("work", kWork);
  CacheCalendar("家", kHome);
  auto app = Start(kSubscriptions);
  TfrmMain& w = app->MainWindow();
  const QStringList expected{u"終日 出張 🧳"_s, u"09:30 ゴミ出し"_s, u"10:00 定例会議"_s,
                             u"10:00 打合せ"_s, u"12:00 昼会 🎉"_s};
  EXPECT_TRUE(QTest::qWaitFor([&] { return Lines(w) == expected; }, 5000));
  EXPECT_EQ(Lines(w), expected);
  // The errand's time has come and gone: the lines move on at the next minute's tick.
  clock.Set(2005, 4, 19, 9, 31, 0);
  w.TimerTimer();
  EXPECT_EQ(Lines(w), (QStringList{u"終日 出張 🧳"_s, u"10:00 定例会議"_s, u"10:00 打合せ"_s,
                                   u"12:00 昼会 🎉"_s}));
}

TEST_F(RemoteCalendarsTest, TheirUnderlineOnlyWithItsOptionAndSavedInTheFile) {
  CacheCalendar("work", kWork);
  auto app = Start("[拡張]\r\n購読=work https://example.com/work.ics\r\n");
  TfrmMain& w = app->MainWindow();
  const auto remoteLine = [&](int day) {
    const int k = test::CellOfDay(w, 0, day);
    return k >= 0 && w.Calendar()->Sheet().cells[0][static_cast<std::size_t>(k)].remoteLine;
  };
  EXPECT_FALSE(MenuItem(w, "miREventLine")->isChecked());
  for (int day : {17, 18, 19, 20}) EXPECT_FALSE(remoteLine(day)) << day;
  MenuItem(w, "miREventLine")->trigger();
  Settle();
  EXPECT_TRUE(MenuItem(w, "miREventLine")->isChecked());
  // The trip covers the 17th to the 19th; nothing is on the 20th.
  const struct {
    int day;
    bool line;
  } cases[] = {{16, false}, {17, true}, {18, true}, {19, true}, {20, false}};
  for (const auto& c : cases) EXPECT_EQ(remoteLine(c.day), c.line) << c.day;
  EXPECT_NE(dir.Read("vespin.ini").find(Lit("他のカレンダーに下線=TRUE")), std::string::npos);
  // The file's own underlines are their own business: the weekly one stays off.
  const int k = test::CellOfDay(w, 0, 18);
  EXPECT_FALSE(w.Calendar()->Sheet().cells[0][static_cast<std::size_t>(k)].underline);
}

TEST_F(RemoteCalendarsTest, MonthsBeyondTheExpandedOnesAreExpandedWhenShown) {
  CacheCalendar("work", Calendar(Event("may",
                                       "DTSTART;VALUE=DATE:20050501\r\n"
                                       "RRULE:FREQ=YEARLY\r\nSUMMARY:記念日\r\n")));
  auto app =
      Start("[拡張]\r\n購読=work https://example.com/work.ics\r\n他のカレンダーに下線=TRUE\r\n");
  TfrmMain& w = app->MainWindow();
  const auto mayFirst = [&] {
    const int k = test::CellOfDay(w, 0, 1);
    return k >= 0 && w.Calendar()->Sheet().cells[0][static_cast<std::size_t>(k)].remoteLine;
  };
  const sys_days nextMay = std::chrono::year{2006} / 5 / 1;
  EXPECT_FALSE(app->Remote()->Index()->Any(nextMay));
  w.FormDblClick();
  w.SpinYDownClick();
  w.SpinMDownClick();
  Settle();
  ASSERT_EQ(w.Shown(), (YearMonth{2006, 5}));
  EXPECT_TRUE(QTest::qWaitFor(mayFirst, 10000));
  // This year's stays where it was.
  EXPECT_TRUE(app->Remote()->Index()->Any(std::chrono::year{2005} / 5 / 1));
}

TEST_F(RemoteCalendarsTest, AClickedDayListsTheirEventsAfterTheFilesOwn) {
  CacheCalendar("work", kWork);
  CacheCalendar("家", kHome);
  auto app = Start(kSubscriptions);
  TfrmMain& w = app->MainWindow();
  // The trip runs from the 17th to the 19th.
  const struct {
    int day;
    QStringList expected;
  } cases[] = {
      {19,
       {u"定例会議 10:00"_s, u"出張 🧳 終日"_s, u"ゴミ出し 09:30"_s, u"打合せ 10:00"_s,
        u"昼会 🎉 12:00"_s}},
      {18, {u"出張 🧳 終日"_s}},
      {20, {}},
  };
  for (const auto& c : cases) {
    notices.clear();
    const int k = test::CellOfDay(w, 0, c.day);
    ASSERT_GE(k, 0);
    CalendarView::Hit hit;
    hit.kind = CalendarView::HitKind::Day;
    hit.block = 0;
    hit.index = k;
    w.CalendarClick(hit);
    EXPECT_EQ(notices, c.expected) << c.day;
  }
}

TEST_F(RemoteCalendarsTest, AnAlarmIsAnnouncedOnceAcrossTicksAndARestart) {
  CacheCalendar("家", kHome);
  const auto errandNotices = [&] { return notices.filter(u"ゴミ出し"_s).size(); };
  const char* const extension = "[拡張]\r\n購読=家 https://example.com/home.ics\r\n";
  {
    auto app = Start(extension);
    TfrmMain& w = app->MainWindow();
    EXPECT_EQ(errandNotices(), 0);
    // 09:20 is the alarm's minute; the ticks after it, and a tick that comes twice, say no more.
    for (int minute : {19, 20, 20, 21, 25}) {
      clock.Set(2005, 4, 19, 9, minute, 0);
      w.TimerTimer();
    }
    EXPECT_EQ(errandNotices(), 1) << notices.join(u'|').toStdString();
    EXPECT_TRUE(std::filesystem::exists(Cache() / remote::kRemoteDoneFile));
    // The marks live in the cache, never in the event file.
    EXPECT_EQ(dir.Read("vespin.ini"), Lit(std::string(kFile) + extension));
  }
  // The next run reads the marks: announced already.
  clock.Set(2005, 4, 19, 9, 26, 0);
  auto app = Start(extension);
  app->MainWindow().TimerTimer();
  EXPECT_EQ(errandNotices(), 1) << notices.join(u'|').toStdString();
}

TEST_F(RemoteCalendarsTest, AFileWithoutSubscriptionsStartsNothingAndWritesNothing) {
  auto app = Start("", false);
  TfrmMain& w = app->MainWindow();
  const std::string before = dir.Read("vespin.ini");
  for (int hour : {9, 11, 13}) {
    clock.Set(2005, 4, 19, hour, 0, 0);
    w.TimerTimer();
  }
  // A save (which would publish, had the file an address), and the first fetch's moment.
  ASSERT_TRUE(app->IniSave());
  QTest::qWait(std::max(RemoteCalendars::kFirstFetchMsecs, RemoteCalendars::kPublishSettleMsecs) +
               200);
  w.TimerTimer();
  Settle();
  EXPECT_EQ(app->Remote()->RunsStarted(), 0);
  EXPECT_FALSE(app->Remote()->Busy());
  EXPECT_FALSE(std::filesystem::exists(dir.File("cache")));
  EXPECT_EQ(dir.Read("vespin.ini"), before);
  EXPECT_TRUE(app->Remote()->Index()->Empty());
}

// Ticks after a fetch at wall time 0 and monotonic time 0: each step moves both clocks.
TEST(FetchScheduleTest, FetchesEveryFifteenMinutesAndAfterAWake) {
  constexpr std::int64_t kMinute = 60 * 1000;
  struct Step {
    std::int64_t wall;
    std::int64_t mono;
    bool due;
  };
  std::vector<Step> everyMinute;
  for (std::int64_t m = 1; m <= 15; ++m) everyMinute.push_back({m * kMinute, m * kMinute, m == 15});
  const struct {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"a minute a tick: due at the fifteenth", everyMinute},
      {"a suspend of ten minutes: the wall clock ran, the monotonic one did not",
       {{kMinute, kMinute, false}, {11 * kMinute, 2 * kMinute, true}}},
      {"a tick ninety seconds late is no wake",
       {{kMinute, kMinute, false}, {kMinute * 5 / 2, kMinute * 5 / 2, false}}},
      {"a process stopped for five minutes comes back late on both clocks",
       {{kMinute, kMinute, false}, {7 * kMinute, 7 * kMinute, true}}},
      {"a clock put back by an hour",
       {{kMinute, kMinute, false}, {-59 * kMinute, 2 * kMinute, true}}},
  };
  for (const auto& c : cases) {
    FetchSchedule schedule;
    schedule.Fetched(0);
    EXPECT_FALSE(schedule.Tick(0, 0)) << c.name;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      EXPECT_EQ(schedule.Tick(c.steps[i].wall, c.steps[i].mono), c.steps[i].due)
          << c.name << ", step " << i;
    }
  }
  // Before any fetch, the first tick asks for one.
  FetchSchedule fresh;
  EXPECT_TRUE(fresh.Tick(0, 0));
}

// Stands in for the network helper: writes its arguments and its input to a file of its own
// run, and ends as told.
class FakeHelperTest : public RemoteCalendarsTest {
 protected:
  void SetUp() override {
    RemoteCalendarsTest::SetUp();
    const auto script = dir.Write("fake-sync",
                                  "#!/bin/sh\n"
                                  "n=$(ls \"$0.runs\" 2>/dev/null | wc -l)\n"
                                  "mkdir -p \"$0.runs\"\n"
                                  "{ echo \"$@\"; cat; } > \"$0.runs/$n\"\n"
                                  "echo \"said $1\" >&2\n"
                                  "exit 1\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  }
  QString Program() const { return QString::fromStdString(dir.File("fake-sync").string()); }
  QStringList Runs() const {
    QStringList runs;
    for (int i = 0; std::filesystem::exists(dir.File("fake-sync.runs") / std::to_string(i)); ++i) {
      runs << QString::fromStdString(
          test::ReadBytes(dir.File("fake-sync.runs") / std::to_string(i)));
    }
    return runs;
  }
};

TEST_F(FakeHelperTest, AFailedPublishIsTriedAgainAtTheFetchesMoment) {
  const struct {
    const char* status;
    int runs;
  } cases[] = {{"error=サーバーに接続できません\n", 1}, {"success=2005-04-19T08:00:00+09:00\n", 0}};
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir.File("fake-sync.runs"));
    std::filesystem::create_directories(Cache());
    std::FILE* f = std::fopen((Cache() / remote::kPublishStatusFile).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(c.status, f);
    std::fclose(f);
    auto app = Start("[拡張]\r\n公開=https://example.com/dav/vespin/\r\n", false);
    app->Remote()->SetProgram(Program());
    QTest::qWait(RemoteCalendars::kFirstFetchMsecs + 500);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->Remote()->Busy(); }, 10000));
    EXPECT_EQ(app->Remote()->RunsStarted(), c.runs) << c.status;
    EXPECT_EQ(Runs().size(), c.runs) << c.status;
  }
}

class FakePasswords final : public PasswordStore {
 public:
  void Read(const QString& url, const QString& user, ReadDone done) override {
    asked << url + QLatin1Char(' ') + user;
    QTimer::singleShot(0, [done] { done(u"s3cret"_s); });
  }
  void Write(const QString&, const QString&, const QString&, WriteDone done) override {
    QTimer::singleShot(0, [done] { done({}); });
  }
  void Remove(const QString&, const QString&, WriteDone done) override {
    QTimer::singleShot(0, [done] { done({}); });
  }
  QStringList asked;
};

TEST_F(FakeHelperTest, APasswordGoesOnTheHelpersInputForItsOwnSubscriptionOnly) {
  FakePasswords passwords;
  auto app = Start(kSubscriptions, false);
  app->SetPasswordStore(&passwords);
  RemoteCalendars& remote = *app->Remote();
  remote.SetProgram(Program());
  const QString file = QString::fromStdString(dir.File("vespin.ini").string());
  const struct {
    QStringList names;
    QStringList runs;
  } cases[] = {
      {{},
       {u"fetch --file "_s + file + u" work\n"_s,
        u"fetch --file "_s + file + u" --password-stdin 家\ns3cret\n"_s}},
      {{u"work"_s}, {u"fetch --file "_s + file + u" work\n"_s}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir.File("fake-sync.runs"));
    std::optional<SyncRunResult> result;
    remote.FetchNow(c.names, [&](const SyncRunResult& r) { result = r; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    EXPECT_EQ(result->exitCode, 1);
    EXPECT_TRUE(result->messages.contains(u"said fetch"_s)) << result->messages.toStdString();
    QStringList runs = Runs();
    runs.sort();
    QStringList expected = c.runs;
    expected.sort();
    EXPECT_EQ(runs, expected);
  }
  EXPECT_EQ(passwords.asked, QStringList{u"https://example.com/home.ics alice"_s});
}

TEST_F(FakeHelperTest, ASaveWithAPublishAddressPublishesOnceAfterABurst) {
  auto app = Start("[拡張]\r\n公開=https://example.com/dav/vespin/\r\n", false);
  RemoteCalendars& remote = *app->Remote();
  remote.SetProgram(Program());
  QSignalSpy ended(&remote, &RemoteCalendars::RunEnded);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(app->IniSave());
  ASSERT_TRUE(ended.wait(10000));
  Settle();
  const QString file = QString::fromStdString(dir.File("vespin.ini").string());
  EXPECT_EQ(Runs(), QStringList{u"publish --file "_s + file + u"\n"_s});
  // A forced publish on demand.
  std::optional<SyncRunResult> result;
  remote.PublishNow(true, [&](const SyncRunResult& r) { result = r; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
  // Named: the user's publish goes at once, whatever wait the server asked for.
  EXPECT_EQ(Runs().value(1),
            u"publish --file "_s + file + u" --force https://example.com/dav/vespin/\n"_s);
}

// A server that answered Retry-After is left alone by the panel's own fetches until then; the
// user who asks for it gets it at once.
TEST_F(FakeHelperTest, AServerThatAskedToWaitIsPassedOverByTheScheduleOnly) {
  const QString file = QString::fromStdString(dir.File("vespin.ini").string());
  const auto isoIn = [](int seconds) {
    return QDateTime::currentDateTime().addSecs(seconds).toOffsetFromUtc(9 * 3600).toString(
        Qt::ISODate);
  };
  const struct {
    QString retry;
    QStringList scheduledRuns;
  } cases[] = {
      {isoIn(3600), {}},
      {isoIn(-60), {u"fetch --file "_s + file + u" work\n"_s}},
      {QString(), {u"fetch --file "_s + file + u" work\n"_s}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir.File("fake-sync.runs"));
    const auto folder = remote::SubscriptionFolder(Cache(), "work");
    std::filesystem::create_directories(folder);
    std::FILE* f = std::fopen((folder / remote::kStatusFile).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(("url=https://example.com/work.ics\nretry=" + c.retry.toStdString() + "\n").c_str(),
               f);
    std::fclose(f);
    auto app = Start("[拡張]\r\n購読=work https://example.com/work.ics\r\n", false);
    app->Remote()->SetProgram(Program());
    QTest::qWait(RemoteCalendars::kFirstFetchMsecs + 500);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->Remote()->Busy(); }, 10000));
    EXPECT_EQ(Runs(), c.scheduledRuns) << c.retry.toStdString();
    std::optional<SyncRunResult> result;
    app->Remote()->FetchNow({u"work"_s}, [&](const SyncRunResult& r) { result = r; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    EXPECT_EQ(Runs().value(c.scheduledRuns.size()), u"fetch --file "_s + file + u" work\n"_s)
        << c.retry.toStdString();
  }
}

}  // namespace
}  // namespace vespin::ui
