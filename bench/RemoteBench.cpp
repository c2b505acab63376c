// Other calendars in the once-a-minute pass: 5,000 remote events (daily, weekly, monthly and
// single ones, some all-day, most with an alarm) expanded over a three-month window, then the
// work each tick adds after the engine's own pass (joining the event lines and the remote
// alarm pass), beside the same tick with no remote events. Also what a fetch costs once:
// expanding the cached calendar with libical and building the day index.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "RemoteCalendar.h"
#include "calendar/DateTime.h"
#include "events/AppState.h"
#include "remote/RemoteAlarms.h"
#include "remote/RemoteDays.h"

namespace vespin::remote {
namespace {

constexpr int kEvents = 5'000;
const sys_days kToday = std::chrono::year{2026} / 12 / 8;
const sys_days kFrom = kToday - std::chrono::days(31);
const sys_days kTo = kToday + std::chrono::days(62);

std::string CalendarText() {
  std::string ics =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\n"
      "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
      "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
      "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
      "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"
      "DTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
      "END:VTIMEZONE\r\n";
  // One in ten daily, three in ten weekly, three monthly, three single.
  const char* rules[] = {"RRULE:FREQ=DAILY\r\n",
                         "RRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\n",
                         "RRULE:FREQ=WEEKLY;BYDAY=FR\r\n",
                         "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=TU\r\n",
                         "RRULE:FREQ=MONTHLY;BYDAY=2TU\r\n",
                         "RRULE:FREQ=MONTHLY;BYMONTHDAY=15\r\n",
                         "RRULE:FREQ=YEARLY\r\n",
                         "",
                         "",
                         ""};
  for (int i = 0; i < kEvents; ++i) {
    char start[64];
    const bool allDay = i % 10 == 9 || i % 17 == 0;
    if (allDay) {
      std::snprintf(start, sizeof start, "DTSTART;VALUE=DATE:2026%02d%02d\r\n", 1 + i % 12,
                    1 + i % 28);
    } else {
      std::snprintf(start, sizeof start, "DTSTART;TZID=Europe/Berlin:2026%02d%02dT%02d%02d00\r\n",
                    1 + i % 12, 1 + i % 28, i % 24, (i * 7) % 60);
    }
    ics += "BEGIN:VEVENT\r\nUID:bench-" + std::to_string(i) + "\r\nDTSTAMP:20260101T000000Z\r\n" +
           start + rules[i % 10] + "SUMMARY:予定 " + std::to_string(i) + "\r\n";
    if (i % 3 != 0) {
      ics += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT" +
             std::to_string(5 + i % 50) + "M\r\nEND:VALARM\r\n";
    }
    ics += "END:VEVENT\r\n";
  }
  return ics + "END:VCALENDAR\r\n";
}

const std::string& Text() {
  static const std::string text = CalendarText();
  return text;
}

const std::vector<RemoteOccurrence>& Occurrences() {
  static const std::vector<RemoteOccurrence> all =
      ical::ExpandRemoteCalendar(Text(), "work", kFrom, kTo).occurrences;
  return all;
}

// What a fetch or a new day costs once.
void ExpandAndIndex(benchmark::State& state) {
  std::size_t count = 0;
  for (auto _ : state) {
    auto expansion = ical::ExpandRemoteCalendar(Text(), "work", kFrom, kTo);
    count = expansion.occurrences.size();
    RemoteDayIndex index(std::move(expansion.occurrences), std::pair(kFrom, kTo));
    benchmark::DoNotOptimize(index);
  }
  state.counters["occurrences"] = static_cast<double>(count);
}

// The tick at 12:01 on an ordinary day, the marks of everything before it already written: what
// each minute adds to the engine's pass. Range(0): with no remote events; else with all of them.
void MinuteTick(benchmark::State& state) {
  RemoteDayIndex index;
  if (state.range(0) != 0) index = RemoteDayIndex(Occurrences(), std::pair(kFrom, kTo));
  RemoteDoneMarks marks;
  RemoteAlarmState alarms;
  const RemoteAlarmOptions options{true};
  const std::int64_t noon = MsecsAt(kToday) + 12 * kMsecsPerHour + 10;
  RemoteAlarmPass(noon, index, marks, alarms, options);
  const std::int64_t now = noon + kMsecsPerMinute;
  std::size_t notices = 0;
  for (auto _ : state) {
    AppState app;
    MergeRemoteLines(app, index, now);
    RemoteAlarmState again = alarms;
    notices += RemoteAlarmPass(now, index, marks, again, options).notices.size();
    benchmark::DoNotOptimize(app);
  }
  state.counters["occurrences"] = static_cast<double>(index.All().size());
  state.counters["marks"] = static_cast<double>(marks.Size());
  state.counters["notices/pass"] =
      benchmark::Counter(static_cast<double>(notices), benchmark::Counter::kAvgIterations);
}

BENCHMARK(ExpandAndIndex)
    ->Name("Remote/expand+index/5000events/93days")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(MinuteTick)->Name("Remote/minute/none")->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(MinuteTick)->Name("Remote/minute/5000events")->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vespin::remote

BENCHMARK_MAIN();
