// The holiday test over every day from 1948 to 2099, against the rules evaluated literally
// (walking back a day at a time for substitute holidays), in the same run.

#include <benchmark/benchmark.h>

#include "calendar/DateTime.h"
#include "calendar/Hizuke.h"
#include "calendar/Julius.h"

namespace vespin {
namespace {

bool LiteralIsHoliday(TDateTime x) {
  const DateParts p = DecodeDate(x);
  const int y = p.year;
  const int md = p.month * 100 + p.day;
  int vernal = 0;
  int autumnal = 0;
  if (p.month == 3) {
    const auto e = JulianDayToDate(VernalEquinoxDay(y));
    if (e) vernal = e->month * 100 + e->day;
  }
  if (p.month == 9) {
    const auto e = JulianDayToDate(AutumnalEquinoxDay(y));
    if (e) autumnal = e->month * 100 + e->day;
  }
  if (y < 1948) return false;
  bool holiday = md == 101 || (md == 115 && y <= 1999) || (md == 211 && y >= 1966) ||
                 md == vernal || md == 429 || md == 503 || (md == 504 && y >= 1986) || md == 505 ||
                 (md == 720 && y >= 1996 && y <= 2002) || (md == 915 && y >= 1966 && y <= 2002) ||
                 md == autumnal || (md == 1010 && y >= 1966 && y <= 1999) || md == 1103 ||
                 md == 1123 || (md == 1223 && y >= 1989);
  const bool monday = DayOfWeek(x) == 2;
  if (!holiday) holiday = LiteralIsHoliday(x - 1) && monday;
  if (monday) {
    const int week = (p.day + 6) / 7;
    if (y >= 2000 && p.month == 1 && week == 2) holiday = true;
    if (y >= 2000 && p.month == 10 && week == 2) holiday = true;
    if (y >= 2003 && p.month == 7 && week == 3) holiday = true;
    if (y >= 2003 && p.month == 9 && week == 3) holiday = true;
  }
  return holiday;
}

template <bool (*Test)(TDateTime)>
void EveryDay1948To2099(benchmark::State& state) {
  const TDateTime first = EncodeDate(1948, 1, 1);
  const TDateTime last = EncodeDate(2099, 12, 31);
  int holidays = 0;
  for (auto _ : state) {
    holidays = 0;
    for (TDateTime t = first; t <= last; t += 1) holidays += Test(t) ? 1 : 0;
    benchmark::DoNotOptimize(holidays);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(last - first + 1));
  state.counters["holidays"] = holidays;
}

BENCHMARK(EveryDay1948To2099<IsHoliday>)
    ->Name("IsHoliday/1948-2099")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(EveryDay1948To2099<LiteralIsHoliday>)
    ->Name("LiteralIsHoliday/1948-2099")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vespin

BENCHMARK_MAIN();
