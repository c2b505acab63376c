// Publishing to real CalDAV servers: the collection holds exactly the file's events, a second
// publish sends only the listing, a removed line is removed there, a resource VESPIN did not
// write stays, and one someone else changed is named and only replaced when asked.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "CalDavServers.h"
#include "CalendarText.h"
#include "Dav.h"
#include "IcalExport.h"
#include "SyncCommand.h"
#include "TempDir.h"
#include "events/EventFile.h"
#include "remote/CacheFolder.h"
#include "remote/SyncStatus.h"
#include "text/Sjis.h"

namespace vespin::sync {
namespace {

using test::CalDavKind;

struct Outcome {
  int rc = -1;
  std::string out, err;
  int requests = 0;
};

// Servers write '@' in hrefs as %40.
std::string Decoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string Drain(std::FILE* f) {
  std::rewind(f);
  std::string text;
  for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(f);
  return text;
}

class PublishTest : public ::testing::TestWithParam<CalDavKind> {
 protected:
  void SetUp() override {
    setenv("XDG_CACHE_HOME", (dir_.Path() / "cache").c_str(), 1);
    server_ = test::StartCalDav(GetParam());
    ASSERT_TRUE(server_);
    collection_ = server_->NewCollection("vespin");
    ASSERT_FALSE(collection_.empty());
    example_ = test::ReadBytes(std::filesystem::path(VESPIN_SOURCE_DIR) / "examples/vespin.ini");
    file_ = dir_.Write("vespin.ini", example_);
  }
  void TearDown() override { unsetenv("XDG_CACHE_HOME"); }

  Outcome Publish(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"publish", "--file", file_.string(), collection_};
    args.insert(args.end(), extra.begin(), extra.end());
    Outcome o;
    SyncEnvironment env;
    env.now = std::time(nullptr);
    env.requestCount = &o.requests;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    o.rc = RunSync(args, out, err, env);
    o.out = Drain(out);
    o.err = Drain(err);
    return o;
  }
  // Resource name -> ETag, as the server lists them.
  std::map<std::string, std::string> OnServer() const {
    HttpClient http;
    const Response r = http.Send({"PROPFIND",
                                  collection_,
                                  {"Depth: 1", "Content-Type: application/xml"},
                                  dav::EtagListing()});
    std::map<std::string, std::string> names;
    const auto ms = dav::ParseMultistatus(r.body);
    EXPECT_TRUE(ms) << r.body;
    if (!ms) return names;
    for (const auto& res : ms->responses) {
      const std::string name = Decoded(res.href.substr(res.href.rfind('/') + 1));
      if (!name.empty() && !res.isCollection) names[name] = res.etag;
    }
    return names;
  }
  // The resources an export of the file now names.
  std::set<std::string> Expected() const {
    const std::vector<std::string> names = test::PublishedResourceNames(file_);
    return {names.begin(), names.end()};
  }

  test::TempDir dir_;
  std::unique_ptr<test::CalDavServer> server_;
  std::string collection_;
  std::string example_;
  std::filesystem::path file_;
};

const char* const kForeign =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\nBEGIN:VEVENT\r\nUID:phone-1\r\n"
    "DTSTAMP:20260101T000000Z\r\nDTSTART:20261224T100000Z\r\nSUMMARY:from the phone\r\n"
    "END:VEVENT\r\nEND:VCALENDAR\r\n";

TEST_P(PublishTest, TheCollectionHoldsExactlyTheFilesEventsBesideWhatOthersPutThere) {
  ASSERT_EQ(test::PutResource(collection_ + "phone-1.ics", kForeign), 201);
  const std::string foreignEtag = OnServer().at("phone-1.ics");
  const std::set<std::string> expected = Expected();
  ASSERT_GT(expected.size(), 10u);

  const Outcome first = Publish();
  ASSERT_EQ(first.rc, 0) << first.err;
  EXPECT_EQ(first.out,
            "added " + std::to_string(expected.size()) + ", changed 0, removed 0, unchanged 0\n");
  std::set<std::string> names;
  for (const auto& [name, etag] : OnServer()) names.insert(name);
  std::set<std::string> want = expected;
  want.insert("phone-1.ics");
  EXPECT_EQ(names, want);

  // Nothing changed: the listing and nothing else.
  const Outcome second = Publish();
  ASSERT_EQ(second.rc, 0) << second.err;
  EXPECT_EQ(second.out,
            "added 0, changed 0, removed 0, unchanged " + std::to_string(expected.size()) + "\n");
  EXPECT_EQ(second.requests, 1);

  // A line removed from the file is removed there; the phone's event stays as it was.
  std::string text = example_;
  const std::size_t line = text.find("\r\n", text.find("\r\n") + 2) + 2;  // the first event row
  text.erase(line, text.find("\r\n", line) + 2 - line);
  file_ = dir_.Write("vespin.ini", text);
  const std::set<std::string> fewer = Expected();
  ASSERT_EQ(fewer.size(), expected.size() - 1);
  const Outcome third = Publish();
  ASSERT_EQ(third.rc, 0) << third.err;
  EXPECT_EQ(third.out,
            "added 0, changed 0, removed 1, unchanged " + std::to_string(fewer.size()) + "\n");
  const auto after = OnServer();
  EXPECT_EQ(after.size(), fewer.size() + 1);
  EXPECT_EQ(after.at("phone-1.ics"), foreignEtag);
}

TEST_P(PublishTest, AnEventChangedOnTheServerIsNamedAndReplacedOnlyWhenForced) {
  ASSERT_EQ(Publish().rc, 0);
  const std::string name = *Expected().begin();
  const std::string theirs =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//EN\r\n"
      "BEGIN:VEVENT\r\nUID:" +
      name.substr(0, name.size() - 4) +
      "\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:20261224T100000Z\r\n"
      "SUMMARY:moved on the phone\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  const long stored = test::PutResource(collection_ + name, theirs);
  ASSERT_TRUE(stored == 201 || stored == 204) << stored;
  const std::string changedEtag = OnServer().at(name);

  const Outcome kept = Publish();
  EXPECT_EQ(kept.rc, 1);
  EXPECT_NE(kept.err.find("conflict: " + name + ": changed on the server since VESPIN wrote it"),
            std::string::npos)
      << kept.err;
  EXPECT_EQ(OnServer().at(name), changedEtag) << "left as the other client wrote it";
  const auto status = [this] {
    return remote::ReadSyncStatus(remote::CacheFolder(dir_.Path()) / remote::kPublishStatusFile)
        .value_or(remote::SyncStatus{});
  };
  EXPECT_EQ(status().error, "他の機器で変更された予定があります");
  EXPECT_NE(status().detail.find(name), std::string::npos) << status().detail;

  const Outcome forced = Publish({"--force"});
  EXPECT_EQ(forced.rc, 0) << forced.err;
  EXPECT_NE(forced.out.find("changed 1,"), std::string::npos) << forced.out;
  EXPECT_NE(OnServer().at(name), changedEtag);
  EXPECT_EQ(status().error, "");
  EXPECT_EQ(status().success, status().attempt);
  EXPECT_EQ(status().events, static_cast<int>(Expected().size()));
  const Outcome again = Publish();
  EXPECT_EQ(again.rc, 0) << again.err;
  EXPECT_EQ(again.requests, 1);
}

TEST_P(PublishTest, AnAddressThatIsNoCalendarGetsNothing) {
  const std::string parent =
      collection_.substr(0, collection_.rfind('/', collection_.size() - 2) + 1);
  collection_ = parent;
  const Outcome o = Publish();
  EXPECT_EQ(o.rc, 1);
  EXPECT_NE(o.err.find("カレンダーが見つかりません"), std::string::npos) << o.err;
  EXPECT_EQ(o.requests, 1);
}

INSTANTIATE_TEST_SUITE_P(Servers, PublishTest,
                         ::testing::Values(CalDavKind::kRadicale, CalDavKind::kXandikos),
                         [](const auto& param) { return std::string(test::NameOf(param.param)); });

// The publish address's user goes with it, whether the address comes from the file or is named
// on the command line to publish at once.
TEST(PublishAuthTest, TheFilesUserGoesWithItsAddressEitherWay) {
  const auto server = test::StartCalDav(CalDavKind::kRadicale, "s3cret");
  ASSERT_TRUE(server);
  const std::string url = server->NewCollection("vespin");
  ASSERT_FALSE(url.empty());
  test::TempDir dir;
  setenv("XDG_CACHE_HOME", (dir.Path() / "cache").c_str(), 1);
  const std::string example =
      test::ReadBytes(std::filesystem::path(VESPIN_SOURCE_DIR) / "examples/vespin.ini");
  const std::string file =
      dir.Write("vespin.ini", example + sjis::Lit("[拡張]\r\n公開=") + url + " alice\r\n").string();
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named" : "from the file");
    std::vector<std::string> args = {"publish", "--file", file, "--password-stdin"};
    if (named) args.push_back(url);
    SyncEnvironment env;
    env.now = std::time(nullptr);
    env.in = std::tmpfile();
    std::fputs("s3cret\n", env.in);
    std::rewind(env.in);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int rc = RunSync(args, out, err, env);
    std::fclose(env.in);
    const std::string said = Drain(out) + Drain(err);
    EXPECT_EQ(rc, 0) << said;
    EXPECT_EQ(said.find("401"), std::string::npos) << said;
  }
  unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace vespin::sync
