#include "RemoteCalendar.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "TempDir.h"
#include "events/LeadTimes.h"

namespace vespin::ical {
namespace {

using remote::kNoLead;
using remote::RemoteOccurrence;
using std::chrono::days;

constexpr const char* kBerlin =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\n"
    "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\n"
    "DTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
    "END:VTIMEZONE\r\n";
constexpr const char* kNewYork =
    "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nTZNAME:EDT\r\n"
    "DTSTART:20070311T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nTZNAME:EST\r\n"
    "DTSTART:20071104T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\n"
    "END:VTIMEZONE\r\n";

std::string Calendar(const std::string& body, const std::string& zones = "") {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//remote//EN\r\n" + zones + body +
         "END:VCALENDAR\r\n";
}

std::string Event(const std::string& uid, const std::string& lines) {
  return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20260101T000000Z\r\n" + lines +
         "END:VEVENT\r\n";
}

sys_days Day(int y, unsigned m, unsigned d) {
  return std::chrono::year{y} / static_cast<int>(m) / static_cast<int>(d);
}

std::string DayText(sys_days day) {
  const std::chrono::year_month_day ymd{day};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return text;
}

// The process's zone for one test, put back afterwards (the tests run pinned to Asia/Tokyo).
class LocalZone {
 public:
  explicit LocalZone(const char* zone) {
    if (const char* tz = std::getenv("TZ")) old_ = tz;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~LocalZone() {
    setenv("TZ", old_.c_str(), 1);
    tzset();
  }
  LocalZone(const LocalZone&) = delete;
  LocalZone& operator=(const LocalZone&) = delete;

 private:
  std::string old_ = "Asia/Tokyo";
};

// The lines the comparison script prints, from our own expansion: the occurrences that start
// in the window (an all-day span reaching into it from before is ours to list, not a start).
std::vector<std::string> OurLines(const RemoteExpansion& expansion, sys_days from, sys_days to) {
  std::vector<std::string> lines;
  for (const RemoteOccurrence& o : expansion.occurrences) {
    if (o.FirstDay() < from || o.FirstDay() > to) continue;
    std::string time = "--:--";
    if (!o.allDay) {
      const std::int64_t ms = o.startMs - MsecsAt(o.FirstDay());
      char text[16];
      std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(ms / kMsecsPerHour),
                    static_cast<int>(ms / kMsecsPerMinute % 60),
                    static_cast<int>(ms / kMsecsPerSecond % 60));
      time = text;
    }
    lines.push_back(DayText(o.FirstDay()) + " " + time + " " + o.summary);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> TheirLines(const std::filesystem::path& file, sys_days from, sys_days to) {
  const std::string command = std::string(VESPIN_REFERENCE_PYTHON) + " '" +
                              VESPIN_SOURCE_DIR "/tests/ical/remote_occurrences.py' '" +
                              file.string() + "' " + DayText(from) + " " + DayText(to);
  std::FILE* pipe = popen(command.c_str(), "r");
  EXPECT_NE(pipe, nullptr);
  std::string all;
  if (pipe) {
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) all.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << "the reference expansion failed: " << command;
  }
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = all.find('\n', at);
    lines.push_back(all.substr(at, end - at));
    at = end == std::string::npos ? all.size() : end + 1;
  }
  return lines;
}

struct AgreementCase {
  const char* name;
  const char* localZone;
  std::string ics;
  sys_days from, to;
};

// Every kind of recurrence a server hands out, expanded by us and by the reference over the
// same window in the same local zone, must give the same starts, line for line.
TEST(RemoteCalendarTest, AgreesWithTheReferenceExpansion) {
  const std::vector<AgreementCase> cases = {
      {"weekly in Berlin across both changes of summer time, seen from Tokyo", "Asia/Tokyo",
       Calendar(Event("w1",
                      "DTSTART;TZID=Europe/Berlin:20260105T090000\r\n"
                      "DTEND;TZID=Europe/Berlin:20260105T100000\r\n"
                      "RRULE:FREQ=WEEKLY;BYDAY=MO,TH\r\nSUMMARY:定例会議\r\n"),
                kBerlin),
       Day(2026, 3, 1), Day(2026, 11, 30)},
      {"daily with a count and excluded days in New York, seen from Berlin", "Europe/Berlin",
       Calendar(Event("d1",
                      "DTSTART;TZID=America/New_York:20261025T180000\r\n"
                      "RRULE:FREQ=DAILY;COUNT=20\r\n"
                      "EXDATE;TZID=America/New_York:20261027T180000,20261101T180000\r\n"
                      "SUMMARY:stand-up\r\n"),
                kNewYork),
       Day(2026, 10, 20), Day(2026, 11, 30)},
      {"monthly by weekday and last weekday, UTC, with added dates", "America/New_York",
       Calendar(Event("m1",
                      "DTSTART:20260113T230000Z\r\nRRULE:FREQ=MONTHLY;BYDAY=2TU\r\n"
                      "RDATE:20260704T150000Z,20261225T010000Z\r\nSUMMARY:board\r\n") +
                Event("m2",
                      "DTSTART:20260130T120000Z\r\n"
                      "RRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1\r\n"
                      "SUMMARY:month end\r\n")),
       Day(2026, 1, 1), Day(2026, 12, 31)},
      {"every other week on three days, begun years before the window", "Asia/Tokyo",
       Calendar(Event("i1",
                      "DTSTART;TZID=Europe/Berlin:20190107T073000\r\n"
                      "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE,FR\r\nSUMMARY:gym\r\n"),
                kBerlin),
       Day(2026, 12, 1), Day(2027, 1, 31)},
      {"the 31st of each month, and every third day since long ago", "Asia/Tokyo",
       Calendar(Event("t1",
                      "DTSTART:20260131T100000\r\nRRULE:FREQ=MONTHLY;BYMONTHDAY=31\r\n"
                      "SUMMARY:floating rent\r\n") +
                Event("t2",
                      "DTSTART:20001003T080000Z\r\nRRULE:FREQ=DAILY;INTERVAL=3\r\n"
                      "SUMMARY:pills\r\n")),
       Day(2026, 1, 1), Day(2026, 12, 31)},
      {"all-day: birthdays, a holiday week, a single day, until a date", "Europe/Berlin",
       Calendar(Event("a1",
                      "DTSTART;VALUE=DATE:19920229\r\nRRULE:FREQ=YEARLY\r\n"
                      "SUMMARY:誕生日🎂\r\n") +
                Event("a2",
                      "DTSTART;VALUE=DATE:20261228\r\nDTEND;VALUE=DATE:20270104\r\n"
                      "SUMMARY:冬休み\r\n") +
                Event("a3", "DTSTART;VALUE=DATE:20260505\r\nSUMMARY:𠮷野家\r\n") +
                Event("a4",
                      "DTSTART;VALUE=DATE:20260601\r\n"
                      "RRULE:FREQ=WEEKLY;UNTIL=20260720\r\nSUMMARY:trash\r\n")),
       Day(2026, 1, 1), Day(2028, 12, 31)},
      {"moved, cancelled and moved-away instances, a cancelled series", "Asia/Tokyo",
       Calendar(Event("o1",
                      "DTSTART;TZID=Europe/Berlin:20261102T100000\r\n"
                      "RRULE:FREQ=DAILY;COUNT=10\r\nSUMMARY:review\r\n") +
                    Event("o1",
                          "RECURRENCE-ID;TZID=Europe/Berlin:20261104T100000\r\n"
                          "DTSTART;TZID=Europe/Berlin:20261104T150000\r\n"
                          "SUMMARY:review (moved)\r\n") +
                    Event("o1",
                          "RECURRENCE-ID:20261105T090000Z\r\n"
                          "DTSTART;TZID=Europe/Berlin:20261105T100000\r\n"
                          "STATUS:CANCELLED\r\nSUMMARY:review\r\n") +
                    Event("o1",
                          "RECURRENCE-ID;TZID=Europe/Berlin:20261106T100000\r\n"
                          "DTSTART;TZID=Europe/Berlin:20261220T100000\r\n"
                          "SUMMARY:review (much later)\r\n") +
                    Event("o2",
                          "DTSTART:20261103T120000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"
                          "STATUS:CANCELLED\r\nSUMMARY:called off\r\n"),
                kBerlin),
       Day(2026, 11, 1), Day(2026, 11, 30)},
      {"floating times with an end rule, and a zone the file does not define", "Asia/Tokyo",
       Calendar(Event("f1",
                      "DTSTART:20261201T083000\r\nRRULE:FREQ=DAILY;UNTIL=20261210T083000\r\n"
                      "SUMMARY:floating\r\n") +
                Event("f2",
                      "DTSTART;TZID=America/New_York:20261207T200000\r\n"
                      "SUMMARY:call\r\n")),
       Day(2026, 12, 1), Day(2026, 12, 31)},
      {"summaries with emoji and control characters", "Asia/Tokyo",
       Calendar(Event("c1", "DTSTART:20261208T010000Z\r\nSUMMARY:🎉 party\\nroom 3\r\n") +
                Event("c2", "DTSTART:20261209T010000Z\r\nSUMMARY:bell\x07here\r\n")),
       Day(2026, 12, 1), Day(2026, 12, 31)},
  };
  test::TempDir dir;
  for (const AgreementCase& c : cases) {
    SCOPED_TRACE(c.name);
    const LocalZone zone(c.localZone);
    const auto file = dir.Write("calendar.ics", c.ics);
    const RemoteExpansion ours = ReadRemoteCalendar(file, "work", c.from, c.to);
    EXPECT_EQ(ours.error, "");
    EXPECT_TRUE(ours.problems.empty()) << ours.problems.front();
    EXPECT_FALSE(ours.cut);
    const auto lines = OurLines(ours, c.from, c.to);
    EXPECT_FALSE(lines.empty());
    EXPECT_EQ(lines, TheirLines(file, c.from, c.to));
  }
}

const RemoteOccurrence* Find(const RemoteExpansion& e, std::string_view summary) {
  for (const RemoteOccurrence& o : e.occurrences) {
    if (o.summary == summary) return &o;
  }
  return nullptr;
}

// The event's own alarm, as the nearest lead VESPIN has (rounded up), or none.
TEST(RemoteCalendarTest, TakesTheLeadFromTheEventsOwnAlarm) {
  const auto alarm = [](const std::string& lines) {
    return "BEGIN:VALARM\r\n" + lines + "END:VALARM\r\n";
  };
  const std::string display = "ACTION:DISPLAY\r\nDESCRIPTION:x\r\n";
  const struct {
    const char* summary;
    std::string alarms;
    std::int64_t lead;
  } cases[] = {
      {"none", "", kNoLead},
      {"15 minutes", alarm(display + "TRIGGER:-PT15M\r\n"), 15 * kMsecsPerMinute},
      {"20 minutes rounds up", alarm(display + "TRIGGER:-PT20M\r\n"), 30 * kMsecsPerMinute},
      {"at the start", alarm(display + "TRIGGER:PT0S\r\n"), kMsecsPerMinute},
      {"after the start", alarm(display + "TRIGGER:PT10M\r\n"), kNoLead},
      {"two weeks is the longest", alarm(display + "TRIGGER:-P14D\r\n"), 7 * kMsecsPerDay},
      {"the earlier of two",
       alarm(display + "TRIGGER:-PT5M\r\n") + alarm(display + "TRIGGER:-PT2H\r\n"),
       2 * kMsecsPerHour},
      {"placeholder beside a real one",
       alarm("ACTION:NONE\r\nTRIGGER;VALUE=DATE-TIME:19760401T005545Z\r\n") +
           alarm(display + "TRIGGER:-PT15M\r\n"),
       15 * kMsecsPerMinute},
      {"placeholder alone", alarm("ACTION:NONE\r\nTRIGGER:-PT15M\r\n"), kNoLead},
      {"absolute long before", alarm(display + "TRIGGER;VALUE=DATE-TIME:19760401T005545Z\r\n"),
       kNoLead},
      {"absolute an hour before", alarm(display + "TRIGGER;VALUE=DATE-TIME:20261208T000000Z\r\n"),
       kMsecsPerHour},
      {"before the end", alarm(display + "TRIGGER;RELATED=END:-PT90M\r\n"), 30 * kMsecsPerMinute},
  };
  std::string body;
  int n = 0;
  for (const auto& c : cases) {
    body += Event("lead" + std::to_string(n++),
                  std::string("DTSTART:20261208T010000Z\r\nDTEND:20261208T020000Z\r\nSUMMARY:") +
                      c.summary + "\r\n" + c.alarms);
  }
  const RemoteExpansion e =
      ExpandRemoteCalendar(Calendar(body), "work", Day(2026, 12, 8), Day(2026, 12, 8));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.summary);
    const RemoteOccurrence* o = Find(e, c.summary);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->leadMs, c.lead);
  }
}

// A done mark must still find its occurrence after the next fetch and after the organiser
// moved that one instance: the key follows the start the rule gave it, however it is spelled.
TEST(RemoteCalendarTest, KeysFollowTheOriginalStart) {
  const std::string series = Event("k1",
                                   "DTSTART;TZID=Europe/Berlin:20261207T100000\r\n"
                                   "RRULE:FREQ=DAILY;COUNT=3\r\nSUMMARY:daily\r\n");
  const std::string moved = Event("k1",
                                  "RECURRENCE-ID:20261208T090000Z\r\n"
                                  "DTSTART;TZID=Europe/Berlin:20261208T170000\r\n"
                                  "SUMMARY:moved\r\n");
  const std::string single = Event("k2", "DTSTART:20261208T010000Z\r\nSUMMARY:single\r\n");
  const auto keys = [](const std::string& ics) {
    std::vector<std::pair<std::string, std::int64_t>> out;
    for (const RemoteOccurrence& o :
         ExpandRemoteCalendar(ics, "work", Day(2026, 12, 1), Day(2026, 12, 31)).occurrences) {
      out.emplace_back(o.key, o.startMs);
    }
    return out;
  };
  const auto before = keys(Calendar(series + single, kBerlin));
  const auto after = keys(Calendar(single + moved + series, kBerlin));
  ASSERT_EQ(before.size(), 4u);
  ASSERT_EQ(after.size(), 4u);
  std::vector<std::string> keysBefore, keysAfter;
  for (const auto& [key, start] : before) keysBefore.push_back(key);
  for (const auto& [key, start] : after) keysAfter.push_back(key);
  std::sort(keysBefore.begin(), keysBefore.end());
  std::sort(keysAfter.begin(), keysAfter.end());
  EXPECT_EQ(keysBefore, keysAfter);
  EXPECT_NE(std::find(keysBefore.begin(), keysBefore.end(), "k1/20261208T090000Z"),
            keysBefore.end());
  EXPECT_NE(std::find(keysBefore.begin(), keysBefore.end(), "k2"), keysBefore.end());
  EXPECT_NE(before, after);  // the moved one starts later: the same key, another start
}

TEST(RemoteCalendarTest, AllDaySpansTouchTheWindowFromBefore) {
  const std::string ics =
      Calendar(Event("s1",
                     "DTSTART;VALUE=DATE:20261228\r\nDTEND;VALUE=DATE:20270104\r\n"
                     "SUMMARY:冬休み\r\n") +
               Event("s2", "DTSTART;VALUE=DATE:20270102\r\nDURATION:P2D\r\nSUMMARY:two\r\n"));
  const RemoteExpansion e = ExpandRemoteCalendar(ics, "work", Day(2027, 1, 3), Day(2027, 1, 10));
  ASSERT_EQ(e.occurrences.size(), 2u);
  EXPECT_EQ(e.occurrences[0].summary, "冬休み");
  EXPECT_EQ(e.occurrences[0].days, 7);
  EXPECT_EQ(e.occurrences[0].FirstDay(), Day(2026, 12, 28));
  EXPECT_EQ(e.occurrences[1].days, 2);
  EXPECT_TRUE(
      ExpandRemoteCalendar(ics, "work", Day(2027, 1, 4), Day(2027, 1, 10)).occurrences.size() == 0);
}

TEST(RemoteCalendarTest, SaysWhatItCannotRead) {
  test::TempDir dir;
  EXPECT_EQ(
      ReadRemoteCalendar(dir.File("missing.ics"), "w", Day(2026, 1, 1), Day(2026, 1, 2)).error,
      "not fetched yet");
  EXPECT_EQ(ReadRemoteCalendar(dir.Path(), "w", Day(2026, 1, 1), Day(2026, 1, 2)).error,
            "not a regular file");
  EXPECT_EQ(ExpandRemoteCalendar("<html>", "w", Day(2026, 1, 1), Day(2026, 1, 2)).error,
            "not iCalendar data");
  const RemoteExpansion unknown = ExpandRemoteCalendar(
      Calendar(Event("u1", "DTSTART;TZID=Mars/Olympus:20260101T100000\r\nSUMMARY:x\r\n") +
               Event("u2", "DTSTART:20260101T100000Z\r\nSUMMARY:kept\r\n")),
      "w", Day(2026, 1, 1), Day(2026, 1, 2));
  ASSERT_EQ(unknown.problems.size(), 1u);
  EXPECT_EQ(unknown.problems[0], "u1: an unknown time zone (TZID=Mars/Olympus)");
  ASSERT_EQ(unknown.occurrences.size(), 1u);
  EXPECT_EQ(unknown.occurrences[0].summary, "kept");
}

// A minutely rule over a year would be half a million occurrences: the window is cut at the
// cap and says so, and it does not take the time to walk them all.
TEST(RemoteCalendarTest, CutsAWindowOverTheCap) {
  // Rules more often than hourly are refused outright; twelve hourly ones fill a year past the cap.
  std::string body;
  for (int i = 0; i < 12; ++i) {
    body += Event("many" + std::to_string(i),
                  "DTSTART:20260101T000000Z\r\nRRULE:FREQ=HOURLY\r\nSUMMARY:m\r\n");
  }
  const std::string ics = Calendar(body);
  const RemoteExpansion e = ExpandRemoteCalendar(ics, "w", Day(2026, 1, 1), Day(2026, 12, 31));
  EXPECT_TRUE(e.cut);
  EXPECT_LE(e.occurrences.size(), kRemoteOccurrenceCap);
  EXPECT_FALSE(e.occurrences.empty());
}

TEST(RemoteCalendarTest, ReadsALargeFileUpToItsLimit) {
  std::string body;
  for (int i = 0; i < 100; ++i) {
    body += Event("big" + std::to_string(i), "DTSTART:20260101T000000Z\r\nSUMMARY:big\r\n");
  }
  const std::string ics = Calendar(body);
  const auto count = [&](std::size_t limit) {
    const RemoteExpansion e =
        ExpandRemoteCalendar(ics, "w", Day(2026, 1, 1), Day(2026, 1, 1), limit);
    EXPECT_EQ(e.error, "");
    EXPECT_EQ(e.cut, limit < ics.size());
    return e.occurrences.size();
  };
  EXPECT_EQ(count(ics.size()), 100u);
  const std::size_t half = count(ics.size() / 2);
  EXPECT_GT(half, 40u);
  EXPECT_LT(half, 60u);
  // Not one whole event within the limit: nothing that can be read.
  const RemoteExpansion none = ExpandRemoteCalendar(ics, "w", Day(2026, 1, 1), Day(2026, 1, 1), 10);
  EXPECT_TRUE(none.cut);
  EXPECT_TRUE(none.occurrences.empty());
}

}  // namespace
}  // namespace vespin::ical
