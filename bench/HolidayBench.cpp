// The holiday test under both rule sets, over every day from 1948 to 2150 in order and over
// random dates of the same span, against the 2005 rules evaluated literally (walking back a day
// at a time for substitute holidays), in the same run. Also what working out one year costs,
// which a date pays once for its year.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "LiteralHolidays.h"
#include "calendar/DateTime.h"
#include "calendar/Hizuke.h"
#include "calendar/HolidayRules.h"

namespace vespin {
namespace {

using test::LiteralIsHoliday;

constexpr int kFirstYear = 1948;
constexpr int kLastYear = 2150;

bool Holiday2005(TDateTime t) {
  return IsHoliday(DayOf(t), HolidayLaw::k2005);
}
bool HolidayCurrent(TDateTime t) {
  return IsHoliday(DayOf(t), HolidayLaw::kCurrent);
}

template <bool (*Test)(TDateTime)>
void InOrder(benchmark::State& state) {
  const TDateTime first = EncodeDate(kFirstYear, 1, 1);
  const TDateTime last = EncodeDate(kLastYear, 12, 31);
  int holidays = 0;
  for (auto _ : state) {
    holidays = 0;
    for (TDateTime t = first; t <= last; t += 1) holidays += Test(t) ? 1 : 0;
    benchmark::DoNotOptimize(holidays);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(last - first + 1));
  state.counters["holidays"] = holidays;
}

const std::vector<TDateTime>& RandomDates() {
  static const std::vector<TDateTime> dates = [] {
    std::mt19937 random(20260223);
    std::uniform_int_distribution<int> day(static_cast<int>(EncodeDate(kFirstYear, 1, 1)),
                                           static_cast<int>(EncodeDate(kLastYear, 12, 31)));
    std::vector<TDateTime> out(1 << 16);
    for (auto& t : out) t = day(random);
    return out;
  }();
  return dates;
}

template <bool (*Test)(TDateTime)>
void RandomOrder(benchmark::State& state) {
  const auto& dates = RandomDates();
  int holidays = 0;
  for (auto _ : state) {
    holidays = 0;
    for (const TDateTime t : dates) holidays += Test(t) ? 1 : 0;
    benchmark::DoNotOptimize(holidays);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(dates.size()));
  state.counters["holidays"] = holidays;
}

void BuildEveryYear(benchmark::State& state) {
  const auto law = static_cast<HolidayLaw>(state.range(0));
  for (auto _ : state) {
    for (int year = kFirstYear; year <= kLastYear; ++year) {
      benchmark::DoNotOptimize(BuildHolidayYear(year, law));
    }
  }
  state.SetItemsProcessed(state.iterations() * (kLastYear - kFirstYear + 1));
}

BENCHMARK(InOrder<Holiday2005>)->Name("InOrder/2005/1948-2150")->Unit(benchmark::kMillisecond);
BENCHMARK(InOrder<HolidayCurrent>)
    ->Name("InOrder/current/1948-2150")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(InOrder<LiteralIsHoliday>)
    ->Name("InOrder/literal2005/1948-2150")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(RandomOrder<Holiday2005>)->Name("Random/2005/1948-2150")->Unit(benchmark::kMicrosecond);
BENCHMARK(RandomOrder<HolidayCurrent>)
    ->Name("Random/current/1948-2150")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(RandomOrder<LiteralIsHoliday>)
    ->Name("Random/literal2005/1948-2150")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BuildEveryYear)
    ->Name("BuildYear/2005")
    ->Arg(static_cast<int>(HolidayLaw::k2005))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BuildEveryYear)
    ->Name("BuildYear/current")
    ->Arg(static_cast<int>(HolidayLaw::kCurrent))
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vespin

BENCHMARK_MAIN();
