// The panel with the real network helper and real servers on loopback: its minute tick goes on
// while a server never answers, and a scheduled fetch from Radicale reaches its event lines.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QDate>
#include <QLabel>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "CalDavServers.h"
#include "FakeClock.h"
#include "QtFakeSound.h"
#include "QtWidgetTestSupport.h"
#include "ServerProcess.h"
#include "TempDir.h"
#include "app/Application.h"
#include "app/Main.h"
#include "app/RemoteCalendars.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;
using sjis::Lit;
using test::Settle;

const char* const kFile =
    "[週間]\r\n[月間]\r\n[年間]\r\n[設定]\r\n"
    "40,30,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,FALSE,FALSE,1\r\n"
    "[バージョン]\r\nvespin Ver3.2(2005.04.18)\r\n";

std::string Calendar(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

class PanelServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterFontSubstitutions();
    if (const char* old = std::getenv("XDG_CACHE_HOME")) oldCache_ = old;
    setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
    // The helper reads the real date; the panel's day is the same.
    const QDate today = QDate::currentDate();
    clock.Set(today.year(), today.month(), today.day(), 10, 0, 0);
  }
  void TearDown() override {
    app.reset();
    if (oldCache_) {
      setenv("XDG_CACHE_HOME", oldCache_->c_str(), 1);
    } else {
      unsetenv("XDG_CACHE_HOME");
    }
  }

  void StartPanel(const std::string& url) {
    dir.Write("vespin.ini", Lit(std::string(kFile) + "[拡張]\r\n購読=work ") + url + "\r\n");
    app = std::make_unique<Application>(clock, sound, dir.File("vespin.ini"),
                                        test::JapaneseWeekdays());
    ASSERT_TRUE(app->Start());
    app->Remote()->SetProgram(QStringLiteral(VESPIN_SYNC_PROGRAM));
  }

  // An all-day event today (local), as a calendar file.
  static std::string TodayAllDay(const std::string& uid, const std::string& summary) {
    const QDate today = QDate::currentDate();
    const std::string from = today.toString(u"yyyyMMdd"_s).toStdString();
    const std::string to = today.addDays(1).toString(u"yyyyMMdd"_s).toStdString();
    return Calendar("BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20260101T000000Z\r\n" +
                    "DTSTART;VALUE=DATE:" + from + "\r\nDTEND;VALUE=DATE:" + to +
                    "\r\nSUMMARY:" + summary + "\r\nEND:VEVENT\r\n");
  }

  QString FirstLine() {
    TfrmMain& w = app->MainWindow();
    return w.lTimeN(0)->text() + QLatin1Char(' ') + w.lEvent(0)->text();
  }

  test::FakeClock clock;
  test::FakeSound sound;
  test::TempDir dir;
  std::optional<std::string> oldCache_;
  std::unique_ptr<Application> app;
  ScopedModalHandler answer{[](QDialog&) { return QDialog::Accepted; }};
};

TEST_F(PanelServerTest, TheTickKeepsTheMinuteWhileTheServerHangs) {
  auto server = test::ServerProcess::Start({test::kSystemPython, VESPIN_FAULT_SERVER, "{port}"});
  ASSERT_NE(server, nullptr);
  // The last good copy, which the panel keeps showing.
  const auto folder = remote::SubscriptionFolder(remote::CacheFolder(dir.Path()), "work");
  std::filesystem::create_directories(folder);
  const std::string cached = TodayAllDay("kept", "前回の予定");
  std::FILE* f = std::fopen((folder / remote::kCalendarFile).c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(cached.data(), 1, cached.size(), f);
  std::fclose(f);

  StartPanel("http://127.0.0.1:" + std::to_string(server->Port()) + "/hang");
  RemoteCalendars& remote = *app->Remote();
  std::optional<SyncRunResult> ended;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !remote.Index()->Empty(); }, 10000));
  Settle();
  remote.FetchNow({}, [&](const SyncRunResult& r) { ended = r; });
  ASSERT_TRUE(remote.Busy());

  // Each tick lands a moment before a full minute of the fake clock, so the tick arms itself
  // for a moment later: minutes pass quickly, and each must reach the window on time.
  TfrmMain& w = app->MainWindow();
  QStringList shown;
  QObject::connect(&w.Timer(), &QTimer::timeout, &w, [&] {
    shown << w.lTime()->text();
    clock.AdvanceMsecs(60 * 1000);
  });
  clock.Set(DateOf(clock.Now()) + EncodeTime(10, 0, 59, 900));
  w.RestartTick(TfrmMain::kFirstTickMsecs);
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() >= 6; }, 20000)) << shown.size();
  // The helper is still waiting for the server: every tick above came while it hung.
  EXPECT_TRUE(remote.Busy());
  EXPECT_FALSE(ended.has_value());
  EXPECT_EQ(shown.mid(0, 6),
            (QStringList{u"10:00"_s, u"10:01"_s, u"10:02"_s, u"10:03"_s, u"10:04"_s, u"10:05"_s}));
  EXPECT_EQ(FirstLine(), u"終日 前回の予定"_s);
}

TEST_F(PanelServerTest, AScheduledFetchFromRadicaleReachesTheLines) {
  auto server = test::StartCalDav(test::CalDavKind::kRadicale);
  ASSERT_NE(server, nullptr);
  const std::string collection = server->NewCollection("work");
  ASSERT_FALSE(collection.empty());
  ASSERT_EQ(test::PutResource(collection + "today.ics", TodayAllDay("today", "サーバーの予定 🎈")),
            201);
  StartPanel(collection);
  // Nothing is asked for: the first fetch comes by itself a moment after the window is up.
  ASSERT_TRUE(QTest::qWaitFor([&] { return FirstLine() == u"終日 サーバーの予定 🎈"_s; }, 60000))
      << FirstLine().toStdString();
  EXPECT_GE(app->Remote()->RunsStarted(), 1);
  EXPECT_TRUE(std::filesystem::exists(
      remote::SubscriptionFolder(remote::CacheFolder(dir.Path()), "work") / remote::kCalendarFile));
}

}  // namespace
}  // namespace vespin::ui
