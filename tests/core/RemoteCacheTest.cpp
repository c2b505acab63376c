#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "remote/CacheFolder.h"
#include "remote/SyncStatus.h"

namespace vespin::remote {
namespace {

using test::TempDir;

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(RemoteCacheTest, OneCacheFolderPerDataFolderHoweverItIsSpelled) {
  TempDir dir;
  std::filesystem::create_directories(dir.Path() / "a" / "b");
  std::filesystem::create_directories(dir.Path() / "c");
  std::filesystem::create_directory_symlink(dir.Path() / "a", dir.Path() / "link");
  const ScopedEnv cache("XDG_CACHE_HOME", (dir.Path() / "cache").c_str());
  const auto a = CacheFolder(dir.Path() / "a");
  EXPECT_EQ(a.parent_path(), dir.Path() / "cache" / "vespin");
  for (const auto& spelling : {dir.Path() / "a" / "", dir.Path() / "a" / "b" / "..",
                               dir.Path() / "link", dir.Path() / "." / "a"}) {
    EXPECT_EQ(CacheFolder(spelling), a) << spelling;
  }
  EXPECT_NE(CacheFolder(dir.Path() / "c"), a);
  EXPECT_NE(CacheFolder(dir.Path() / "a" / "b"), a);
  EXPECT_EQ(FolderKey(dir.Path() / "a").size(), 16u);
}

TEST(RemoteCacheTest, TheCacheRootFollowsXdgAndIgnoresARelativeOne) {
  const ScopedEnv home("HOME", "/home/someone");
  {
    const ScopedEnv cache("XDG_CACHE_HOME", nullptr);
    EXPECT_EQ(CacheRoot(), std::filesystem::path("/home/someone/.cache/vespin"));
  }
  {
    const ScopedEnv cache("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(CacheRoot(), std::filesystem::path("/home/someone/.cache/vespin"));
  }
  {
    const ScopedEnv cache("XDG_CACHE_HOME", "/var/cache/x");
    EXPECT_EQ(CacheRoot(), std::filesystem::path("/var/cache/x/vespin"));
  }
}

TEST(RemoteCacheTest, SubscriptionNamesAreSafeFileNames) {
  const std::filesystem::path cache = "/c";
  const struct {
    const char* name;
    const char* folder;
  } cases[] = {
      {"work", "work"},         {"仕事", "仕事"}, {"../x", "%2E.%2Fx"},        {"a/b", "a%2Fb"},
      {".hidden", "%2Ehidden"}, {"50%", "50%25"}, {"tab\there", "tab%09here"}, {"", "%"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SubscriptionFolder(cache, c.name), cache / kCalendarsFolder / c.folder) << c.name;
  }
}

TEST(RemoteCacheTest, StatusReadsBackAndSkipsWhatItDoesNotKnow) {
  TempDir dir;
  SyncStatus status;
  status.url = "https://example.com/dav/alice/work/";
  status.attempt = "2026-12-09T10:15:00+09:00";
  status.success = "2026-12-09T10:00:00+09:00";
  status.error = "サーバーに接続できません";
  status.detail = "Could not connect\nto server";  // a line end in a value stays on its line
  status.unencrypted = true;
  status.events = 123;
  status.retry = "2026-12-09T10:17:00+09:00";
  const std::string text = FormatSyncStatus(status);
  const auto file = dir.Write("status", "newer=kept out\r\n" + text + "events=oops\n");
  const auto back = ReadSyncStatus(file);
  ASSERT_TRUE(back);
  SyncStatus expected = status;
  expected.detail = "Could not connect to server";
  EXPECT_EQ(*back, expected);
  EXPECT_FALSE(ReadSyncStatus(dir.File("missing")));
  // No wait asked for: no line, so files stay as older versions wrote them.
  status.retry.clear();
  EXPECT_EQ(FormatSyncStatus(status).find("retry="), std::string::npos);
}

TEST(RemoteCacheTest, StatusTimesReadWithTheirOffset) {
  constexpr std::time_t kNoonUtc = 1796817600;  // 2026-12-09T12:00:00Z
  const struct {
    const char* text;
    std::optional<std::time_t> at;
  } cases[] = {
      {"2026-12-09T12:00:00Z", kNoonUtc},         {"2026-12-09T21:00:00+09:00", kNoonUtc},
      {"2026-12-09T06:30:00-05:30", kNoonUtc},    {"2026-12-09T12:00:00+00:00", kNoonUtc},
      {"2026-12-09T12:00:00", std::nullopt},  // no offset: no moment
      {"2026-12-09 12:00:00Z", std::nullopt},     {"2026-13-09T12:00:00Z", std::nullopt},
      {"2026-12-09T12:00:00+0900", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseIsoTime(c.text), c.at) << c.text;
  }
}

}  // namespace
}  // namespace vespin::remote
