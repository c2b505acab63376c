// Fetching from real CalDAV servers: what reaches the cache, what a fetch costs when nothing
// changed, and that changes on the server are picked up.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

#include "CalDavServers.h"
#include "CalendarText.h"
#include "Fetch.h"
#include "ServerProcess.h"
#include "TempDir.h"
#include "remote/CacheFolder.h"
#include "remote/SyncStatus.h"

namespace vespin::sync {
namespace {

using test::CalDavKind;

std::string Calendar(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::string Event(const std::string& uid, const std::string& lines) {
  return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20260101T000000Z\r\n" + lines +
         "END:VEVENT\r\n";
}

const char* const kNewYork =
    "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\nBEGIN:STANDARD\r\nDTSTART:19701101T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\n"
    "END:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n"
    "END:DAYLIGHT\r\nEND:VTIMEZONE\r\n";
const char* const kTokyo =
    "BEGIN:VTIMEZONE\r\nTZID:Asia/Tokyo\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

struct Resource {
  std::string name;  // the resource's file name on the server
  std::string ics;
};

// A calendar as people keep them: rules with exceptions, moved and cancelled occurrences,
// all-day events, other zones, a to-do, and an event long past.
std::vector<Resource> MixedCalendar(std::time_t now) {
  const auto day = [now](int d) { return test::DayText(now, d); };
  return {
      {"weekly.ics",
       Calendar(std::string(kTokyo) +
                Event("weekly", "DTSTART;TZID=Asia/Tokyo:" + day(-14) +
                                    "T100000\r\nDTEND;TZID=Asia/Tokyo:" + day(-14) +
                                    "T110000\r\nRRULE:FREQ=WEEKLY\r\nEXDATE;TZID=Asia/Tokyo:" +
                                    day(7) + "T100000\r\nSUMMARY:定例会議 🗓\r\n"))},
      {"moved.ics",
       Calendar(Event("moved", "DTSTART:" + day(1) + "T090000Z\r\nDURATION:PT1H\r\n" +
                                   "RRULE:FREQ=DAILY;COUNT=5\r\nSUMMARY:研修\r\n") +
                Event("moved", "RECURRENCE-ID:" + day(2) + "T090000Z\r\nDTSTART:" + day(2) +
                                   "T130000Z\r\nDURATION:PT1H\r\nSUMMARY:研修 (午後)\r\n") +
                Event("moved", "RECURRENCE-ID:" + day(3) + "T090000Z\r\nDTSTART:" + day(3) +
                                   "T090000Z\r\nDURATION:PT1H\r\nSTATUS:CANCELLED\r\n"
                                   "SUMMARY:研修\r\n"))},
      {"allday.ics",
       Calendar(Event("allday", "DTSTART;VALUE=DATE:" + day(5) + "\r\nDTEND;VALUE=DATE:" + day(6) +
                                    "\r\nSUMMARY:𠮷野家の日\r\n"))},
      {"newyork.ics",
       Calendar(std::string(kNewYork) +
                Event("newyork", "DTSTART;TZID=America/New_York:" + day(10) +
                                     "T180000\r\nDURATION:PT2H\r\nSUMMARY:Call\r\n"))},
      {"todo.ics", Calendar("BEGIN:VTODO\r\nUID:todo\r\nDTSTAMP:20260101T000000Z\r\n"
                            "SUMMARY:牛乳\r\nEND:VTODO\r\n")},
  };
}

struct Cache {
  test::TempDir dir;
  std::filesystem::path Folder() const { return dir.Path() / "work"; }
  std::string CalendarText() const { return test::ReadBytes(Folder() / remote::kCalendarFile); }
  remote::SyncStatus Status() const {
    return remote::ReadSyncStatus(Folder() / remote::kStatusFile).value_or(remote::SyncStatus{});
  }
  // UID -> how many VEVENTs carry it.
  std::map<std::string, int> Uids() const {
    std::map<std::string, int> uids;
    const auto parts = SplitCalendar(CalendarText());
    EXPECT_TRUE(parts) << CalendarText();
    if (parts) {
      for (const std::string& uid : parts->eventUids) ++uids[uid];
    }
    return uids;
  }
};

class FetchTest : public ::testing::TestWithParam<CalDavKind> {
 protected:
  void SetUp() override {
    server_ = test::StartCalDav(GetParam());
    ASSERT_TRUE(server_);
    collection_ = server_->NewCollection("work");
    ASSERT_FALSE(collection_.empty());
  }
  FetchOutcome Fetch(int* requests = nullptr) {
    HttpClient http;
    FetchOutcome o = FetchSubscription(http, collection_, cache_.Folder(), now_);
    if (requests) *requests = http.RequestCount();
    return o;
  }
  void Fill(const std::vector<Resource>& resources) {
    for (const Resource& r : resources) {
      ASSERT_EQ(test::PutResource(collection_ + r.name, r.ics), 201) << r.name;
    }
  }

  std::time_t now_ = std::time(nullptr);
  std::unique_ptr<test::CalDavServer> server_;
  std::string collection_;
  Cache cache_;
};

TEST_P(FetchTest, TheCacheHoldsEveryEventWithItsExceptionsAndZones) {
  Fill(MixedCalendar(now_));
  const FetchOutcome o = Fetch();
  ASSERT_EQ(o.problem, Problem::kNone) << o.detail;
  EXPECT_TRUE(o.changed);
  EXPECT_EQ(o.events, 4);
  // The rule and both of its exceptions stay together; the to-do is no event.
  EXPECT_EQ(cache_.Uids(), (std::map<std::string, int>{
                               {"allday", 1}, {"moved", 3}, {"newyork", 1}, {"weekly", 1}}));
  const std::string text = cache_.CalendarText();
  EXPECT_NE(text.find("TZID:America/New_York"), std::string::npos);
  EXPECT_NE(text.find("TZID:Asia/Tokyo"), std::string::npos);
  EXPECT_NE(text.find("SUMMARY:定例会議 🗓"), std::string::npos) << "texts stay UTF-8";
  EXPECT_NE(text.find("SUMMARY:𠮷野家の日"), std::string::npos);
  EXPECT_NE(text.find("STATUS:CANCELLED"), std::string::npos);
  EXPECT_NE(text.find("EXDATE;TZID=Asia/Tokyo:"), std::string::npos);
  const remote::SyncStatus status = cache_.Status();
  EXPECT_EQ(status.url, collection_);
  EXPECT_EQ(status.error, "");
  EXPECT_EQ(status.events, 4);
  EXPECT_FALSE(status.success.empty());
  EXPECT_FALSE(status.unencrypted) << "loopback is no network";
}

TEST_P(FetchTest, AFetchWithNothingChangedAsksOnceAndKeepsTheFile) {
  Fill(MixedCalendar(now_));
  ASSERT_EQ(Fetch().problem, Problem::kNone);
  const std::string before = cache_.CalendarText();
  int requests = 0;
  const FetchOutcome o = Fetch(&requests);
  EXPECT_EQ(o.problem, Problem::kNone) << o.detail;
  EXPECT_FALSE(o.changed);
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(o.events, 4);
  EXPECT_EQ(cache_.CalendarText(), before);
}

TEST_P(FetchTest, ChangedAddedAndRemovedResourcesArePickedUp) {
  Fill(MixedCalendar(now_));
  ASSERT_EQ(Fetch().problem, Problem::kNone);
  const std::string day = test::DayText(now_, 20);
  // Servers differ in how they say a resource was replaced.
  const long replaced = test::PutResource(
      collection_ + "allday.ics",
      Calendar(Event("allday", "DTSTART;VALUE=DATE:" + day + "\r\nSUMMARY:移動した日\r\n")));
  ASSERT_TRUE(replaced == 201 || replaced == 204) << replaced;
  ASSERT_EQ(
      test::PutResource(collection_ + "new.ics",
                        Calendar(Event("new", "DTSTART:" + day +
                                                  "T010000Z\r\n"
                                                  "DURATION:PT1H\r\nSUMMARY:新しい予定\r\n"))),
      201);
  const long deleted = test::DeleteResource(collection_ + "newyork.ics");
  ASSERT_TRUE(deleted == 200 || deleted == 204) << deleted;
  int requests = 0;
  const FetchOutcome o = Fetch(&requests);
  ASSERT_EQ(o.problem, Problem::kNone) << o.detail;
  EXPECT_TRUE(o.changed);
  EXPECT_EQ(cache_.Uids(),
            (std::map<std::string, int>{{"allday", 1}, {"moved", 3}, {"new", 1}, {"weekly", 1}}));
  const std::string text = cache_.CalendarText();
  EXPECT_NE(text.find("SUMMARY:移動した日"), std::string::npos);
  EXPECT_EQ(text.find("SUMMARY:𠮷野家の日"), std::string::npos);
  EXPECT_EQ(text.find("TZID:America/New_York"), std::string::npos) << "no zone nobody uses";
  // The change check, the change list and one multiget of the two changed resources.
  EXPECT_LE(requests, 3);
}

TEST_P(FetchTest, AFailedFetchKeepsTheCacheAndSaysWhy) {
  Fill(MixedCalendar(now_));
  ASSERT_EQ(Fetch().problem, Problem::kNone);
  const std::string before = cache_.CalendarText();
  const std::string success = cache_.Status().success;
  server_->process->Stop();
  const FetchOutcome o = Fetch();
  EXPECT_EQ(o.problem, Problem::kConnect);
  EXPECT_EQ(cache_.CalendarText(), before);
  const remote::SyncStatus status = cache_.Status();
  EXPECT_EQ(status.error, "サーバーに接続できません");
  EXPECT_NE(status.detail.find("PROPFIND"), std::string::npos) << status.detail;
  EXPECT_EQ(status.success, success);
  EXPECT_EQ(status.events, 4);
}

TEST_P(FetchTest, AFolderOfCalendarsIsNoCalendar) {
  const std::string parent =
      collection_.substr(0, collection_.rfind('/', collection_.size() - 2) + 1);
  HttpClient http;
  const FetchOutcome o = FetchSubscription(http, parent, cache_.Folder(), now_);
  EXPECT_EQ(o.problem, Problem::kNotFound) << o.detail;
  EXPECT_FALSE(std::filesystem::exists(cache_.Folder() / remote::kCalendarFile));
}

// What the user sees of a calendar on a server: subscribed, fetched and listed by the companion
// line for line as python's recurring_ical_events expands the server's own resources (read
// from the server, not from VESPIN's copy), in two local zones.
TEST_P(FetchTest, TheAgendaListsEveryOccurrenceAsAReferenceReadsThemFromTheServer) {
  std::vector<Resource> resources = MixedCalendar(now_);
  const auto day = [this](int d) { return test::DayText(now_, d); };
  resources.push_back({"trip.ics", Calendar(Event("trip", "DTSTART;VALUE=DATE:" + day(12) +
                                                              "\r\nDTEND;VALUE=DATE:" + day(15) +
                                                              "\r\nSUMMARY:出張\r\n"))});
  resources.push_back(
      {"monthly.ics", Calendar(Event("monthly", "DTSTART:" + day(-40) +
                                                    "T193000\r\nDURATION:PT1H\r\n"
                                                    "RRULE:FREQ=MONTHLY;BYDAY=2TU\r\n"
                                                    "SUMMARY:読書会\r\n"))});
  resources.push_back({"rdate.ics", Calendar(Event("rdate", "DTSTART:" + day(4) +
                                                                "T020000Z\r\nDURATION:PT30M\r\n"
                                                                "RDATE:" +
                                                                day(9) +
                                                                "T230000Z\r\n"
                                                                "SUMMARY:面談\r\n"))});
  Fill(resources);

  test::TempDir dir;
  const std::string file =
      dir.Write("vespin.ini",
                test::ReadBytes(std::filesystem::path(VESPIN_SOURCE_DIR) / "examples/vespin.ini"))
          .string();
  const auto iso = [&](int d) {
    const std::string t = day(d);
    return t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2);
  };
  const std::string from = iso(-2);
  const std::string until = iso(45);
  const auto run = [&](const std::string& zone, const std::string& command) {
    const std::string line = "env TZ=" + zone + " HOME='" + dir.Path().string() +
                             "' XDG_CACHE_HOME='" + dir.File("cache").string() + "' " + command +
                             " >'" + dir.File("out").string() + "' 2>&1 </dev/null";
    const int status = std::system(line.c_str());
    return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                          test::ReadBytes(dir.File("out")));
  };
  const std::string cli = std::string("'" VESPIN_CLI_PROGRAM "' ");
  ASSERT_EQ(run("UTC", cli + "subscribe --file '" + file + "' work " + collection_).first, 0);
  const auto fetched = run("UTC", cli + "fetch --file '" + file + "'");
  ASSERT_EQ(fetched.first, 0) << fetched.second;
  for (const std::string zone : {"Asia/Tokyo", "America/New_York"}) {
    const auto agenda = run(zone, cli + "agenda --file '" + file + "' " + from + " " + until);
    ASSERT_EQ(agenda.first, 0) << agenda.second;
    std::vector<std::string> ours;
    std::istringstream lines(agenda.second);
    for (std::string line; std::getline(lines, line);) {
      if (line.find(" @work ") != std::string::npos) ours.push_back(line);
    }
    std::sort(ours.begin(), ours.end());
    const auto reference = run(zone, std::string(test::kSystemPython) +
                                         " '" VESPIN_SOURCE_DIR "/tests/sync/server_agenda.py' " +
                                         collection_ + " work " + from + " " + until);
    ASSERT_EQ(reference.first, 0) << reference.second;
    std::vector<std::string> theirs;
    std::istringstream referenceLines(reference.second);
    for (std::string line; std::getline(referenceLines, line);) theirs.push_back(line);
    EXPECT_EQ(ours, theirs) << zone;
    // Seven weeks of a weekly rule, the rest around it: a listing that lost them all fails.
    EXPECT_GE(ours.size(), 15u) << zone;
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, FetchTest,
                         ::testing::Values(CalDavKind::kRadicale, CalDavKind::kXandikos),
                         [](const auto& param) { return std::string(test::NameOf(param.param)); });

// The user's password, from the keyring or ~/.netrc, opens a collection that needs one.
TEST(FetchAuthTest, TheRightPasswordOpensTheCollectionAndAWrongOneIsNamed) {
  const auto server = test::StartCalDav(CalDavKind::kRadicale, "s3cret");
  ASSERT_TRUE(server);
  const std::string url = server->NewCollection("work");
  ASSERT_FALSE(url.empty());
  test::TempDir home;
  struct Case {
    const char* password;
    Problem expected;
  } cases[] = {{"wrong", Problem::kAuthentication}, {"s3cret", Problem::kNone}};
  for (const Case& c : cases) {
    HttpClient http({}, {"alice", c.password});
    const FetchOutcome o = FetchSubscription(http, url, home.Path() / "c", std::time(nullptr));
    EXPECT_EQ(o.problem, c.expected) << c.password << ": " << o.detail;
  }
}

}  // namespace
}  // namespace vespin::sync
