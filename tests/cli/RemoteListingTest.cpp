// day and agenda with other calendars: their cached copies listed beside the file's own events,
// and nothing changed (no helper asked) for a file without subscriptions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Cli.h"
#include "CliRun.h"
#include "IcalCommands.h"
#include "TempDir.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

using capture::Outcome;
using capture::RunCli;

constexpr const char* kSettingsAndVersion =
    "[設定]\r\n9999,0,4202512,BRIGHT,ＭＳ ゴシック,TRUE,12,1,TRUE,TRUE,FALSE,FALSE,FALSE,2\r\n"
    "[バージョン]\r\nvespin Ver3.2(2005.04.18)\r\n";

std::string EventFile(const std::string& extension) {
  return sjis::Lit(std::string("[週間]\r\n[月間]\r\n[年間]\r\n") +
                   "1208,10:00,会議,01,FALSE\r\n1210,09:00,朝会,01,FALSE\r\n" +
                   kSettingsAndVersion + extension);
}

std::string Calendar(const std::string& events) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + events + "END:VCALENDAR\r\n";
}

std::string Event(const std::string& uid, const std::string& lines) {
  return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20260101T000000Z\r\n" + lines +
         "END:VEVENT\r\n";
}

// A data folder with its own cache (XDG_CACHE_HOME inside the test's folder).
class RemoteListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CACHE_HOME")) oldCache_ = old;
    setenv("XDG_CACHE_HOME", dir_.File("cache").c_str(), 1);
  }
  void TearDown() override {
    if (oldCache_) {
      setenv("XDG_CACHE_HOME", oldCache_->c_str(), 1);
    } else {
      unsetenv("XDG_CACHE_HOME");
    }
  }

  std::string File(const std::string& extension) {
    return dir_.Write("vespin.ini", EventFile(extension)).string();
  }
  void Cache(const std::string& name, const std::string& ics) {
    const auto folder = remote::SubscriptionFolder(remote::CacheFolder(dir_.Path()), name);
    std::filesystem::create_directories(folder);
    std::FILE* f = std::fopen((folder / remote::kCalendarFile).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(ics.data(), 1, ics.size(), f);
    std::fclose(f);
  }

  test::TempDir dir_;
  std::optional<std::string> oldCache_;
};

const std::string kWork = Calendar(
    Event("w1", "DTSTART:20261208T030000Z\r\nSUMMARY:定例会議 🎉\r\n") +
    Event("w2", "DTSTART;VALUE=DATE:20261207\r\nDTEND;VALUE=DATE:20261210\r\nSUMMARY:出張\r\n") +
    Event("w3", "DTSTART:20261207T233000Z\r\nSUMMARY:早朝\r\n") +
    Event("w4", "DTSTART:20261212T010000Z\r\nSUMMARY:土曜\r\n"));
const std::string kHome = Calendar(Event("h1", "DTSTART:20261208T003000Z\r\nSUMMARY:ゴミ出し\r\n"));

TEST_F(RemoteListingTest, AgendaListsOtherCalendarsAfterTheFilesOwnInTimeOrder) {
  const std::string file = File(
      "[拡張]\r\n購読=work https://example.com/work.ics\r\n"
      "購読=家 https://example.com/home.ics\r\n");
  Cache("work", kWork);
  Cache("家", kHome);
  const Outcome o = RunCli({"agenda", "--file", file, "2026-12-06", "2026-12-12"});
  EXPECT_EQ(o.rc, kExitOk) << o.err;
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out,
            "2026-12-07 @work --:-- 出張\n"
            "2026-12-08 yearly 10:00 会議\n"
            "2026-12-08 @work --:-- 出張\n"
            "2026-12-08 @work 08:30 早朝\n"
            "2026-12-08 @家 09:30 ゴミ出し\n"
            "2026-12-08 @work 12:00 定例会議 🎉\n"
            "2026-12-09 @work --:-- 出張\n"
            "2026-12-10 yearly 09:00 朝会\n"
            "2026-12-12 @work 10:00 土曜\n");
}

TEST_F(RemoteListingTest, DayListsThemAndUnderlinesOnlyWhenAsked) {
  Cache("work", kWork);
  const struct {
    const char* extension;
    const char* date;
    std::string out;
  } cases[] = {
      {"[拡張]\r\n購読=work https://example.com/w.ics\r\n", "2026-12-08",
       "yearly 10:00 会議\n@work --:-- 出張\n@work 08:30 早朝\n@work 12:00 定例会議 🎉\nmask 1\n"},
      {"[拡張]\r\n購読=work https://example.com/w.ics\r\n他のカレンダーに下線=TRUE\r\n",
       "2026-12-08",
       "yearly 10:00 会議\n@work --:-- 出張\n@work 08:30 早朝\n@work 12:00 定例会議 🎉\nmask 9\n"},
      {"[拡張]\r\n購読=work https://example.com/w.ics\r\n他のカレンダーに下線=TRUE\r\n",
       "2026-12-12", "@work 10:00 土曜\nmask 8\n"},
      {"[拡張]\r\n購読=work https://example.com/w.ics\r\n他のカレンダーに下線=TRUE\r\n",
       "2026-12-10", "yearly 09:00 朝会\nmask 1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.extension) + c.date);
    const Outcome o = RunCli({"day", "--file", File(c.extension), c.date});
    EXPECT_EQ(o.rc, kExitOk);
    EXPECT_EQ(o.out, c.out);
  }
}

int readerCalls = 0;
std::optional<std::vector<remote::RemoteOccurrence>> CountingReader(const RemoteQuery& query,
                                                                    std::FILE* err) {
  ++readerCalls;
  return ExpandCachedCalendars(query, err);
}

// Without subscriptions nothing is asked of the caches, and the output is what it always was,
// whatever lies in the cache folder.
TEST_F(RemoteListingTest, WithoutSubscriptionsNothingChanges) {
  Cache("work", kWork);
  Environment env;
  env.remoteOccurrences = &CountingReader;
  readerCalls = 0;
  const std::string file = File("");
  const Outcome agenda = RunCli({"agenda", "--file", file, "2026-12-01", "2026-12-31"}, env);
  EXPECT_EQ(agenda.out, "2026-12-08 yearly 10:00 会議\n2026-12-10 yearly 09:00 朝会\n");
  const Outcome day = RunCli({"day", "--file", file, "2026-12-08"}, env);
  EXPECT_EQ(day.out, "yearly 10:00 会議\nmask 1\n");
  EXPECT_EQ(readerCalls, 0);
  EXPECT_EQ(agenda.err + day.err, "");
  // The same file with a subscription does ask.
  RunCli({"day", "--file", File("[拡張]\r\n購読=work https://example.com/w.ics\r\n"), "2026-12-08"},
         env);
  EXPECT_EQ(readerCalls, 1);
}

TEST_F(RemoteListingTest, ACalendarNeverFetchedIsSaidAndTheRestListed) {
  Cache("work", kWork);
  const std::string file = File(
      "[拡張]\r\n購読=later https://example.com/l.ics\r\n"
      "購読=work https://example.com/w.ics\r\n");
  const Outcome o = RunCli({"agenda", "--file", file, "2026-12-12"});
  EXPECT_EQ(o.rc, kExitOk);
  EXPECT_EQ(o.out, "2026-12-12 @work 10:00 土曜\n");
  EXPECT_EQ(o.err, "@later: not fetched yet\n");
}

// The companion itself has no libical: it asks its helper and reads its lines back.
TEST_F(RemoteListingTest, TheProgramAsksItsHelper) {
  Cache("work", kWork);
  const std::string file = File("[拡張]\r\n購読=work https://example.com/w.ics\r\n");
  const std::string outPath = dir_.File("stdout").string();
  const std::string errPath = dir_.File("stderr").string();
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    execl(VESPIN_CLI_PROGRAM, VESPIN_CLI_PROGRAM, "agenda", "--file", file.c_str(), "2026-12-08",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kExitOk);
  EXPECT_EQ(test::ReadBytes(errPath), "");
  EXPECT_EQ(
      test::ReadBytes(outPath),
      "2026-12-08 yearly 10:00 会議\n2026-12-08 @work --:-- 出張\n2026-12-08 @work 08:30 早朝\n"
      "2026-12-08 @work 12:00 定例会議 🎉\n");
}

}  // namespace
}  // namespace vespin::cli
