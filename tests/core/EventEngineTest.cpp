#include "events/EventEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "FakeEngineHost.h"
#include "RandomEventFile.h"
#include "TempDir.h"
#include "calendar/Hizuke.h"
#include "events/EventFile.h"
#include "events/EventRows.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

using Strings = std::vector<std::string>;

TDateTime D(int y, int m, int d) {
  return EncodeDate(y, m, d);
}

TDateTime At(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

// Tables from event lines (UTF-8) as the file holds them, a section header before each kind.
void Fill(EventStore& store, std::initializer_list<const char*> week,
          std::initializer_list<const char*> month, std::initializer_list<const char*> year) {
  std::string file = sjis::Lit("[週間]") + "\r\n";
  for (const char* l : week) file += sjis::Lit(l) + "\r\n";
  file += sjis::Lit("[月間]") + "\r\n";
  for (const char* l : month) file += sjis::Lit(l) + "\r\n";
  file += sjis::Lit("[年間]") + "\r\n";
  for (const char* l : year) file += sjis::Lit(l) + "\r\n";
  Settings settings;
  ParseEventFile(file, store, settings);
}

// The whole day of a moment, as done marks count days.
sys_days FloorDays(TDateTime t) {
  return DayAtMsecs(ToMsecs(t));
}

// "MM-DD HH:MM" of a moment.
std::string Minute(TDateTime t) {
  const TDateTime day = static_cast<TDateTime>(ToMsecs(t) / kMsecsPerDay);
  const DateParts d = DecodeDate(day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d-%02d ", d.month, d.day);
  return buf + TimeText(t - day);
}

// One running program: tables, state, a host that records, and the engine over them.
struct Program {
  EventStore store;
  AppState state;
  test::FakeEngineHost host;
  EventEngine engine{store, state, host};
  std::string passMinute;

  Program() {
    host.onNotice = [this](const std::string&) { host.log.back().insert(0, passMinute + " "); };
  }

  // Runs the clock's passes from `from` to `to`; returns the notices as "MM-DD HH:MM text".
  Strings Run(TDateTime from, TDateTime to) {
    const std::size_t before = host.log.size();
    ForEachAlarmPass(from, to, [&](TDateTime now) {
      passMinute = Minute(now);
      engine.AlarmPass(now);
    });
    Strings out;
    for (std::size_t i = before; i < host.log.size(); ++i) {
      if (host.log[i][0] != '<') out.push_back(host.log[i]);
    }
    return out;
  }

  int Mask(TDateTime date) { return engine.EventCheck(CheckMode::kDayMask, date, 0); }

  // The window's clock over the fake clock: a pass at the clock's time, after which the clock
  // goes on to 10 ms past the next full minute, as the timer lands. Runs while the clock is not
  // later than `until`; returns the notices as Run does.
  Strings TickUntil(TDateTime until) {
    const std::size_t before = host.log.size();
    while (ToMsecs(clock.Now()) <= ToMsecs(until)) {
      passMinute = Minute(clock.Now());
      engine.AlarmPass(clock.Now());
      const std::int64_t now = ToMsecs(clock.Now());
      clock.Set(FromMsecs((now / kMsecsPerMinute + 1) * kMsecsPerMinute + 10));
    }
    Strings out;
    for (std::size_t i = before; i < host.log.size(); ++i) out.push_back(host.log[i]);
    return out;
  }

  test::FakeClock clock;
};

// --- Occurrence rules ------------------------------------------------------------------------

struct RuleCase {
  EventKind kind;
  const char* code;
  TDateTime date;
  bool falls;
};

// Every valid code is checked against the searches day by day below; these are the cases worth
// reading, and the codes only a hand edit leaves behind.
TEST(EventEngineTest, OccurrenceRules) {
  using K = EventKind;
  const RuleCase cases[] = {
      {K::kYearly, "0229", D(2008, 2, 29), true},
      {K::kYearly, "0229", D(2005, 3, 1), false},
      {K::kYearly, "0230", D(2008, 3, 1), false},
      {K::kYearly, "04189", D(2005, 4, 18), true},  // the rest of a long code is not read
      {K::kMonthly, "131", D(2005, 4, 30), false},
      {K::kMonthly, "131", D(2005, 5, 1), false},
      {K::kMonthly, "203", D(2005, 5, 3), true},   // a holiday makes no difference
      {K::kMonthly, "208", D(2005, 10, 3), true},  // Saturday 1st, Sunday 2nd
      {K::kMonthly, "208", D(2006, 1, 3), true},   // 1st a holiday, 2nd its substitute
      {K::kMonthly, "208", D(2006, 1, 2), false},
      {K::kMonthly, "308", D(2005, 7, 29), true},  // the 31st is a Sunday: Friday before
      {K::kMonthly, "308", D(2005, 4, 28), true},  // Friday the 29th is a holiday
      {K::kMonthly, "308", D(2005, 4, 29), false},
      {K::kMonthly, "999", D(2005, 4, 30), true},  // read as the last day, like 400
      {K::kWeekly, "53", D(2005, 3, 29), false},   // a fifth Tuesday matches no week type
      {K::kWeekly, "62", D(2005, 4, 18), true},
      {K::kWeekly, "62", D(2005, 4, 25), false},
      {K::kWeekly, "18", D(2005, 4, 18), false},  // weekday 8 in a weekly row: never
      {K::kWeekly, "82", D(2005, 4, 29), false},  // a holiday Friday
      {K::kWeekly, "83", D(2005, 4, 29), true},
      {K::kWeekly, "85", D(2005, 5, 3), false},
      {K::kWeekly, "86", D(2005, 5, 1), false},  // a Sunday, no holiday
      {K::kWeekly, "87", D(2005, 5, 3), true},
      {K::kWeekly, "88", D(2005, 5, 6), true},  // any other day pattern: every day
      {K::kWeekly, "8", D(2005, 5, 6), true},
      // No rule, or too short for its form: never, and nothing is read past the end.
      {K::kWeekly, "", D(2005, 4, 19), false},
      {K::kWeekly, "1", D(2005, 4, 19), false},
      {K::kWeekly, "03", D(2005, 4, 19), false},
      {K::kWeekly, "93", D(2005, 4, 19), false},
      {K::kWeekly, "1x", D(2005, 4, 19), false},
      {K::kMonthly, "", D(2005, 4, 30), false},
      {K::kMonthly, "4", D(2005, 4, 30), false},
      {K::kMonthly, "13", D(2005, 4, 13), false},
      {K::kMonthly, "1x5", D(2005, 4, 15), false},
      {K::kMonthly, "209", D(2005, 4, 5), false},
      {K::kMonthly, "218", D(2005, 4, 3), false},
      {K::kYearly, "041", D(2005, 4, 1), false},
      {K::kYearly, "ab18", D(2005, 4, 18), false},
  };
  for (const RuleCase& c : cases) {
    Program p;
    const std::string code = c.code;
    switch (c.kind) {
      case EventKind::kYearly:
        p.store.year.InsertRow(1, YearRow(code, "10:00", "e", "04", "FALSE"));
        break;
      case EventKind::kMonthly:
        p.store.month.InsertRow(1, MonthRow(code, "10:00", "e", "04"));
        break;
      case EventKind::kWeekly:
        p.store.week.InsertRow(1, WeekRow(code, "10:00", "e", "04"));
        break;
    }
    const int bit = c.kind == EventKind::kYearly    ? kMaskYearly
                    : c.kind == EventKind::kMonthly ? kMaskMonthly
                                                    : kMaskWeekly;
    const DateParts d = DecodeDate(c.date);
    const std::string what = std::string(KindName(c.kind)) + " " + code + " on " +
                             std::to_string(d.year) + "-" + std::to_string(d.month) + "-" +
                             std::to_string(d.day);
    EXPECT_EQ(p.Mask(c.date), c.falls ? bit : 0) << what;
    EXPECT_EQ(p.engine.EventsOn(c.date).size(), c.falls ? 1u : 0u) << what;
  }
}

// The searches as the event model defines them: the first date on or after D on which the
// rule holds, stepping a day at a time where no search exists. The engine tests D directly;
// both must agree on every day.
std::optional<sys_days> SearchFrom(EventKind kind, const std::string& code, sys_days d,
                                   HolidayLaw law) {
  using Days = std::chrono::days;
  const auto digit = [&](std::size_t i) { return code[i] - '0'; };
  if (kind == EventKind::kYearly) {
    return NextDateOfYear(digit(0) * 10 + digit(1), digit(2) * 10 + digit(3), d);
  }
  if (kind == EventKind::kMonthly) {
    if (code[0] == '1') return NextDayOfMonth(digit(1) * 10 + digit(2), d);
    if (code == "208") return NextFirstBusinessDay(d, law);
    if (code == "308") return LastBusinessDayOfMonth(d, law);
    if (code[0] == '2') return NextNthWeekday(1, digit(2), d);
    if (code[0] == '3') {
      auto b = NextNthWeekday(1, digit(2), d);
      if (*b < d + Days{7}) b = NextNthWeekday(1, digit(2), d + Days{7});
      return *b - Days{7};
    }
    return NextFirstOfMonth(d) - Days{1};
  }
  if (code[0] != '8') {
    const int type = digit(0), w = digit(1);
    if (type <= 5) return NextNthWeekday(type - 1, w, d);
    const int first = type == 6 ? 1 : 2;
    return std::min(*NextNthWeekday(first, w, d), *NextNthWeekday(first + 2, w, d));
  }
  for (sys_days x = d;; x += Days{1}) {
    const int wd = DayOfWeek(x);
    const bool weekend = wd == 1 || wd == 7;
    const bool holiday = IsHoliday(x, law);
    const bool ok = code == "82"   ? !weekend && !holiday
                    : code == "83" ? wd == 2 || wd == 4 || wd == 6
                    : code == "84" ? wd == 3 || wd == 5 || wd == 7
                    : code == "85" ? weekend
                    : code == "86" ? holiday
                    : code == "87" ? weekend || holiday
                                   : true;
    if (ok) return x;
  }
}

TEST(EventEngineTest, AgreesWithTheDateSearchesOnEveryDay) {
  const struct {
    EventKind kind;
    std::vector<std::string> codes;
  } groups[] = {
      {EventKind::kYearly, {"0101", "0229", "0331", "1231"}},
      {EventKind::kMonthly,
       {"101", "115", "129", "130", "131", "201", "203", "207", "208", "301", "304", "307", "308",
        "400"}},
      {EventKind::kWeekly,
       {"11", "17", "22", "33", "44", "55", "62", "66", "73", "77", "81", "82", "83", "84", "85",
        "86", "87"}},
  };
  // Under each set of holidays, over years in which it differs from the other.
  const struct {
    HolidayLaw law;
    TDateTime from, to;
  } spans[] = {
      {HolidayLaw::k2005, D(2003, 12, 25), D(2009, 1, 5)},
      {HolidayLaw::kCurrent, D(2018, 12, 25), D(2021, 1, 5)},
  };
  for (const auto& span : spans) {
    for (const auto& g : groups) {
      for (const std::string& code : g.codes) {
        Program p;
        p.host.holidays = span.law;
        if (g.kind == EventKind::kYearly) p.store.year.InsertRow(1, YearRow(code, "", "e", "", ""));
        if (g.kind == EventKind::kMonthly) p.store.month.InsertRow(1, MonthRow(code, "", "e", ""));
        if (g.kind == EventKind::kWeekly) p.store.week.InsertRow(1, WeekRow(code, "", "e", ""));
        int hits = 0;
        for (TDateTime d = span.from; d <= span.to; d += 1) {
          const bool expected = SearchFrom(g.kind, code, DayOf(d), span.law) == DayOf(d);
          hits += expected ? 1 : 0;
          ASSERT_EQ(p.Mask(d) != 0, expected) << KindName(g.kind) << " " << code << " day " << d;
        }
        EXPECT_GT(hits, 0) << code;
      }
    }
  }
}

// The days on which the two sets of holidays part, for every rule that asks about holidays.
TEST(EventEngineTest, BusinessDayAndHolidayRulesFollowTheHostsHolidays) {
  const struct {
    EventKind kind;
    const char* code;
    TDateTime date;
    bool under2005, underCurrent;
  } cases[] = {
      {EventKind::kWeekly, "82", D(2026, 12, 23), false, true},  // no holiday since 2019
      {EventKind::kWeekly, "86", D(2026, 9, 22), false, true},   // between two holidays
      {EventKind::kWeekly, "87", D(2026, 2, 23), false, true},   // the birthday since 2020
      {EventKind::kWeekly, "86", D(2026, 5, 6), false, true},    // a substitute carried on
      {EventKind::kMonthly, "208", D(2019, 5, 1), true, false},  // 2019: 30 April to 6 May off
      {EventKind::kMonthly, "208", D(2019, 5, 7), false, true},
      {EventKind::kMonthly, "308", D(2019, 4, 30), true, false},
      {EventKind::kMonthly, "308", D(2019, 4, 26), false, true},
  };
  for (const auto& c : cases) {
    for (const HolidayLaw law : {HolidayLaw::k2005, HolidayLaw::kCurrent}) {
      Program p;
      p.host.holidays = law;
      if (c.kind == EventKind::kMonthly) p.store.month.InsertRow(1, MonthRow(c.code, "", "e", ""));
      if (c.kind == EventKind::kWeekly) p.store.week.InsertRow(1, WeekRow(c.code, "", "e", ""));
      const bool expected = law == HolidayLaw::kCurrent ? c.underCurrent : c.under2005;
      EXPECT_EQ(p.Mask(c.date) != 0, expected) << c.code << " " << Minute(c.date);
      EXPECT_EQ(p.engine.EventsOn(c.date).size(), expected ? 1u : 0u) << c.code;
    }
  }
}

TEST(EventEngineTest, DayMaskAddsTheKindsAndSkipsRowsWithoutAValidTime) {
  Program p;
  Fill(p.store, {"13,10:00,会議,04", "81,25:00,壊れた時刻,04", "81,9:00,短い時刻,04"},
       {"119,,時刻なし,01"}, {"0419,10:00,記念日,04,FALSE"});
  EXPECT_EQ(p.Mask(D(2005, 4, 19)), 7);
  EXPECT_EQ(p.Mask(D(2005, 4, 12)), 4);
  EXPECT_EQ(p.Mask(D(2005, 5, 19)), 2);  // a Thursday: the every-day rows have bad times
  EXPECT_EQ(p.Mask(D(2006, 4, 19)), 3);
  EXPECT_EQ(p.store.week.DataRowCount(), 3);  // skipped, never dropped

  const auto events = p.engine.EventsOn(D(2005, 4, 19));
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, EventKind::kYearly);
  EXPECT_EQ(events[1].kind, EventKind::kMonthly);
  EXPECT_EQ(events[1].timeText, "00:00");  // an empty time is midnight
  EXPECT_EQ(ToMsecs(events[1].occurrence), ToMsecs(D(2005, 4, 19)));
  EXPECT_EQ(events[2].kind, EventKind::kWeekly);
  EXPECT_EQ(events[2].row, 1);
  EXPECT_EQ(ToMsecs(events[2].occurrence), ToMsecs(At(2005, 4, 19, 10, 0)));
}

// --- Day listing -----------------------------------------------------------------------------

TEST(EventEngineTest, DayListAnnouncesEachEventInWalkOrderAndHoldsTheClock) {
  Program p;
  Fill(p.store, {"13,10:00,会議,04", "82,12:00,昼休み,02"}, {"119,,給料日,01"},
       {"0419,09:00,記念日,04,TRUE"});
  for (bool pausedBefore : {false, true}) {
    p.host.notices.clear();
    p.state.ClockPaused = pausedBefore;
    std::vector<bool> pausedDuring;
    p.host.onNotice = [&](const std::string&) { pausedDuring.push_back(p.state.ClockPaused); };
    EXPECT_EQ(p.engine.EventCheck(CheckMode::kDayList, D(2005, 4, 19), 0), 0);
    EXPECT_EQ(p.host.notices,
              (Strings{"記念日 09:00", "給料日 00:00", "会議 10:00", "昼休み 12:00"}));
    EXPECT_EQ(pausedDuring, std::vector<bool>(4, true));
    EXPECT_EQ(p.state.ClockPaused, pausedBefore);
  }
  // Listing marks nothing, deletes nothing and leaves the coming events alone.
  EXPECT_EQ(p.store.year.DataRowCount(), 1);
  EXPECT_EQ(p.store.week.Cell(WeekCol::kDone, 1), "");
  EXPECT_EQ(p.state.EventLines[0].occurrence, 0);
  EXPECT_FALSE(p.state.StartUpDone);
}

// --- Alarm notices over realistic days -------------------------------------------------------

TEST(EventEngineTest, NoticesOfADay) {
  // Tuesday 19 April 2005; the lines are weekly events.
  const struct {
    const char* line;
    bool startUp, onTime;
    TDateTime from, to;
    Strings notices;
  } cases[] = {
      // clang-format off
      // Running since before the lead opens: the advance notice, then the on-time one.
      {"13,10:00,会議,04", false, true, At(2005, 4, 19, 9, 50, 30), At(2005, 4, 19, 10, 5),
       {"04-19 09:55 あと5分で「会議」です。", "04-19 10:00 「会議」の時間です。"}},
      {"13,10:00,会議,04", false, false, At(2005, 4, 19, 9, 50, 30), At(2005, 4, 19, 10, 5),
       {"04-19 09:55 あと5分で「会議」です。"}},
      // Started after the event: overdue at once, and marked, so nothing follows.
      {"13,10:00,会議,04", false, true, At(2005, 4, 19, 10, 30, 5), At(2005, 4, 19, 12, 0),
       {"04-19 10:30 「会議」の時間を過ぎています。"}},
      // 起動時: announced at start-up even without start-up notices; then on time.
      {"13,10:00,会議,01", false, true, At(2005, 4, 19, 8, 0, 0, 100), At(2005, 4, 19, 10, 30),
       {"04-19 08:00 今日は「会議」です。", "04-19 10:00 「会議」の時間です。"}},
      {"13,10:00,会議,01", true, true, At(2005, 4, 19, 8, 0, 0, 100), At(2005, 4, 19, 10, 30),
       {"04-19 08:00 今日は「会議」です。", "04-19 10:00 「会議」の時間です。"}},
      // Start-up notices of other leads do not mark: the advance notice still comes.
      {"13,10:00,会議,08", true, true, At(2005, 4, 19, 8, 0, 0, 100), At(2005, 4, 19, 10, 30),
       {"04-19 08:00 今日は「会議」です。", "04-19 09:00 あと1時間で「会議」です。",
        "04-19 10:00 「会議」の時間です。"}},
      {"13,10:00,会議,08", false, true, At(2005, 4, 19, 8, 0, 0, 100), At(2005, 4, 19, 10, 30),
       {"04-19 09:00 あと1時間で「会議」です。", "04-19 10:00 「会議」の時間です。"}},
      // The lead already open at start-up: the advance notice, not the start-up one.
      {"13,10:00,会議,09", true, true, At(2005, 4, 19, 8, 30), At(2005, 4, 19, 9, 0),
       {"04-19 08:30 あと1時間30分で「会議」です。"}},
      // 起動時 on a later day of the run: no mark, so at its minute it is overdue.
      {"14,10:00,会議,01", true, true, At(2005, 4, 19, 8, 0), At(2005, 4, 20, 10, 30),
       {"04-20 10:00 「会議」の時間を過ぎています。"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    Program p;
    p.host.onTime = c.onTime;
    p.host.startUp = c.startUp;
    Fill(p.store, {c.line}, {}, {});
    EXPECT_EQ(p.Run(c.from, c.to), c.notices) << c.line << " start-up " << c.startUp;
    // The mark belongs to the day of the occurrence it was set for.
    const auto mark = ReadDoneMark(p.store.week.Cell(WeekCol::kDone, 1));
    EXPECT_EQ(mark.has_value(), !c.notices.empty()) << c.line;
    if (mark) {
      EXPECT_EQ(mark->day, FloorDays(c.to)) << c.line;
    }
    EXPECT_TRUE(p.state.StartUpDone);
  }
}

TEST(EventEngineTest, LongLeadOpensAtTheFirstPassOfTheEventsDay) {
  Program p;
  Fill(p.store, {}, {}, {"0418,10:00,母の誕生日,13,FALSE"});
  EXPECT_EQ(p.Run(At(2005, 4, 17, 23, 58), At(2005, 4, 18, 0, 3)),
            (Strings{"04-18 00:00 あと10時間で「母の誕生日」です。"}));
}

TEST(EventEngineTest, AdvanceNoticeTexts) {
  const std::int64_t kSec = 1000, kMin = 60 * kSec, kHour = 60 * kMin;
  const struct {
    std::int64_t until;  // from the pass to the event
    const char* text;
  } cases[] = {
      {5 * kMin, "あと5分で「e」です。"},
      {5 * kMin - 10, "あと5分で「e」です。"},  // the tick lands 10 ms after the minute
      {4 * kMin + 58 * kSec, "あと4分で「e」です。"},
      {2 * kHour + 30 * kMin - 10, "あと2時間30分で「e」です。"},
      {7 * kHour + 30 * kMin - 10, "あと7時間で「e」です。"},
      {5 * kHour + 59 * kMin - 10, "あと5時間59分で「e」です。"},
      {kHour - 10, "あと1時間で「e」です。"},
      {kMin - 10, "あと1分で「e」です。"},
      {45 * kSec, "まもなく「e」です。"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sjis::ToUtf8(AdvanceNotice("e", c.until)), c.text) << c.until;
  }
}

TEST(EventEngineTest, RemainderIsCountedOnWholeMilliseconds) {
  // 10:00 − 9:55 + 1 s in raw doubles is 0:05:00.999…; split naively that reads four minutes.
  for (int msec : {0, 10, 999}) {
    Program p;
    Fill(p.store, {"13,10:00,会議,04"}, {}, {});
    p.state.StartUpDone = true;
    p.engine.EventCheck(CheckMode::kAlarm, D(2005, 4, 19), EncodeTime(9, 55, 0, msec));
    EXPECT_EQ(p.host.notices, Strings{"あと5分で「会議」です。"}) << msec;
  }
  // The lead opens exactly at x − L, not a rounding error later.
  Program p;
  Fill(p.store, {"13,10:00,会議,04"}, {}, {});
  p.state.StartUpDone = true;
  p.engine.EventCheck(CheckMode::kAlarm, D(2005, 4, 19), EncodeTime(9, 54, 59, 999));
  EXPECT_TRUE(p.host.notices.empty());
  p.engine.EventCheck(CheckMode::kAlarm, D(2005, 4, 19), EncodeTime(9, 55));
  EXPECT_EQ(p.host.notices.size(), 1u);
  // Only a moment later than the event is past it; the moment itself is still to come.
  Program q;
  Fill(q.store, {"13,10:00,会議,01"}, {}, {});
  q.state.StartUpDone = true;
  q.engine.EventCheck(CheckMode::kAlarm, D(2005, 4, 19), EncodeTime(10, 0));
  q.store.week.SetCell(WeekCol::kDone, 1, "");
  q.engine.EventCheck(CheckMode::kAlarm, D(2005, 4, 19), EncodeTime(10, 0, 0, 1));
  EXPECT_EQ(q.host.notices, (Strings{"まもなく「会議」です。", "「会議」の時間を過ぎています。"}));
}

TEST(EventEngineTest, LeadCodes) {
  const struct {
    const char* code;
    std::int64_t minutes;
  } cases[] = {{"01", 0},     {"02", 1}, {"07", 30}, {"08", 60}, {"12", 720}, {"13", 1440},
               {"15", 10080}, {"16", 0}, {"00", 0},  {"4", 0},   {"", 0},     {"004", 0}};
  for (const auto& c : cases) EXPECT_EQ(LeadMsecs(c.code), c.minutes * 60'000) << c.code;
}

TEST(EventEngineTest, NoticesHoldTheClockAndPutItBack) {
  Program p;
  Fill(p.store, {"13,10:00,会議,04"}, {}, {});
  std::vector<bool> paused;
  p.host.onNotice = [&](const std::string&) { paused.push_back(p.state.ClockPaused); };
  p.engine.AlarmPass(At(2005, 4, 19, 10, 30));
  EXPECT_EQ(paused, std::vector<bool>{true});
  EXPECT_FALSE(p.state.ClockPaused);

  // While the clock is held, a tick changes nothing at all.
  p.state.ClockPaused = true;
  p.state.EventLines[0].occurrence = 1;
  p.store.week.SetCell(WeekCol::kDone, 1, "");
  p.engine.AlarmPass(At(2005, 4, 19, 10, 31));
  EXPECT_EQ(paused.size(), 1u);
  EXPECT_EQ(p.state.EventLines[0].occurrence, 1);
  EXPECT_EQ(p.store.week.Cell(WeekCol::kDone, 1), "");
}

TEST(EventEngineTest, DoneMarksStartAfreshEachDay) {
  Program p;
  p.host.onTime = true;
  Fill(p.store, {"81,10:00,薬,04", "13,10:00,会議,04"}, {}, {});
  const Strings notices = p.Run(At(2005, 4, 18, 9, 50), At(2005, 4, 26, 10, 1));
  Strings expected;
  for (int day = 18; day <= 26; ++day) {
    const std::string date = "04-" + std::to_string(day) + " ";
    expected.push_back(date + "09:55 あと5分で「薬」です。");
    if (day == 19 || day == 26) expected.push_back(date + "09:55 あと5分で「会議」です。");
    expected.push_back(date + "10:00 「薬」の時間です。");
    if (day == 19 || day == 26) expected.push_back(date + "10:00 「会議」の時間です。");
  }
  EXPECT_EQ(notices, expected);

  // Within a day the marks hold: a second look at the same day repeats nothing.
  p.host.notices.clear();
  p.engine.AlarmPass(At(2005, 4, 26, 10, 2));
  EXPECT_TRUE(p.host.notices.empty());
  // A clock put back a day clears nothing.
  p.engine.AlarmPass(At(2005, 4, 25, 10, 2));
  EXPECT_EQ(p.store.week.Cell(WeekCol::kDone, 1), "x20050426+");
  EXPECT_TRUE(p.host.notices.empty());
}

TEST(EventEngineTest, DoneMarksCarryTheirDay) {
  const sys_days april19 = FloorDays(D(2005, 4, 19));
  EXPECT_EQ(DoneMarkText(april19, false), "x20050419");
  EXPECT_EQ(DoneMarkText(april19, true), "x20050419+");
  const struct {
    const char* cell;
    bool marked;
    std::optional<sys_days> day;
    bool finished;
  } cases[] = {
      {"", false, std::nullopt, false},
      {"X20050419", false, std::nullopt, false},
      {"x20050419", true, april19, false},
      {"x20050419+", true, april19, true},
      // A bare mark, and marks no pass writes, count for any day, as the mark always did.
      {"x", true, std::nullopt, false},
      {"x2005041", true, std::nullopt, false},
      {"x20050230", true, std::nullopt, false},
      {"x2005o419", true, std::nullopt, false},
  };
  for (const auto& c : cases) {
    const auto mark = ReadDoneMark(c.cell);
    ASSERT_EQ(mark.has_value(), c.marked) << c.cell;
    if (!mark) continue;
    EXPECT_EQ(mark->day, c.day) << c.cell;
    EXPECT_EQ(mark->finished, c.finished) << c.cell;
  }
}

// --- A clock that jumps --------------------------------------------------------------------

TEST(EventEngineTest, AClockPutBackOverMidnightRepeatsNothing) {
  Program p;
  p.host.onTime = true;
  Fill(p.store, {"81,09:00,薬,04"}, {}, {"0420,10:00,記念日,13,FALSE"});
  p.clock.Set(At(2005, 4, 19, 8, 50));
  EXPECT_EQ(p.TickUntil(At(2005, 4, 19, 23, 58, 30)),
            (Strings{"04-19 08:55 あと5分で「薬」です。", "04-19 09:00 「薬」の時間です。"}));
  // Two minutes fast, then put right: the next day begins twice.
  p.clock.Set(At(2005, 4, 20, 0, 0, 30));
  EXPECT_EQ(p.TickUntil(At(2005, 4, 20, 0, 0, 30)),
            Strings{"04-20 00:00 あと9時間で「記念日」です。"});
  p.clock.Set(At(2005, 4, 19, 23, 58, 40));
  EXPECT_EQ(p.TickUntil(At(2005, 4, 20, 8, 0)), Strings{});
  EXPECT_EQ(p.TickUntil(At(2005, 4, 20, 10, 1)),
            (Strings{"04-20 08:55 あと5分で「薬」です。", "04-20 09:00 「薬」の時間です。",
                     "04-20 10:00 「記念日」の時間です。"}));
}

TEST(EventEngineTest, NoOccurrenceIsAnnouncedTwiceWhateverTheClockDoes) {
  const struct {
    const char* what;
    const char* line;
    TDateTime stepAt;  // the clock is put back when it has reached this moment
    TDateTime stepTo;
  } cases[] = {
      {"two seconds back after the on-time notice", "13,10:00,会議,04",
       At(2005, 4, 19, 10, 0, 0, 10), At(2005, 4, 19, 9, 59, 58)},
      {"an hour back after the on-time notice", "13,10:00,会議,04", At(2005, 4, 19, 10, 30),
       At(2005, 4, 19, 9, 30)},
      {"back over the advance notice", "13,10:00,会議,04", At(2005, 4, 19, 9, 56),
       At(2005, 4, 19, 9, 50)},
      {"back over an overdue notice", "13,08:00,朝会,04", At(2005, 4, 19, 9, 56),
       At(2005, 4, 19, 7, 0)},
  };
  for (const auto& c : cases) {
    Program p;
    p.host.onTime = true;
    Fill(p.store, {c.line}, {}, {});
    p.clock.Set(At(2005, 4, 19, 9, 40));
    Strings first = p.TickUntil(c.stepAt);
    p.clock.Set(c.stepTo);
    const Strings again = p.TickUntil(At(2005, 4, 19, 11, 0));
    Strings all = first;
    all.insert(all.end(), again.begin(), again.end());
    // Each notice text once, and none after the step that the first run had already given.
    std::string log;
    Strings texts;
    for (const std::string& n : all) {
      texts.push_back(n.substr(12));
      log += n + "\n";
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_TRUE(std::adjacent_find(texts.begin(), texts.end()) == texts.end()) << c.what << "\n"
                                                                               << log;
    EXPECT_FALSE(all.empty()) << c.what;
  }
}

// Local wall-clock time of a moment since the epoch, as the system clock gives it in `TZ`.
TDateTime LocalTime(std::time_t utc, std::int64_t msec) {
  std::tm tm{};
  localtime_r(&utc, &tm);
  return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
         EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(msec));
}

TEST(EventEngineTest, DaylightSavingFallBackRepeatsNoMinute) {
  const char* oldTz = std::getenv("TZ");
  const std::string saved = oldTz ? oldTz : "";
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  Program p;
  p.host.onTime = true;
  Fill(p.store, {"81,02:30,夜間処理,04"}, {}, {});
  // 30 October 2005: at 03:00 summer time the clocks go back to 02:00. The real clock ticks on
  // every minute; the wall clock passes 02:00 to 02:59 twice.
  const std::time_t start = 1130629800;  // 2005-10-29 23:50 UTC, 01:50 summer time
  ASSERT_EQ(Minute(LocalTime(start, 0)), "10-30 01:50") << "no time zone data for Europe/Berlin";
  ASSERT_EQ(Minute(LocalTime(start + 70 * 60, 0)), "10-30 02:00") << "no fall-back";
  Strings seen;
  for (std::time_t t = start; t < start + 200 * 60; t += 60) {
    p.clock.Set(LocalTime(t, 10));
    const Strings n = p.TickUntil(p.clock.Now());
    seen.insert(seen.end(), n.begin(), n.end());
  }
  if (oldTz) {
    ::setenv("TZ", saved.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
  EXPECT_EQ(seen, (Strings{"10-30 02:25 あと5分で「夜間処理」です。",
                           "10-30 02:30 「夜間処理」の時間です。"}));
}

TEST(EventEngineTest, OccurrencesSleptThroughAreAnnouncedOnceAsOverdue) {
  // Tuesday 19 April 2005 from 22:00, asleep from 22:37 until the given moment.
  const auto overdue = [](const char* text) {
    return std::string("「") + text + "」の時間を過ぎています。";
  };
  const struct {
    const char* what;
    TDateTime wake;
    Strings atWake;  // all stamped with the minute of waking
  } cases[] = {
      {"within the evening", At(2005, 4, 19, 23, 30, 5), {overdue("夜")}},
      {"a night and a day",
       At(2005, 4, 21, 8, 0, 5),
       {overdue("夜"), overdue("記念日"), overdue("月末処理"), overdue("薬"), "<save>", "<redraw>",
        overdue("薬")}},
      // Seven days back at most: the 20th is more than a week behind.
      {"nine days",
       At(2005, 4, 28, 8, 0, 5),
       {overdue("薬"), overdue("薬"), overdue("薬"), overdue("薬"), overdue("薬"), overdue("会議"),
        overdue("夜"), overdue("薬"), overdue("薬")}},
  };
  for (const auto& c : cases) {
    Program p;
    p.host.onTime = false;
    Fill(p.store, {"81,07:00,薬,04", "13,22:40,会議,04", "13,23:00,夜,04"},
         {"120,23:00,月末処理,01"}, {"0420,12:00,記念日,08,TRUE", "0419,22:20,当日,04,FALSE"});
    p.clock.Set(At(2005, 4, 19, 22, 0, 5));
    ASSERT_EQ(p.TickUntil(At(2005, 4, 19, 22, 37)),
              (Strings{"04-19 22:00 " + overdue("薬"), "04-19 22:15 あと5分で「当日」です。",
                       "04-19 22:35 あと5分で「会議」です。"}))
        << c.what;
    p.clock.Set(c.wake);
    Strings expected;
    for (const std::string& n : c.atWake) {
      expected.push_back(n[0] == '<' ? n : Minute(c.wake) + " " + n);
    }
    EXPECT_EQ(p.TickUntil(c.wake), expected) << c.what;
    // Then the clock goes on as usual: nothing is repeated.
    EXPECT_EQ(p.TickUntil(FromMsecs(ToMsecs(c.wake) + 10 * kMsecsPerMinute)), Strings{}) << c.what;
  }
}

TEST(EventEngineTest, AnAnnouncedEventWhoseMinuteWasSleptThroughIsOverdueWithOnTimeNotices) {
  for (bool onTime : {true, false}) {
    Program p;
    p.host.onTime = onTime;
    Fill(p.store, {"13,10:00,会議,04"}, {}, {});
    p.clock.Set(At(2005, 4, 19, 9, 50, 5));
    EXPECT_EQ(p.TickUntil(At(2005, 4, 19, 9, 57)), Strings{"04-19 09:55 あと5分で「会議」です。"});
    p.clock.Set(At(2005, 4, 19, 10, 30, 5));
    EXPECT_EQ(p.TickUntil(At(2005, 4, 19, 11, 0)),
              onTime ? Strings{"04-19 10:30 「会議」の時間を過ぎています。"} : Strings{})
        << onTime;
  }
}

// Ticks are lost to a suspend, a timer that fires early or late, and a notice left open (the
// clock is held while it waits). Whatever the gap, what fell due in it is announced once.
TEST(EventEngineTest, WhatFellDueInAShortGapIsAnnouncedOnce) {
  const auto overdue = [](const char* text) {
    return std::string("「") + text + "」の時間を過ぎています。";
  };
  const struct {
    const char* what;
    std::initializer_list<const char*> week;
    bool onTime;
    TDateTime start;  // the first pass of the run; the clock ticks on from there
    TDateTime last;   // the last pass before the gap
    TDateTime wake;   // the first pass after it
    Strings atWake;
  } cases[] = {
      {"61 s: the timer fired early, then late",
       {"13,10:00,会議,04"},
       true,
       At(2005, 4, 19, 9, 50, 0, 10),
       At(2005, 4, 19, 9, 59, 59, 950),
       At(2005, 4, 19, 10, 1, 0, 950),
       {overdue("会議")}},
      {"a suspend of 2.5 minutes",
       {"13,10:00,会議,04", "13,10:00,電話,01"},
       true,
       At(2005, 4, 19, 9, 50, 0, 10),
       At(2005, 4, 19, 9, 59, 0, 10),
       At(2005, 4, 19, 10, 1, 30, 10),
       {overdue("会議"), overdue("電話")}},
      {"the same without on-time notices: only what was never announced",
       {"13,10:00,会議,04", "13,10:01,電話,02"},
       false,
       At(2005, 4, 19, 9, 50, 0, 10),
       At(2005, 4, 19, 9, 59, 0, 10),
       At(2005, 4, 19, 10, 1, 30, 10),
       {overdue("電話")}},
      {"3 minutes 10 seconds",
       {"13,10:00,会議,04"},
       true,
       At(2005, 4, 19, 9, 50, 0, 10),
       At(2005, 4, 19, 9, 58, 0, 10),
       At(2005, 4, 19, 10, 1, 10, 10),
       {overdue("会議")}},
      // The notice of 23:58 stays open for 70 s; the tick of 23:59 is swallowed.
      {"a notice open over midnight",
       {"13,23:58,片付け,04", "13,23:59,戸締まり,01", "13,23:59,消灯,04"},
       true,
       At(2005, 4, 18, 22, 0, 0, 10),
       At(2005, 4, 19, 23, 58, 0, 10),
       At(2005, 4, 20, 0, 0, 0, 10),
       {overdue("戸締まり"), overdue("消灯")}},
      {"2.5 minutes over midnight without on-time notices",
       {"13,23:59,戸締まり,01", "13,23:59,消灯,04", "14,00:00,朝,01"},
       false,
       At(2005, 4, 18, 22, 0, 0, 10),
       At(2005, 4, 19, 23, 58, 0, 10),
       At(2005, 4, 20, 0, 0, 30, 10),
       {overdue("戸締まり"), overdue("朝")}},
      {"a notice open for an hour delays the next ones",
       {"13,10:00,会議,04", "13,10:30,昼会,05", "13,10:58,電話,04"},
       true,
       At(2005, 4, 19, 9, 50, 0, 10),
       At(2005, 4, 19, 9, 55, 0, 10),
       At(2005, 4, 19, 10, 56, 0, 10),
       {overdue("会議"), overdue("昼会"), "あと2分で「電話」です。"}},
  };
  for (const auto& c : cases) {
    Program p;
    p.host.onTime = c.onTime;
    Fill(p.store, c.week, {}, {});
    p.clock.Set(c.start);
    Strings all = p.TickUntil(FromMsecs(ToMsecs(c.last) - 1));
    p.clock.Set(c.last);
    const Strings atLast = p.TickUntil(c.last);
    all.insert(all.end(), atLast.begin(), atLast.end());
    p.clock.Set(c.wake);
    Strings expected;
    for (const std::string& n : c.atWake) expected.push_back(Minute(c.wake) + " " + n);
    const Strings atWake = p.TickUntil(c.wake);
    EXPECT_EQ(atWake, expected) << c.what;
    all.insert(all.end(), atWake.begin(), atWake.end());
    // Then the clock goes on as usual: no notice comes twice.
    const Strings after = p.TickUntil(FromMsecs(ToMsecs(c.wake) + 10 * kMsecsPerMinute));
    all.insert(all.end(), after.begin(), after.end());
    Strings texts;
    for (const std::string& n : all) texts.push_back(n.substr(12));
    std::sort(texts.begin(), texts.end());
    EXPECT_TRUE(std::adjacent_find(texts.begin(), texts.end()) == texts.end()) << c.what;
  }
}

// --- Deletion of flagged yearly rows ---------------------------------------------------------

TEST(EventEngineTest, FlaggedYearlyRowsGoWhenDueWithOneSaveAndRedraw) {
  Program p;
  p.host.onTime = false;
  Fill(p.store, {"16,16:00,週,01"}, {"120,16:00,月,01"},
       {"0520,10:00,歯科,14,TRUE", "0520,11:00,薬局,14,TRUE", "0520,12:00,残す,14,FALSE",
        "0520,16:00,後で,01,TRUE", "1224,19:00,クリスマス会,04,TRUE"});
  int masksDuringRedraw = -1;
  p.host.onRedraw = [&] { masksDuringRedraw = p.Mask(D(2005, 5, 20)); };
  // Started at 15:00 on Friday 20 May: three are overdue, two of them flagged.
  p.Run(At(2005, 5, 20, 15, 0), At(2005, 5, 20, 15, 0));
  EXPECT_EQ(p.host.log,
            (Strings{"05-20 15:00 「歯科」の時間を過ぎています。",
                     "05-20 15:00 「薬局」の時間を過ぎています。",  // same row number again
                     "05-20 15:00 「残す」の時間を過ぎています。",
                     "05-20 15:00 今日は「後で」です。", "<save>", "<redraw>",
                     "05-20 15:00 今日は「月」です。", "05-20 15:00 今日は「週」です。"}));
  ASSERT_EQ(p.store.year.DataRowCount(), 3);
  EXPECT_EQ(sjis::ToUtf8(p.store.year.Cell(YearCol::kText, 1)), "残す");
  EXPECT_EQ(p.store.year.Cell(YearCol::kDone, 1), "x20050520+");
  EXPECT_EQ(p.store.year.Cell(YearCol::kDone, 2), "x20050520");  // announced, still to come
  EXPECT_EQ(sjis::ToUtf8(p.store.year.Cell(YearCol::kText, 2)), "後で");
  EXPECT_EQ(masksDuringRedraw, 7);  // the redraw's day masks run inside the pass, harmlessly

  // A flagged row that was announced goes at its own minute, on-time notice or not.
  p.host.log.clear();
  p.Run(At(2005, 5, 20, 15, 59), At(2005, 5, 20, 16, 0));
  EXPECT_EQ(p.host.log, (Strings{"<save>", "<redraw>"}));
  EXPECT_EQ(p.store.year.DataRowCount(), 2);

  // Nothing deleted: no save.
  p.host.log.clear();
  p.Run(At(2005, 5, 20, 16, 1), At(2005, 5, 20, 17, 0));
  EXPECT_EQ(p.host.saves, 2);
}

TEST(EventEngineTest, DeletionRewritesTheFileOrStaysInMemoryWhenItCannot) {
  test::TempDir dir;
  const auto path = dir.File("vespin.ini");
  Program p;
  Fill(p.store, {}, {}, {"1224,19:00,クリスマス会,04,TRUE", "1225,19:00,片付け,04,TRUE"});
  Settings settings;
  EventFile file(path, p.host);
  std::vector<bool> pausedDuringSave;
  p.host.onSave = [&] {
    pausedDuringSave.push_back(p.state.ClockPaused);
    return file.IniSave(p.store, settings);
  };
  dir.Write("vespin.ini", FormatEventFile(p.store, settings));

  p.Run(At(2005, 12, 24, 18, 50), At(2005, 12, 24, 19, 0));
  EXPECT_EQ(p.store.year.DataRowCount(), 1);
  const std::string saved = sjis::ToUtf8(dir.Read("vespin.ini"));
  EXPECT_EQ(saved.find("クリスマス会"), std::string::npos);
  EXPECT_NE(saved.find("1225,19:00,片付け,04,TRUE\r\n"), std::string::npos);

  // The file went away: the user is told, the deletion holds in memory, the clock was held.
  std::filesystem::remove(path);
  p.host.notices.clear();
  p.Run(At(2005, 12, 25, 19, 30), At(2005, 12, 25, 19, 30));
  EXPECT_EQ(p.store.year.DataRowCount(), 0);
  EXPECT_EQ(p.host.notices,
            (Strings{"「片付け」の時間を過ぎています。", "vespin.iniを開くことができません。"}));
  EXPECT_EQ(pausedDuringSave, (std::vector<bool>{true, true}));
  EXPECT_FALSE(p.state.ClockPaused);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// --- Today's coming events -------------------------------------------------------------------

TEST(EventEngineTest, ComingEventsListTheFiveEarliestLaterThanThePass) {
  Program p;
  Fill(p.store, {"13,14:00,週2時,01", "13,10:30,週半,01", "13,09:00,週朝,01"},
       {"119,10:00,月今,01", "119,10:30,月半,01", "119,13:00,月1時,01"},
       {"0419,12:00,年正午,01,FALSE", "0419,10:30,年半,01,FALSE", "0419,10:01,年一分,01,FALSE"});
  p.engine.AlarmPass(At(2005, 4, 19, 10, 0, 0, 10));
  const struct {
    const char* text;
    const char* time;
  } expected[] = {{"年一分", "10:01"},
                  {"年半", "10:30"},
                  {"月半", "10:30"},
                  {"週半", "10:30"},
                  {"年正午", "12:00"}};
  for (int i = 0; i < kEventLineCount; ++i) {
    const EventLine& line = p.state.EventLines[static_cast<std::size_t>(i)];
    EXPECT_EQ(sjis::ToUtf8(line.text), expected[i].text) << i;
    EXPECT_EQ(line.timeText, expected[i].time) << i;
    EXPECT_EQ(TimeText(line.occurrence), expected[i].time) << i;
    EXPECT_EQ(DecodeDate(line.occurrence), (DateParts{2005, 4, 19})) << i;
  }

  // Fewer events than lines: the rest stay empty; the pass's own minute is not listed.
  Program q;
  Fill(q.store, {"13,10:00,今,01", "13,10:01,次,01"}, {}, {});
  q.engine.AlarmPass(At(2005, 4, 19, 10, 0, 59, 999));
  EXPECT_EQ(sjis::ToUtf8(q.state.EventLines[0].text), "次");
  EXPECT_EQ(q.state.EventLines[1].occurrence, 0);
  EXPECT_EQ(q.state.EventLines[1].text, "");

  // Each tick empties the list first: the next pass shows only what is still to come, and an
  // event exactly at the pass's moment is not.
  q.engine.AlarmPass(At(2005, 4, 19, 10, 1));
  EXPECT_EQ(q.state.EventLines[0].occurrence, 0);
}

TEST(EventEngineTest, AlarmPassesLandJustAfterEachMinute) {
  const auto passes = [](TDateTime from, TDateTime to) {
    Strings out;
    ForEachAlarmPass(from, to, [&](TDateTime t) {
      const TimeParts tp = DecodeTime(t);
      char buf[24];
      std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tp.hour, tp.minute, tp.second, tp.msec);
      out.push_back(buf);
    });
    return out;
  };
  EXPECT_EQ(passes(At(2005, 4, 19, 9, 54, 30), At(2005, 4, 19, 9, 57)),
            (Strings{"09:54:30.000", "09:55:00.010", "09:56:00.010", "09:57:00.010"}));
  EXPECT_EQ(passes(At(2005, 4, 19, 9, 55), At(2005, 4, 19, 9, 56, 59)),
            (Strings{"09:55:00.000", "09:56:00.010"}));
  EXPECT_EQ(passes(At(2005, 4, 19, 23, 59, 59), At(2005, 4, 20, 0, 0)),
            (Strings{"23:59:59.000", "00:00:00.010"}));
  EXPECT_EQ(passes(At(2005, 4, 19, 9, 55), At(2005, 4, 19, 9, 55)), Strings{"09:55:00.000"});
  EXPECT_TRUE(passes(At(2005, 4, 19, 9, 55), At(2005, 4, 19, 9, 54)).empty());
}

}  // namespace
}  // namespace vespin
