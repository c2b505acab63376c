#include "remote/RemoteAlarms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "events/EventEngine.h"
#include "text/Sjis.h"

namespace vespin::remote {
namespace {

using Strings = std::vector<std::string>;

const sys_days kDay = std::chrono::year{2026} / 12 / 8;

std::int64_t At(int hour, int minute, int dayOffset = 0) {
  return MsecsAt(kDay + std::chrono::days(dayOffset)) + hour * kMsecsPerHour +
         minute * kMsecsPerMinute;
}

RemoteOccurrence Timed(std::string summary, std::int64_t startMs, std::int64_t leadMs,
                       std::string key = "") {
  RemoteOccurrence o;
  o.calendar = "work";
  o.uid = summary;
  o.key = key.empty() ? summary : key;
  o.startMs = startMs;
  o.summary = std::move(summary);
  o.leadMs = leadMs;
  return o;
}

RemoteOccurrence AllDay(std::string summary, int dayOffset, int days, std::int64_t leadMs) {
  RemoteOccurrence o =
      Timed(std::move(summary), MsecsAt(kDay + std::chrono::days(dayOffset)), leadMs);
  o.allDay = true;
  o.days = days;
  return o;
}

std::string Clock(std::int64_t ms) {
  const std::int64_t day = (ms - MsecsAt(kDay)) / kMsecsPerDay;
  const std::int64_t inDay = ms - MsecsAt(kDay) - day * kMsecsPerDay;
  char text[32];
  std::snprintf(
      text, sizeof text, "%s%02d:%02d", day ? ("+" + std::to_string(day) + " ").c_str() : "",
      static_cast<int>(inDay / kMsecsPerHour), static_cast<int>(inDay / kMsecsPerMinute % 60));
  return text;
}

// The passes the program's clock runs (10 ms after each minute) from `from` to `to`, or one
// pass alone; every notice with the minute it came at.
struct Panel {
  explicit Panel(RemoteDayIndex i, RemoteDoneMarks m = {})
      : index(std::move(i)), marks(std::move(m)) {}

  RemoteDayIndex index;
  RemoteDoneMarks marks;
  RemoteAlarmState state;
  RemoteAlarmOptions options;
  Strings said;

  void Pass(std::int64_t ms) {
    for (std::string& n : RemoteAlarmPass(ms, index, marks, state, options).notices) {
      said.push_back(Clock(ms) + " " + n);
    }
  }
  void Run(std::int64_t from, std::int64_t to) {
    for (std::int64_t ms = from + 10; ms <= to; ms += kMsecsPerMinute) Pass(ms);
  }
};

TEST(RemoteAlarmsTest, AnnouncesEachOccurrenceOnceWhateverTheClockDoes) {
  const auto meeting = [] {
    return RemoteDayIndex({Timed("会議🎉", At(10, 0), 15 * kMsecsPerMinute)});
  };
  const struct {
    const char* name;
    bool onTime;
    std::function<void(Panel&)> run;
    Strings said;
  } cases[] = {
      {"in advance, then at its minute",
       true,
       [](Panel& p) { p.Run(At(9, 0), At(11, 0)); },
       {"09:45 あと15分で「会議🎉」です。", "10:00 「会議🎉」の時間です。"}},
      {"in advance only without the on-time option",
       false,
       [](Panel& p) { p.Run(At(9, 0), At(11, 0)); },
       {"09:45 あと15分で「会議🎉」です。"}},
      {"clock put back over it",
       true,
       [](Panel& p) {
         p.Run(At(9, 0), At(11, 0));
         p.Run(At(9, 30), At(10, 30));
       },
       {"09:45 あと15分で「会議🎉」です。", "10:00 「会議🎉」の時間です。"}},
      {"suspended across its lead and start",
       true,
       [](Panel& p) {
         p.Run(At(9, 0), At(9, 30));
         p.Run(At(12, 0), At(12, 5));
       },
       {"12:00 「会議🎉」の時間を過ぎています。"}},
      {"suspended after the advance notice, on-time option on",
       true,
       [](Panel& p) {
         p.Run(At(9, 40), At(9, 50));
         p.Run(At(10, 20), At(10, 25));
       },
       {"09:45 あと15分で「会議🎉」です。", "10:20 「会議🎉」の時間を過ぎています。"}},
      {"suspended after the advance notice, on-time option off",
       false,
       [](Panel& p) {
         p.Run(At(9, 40), At(9, 50));
         p.Run(At(10, 20), At(10, 25));
       },
       {"09:45 あと15分で「会議🎉」です。"}},
      {"a tick skipped its minute",
       true,
       [](Panel& p) {
         p.Run(At(9, 40), At(9, 59));
         p.Run(At(10, 1), At(10, 3));
       },
       {"09:45 あと15分で「会議🎉」です。", "10:01 「会議🎉」の時間を過ぎています。"}},
      {"started after its time the same day",
       true,
       [](Panel& p) { p.Run(At(13, 0), At(13, 2)); },
       {"13:00 「会議🎉」の時間を過ぎています。"}},
      {"started the next day", true, [](Panel& p) { p.Run(At(9, 0, 1), At(9, 2, 1)); }, {}},
      {"suspended for more than the catch-up",
       true,
       [](Panel& p) {
         p.Run(At(9, 0), At(9, 1));
         p.Run(At(10, 1, 8), At(10, 2, 8));
       },
       {}},
      {"started inside its lead",
       true,
       [](Panel& p) { p.Run(At(9, 52), At(10, 1)); },
       {"09:52 あと8分で「会議🎉」です。", "10:00 「会議🎉」の時間です。"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Panel panel(meeting());
    panel.options.onTime = c.onTime;
    c.run(panel);
    EXPECT_EQ(panel.said, c.said);
  }
}

TEST(RemoteAlarmsTest, WithoutAnAlarmOnlyTheOnTimeOptionSpeaks) {
  for (const bool onTime : {false, true}) {
    Panel panel{RemoteDayIndex({Timed("no alarm", At(10, 0), kNoLead)})};
    panel.options.onTime = onTime;
    panel.Run(At(9, 0), At(10, 30));
    panel.Run(At(13, 0), At(13, 1));  // after a gap: not again
    EXPECT_EQ(panel.said, onTime ? Strings{"10:00 「no alarm」の時間です。"} : Strings{});
  }
}

TEST(RemoteAlarmsTest, AllDayEventsAreAnnouncedOnceWhenTheyCarryAnAlarm) {
  Panel panel{RemoteDayIndex({AllDay("冬休み", 1, 3, kMsecsPerDay), AllDay("quiet", 1, 1, kNoLead),
                              AllDay("today", 0, 2, kMsecsPerMinute)})};
  panel.options.onTime = true;
  panel.Run(At(8, 0), At(8, 2));
  panel.Pass(At(23, 30));
  panel.Pass(At(0, 1, 1));
  panel.Run(At(8, 0, 2), At(8, 1, 2));
  EXPECT_EQ(panel.said,
            (Strings{"08:00 今日は「today」です。", "08:00 あと16時間で「冬休み」です。"}));
}

// The marks outlive the run: a restarted panel (fresh state, marks read back) says nothing
// twice, and an instance moved to another time is announced at the new one.
TEST(RemoteAlarmsTest, MarksOutliveTheRunAndFollowAMovedInstance) {
  test::TempDir dir;
  const auto file = dir.File("cache/remote-done");
  Panel first{RemoteDayIndex({Timed("review", At(10, 0), 15 * kMsecsPerMinute, "r/1"),
                              Timed("tab\tin\\key", At(11, 0), kMsecsPerMinute, "k\n2")})};
  first.options.onTime = true;
  first.Run(At(9, 0), At(10, 30));
  ASSERT_EQ(first.said.size(), 2u);
  ASSERT_TRUE(WriteRemoteDone(file, first.marks));
  EXPECT_EQ(ReadRemoteDone(file), first.marks);

  Panel again{RemoteDayIndex({Timed("review", At(10, 0), 15 * kMsecsPerMinute, "r/1"),
                              Timed("tab\tin\\key", At(11, 0), kMsecsPerMinute, "k\n2")}),
              ReadRemoteDone(file)};
  again.options.onTime = true;
  again.Run(At(10, 30), At(11, 30));
  EXPECT_EQ(again.said, (Strings{"10:59 あと1分で「tab\tin\\key」です。",
                                 "11:00 「tab\tin\\key」の時間です。"}));

  Panel moved{RemoteDayIndex({Timed("review", At(15, 0), 15 * kMsecsPerMinute, "r/1")}),
              ReadRemoteDone(file)};
  moved.Run(At(14, 0), At(14, 50));
  EXPECT_EQ(moved.said, Strings{"14:45 あと15分で「review」です。"});
}

// A renamed subscription: what was announced under the old name is not announced again under
// the new one; marks a removed calendar of the new name left behind do not silence it.
TEST(RemoteAlarmsTest, MarksFollowARenamedCalendar) {
  const auto renamed = [](std::string summary, std::int64_t startMs) {
    RemoteOccurrence o = Timed(std::move(summary), startMs, 15 * kMsecsPerMinute);
    o.calendar = "仕事";
    return o;
  };
  Panel before{RemoteDayIndex({Timed("review", At(10, 0), 15 * kMsecsPerMinute)})};
  before.Run(At(9, 40), At(9, 50));
  ASSERT_EQ(before.said, Strings{"09:45 あと15分で「review」です。"});
  // An old mark under the new name, for an occurrence the renamed calendar also has.
  RemoteDoneMarks marks = before.marks;
  const RemoteOccurrence stale = renamed("standup", At(11, 0));
  marks.Set(stale, RemoteSaid::kFinished);
  marks.RenameCalendar("work", "仕事");
  EXPECT_EQ(marks.Size(), 1u);
  Panel after{RemoteDayIndex({renamed("review", At(10, 0)), renamed("standup", At(11, 0))}), marks};
  after.Run(At(9, 50), At(10, 50));
  EXPECT_EQ(after.said, Strings{"10:45 あと15分で「standup」です。"});
}

TEST(RemoteAlarmsTest, DamagedMarksAreSkippedAndOldOnesPruned) {
  const RemoteDoneMarks parsed = RemoteDoneMarks::Parse(
      "1\t1\tf\twork\tk1\nnot a mark\n2\t2\tz\twork\tk2\n3\t3\ta\twork\tbad\\q\n4\t4\ta\tw\tk4");
  EXPECT_EQ(parsed.Size(), 2u);
  Panel panel{RemoteDayIndex({Timed("soon", At(10, 0), kMsecsPerMinute)}), parsed};
  panel.Pass(At(9, 59));
  EXPECT_EQ(panel.marks.Size(), 1u);  // the two of 1899 are gone
}

TEST(RemoteAlarmsTest, LinesTakeRemoteOnesInTimeOrderAllDayFirst) {
  AppState state;
  const auto local = [](const char* text, int hour) {
    EventLine line;
    line.text = sjis::Lit(text);
    line.timeText = std::to_string(hour) + ":00";
    line.occurrence = FromMsecs(At(hour, 0));
    return line;
  };
  state.EventLines[0] = local("朝会", 9);
  state.EventLines[1] = local("昼", 12);
  state.EventLines[2] = local("夕", 18);
  const AppState before = state;
  const RemoteDayIndex index({Timed("同時", At(12, 0), kNoLead), Timed("過ぎた", At(8, 0), kNoLead),
                              AllDay("出張", -1, 3, kNoLead), Timed("𠮷", At(10, 30), kNoLead),
                              Timed("遅い", At(20, 0), kNoLead)});
  MergeRemoteLines(state, index, At(8, 30));
  Strings lines;
  for (const EventLine& l : state.EventLines) {
    lines.push_back((l.utf8 ? l.timeText + " " + l.text : "local " + sjis::ToUtf8(l.text)));
  }
  EXPECT_EQ(lines, (Strings{"終日 出張", "local 朝会", "10:30 𠮷", "local 昼", "12:00 同時"}));
  EXPECT_EQ(state.EventLines[1].text, before.EventLines[0].text);
  EXPECT_EQ(state.EventLines[1].timeText, before.EventLines[0].timeText);
  EXPECT_FALSE(state.EventLines[1].utf8);

  // A click on the day announces them in the same order, in the engine's words.
  Strings clicked;
  for (const RemoteOccurrence* o : index.On(kDay)) clicked.push_back(DayListNoticeUtf8(*o));
  EXPECT_EQ(clicked,
            (Strings{"出張 終日", "過ぎた 08:00", "𠮷 10:30", "同時 12:00", "遅い 20:00"}));

  // Nothing of other calendars today: the lines stay exactly as the engine left them.
  AppState untouched = before;
  MergeRemoteLines(untouched, RemoteDayIndex({Timed("明日", At(9, 0, 1), kNoLead)}), At(8, 30));
  for (std::size_t i = 0; i < untouched.EventLines.size(); ++i) {
    EXPECT_EQ(untouched.EventLines[i].text, before.EventLines[i].text);
    EXPECT_EQ(untouched.EventLines[i].occurrence, before.EventLines[i].occurrence);
  }
}

}  // namespace
}  // namespace vespin::remote
