// Load and save of a vespin.ini with 10,000 events, in memory and through the file; the
// companion's streamed reading of one day's rows, and its agenda of a year.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "agenda/Agenda.h"
#include "events/CompactEvents.h"
#include "events/EventFile.h"
#include "text/Sjis.h"

namespace {

using namespace vespin;

constexpr int kEvents = 10'000;  // unless a benchmark asks for another count

// A realistic mix: weekly, monthly and yearly lines with Japanese texts near the 32-byte cap.
std::string BigFile(int events = kEvents) {
  const char* texts[] = {
      "定例会議",         "週次報告の提出", "経費精算の締め切り",    "歯科検診の予約",
      "月次バックアップ", "英会話教室",     "母の誕生日のプレゼント"};
  const char* weekly[] = {"13", "22", "36", "44", "57", "65", "72", "81", "82", "87"};
  const char* monthly[] = {"101", "115", "131", "203", "208", "306", "308", "400"};
  auto line = [](std::string s) { return sjis::Lit(s) + "\r\n"; };
  std::string out = line("[週間]");
  for (int i = 0; i < events * 4 / 10; ++i) {
    out += line(std::string(weekly[i % 10]) + ",09:30," + texts[i % 7] + ",04");
  }
  out += line("[月間]");
  for (int i = 0; i < events * 3 / 10; ++i) {
    out += line(std::string(monthly[i % 8]) + ",18:00," + texts[(i + 3) % 7] + ",08");
  }
  out += line("[年間]");
  for (int i = 0; i < events * 3 / 10; ++i) {
    char code[8];
    std::snprintf(code, sizeof code, "%02d%02d", i % 12 + 1, i % 28 + 1);
    out += line(std::string(code) + ",07:00," + texts[(i + 5) % 7] + ",13," +
                (i % 2 ? "TRUE" : "FALSE"));
  }
  out += line("[設定]");
  out += line("1180,0,CLEAR,BRIGHT,ＭＳ ゴシック,TRUE,12,1,TRUE,TRUE,FALSE,TRUE,TRUE,2");
  out += line("[バージョン]");
  out += line("vespin Ver3.2(2005.04.18)");
  return out;
}

class SilentNotifier final : public Notifier {
 public:
  void ShowNotice(const std::string&) override {}
};

// A scratch folder holding vespin.ini, removed afterwards.
struct Scratch {
  explicit Scratch(int events = kEvents) {
    std::string templ = (std::filesystem::temp_directory_path() / "vespin-bench-XXXXXX").string();
    folder = mkdtemp(templ.data());
    std::ofstream(folder / kEventFileName, std::ios::binary) << BigFile(events);
  }
  ~Scratch() { std::filesystem::remove_all(folder); }
  std::filesystem::path File() const { return folder / kEventFileName; }
  std::filesystem::path folder;
};

void BM_ParseEventFile(benchmark::State& state) {
  const std::string bytes = BigFile();
  EventStore store;
  for (auto _ : state) {
    Settings settings;
    ParseEventFile(bytes, store, settings);
    benchmark::DoNotOptimize(store.year.DataRowCount());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_ParseEventFile)->Unit(benchmark::kMillisecond);

// What the panel's start pays: a store of its own, every cell in fresh memory.
void BM_ParseEventFileFresh(benchmark::State& state) {
  const std::string bytes = BigFile();
  for (auto _ : state) {
    EventStore store;
    Settings settings;
    ParseEventFile(bytes, store, settings);
    benchmark::DoNotOptimize(store.year.DataRowCount());
  }
}
BENCHMARK(BM_ParseEventFileFresh)->Unit(benchmark::kMillisecond);

void BM_FormatEventFile(benchmark::State& state) {
  EventStore store;
  Settings settings;
  ParseEventFile(BigFile(), store, settings);
  for (auto _ : state) benchmark::DoNotOptimize(FormatEventFile(store, settings));
}
BENCHMARK(BM_FormatEventFile)->Unit(benchmark::kMillisecond);

void BM_IniLoad(benchmark::State& state) {
  Scratch scratch;
  SilentNotifier notifier;
  EventFile file(scratch.File(), notifier);
  EventStore store;
  for (auto _ : state) {
    Settings settings;
    if (!file.IniLoad(store, settings).ok) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_IniLoad)->Unit(benchmark::kMillisecond);

// Includes the flush to disk that makes the save safe, so it mostly measures the storage.
void BM_IniSave(benchmark::State& state) {
  Scratch scratch;
  SilentNotifier notifier;
  EventFile file(scratch.File(), notifier);
  EventStore store;
  Settings settings;
  file.IniLoad(store, settings);
  for (auto _ : state) {
    if (!file.IniSave(store, settings)) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_IniSave)->Unit(benchmark::kMillisecond);

// What `day` reads: the rows that fall on one date, the rest passed by.
void BM_CompactDay(benchmark::State& state) {
  Scratch scratch(static_cast<int>(state.range(0)));
  const DayFacts facts(*EventDay(EncodeDate(2025, 3, 3)), HolidayLaw::k2005);
  for (auto _ : state) {
    const auto read = ReadCompactEvents(scratch.File(), [&](EventKind kind, std::string_view code) {
      return facts.Falls(kind, code);
    });
    if (!read) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(read->events.size());
  }
}
BENCHMARK(BM_CompactDay)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// What `agenda` does for a year: every row read, every day walked.
void BM_Agenda365(benchmark::State& state) {
  Scratch scratch(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const auto read =
        ReadCompactEvents(scratch.File(), [](EventKind, std::string_view) { return true; });
    if (!read) state.SkipWithError("read failed");
    std::size_t occurrences = 0;
    ForEachOccurrence(read->events, DayOf(EncodeDate(2025, 1, 1)), DayOf(EncodeDate(2025, 12, 31)),
                      HolidayLaw::k2005, [&](sys_days, const CompactEvent&) {
                        ++occurrences;
                        return true;
                      });
    benchmark::DoNotOptimize(occurrences);
  }
}
BENCHMARK(BM_Agenda365)->Arg(1'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
