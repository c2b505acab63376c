#include "IcalExport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libical/ical.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "EngineOccurrences.h"
#include "IcalImport.h"
#include "IcalTestSupport.h"
#include "Libical.h"
#include "TempDir.h"
#include "calendar/Hizuke.h"
#include "events/EventRows.h"
#include "text/Sjis.h"

namespace vespin::ical {
namespace {

using test::EventsBySummary;
using test::EveryRule;
using test::Props;
using test::StoreOf;

constexpr const char* kTokyo = "Asia/Tokyo";

TDateTime D(int y, int m, int d) {
  return EncodeDate(y, m, d);
}

ExportOptions Options(TDateTime from, std::string zone = kTokyo) {
  ExportOptions opt;
  opt.from = from;
  opt.until = YearsOn(from, 2);
  opt.zone = std::move(zone);
  opt.stampUtc = 1'700'000'000;
  return opt;
}

// Each row's starts (in milliseconds) as the engine finds them day by day, by its text.
std::map<std::string, std::vector<std::int64_t>> EngineStarts(const EventStore& store,
                                                              TDateTime from, TDateTime until,
                                                              HolidayLaw law) {
  std::map<std::string, std::vector<std::int64_t>> starts;
  for (const DayEvent& e : vespin::test::EngineOccurrences(store, from, until, law)) {
    starts[e.text].push_back(ToMsecs(e.occurrence));
  }
  return starts;
}

// Weekly rows from (code, time, text, alarm) quadruples.
EventStore Weekly(const std::vector<std::vector<std::string>>& rows) {
  EventStore store;
  for (const auto& r : rows) {
    store.week.InsertRow(store.week.DataRowCount() + 1, WeekRow(r[0], r[1], sjis::Lit(r[2]), r[3]));
  }
  return store;
}

TEST(IcalExportTest, LibicalReadsTheEnginesOwnOccurrencesForEveryRuleAndLead) {
  const EventStore store = StoreOf(EveryRule());
  const struct {
    const char* why;
    TDateTime from;
    const char* zone;
    HolidayLaw law;
  } cases[] = {
      {"an ordinary year", D(2025, 1, 1), kTokyo, HolidayLaw::k2005},
      {"a holiday moves the first business day of the first month", D(2026, 1, 1), kTokyo,
       HolidayLaw::k2005},
      {"from a weekday holiday in the spring holidays", D(2026, 5, 4), kTokyo, HolidayLaw::k2005},
      {"from a leap day", D(2028, 2, 29), kTokyo, HolidayLaw::k2005},
      {"floating times, from the last day of a year", D(2027, 12, 31), "", HolidayLaw::k2005},
      {"the current law: substitute days and the holidays since 2005", D(2025, 1, 1), kTokyo,
       HolidayLaw::kCurrent},
      {"the current law from a substitute holiday", D(2026, 5, 6), kTokyo, HolidayLaw::kCurrent},
  };
  for (const auto& c : cases) {
    ExportOptions opt = Options(c.from, c.zone);
    opt.law = c.law;
    const ExportResult result = ExportEvents(store, opt);
    EXPECT_TRUE(result.never.empty()) << c.why;
    auto expected = EngineStarts(store, opt.from, opt.until, c.law);
    const auto read = ExpandCalendar(result.ics, opt.from, opt.until, kTokyo);
    ASSERT_TRUE(read) << c.why;
    ASSERT_EQ(read->size(), EveryRule().size()) << c.why;
    std::set<std::string> seen;
    for (const EventStarts& e : *read) {
      EXPECT_TRUE(seen.insert(e.summary).second) << c.why << ": " << e.summary << " twice";
      EXPECT_EQ(e.problem, "") << c.why << ": " << e.summary;
      std::vector<std::int64_t> starts;
      for (const TDateTime t : e.starts) starts.push_back(ToMsecs(t));
      EXPECT_EQ(starts, expected[e.summary]) << c.why << ": " << e.summary;
    }
    const bool floating = std::string(c.zone).empty();
    EXPECT_EQ(result.ics.find("TZID") == std::string::npos, floating) << c.why;
    EXPECT_EQ(result.ics.find("BEGIN:VTIMEZONE") == std::string::npos, floating) << c.why;
  }
}

TEST(IcalExportTest, RulesThatNeedNoHolidaysAreAPlainRrule) {
  const ExportResult result = ExportEvents(StoreOf(EveryRule()), Options(D(2025, 1, 1)));
  const auto events = EventsBySummary(result.ics);
  const std::set<std::string> holidayRules = {"w82", "w86", "w87", "m208", "m308"};
  for (const test::Line& line : EveryRule()) {
    const auto& event = events.at(line.text);
    const bool holidays = holidayRules.count(line.text) > 0;
    EXPECT_EQ(Props(event, "X-VESPIN-HOLIDAYS-UNTIL").size(), holidays ? 1u : 0u) << line.text;
    // Each event is its minute: a reader without a length takes one of its own.
    EXPECT_EQ(Props(event, "DURATION"), std::vector<std::string>{"DURATION:PT1M"}) << line.text;
    EXPECT_TRUE(Props(event, "DTEND").empty()) << line.text;
    // Rules that read the same RRULE (the weekly 第１ and the monthly first weekday) say which
    // they are.
    const bool shared = (line.kind == 'w' && line.code[0] == '2') ||
                        (line.kind == 'm' && line.code.starts_with("20") && line.code != "208") ||
                        // 土日 and 土日祝祭日: the holidays listed tell these apart.
                        line.text == "w85" || line.text == "w87";
    EXPECT_EQ(
        Props(event, "X-VESPIN-RULE"),
        shared ? std::vector<std::string>{std::string("X-VESPIN-RULE:") +
                                          (line.kind == 'w' ? "weekly " : "monthly ") + line.code}
               : std::vector<std::string>{})
        << line.text;
    if (holidays) continue;
    EXPECT_EQ(Props(event, "RRULE").size(), 1u) << line.text;
    EXPECT_TRUE(Props(event, "EXDATE").empty()) << line.text;
    EXPECT_TRUE(Props(event, "RDATE").empty()) << line.text;
  }
  // What other programs read: the common spellings.
  const struct {
    const char* text;
    const char* rrule;
    const char* start;
  } forms[] = {
      {"w13", "RRULE:FREQ=WEEKLY;BYDAY=TU", "20250107"},
      {"w22", "RRULE:FREQ=MONTHLY;BYDAY=1MO", "20250106"},
      {"w62", "RRULE:FREQ=MONTHLY;BYDAY=1MO,3MO", "20250106"},
      {"w74", "RRULE:FREQ=MONTHLY;BYDAY=2WE,4WE", "20250108"},
      {"w81", "RRULE:FREQ=DAILY", "20250101"},
      {"w83", "RRULE:FREQ=WEEKLY;BYDAY=MO,WE,FR", "20250101"},
      {"w84", "RRULE:FREQ=WEEKLY;BYDAY=TU,TH,SA", "20250102"},
      {"w85", "RRULE:FREQ=WEEKLY;BYDAY=SA,SU", "20250104"},
      // The weekdays without holidays, and the weekend with them: the RRULE holds the days.
      {"w82", "RRULE:FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR", "20250102"},
      {"w87", "RRULE:FREQ=WEEKLY;BYDAY=SA,SU", "20250104"},
      {"m131", "RRULE:FREQ=MONTHLY;BYMONTHDAY=31", "20250131"},
      // BYSETPOS=1 would read as every Monday where BYSETPOS is not known.
      {"m202", "RRULE:FREQ=MONTHLY;BYDAY=1MO", "20250106"},
      {"m306", "RRULE:FREQ=MONTHLY;BYDAY=-1FR", "20250131"},
      {"m400", "RRULE:FREQ=MONTHLY;BYMONTHDAY=-1", "20250131"},
      {"y0229", "RRULE:FREQ=YEARLY;BYMONTHDAY=29;BYMONTH=2", "20280229"},
      {"y1224*", "RRULE:FREQ=YEARLY;COUNT=1;BYMONTHDAY=24;BYMONTH=12", "20251224"},
      // The first business day: 1 January is a holiday, so the rule starts in February and
      // the second of January is added.
      {"m208", "RRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=1", "20250203"},
  };
  for (const auto& f : forms) {
    const auto& event = events.at(f.text);
    EXPECT_EQ(Props(event, "RRULE"), std::vector<std::string>{f.rrule}) << f.text;
    ASSERT_EQ(Props(event, "DTSTART").size(), 1u);
    EXPECT_NE(Props(event, "DTSTART")[0].find(std::string(":") + f.start + "T"), std::string::npos)
        << f.text << " " << Props(event, "DTSTART")[0];
  }
  EXPECT_TRUE(Props(events.at("w86"), "RRULE").empty());
  EXPECT_NE(Props(events.at("m208"), "RDATE")[0].find(":20250102T"), std::string::npos);
}

TEST(IcalExportTest, EachLeadBecomesAnAlarmBeforeTheStartAndStartUpOnlyADescription) {
  const struct {
    const char* code;
    const char* trigger;  // empty: no alarm
  } leads[] = {
      {"01", ""},
      {"02", "-PT1M"},
      {"03", "-PT3M"},
      {"04", "-PT5M"},
      {"05", "-PT10M"},
      {"06", "-PT15M"},
      {"07", "-PT30M"},
      {"08", "-PT1H"},
      {"09", "-PT2H"},
      {"10", "-PT3H"},
      {"11", "-PT6H"},
      {"12", "-PT12H"},
      {"13", "-P1D"},
      {"14", "-P3D"},
      {"15", "-P1W"},
      // A code the table lacks has no lead: the engine's notice comes on the minute.
      {"99", "PT0S"},
  };
  std::vector<std::vector<std::string>> rows;
  for (const auto& l : leads) rows.push_back({"81", "10:00", std::string("lead") + l.code, l.code});
  const auto events = EventsBySummary(ExportEvents(Weekly(rows), Options(D(2025, 1, 1))).ics);
  for (const auto& l : leads) {
    const auto& event = events.at(std::string("lead") + l.code);
    const auto triggers = Props(event, "TRIGGER");
    const auto description = Props(event, "DESCRIPTION");
    if (*l.trigger == 0) {
      EXPECT_TRUE(triggers.empty()) << l.code;
      EXPECT_EQ(Props(event, "BEGIN").size(), 0u) << l.code;
      ASSERT_EQ(description.size(), 1u);
      EXPECT_NE(description[0].find("起動時"), std::string::npos) << description[0];
      continue;
    }
    EXPECT_EQ(triggers, std::vector<std::string>{std::string("TRIGGER:") + l.trigger}) << l.code;
    EXPECT_EQ(Props(event, "ACTION"), std::vector<std::string>{"ACTION:DISPLAY"}) << l.code;
  }
}

TEST(IcalExportTest, UidsFollowTheRowsContentNotItsPlaceOrAlarm) {
  const std::vector<std::string> base = {"13", "10:00", "会議", "04"};
  const auto uidOf = [](const std::vector<std::vector<std::string>>& rows, const char* text,
                        TDateTime from = D(2025, 1, 1)) {
    const auto events = EventsBySummary(ExportEvents(Weekly(rows), Options(from)).ics);
    std::vector<std::string> uids;
    for (const auto& [summary, lines] : events) {
      if (summary == text) uids = Props(lines, "UID");
    }
    return uids.empty() ? std::string() : uids[0];
  };
  const std::string uid = uidOf({base}, "会議");
  ASSERT_FALSE(uid.empty());
  const struct {
    const char* change;
    std::vector<std::vector<std::string>> rows;
    bool same;
  } cases[] = {
      {"another row before it", {{"81", "07:00", "薬", "01"}, base}, true},
      {"another alarm", {{"13", "10:00", "会議", "08"}}, true},
      {"another time", {{"13", "11:00", "会議", "04"}}, false},
      {"another rule", {{"23", "10:00", "会議", "04"}}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(uidOf(c.rows, "会議") == uid, c.same) << c.change;
  EXPECT_EQ(uidOf({base}, "会議", D(2026, 7, 1)), uid) << "a later export";
  // Identical rows are two events all the same.
  const std::string twice = ExportEvents(Weekly({base, base}), Options(D(2025, 1, 1))).ics;
  std::set<std::string> uids;
  for (std::size_t at = twice.find("UID:"); at != std::string::npos;
       at = twice.find("UID:", at + 1)) {
    uids.insert(twice.substr(at, twice.find("\r\n", at) - at));
  }
  EXPECT_EQ(uids.size(), 2u);
}

TEST(IcalExportTest, RowsThatNeverOccurAreLeftOutAndNamed) {
  EventStore store = Weekly({{"18", "10:00", "weekday eight", "04"},
                             {"13", "25:00", "bad time", "04"},
                             {"13", "10:00", "kept", "04"}});
  store.year.InsertRow(1, YearRow("0230", "10:00", "no such day", "04", "FALSE"));
  const ExportResult result = ExportEvents(store, Options(D(2025, 1, 1)));
  std::vector<std::string> never;
  for (const LeftOut& row : result.never) never.push_back(row.text);
  EXPECT_EQ(never, (std::vector<std::string>{"no such day", "weekday eight", "bad time"}));
  EXPECT_EQ(EventsBySummary(result.ics).size(), 1u);
}

TEST(IcalExportTest, OutputIsFoldedCrLfTextWithTheRequiredProperties) {
  // Sixteen two-byte characters: 32 bytes in Shift_JIS, 48 in UTF-8.
  const ExportResult result = ExportEvents(
      Weekly({{"81", "10:00", "あいうえおかきくけこさしすせそた", "01"}}), Options(D(2025, 1, 1)));
  const std::string& ics = result.ics;
  ASSERT_TRUE(ics.starts_with("BEGIN:VCALENDAR\r\n"));
  EXPECT_TRUE(ics.ends_with("END:VCALENDAR\r\n"));
  std::size_t pos = 0;
  while (pos < ics.size()) {
    const std::size_t end = ics.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - pos, 75u) << ics.substr(pos, end - pos);
    EXPECT_EQ(ics.substr(pos, end - pos).find('\n'), std::string::npos);
    pos = end + 2;
  }
  for (const char* required :
       {"\r\nVERSION:2.0\r\n", "\r\nPRODID:", "\r\nDTSTAMP:20231114T221320Z\r\n", "\r\nUID:"}) {
    EXPECT_NE(ics.find(required), std::string::npos) << required;
  }
  EXPECT_EQ(EventsBySummary(ics).count("あいうえおかきくけこさしすせそた"), 1u);
}

TEST(IcalExportTest, HolidaysAreNamedAllDayEventsThatKeepTheDayFree) {
  const struct {
    HolidayLaw law;
    std::vector<std::string> named;  // "YYYYMMDD name" that must be there
  } cases[] = {
      {HolidayLaw::k2005,
       {"20250101 元日", "20250429 みどりの日", "20250504 国民の休日", "20251013 体育の日",
        "20251223 天皇誕生日"}},
      {HolidayLaw::kCurrent,
       {"20250101 元日", "20250224 振替休日", "20250429 昭和の日", "20250811 山の日",
        "20251013 スポーツの日"}},
  };
  for (const auto& c : cases) {
    ExportOptions opt = Options(D(2025, 1, 1));
    opt.until = D(2025, 12, 31);
    opt.law = c.law;
    const std::string ics = ExportHolidays(opt);
    std::vector<std::string> starts;
    for (std::size_t at = ics.find("DTSTART;VALUE=DATE:"); at != std::string::npos;
         at = ics.find("DTSTART;VALUE=DATE:", at + 1)) {
      starts.push_back(ics.substr(at + 19, 8));
    }
    std::vector<std::string> holidays;
    for (TDateTime t = opt.from; t <= opt.until; t += 1) {
      if (!IsHoliday(DayOf(t), c.law)) continue;
      const DateParts p = DecodeDate(t);
      char buf[16];
      std::snprintf(buf, sizeof buf, "%04d%02d%02d", p.year, p.month, p.day);
      holidays.push_back(buf);
    }
    EXPECT_EQ(starts, holidays);
    const auto events = EventsBySummary(ics);
    for (const std::string& named : c.named) {
      const std::string date = named.substr(0, 8);
      const std::string name = named.substr(9);
      ASSERT_EQ(events.count(name), 1u) << name;
      // The last holiday of that name carries it; a name given once is the date's own.
      const auto& lines = events.at(name);
      if (name != "振替休日") {
        EXPECT_EQ(Props(lines, "DTSTART"), std::vector<std::string>{"DTSTART;VALUE=DATE:" + date});
        EXPECT_EQ(Props(lines, "UID"), std::vector<std::string>{"UID:holiday-" + date + "@vespin"});
      }
      EXPECT_EQ(Props(lines, "TRANSP"), std::vector<std::string>{"TRANSP:TRANSPARENT"});
    }
  }
  ExportOptions opt = Options(D(2025, 1, 1));
  opt.until = D(2025, 1, 31);
  EXPECT_NE(ExportHolidays(opt).find("DTEND;VALUE=DATE:20250102\r\n"), std::string::npos);
}

// The offset a zone gives a moment (seconds east of UTC).
int OffsetAt(icaltimezone* zone, TDateTime utc) {
  icaltimetype t = WallTime(utc);
  int daylight = 0;
  return icaltimezone_get_utc_offset_of_utc_time(zone, &t, &daylight);
}

TEST(IcalExportTest, TheZoneHoldsOnlyTheRulesInForceFromTheFirstDate) {
  const struct {
    const char* zone;
    TDateTime from;
  } cases[] = {
      // Summer time of 1948 to 1951 only: a reader that makes one yearly rule of the zone's
      // first summer time would put most events an hour early.
      {"Asia/Tokyo", D(2025, 1, 1)},
      {"Europe/London", D(2025, 1, 1)},
      {"America/New_York", D(2026, 7, 1)},
      {"Australia/Sydney", D(2025, 6, 30)},
  };
  for (const auto& c : cases) {
    const ExportOptions opt = Options(c.from, c.zone);
    const std::string ics = ExportEvents(Weekly({{"81", "10:00", "daily", "04"}}), opt).ics;
    icalcomponent* cal = icalparser_parse_string(ics.c_str());
    ASSERT_NE(cal, nullptr);
    icalcomponent* vtimezone = icalcomponent_get_first_component(cal, ICAL_VTIMEZONE_COMPONENT);
    ASSERT_NE(vtimezone, nullptr) << c.zone;
    // Every part of the zone still applies on the first day: it begins then or later, or its
    // rule runs on past it.
    int parts = 0, daylight = 0;
    for (icalcomponent* part = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT);
         part; part = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
      ++parts;
      if (icalcomponent_isa(part) == ICAL_XDAYLIGHT_COMPONENT) ++daylight;
      const TDateTime onset = DateOf(ToDateTime(icalcomponent_get_dtstart(part)));
      icalproperty* rrule = icalcomponent_get_first_property(part, ICAL_RRULE_PROPERTY);
      const icalrecurrencetype rule = rrule ? icalproperty_get_rrule(rrule) : icalrecurrencetype{};
      const bool runsOn =
          rrule && (icaltime_is_null_time(rule.until) || DateOf(ToDateTime(rule.until)) >= c.from);
      EXPECT_TRUE(onset >= c.from - 1 || runsOn)
          << c.zone << ": a part from " << icaltime_as_ical_string(icalcomponent_get_dtstart(part));
    }
    EXPECT_EQ(daylight == 0, std::string(c.zone) == "Asia/Tokyo") << c.zone;
    // And it gives every moment of the exported years the offset of libical's own zone data.
    icaltimezone* written = icaltimezone_new();
    ASSERT_TRUE(icaltimezone_set_component(written, icalcomponent_new_clone(vtimezone)));
    icaltimezone* known = icaltimezone_get_builtin_timezone(c.zone);
    int differ = 0;
    for (TDateTime t = opt.from - 1; t <= opt.until + 1; t += 0.25) {
      differ += OffsetAt(written, t) != OffsetAt(known, t);
    }
    EXPECT_EQ(differ, 0) << c.zone << " (" << parts << " parts)";
    icaltimezone_free(written, 1);
    icalcomponent_free(cal);
  }
}

// A program found on PATH, or empty.
std::string OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string file = dir + "/" + name;
    if (!dir.empty() && ::access(file.c_str(), X_OK) == 0) return file;
  }
  return {};
}

// Runs a program in the zone of the export with its output into `out`; its exit status, or -1.
int RunProgram(const std::vector<std::string>& args, const std::filesystem::path& out) {
  const pid_t pid = fork();
  if (pid == 0) {
    ::setenv("TZ", kTokyo, 1);
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_RDWR);
    if (fd < 0 || null < 0 || dup2(null, 0) < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) {
      _exit(126);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string Minute(TDateTime t) {
  const DateParts d = DecodeDate(t);
  const TimeParts p = DecodeTime(TimeOf(t));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", d.year, d.month, d.day, p.hour,
                p.minute);
  return buf;
}

// Another program's reading of the export, as a user of it sees it: calcurse keeps no event at
// midnight without a length, and fires a rule with BYSETPOS=1 every week. It knows neither
// BYSETPOS nor RDATE, so the rules that need them are left to libical's reading above.
TEST(IcalExportTest, CalcurseListsTheEnginesOccurrences) {
  const std::string calcurse = OnPath("calcurse");
  if (calcurse.empty()) GTEST_SKIP() << "calcurse is not installed (scripts/setup.sh installs it)";
  const EventStore store = StoreOf(EveryRule());
  const ExportOptions opt = Options(D(2025, 1, 1));
  const std::string ics = ExportEvents(store, opt).ics;
  const auto events = EventsBySummary(ics);
  const std::set<std::string> unread = {"w86", "w87", "m208", "m308"};
  for (const auto& [text, lines] : events) {
    bool needs = !Props(lines, "RDATE").empty();
    for (const std::string& rrule : Props(lines, "RRULE")) {
      needs = needs || rrule.find("BYSETPOS") != std::string::npos;
    }
    EXPECT_EQ(needs, unread.count(text) > 0) << text;
  }

  vespin::test::TempDir dir;
  const auto file = dir.Write("all.ics", ics);
  const std::string data = (dir.Path() / "data").string();
  std::filesystem::create_directory(data);
  EXPECT_EQ(RunProgram({calcurse, "-D", data, "-i", file.string()}, dir.File("import")), 0);
  const std::string report = dir.Read("import");
  EXPECT_NE(report.find(std::to_string(events.size()) + " apps / 0 events / 0 todos / 0 skipped"),
            std::string::npos)
      << report;
  if (const auto log = report.find("/tmp/calcurse_log."); log != std::string::npos) {
    std::filesystem::remove(report.substr(log, report.find(' ', log) - log));
  }
  const char* format = "%(start:%Y-%m-%d %H:%M) %m\\n";
  ASSERT_EQ(RunProgram({calcurse, "-D", data, "-Q", "--from", "01/01/2025", "--days",
                        std::to_string(static_cast<int>(opt.until - opt.from) + 1), "--format-apt",
                        format, "--format-recur-apt", format},
                       dir.File("listed")),
            0);
  std::map<std::string, std::vector<std::string>> listed;
  std::stringstream lines(dir.Read("listed"));
  for (std::string line; std::getline(lines, line);) {
    if (line.size() > 17 && line[4] == '-' && line[16] == ' ') {
      listed[line.substr(17)].push_back(line.substr(0, 16));
    }
  }
  std::map<std::string, std::vector<std::string>> expected;
  for (const DayEvent& e : vespin::test::EngineOccurrences(store, opt.from, opt.until, opt.law)) {
    expected[e.text].push_back(Minute(e.occurrence));
  }
  for (const test::Line& line : EveryRule()) {
    if (unread.count(line.text)) continue;
    EXPECT_EQ(listed[line.text], expected[line.text]) << line.text;
  }
}

}  // namespace
}  // namespace vespin::ical
