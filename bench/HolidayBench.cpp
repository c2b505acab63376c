// The holiday test over every day from 1948 to 2099, against the rules evaluated literally
// (walking back a day at a time for substitute holidays), in the same run.

#include <benchmark/benchmark.h>

#include "LiteralHolidays.h"
#include "calendar/DateTime.h"
#include "calendar/Hizuke.h"
#include "calendar/Julius.h"

namespace vespin {
namespace {

using test::LiteralIsHoliday;

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
