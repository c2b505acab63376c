// The event engine over 1,000 mixed events: the day masks of a three-month calendar redraw,
// against the occurrence searches carried out literally (the first date on or after D for each
// row, stepping a day at a time where the rule has no search, then O == D), in the same run;
// and one alarm pass.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "calendar/DateTime.h"
#include "calendar/Hizuke.h"
#include "events/AppState.h"
#include "events/EngineHost.h"
#include "events/EventEngine.h"
#include "events/EventRows.h"
#include "events/EventStore.h"

namespace vespin {
namespace {

// --- The searches as written, one step at a time --------------------------------------------

TDateTime LiteralNextWeekday(int w, TDateTime x) {
  const int c = DayOfWeek(x);
  return w >= c ? x + (w - c) : x + (w - c + 7);
}

int LiteralWeekOfMonth(TDateTime x) {
  return (DecodeDate(x).day + 6) / 7;
}

TDateTime LiteralNextNthWeekday(int n, int w, TDateTime x) {
  TDateTime r = LiteralNextWeekday(w, x);
  if (n != 0) {
    while (LiteralWeekOfMonth(r) != n) r += 7;
  }
  return r;
}

TDateTime LiteralNextDayOfMonth(int d, TDateTime x) {
  DateParts p = DecodeDate(x);
  const auto nextMonth = [&] {
    if (++p.month > 12) {
      p.month = 1;
      ++p.year;
    }
  };
  if (d < p.day) nextMonth();
  while (!IsValidDate(p.year, p.month, d)) nextMonth();
  return EncodeDate(p.year, p.month, d);
}

TDateTime LiteralNextDateOfYear(int m, int d, TDateTime x) {
  const DateParts p = DecodeDate(x);
  int y = p.year;
  if (!(m > p.month || (m == p.month && d >= p.day))) ++y;
  while (!IsValidDate(y, m, d)) ++y;
  return EncodeDate(y, m, d);
}

TDateTime LiteralNextFirstOfMonth(TDateTime x) {
  const TDateTime r = LiteralNextDayOfMonth(1, x);
  return r != x ? r : LiteralNextDayOfMonth(1, x + 1);
}

bool LiteralIsOffDay(TDateTime x) {
  const int wd = DayOfWeek(x);
  return wd == 1 || wd == 7 || IsHoliday(DayOf(x));
}

TDateTime LiteralNextFirstBusinessDay(TDateTime x) {
  TDateTime f = LiteralNextFirstOfMonth(x - DecodeDate(x).day);
  while (LiteralIsOffDay(f)) f += 1;
  if (f == x) return x;
  f = LiteralNextFirstOfMonth(x - 1);
  while (LiteralIsOffDay(f)) f += 1;
  return f;
}

TDateTime LiteralLastBusinessDayOfMonth(TDateTime x) {
  TDateTime l = LiteralNextFirstOfMonth(x) - 1;
  while (LiteralIsOffDay(l)) l -= 1;
  return l;
}

int Num(const std::string& s, std::size_t pos, std::size_t len) {
  return std::atoi(s.substr(pos, len).c_str());
}

TDateTime YearlyOccurrence(const std::string& code, TDateTime d) {
  return LiteralNextDateOfYear(Num(code, 0, 2), Num(code, 2, 2), d);
}

TDateTime MonthlyOccurrence(const std::string& code, TDateTime d) {
  if (code[0] == '1') return LiteralNextDayOfMonth(Num(code, 1, 2), d);
  if (code[0] == '2') {
    if (code.substr(1, 2) == "08") return LiteralNextFirstBusinessDay(d);
    return LiteralNextNthWeekday(1, Num(code, 2, 1), d);
  }
  if (code[0] == '3') {
    if (code.substr(1, 2) == "08") return LiteralLastBusinessDayOfMonth(d);
    const int w = Num(code, 2, 1);
    TDateTime b = LiteralNextNthWeekday(1, w, d);
    if (b < d + 7) b = LiteralNextNthWeekday(1, w, d + 7);
    return b - 7;
  }
  return LiteralNextFirstOfMonth(d) - 1;
}

TDateTime WeeklyOccurrence(const std::string& code, TDateTime d) {
  if (code[0] != '8') {
    const int type = Num(code, 0, 1);
    const int w = Num(code, 1, 1);
    if (type <= 5) return LiteralNextNthWeekday(type == 1 ? 0 : type - 1, w, d);
    const int n = type == 6 ? 1 : 2;
    const TDateTime a = LiteralNextNthWeekday(n, w, d);
    const TDateTime b = LiteralNextNthWeekday(n + 2, w, d);
    return a < b ? a : b;
  }
  for (TDateTime x = d;; x += 1) {
    const int wd = DayOfWeek(x);
    bool ok = true;
    if (code == "82") ok = wd != 1 && wd != 7 && !IsHoliday(DayOf(x));
    if (code == "83") ok = wd == 2 || wd == 4 || wd == 6;
    if (code == "84") ok = wd == 3 || wd == 5 || wd == 7;
    if (code == "85") ok = wd == 1 || wd == 7;
    if (code == "86") ok = IsHoliday(DayOf(x));
    if (code == "87") ok = wd == 1 || wd == 7 || IsHoliday(DayOf(x));
    if (ok) return x;
  }
}

// Every row of every table, O computed and compared with D, the bit added per matching row.
int LiteralDayMask(const EventStore& store, TDateTime d) {
  int mask = 0;
  for (int row = 1; row <= store.year.DataRowCount(); ++row) {
    if (YearlyOccurrence(std::string(store.year.Cell(YearCol::kTypeCode, row)), d) != d) continue;
    if (!HourMinuteToTime(store.year.Cell(YearCol::kTime, row))) continue;
    mask |= kMaskYearly;
  }
  for (int row = 1; row <= store.month.DataRowCount(); ++row) {
    if (MonthlyOccurrence(std::string(store.month.Cell(MonthCol::kTypeCode, row)), d) != d)
      continue;
    if (!HourMinuteToTime(store.month.Cell(MonthCol::kTime, row))) continue;
    mask |= kMaskMonthly;
  }
  for (int row = 1; row <= store.week.DataRowCount(); ++row) {
    if (WeeklyOccurrence(std::string(store.week.Cell(WeekCol::kTypeCode, row)), d) != d) continue;
    if (!HourMinuteToTime(store.week.Cell(WeekCol::kTime, row))) continue;
    mask |= kMaskWeekly;
  }
  return mask;
}

// --- 1,000 events of every kind --------------------------------------------------------------

class CountingHost final : public EngineHost {
 public:
  void ShowNotice(const std::string& text) override {
    ++notices;
    bytes += static_cast<std::int64_t>(text.size());
  }
  bool SaveEventFile() override { return true; }
  void RedrawCalendar() override {}
  bool OnTimeNotices() const override { return true; }
  bool StartUpNotices() const override { return true; }
  HolidayLaw Holidays() const override { return HolidayLaw::k2005; }
  std::int64_t notices = 0;
  std::int64_t bytes = 0;
};

std::string Time(int i) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d:%02d", (i * 7) % 24, (i * 13) % 60);
  return buf;
}

std::string Alarm(int i) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02d", i % 15 + 1);
  return buf;
}

// A third of each kind; the rarer rules (a given date, the n-th weekday, the holiday patterns)
// are as common as the rest, so a redraw cannot finish early on an every-day row.
void FillThousand(EventStore& store) {
  const std::vector<std::string> weekly = {"86", "87", "22", "33", "44", "55", "62",
                                           "73", "27", "36", "45", "54", "12", "85",
                                           "83", "84", "82", "81", "18"};
  const std::vector<std::string> monthly = {"208", "308", "203", "306", "400", "115",
                                            "131", "201", "307", "129", "110"};
  for (int i = 0; i < 334; ++i) {
    const std::string code = weekly[static_cast<std::size_t>(i) % weekly.size()];
    store.week.InsertRow(store.week.DataRowCount() + 1, WeekRow(code, Time(i), "w", Alarm(i)));
  }
  for (int i = 0; i < 333; ++i) {
    const std::string code = monthly[static_cast<std::size_t>(i) % monthly.size()];
    store.month.InsertRow(store.month.DataRowCount() + 1, MonthRow(code, Time(i), "m", Alarm(i)));
  }
  for (int i = 0; i < 333; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "%02d%02d", i % 12 + 1, (i * 7) % 28 + 1);
    store.year.InsertRow(store.year.DataRowCount() + 1,
                         YearRow(code, Time(i), "y", Alarm(i), "FALSE"));
  }
}

const TDateTime kFirstDay = EncodeDate(2005, 4, 1);  // Golden Week included
constexpr int kDays = 93;

struct Fixture {
  EventStore store;
  AppState state;
  CountingHost host;
  EventEngine engine{store, state, host};

  Fixture() {
    FillThousand(store);
    // Both ways must agree, or the comparison means nothing.
    for (int i = 0; i < kDays; ++i) {
      const TDateTime d = kFirstDay + i;
      if (engine.EventCheck(CheckMode::kDayMask, d, 0) != LiteralDayMask(store, d)) {
        std::fprintf(stderr, "day masks differ on day %d\n", i);
        std::abort();
      }
    }
  }
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

void Redraw93Days(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    int sum = 0;
    for (int i = 0; i < kDays; ++i)
      sum += f.engine.EventCheck(CheckMode::kDayMask, kFirstDay + i, 0);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDays);
}

// Every row examined on every day: the engine's per-row cost without the early end of a mask.
void EventsOn93Days(benchmark::State& state) {
  Fixture& f = Shared();
  std::size_t events = 0;
  for (auto _ : state) {
    events = 0;
    for (int i = 0; i < kDays; ++i) events += f.engine.EventsOn(kFirstDay + i).size();
    benchmark::DoNotOptimize(events);
  }
  state.SetItemsProcessed(state.iterations() * kDays);
  state.counters["events"] = static_cast<double>(events);
}

void LiteralRedraw93Days(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    int sum = 0;
    for (int i = 0; i < kDays; ++i) sum += LiteralDayMask(f.store, kFirstDay + i);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kDays);
}

void ClearMarks(EventStore& store) {
  for (int r = 1; r <= store.week.DataRowCount(); ++r) store.week.SetCell(WeekCol::kDone, r, "");
  for (int r = 1; r <= store.month.DataRowCount(); ++r) {
    store.month.SetCell(MonthCol::kDone, r, "");
  }
  for (int r = 1; r <= store.year.DataRowCount(); ++r) store.year.SetCell(YearCol::kDone, r, "");
}

// The first pass after start-up at noon on a Golden Week holiday: every event of the day is
// announced (overdue, advance or start-up) and marked.
void StartUpAlarmPass(benchmark::State& state) {
  Fixture f;
  const TDateTime now = EncodeDate(2005, 5, 3) + EncodeTime(12, 0, 0, 10);
  for (auto _ : state) {
    state.PauseTiming();
    ClearMarks(f.store);
    f.state = AppState{};
    state.ResumeTiming();
    f.engine.AlarmPass(now);
  }
  state.counters["notices/pass"] =
      benchmark::Counter(static_cast<double>(f.host.notices), benchmark::Counter::kAvgIterations);
}

// An ordinary minute later the same day: the marks hold, so few or no notices.
void MinuteAlarmPass(benchmark::State& state) {
  Fixture f;
  const TDateTime day = EncodeDate(2005, 5, 3);
  f.engine.AlarmPass(day + EncodeTime(12, 0, 0, 10));
  f.host.notices = 0;
  const TDateTime now = day + EncodeTime(12, 1, 0, 10);
  for (auto _ : state) f.engine.AlarmPass(now);
  state.counters["notices/pass"] =
      benchmark::Counter(static_cast<double>(f.host.notices), benchmark::Counter::kAvgIterations);
}

BENCHMARK(Redraw93Days)
    ->Name("EventCheck/daymask/93days/1000events")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(EventsOn93Days)->Name("EventsOn/93days/1000events")->Unit(benchmark::kMicrosecond);
BENCHMARK(LiteralRedraw93Days)
    ->Name("LiteralSearches/daymask/93days/1000events")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(StartUpAlarmPass)
    ->Name("EventCheck/alarm/startup/1000events")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(MinuteAlarmPass)
    ->Name("EventCheck/alarm/minute/1000events")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vespin

BENCHMARK_MAIN();
