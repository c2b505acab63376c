// What servers do on a bad day, through the helper program as the panel and the companion run
// it: each fault ends within the time limit with exit 1, the last good copy stays, the status
// names the fault in plain words, and the event file is not touched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "ServerProcess.h"
#include "TempDir.h"
#include "remote/CacheFolder.h"
#include "remote/SyncStatus.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

constexpr int kTimeoutSeconds = 3;

struct HelperRun {
  int rc = -1;
  std::string out, err;
  double seconds = 0;
};

// A data folder with one subscription, a cache folder of its own and a home without ~/.netrc.
class Folder {
 public:
  explicit Folder(const std::string& url) {
    const std::string ini = ReadExample() + sjis::Lit("[拡張]\r\n購読=f ") + url + "\r\n";
    std::filesystem::create_directories(dir_.Path() / "data");
    file_ = dir_.Write("data/vespin.ini", ini);
  }
  static std::string ReadExample() {
    return test::ReadBytes(std::filesystem::path(VESPIN_SOURCE_DIR) / "examples/vespin.ini");
  }
  std::filesystem::path Cache() const {
    // CacheFolder() reads XDG_CACHE_HOME, which only the helper's environment sets.
    return dir_.Path() / "cache/vespin" / remote::FolderKey(dir_.Path() / "data");
  }
  std::filesystem::path Subscription() const { return remote::SubscriptionFolder(Cache(), "f"); }
  const std::filesystem::path& File() const { return file_; }
  const test::TempDir& Dir() const { return dir_; }

  HelperRun Fetch(const std::string& extra = "") const {
    const std::string outFile = (dir_.Path() / "out").string();
    const std::string errFile = (dir_.Path() / "err").string();
    const std::string command = "env HOME='" + dir_.Path().string() + "' XDG_CACHE_HOME='" +
                                (dir_.Path() / "cache").string() +
                                "' '" VESPIN_SYNC_PROGRAM "' fetch --file '" + file_.string() +
                                "' --timeout " + std::to_string(kTimeoutSeconds) + " " + extra +
                                " >'" + outFile + "' 2>'" + errFile + "' </dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    HelperRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = test::ReadBytes(outFile);
    run.err = test::ReadBytes(errFile);
    return run;
  }

 private:
  test::TempDir dir_;
  std::filesystem::path file_;
};

class FaultTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plain_ =
        test::ServerProcess::Start({test::kSystemPython, VESPIN_FAULT_SERVER, "{port}"}).release();
    // A certificate made for this run: valid for the address, signed by nobody the system trusts.
    tls_ = nullptr;
    certDir_ = new test::TempDir;
    const std::string dir = certDir_->Path().string();
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "
        "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        dir + "/key.pem' -out '" + dir + "/cert.pem' >/dev/null 2>&1";
    if (std::system(make.c_str()) == 0) {
      tls_ = test::ServerProcess::Start({test::kSystemPython, VESPIN_FAULT_SERVER, "{port}",
                                         dir + "/cert.pem", dir + "/key.pem"})
                 .release();
    }
  }
  static void TearDownTestSuite() {
    delete plain_;
    delete tls_;
    delete certDir_;
  }
  static std::string Url(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(plain_->Port()) + path;
  }

  static test::ServerProcess* plain_;
  static test::ServerProcess* tls_;
  static test::TempDir* certDir_;
};
test::ServerProcess* FaultTest::plain_ = nullptr;
test::ServerProcess* FaultTest::tls_ = nullptr;
test::TempDir* FaultTest::certDir_ = nullptr;

TEST_F(FaultTest, EachFaultIsNamedAndTheLastGoodCopyStays) {
  ASSERT_TRUE(plain_);
  ASSERT_TRUE(tls_) << "openssl made no certificate, or the TLS server did not start";
  const std::string tlsBase = "https://127.0.0.1:" + std::to_string(tls_->Port());
  struct Case {
    std::string url;
    const char* words;
    const char* detail;  // a part of the technical detail
  } cases[] = {
      {Url("/status/401"), "ユーザー名またはパスワードが違います", "HTTP 401"},
      {Url("/status/403"), "アクセスが許可されていません", "HTTP 403"},
      {Url("/status/404"), "カレンダーが見つかりません", "HTTP 404"},
      {Url("/status/412"), "サーバーのエラーです", "HTTP 412"},
      {Url("/status/500"), "サーバーのエラーです", "HTTP 500"},
      {Url("/status/503"), "サーバーのエラーです", "retry after 120"},
      {Url("/hang"), "サーバーが応答しません", "PROPFIND"},
      {Url("/huge-length"), "データが大きすぎます", "MiB"},
      {Url("/huge-stream"), "データが大きすぎます", "MiB"},
      {Url("/badxml"), "カレンダーの形式が正しくありません", "multistatus"},
      {Url("/loop"), "サーバーのエラーです", "redirect"},
      {Url("/html"), "カレンダーの形式が正しくありません", "text/html"},
      {tlsBase + "/ics", "証明書を確認できません", "certificate"},
  };
  const std::string good =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\nUID:kept\r\n"
      "DTSTAMP:20260101T000000Z\r\nDTSTART:20261210T010000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    Folder folder(c.url);
    // The last good copy of an earlier fetch of the same address.
    std::filesystem::create_directories(folder.Subscription());
    remote::SyncStatus earlier;
    earlier.url = c.url;
    earlier.attempt = earlier.success = "2026-12-01T09:00:00+09:00";
    earlier.events = 1;
    std::ofstream(folder.Subscription() / "calendar.ics", std::ios::binary) << good;
    std::ofstream(folder.Subscription() / "status", std::ios::binary)
        << remote::FormatSyncStatus(earlier);
    const std::string ini = test::ReadBytes(folder.File());
    struct stat before {};
    ::stat(folder.File().c_str(), &before);

    const HelperRun run = folder.Fetch();
    EXPECT_EQ(run.rc, 1) << run.out << run.err;
    EXPECT_LT(run.seconds, kTimeoutSeconds + 5.0);
    EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
    EXPECT_EQ(test::ReadBytes(folder.Subscription() / "calendar.ics"), good);
    const auto status = remote::ReadSyncStatus(folder.Subscription() / "status");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->error, c.words);
    EXPECT_NE(status->detail.find(c.detail), std::string::npos) << status->detail;
    EXPECT_EQ(status->success, earlier.success);
    EXPECT_EQ(status->events, 1);
    EXPECT_NE(status->attempt, earlier.attempt);
    struct stat after {};
    ::stat(folder.File().c_str(), &after);
    EXPECT_EQ(test::ReadBytes(folder.File()), ini);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  }
}

// A plain .ics address: fetched whole once, then asked with its ETag and left alone.
TEST_F(FaultTest, AnIcsAddressIsAskedWithItsEtagTheSecondTime) {
  ASSERT_TRUE(plain_);
  Folder folder(Url("/ics"));
  const HelperRun first = folder.Fetch();
  ASSERT_EQ(first.rc, 0) << first.err;
  EXPECT_EQ(first.out, "f: 1 events\n");
  const std::string cached = test::ReadBytes(folder.Subscription() / "calendar.ics");
  EXPECT_NE(cached.find("UID:one"), std::string::npos);
  const HelperRun second = folder.Fetch();
  ASSERT_EQ(second.rc, 0) << second.err;
  EXPECT_EQ(second.out, "f: 1 events, unchanged\n");
  EXPECT_EQ(test::ReadBytes(folder.Subscription() / "calendar.ics"), cached);
}

// The companion hands subscribe, fetch and unsubscribe over to the helper: the chain a user
// types, through both programs.
TEST_F(FaultTest, TheCompanionSubscribesFetchesAndUnsubscribes) {
  ASSERT_TRUE(plain_);
  test::TempDir dir;
  const std::string file = dir.Write("vespin.ini", Folder::ReadExample()).string();
  const std::string env = "env HOME='" + dir.Path().string() + "' XDG_CACHE_HOME='" +
                          (dir.Path() / "cache").string() + "' '" VESPIN_CLI_PROGRAM "' ";
  const auto run = [&](const std::string& args) {
    const std::string command =
        env + args + " --file '" + file + "' >'" + dir.File("out").string() + "' 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                          test::ReadBytes(dir.File("out")));
  };
  EXPECT_EQ(run("subscribe 予定 " + Url("/ics")).first, 0);
  EXPECT_EQ(run("subscribe 止まった " + Url("/status/500")).first, 0);
  const auto [rc, out] = run("fetch");
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("予定: 1 events\n"), std::string::npos) << out;
  EXPECT_NE(out.find("止まった: サーバーのエラーです (PROPFIND: HTTP 500)\n"), std::string::npos)
      << out;
  EXPECT_EQ(run("fetch 予定").first, 0);
  EXPECT_EQ(run("unsubscribe 予定").first, 0);
  EXPECT_EQ(run("unsubscribe 止まった").first, 0);
  EXPECT_EQ(test::ReadBytes(file), Folder::ReadExample());
  const auto cache = dir.Path() / "cache/vespin" / remote::FolderKey(dir.Path());
  EXPECT_FALSE(std::filesystem::exists(remote::SubscriptionFolder(cache, "予定")));
}

TEST_F(FaultTest, BadArgumentsExitWithTwo) {
  Folder folder(Url("/ics"));
  for (const char* extra : {"--timeout 0", "--timeout x", "--bogus"}) {
    const HelperRun run = folder.Fetch(extra);
    EXPECT_EQ(run.rc, 2) << extra << ": " << run.err;
  }
  const HelperRun unknown = folder.Fetch("nosuchname");
  EXPECT_EQ(unknown.rc, 1);
  EXPECT_NE(unknown.err.find("no subscription named nosuchname"), std::string::npos);
}

}  // namespace
}  // namespace vespin
