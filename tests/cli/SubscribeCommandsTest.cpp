// subscribe and unsubscribe: what they write into vespin.ini's extension section, what they
// refuse, and that nothing else of the file changes.
#include <gtest/gtest.h>

#include <QFile>
#include <QLockFile>
#include <cstdlib>
#include <fstream>

#include "CliRun.h"
#include "SubscribeCommands.h"
#include "TempDir.h"
#include "events/PanelLock.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

using capture::Outcome;
using Strings = std::vector<std::string>;

class SubscribeCommandsTest : public ::testing::Test {
 protected:
  SubscribeCommandsTest() {
    original = test::ReadBytes(std::filesystem::path(VESPIN_SOURCE_DIR) / "examples/vespin.ini");
    ini = dir.Write("vespin.ini", original);
    env.workDir = dir.Path();
    env.syncCommands = &RunSubscribeCommand;
    setenv("XDG_CACHE_HOME", (dir.Path() / "cache").c_str(), 1);
  }
  ~SubscribeCommandsTest() override { unsetenv("XDG_CACHE_HOME"); }
  Outcome Run(const Strings& args) { return capture::RunCli(args, env); }
  // The extension section as UTF-8, from its header on.
  std::string Section() const {
    const std::string text = sjis::ToUtf8(test::ReadBytes(ini));
    const std::size_t at = text.find("[拡張]");
    return at == std::string::npos ? std::string() : text.substr(at);
  }

  test::TempDir dir;
  std::filesystem::path ini;
  std::string original;
  Environment env;
};

TEST_F(SubscribeCommandsTest, SubscriptionsAreAddedChangedAndRemovedInTheirOrder) {
  const struct {
    Strings args;
    std::string out;
    std::string section;
  } steps[] = {
      {{"subscribe", "仕事", "https://dav.example.com/alice/work/"},
       "subscribed 仕事 https://dav.example.com/alice/work/\n",
       "[拡張]\r\n購読=仕事 https://dav.example.com/alice/work/\r\n"},
      {{"subscribe", "--user", "alice", "祝日", "webcal://example.com/h.ics"},
       "subscribed 祝日 webcal://example.com/h.ics\n",
       "[拡張]\r\n購読=仕事 https://dav.example.com/alice/work/\r\n"
       "購読=祝日 webcal://example.com/h.ics alice\r\n"},
      // The same name again: the address changes in its place; the user goes with the old one.
      {{"subscribe", "仕事", "https://dav.example.com/alice/job/"},
       "changed 仕事 https://dav.example.com/alice/job/\n",
       "[拡張]\r\n購読=仕事 https://dav.example.com/alice/job/\r\n"
       "購読=祝日 webcal://example.com/h.ics alice\r\n"},
      // Only the user given: the address stays, the user changes.
      {{"subscribe", "--user", "bob", "祝日", "webcal://example.com/h.ics"},
       "changed 祝日 webcal://example.com/h.ics\n",
       "[拡張]\r\n購読=仕事 https://dav.example.com/alice/job/\r\n"
       "購読=祝日 webcal://example.com/h.ics bob\r\n"},
      {{"subscribe", "祝日", "webcal://example.com/h.ics"},
       "unchanged 祝日 webcal://example.com/h.ics\n",
       "[拡張]\r\n購読=仕事 https://dav.example.com/alice/job/\r\n"
       "購読=祝日 webcal://example.com/h.ics bob\r\n"},
      {{"unsubscribe", "仕事"},
       "unsubscribed 仕事\n",
       "[拡張]\r\n購読=祝日 webcal://example.com/h.ics bob\r\n"},
      {{"unsubscribe", "祝日"}, "unsubscribed 祝日\n", ""},
  };
  for (const auto& step : steps) {
    const Outcome o = Run(step.args);
    EXPECT_EQ(o.rc, kExitOk) << step.args[1] << ": " << o.err;
    EXPECT_EQ(o.out, step.out);
    EXPECT_EQ(Section(), step.section);
  }
  // Without subscriptions the file is byte for byte what it was.
  EXPECT_EQ(test::ReadBytes(ini), original);
}

TEST_F(SubscribeCommandsTest, WhatCannotBeKeptIsRefusedAndTheFileStaysAsItWas) {
  const struct {
    Strings args;
    int rc;
    const char* message;
  } cases[] = {
      {{"subscribe", "a b", "https://x/"}, kExitUsage, "holds a blank or a comma"},
      {{"subscribe", "a,b", "https://x/"}, kExitUsage, "holds a blank or a comma"},
      {{"subscribe", "🗓", "https://x/"}, kExitUsage, "cannot be written in Shift_JIS"},
      {{"subscribe", "x", "ftp://x/"}, kExitUsage, "not an http://, https:// or webcal://"},
      {{"subscribe", "x", "https://x/a b"}, kExitUsage, "holds a blank"},
      {{"subscribe", "--user", "a b", "x", "https://x/"}, kExitUsage, "holds a blank"},
      {{"subscribe", "x"}, kExitUsage, "usage: vespin-cli subscribe"},
      {{"subscribe", "--bogus", "x", "https://x/"}, kExitUsage, "usage: vespin-cli subscribe"},
      {{"unsubscribe", "nobody"}, kExitProblem, "no subscription named nobody"},
      {{"unsubscribe"}, kExitUsage, "usage: vespin-cli unsubscribe"},
      {{"subscribe", "--file", "/nonexistent/vespin.ini", "x", "https://x/"},
       kExitProblem,
       "/nonexistent/vespin.ini"},
  };
  for (const auto& c : cases) {
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.rc, c.rc) << c.args[1];
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    EXPECT_EQ(test::ReadBytes(ini), original);
  }
}

TEST_F(SubscribeCommandsTest, UnsubscribingRemovesTheCopyOfThatCalendarOnly) {
  ASSERT_EQ(Run({"subscribe", "仕事", "https://x/work/"}).rc, kExitOk);
  ASSERT_EQ(Run({"subscribe", "家族", "https://x/family/"}).rc, kExitOk);
  const auto cache = dir.Path() / "cache/vespin" / remote::FolderKey(dir.Path());
  for (const char* name : {"仕事", "家族"}) {
    const auto folder = remote::SubscriptionFolder(cache, name);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / remote::kCalendarFile) << "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
  }
  ASSERT_EQ(Run({"unsubscribe", "仕事"}).rc, kExitOk);
  EXPECT_FALSE(std::filesystem::exists(remote::SubscriptionFolder(cache, "仕事")));
  EXPECT_TRUE(
      std::filesystem::exists(remote::SubscriptionFolder(cache, "家族") / remote::kCalendarFile));
}

TEST_F(SubscribeCommandsTest, APanelHoldingTheFolderIsNotWrittenOver) {
  QLockFile panel(QFile::decodeName((dir.Path() / kPanelLockName).c_str()));
  ASSERT_TRUE(panel.tryLock(0));
  const Outcome o = Run({"subscribe", "仕事", "https://x/work/"});
  EXPECT_EQ(o.rc, kExitProblem);
  EXPECT_NE(o.err.find("VESPIN is running in"), std::string::npos) << o.err;
  EXPECT_EQ(test::ReadBytes(ini), original);
}

}  // namespace
}  // namespace vespin::cli
