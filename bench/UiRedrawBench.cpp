// A full redraw of the main window's calendar: three months, 1,000 events of every kind, every
// underline on. DrawCalendar (the sheet with its 93 day masks from the engine) and the painting
// of the window, under the offscreen platform. One 60 Hz frame is 16.7 ms.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "UiText.h"
#include "app/Main.h"
#include "calendar/Clock.h"
#include "events/AppState.h"
#include "events/EngineHost.h"
#include "events/EventEngine.h"
#include "events/EventRows.h"
#include "events/EventStore.h"
#include "events/Settings.h"

namespace vespin {
namespace {

class FixedClock final : public Clock {
 public:
  TDateTime Now() const override { return EncodeDate(2005, 4, 18) + EncodeTime(10, 0); }
};

class SilentHost final : public EngineHost {
 public:
  void ShowNotice(const std::string&) override {}
  bool SaveEventFile() override { return true; }
  void RedrawCalendar() override {}
  bool OnTimeNotices() const override { return false; }
  bool StartUpNotices() const override { return false; }
  HolidayLaw Holidays() const override { return HolidayLaw::k2005; }
};

std::string Two(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// A third of each kind, the rarer rules as common as the rest.
void FillThousand(EventStore& store) {
  const std::vector<std::string> weekly = {"86", "87", "22", "33", "44", "55", "62", "73", "27",
                                           "36", "45", "54", "12", "85", "83", "84", "82", "81"};
  const std::vector<std::string> monthly = {"208", "308", "203", "306", "400", "115",
                                            "131", "201", "307", "129", "110"};
  for (int i = 0; i < 1000; ++i) {
    const std::string time = Two((i * 7) % 24) + ":" + Two((i * 13) % 60);
    const std::string alarm = Two(i % 15 + 1);
    if (i % 3 == 0) {
      store.week.InsertRow(
          store.week.DataRowCount() + 1,
          WeekRow(weekly[static_cast<std::size_t>(i) % weekly.size()], time, "w", alarm));
    } else if (i % 3 == 1) {
      store.month.InsertRow(
          store.month.DataRowCount() + 1,
          MonthRow(monthly[static_cast<std::size_t>(i) % monthly.size()], time, "m", alarm));
    } else {
      store.year.InsertRow(
          store.year.DataRowCount() + 1,
          YearRow(Two(i % 12 + 1) + Two((i * 7) % 28 + 1), time, "y", alarm, "FALSE"));
    }
  }
}

struct Fixture {
  FixedClock clock;
  AppState state;
  EventStore store;
  Settings settings;
  SilentHost host;
  EventEngine engine{store, state, host};
  std::unique_ptr<ui::TfrmMain> window;

  Fixture() {
    ui::RegisterFontSubstitutions();
    FillThousand(store);
    settings.fontName = "";
    settings.months = 3;
    settings.yearLine = settings.monthLine = settings.weekLine = true;
    window = std::make_unique<ui::TfrmMain>(
        clock, state, settings, WeekdayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"});
    window->SetEventChecker(&engine);
    window->ApplySettings();
  }
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

void DrawCalendar(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) f.window->DrawCalendar();
}

void PaintWindow(benchmark::State& state) {
  Fixture& f = Shared();
  QImage image(f.window->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    f.window->render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
}

void FullRedraw(benchmark::State& state) {
  Fixture& f = Shared();
  QImage image(f.window->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    f.window->DrawCalendar();
    f.window->render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
}

BENCHMARK(DrawCalendar)
    ->Name("MainWindow/DrawCalendar/3months/1000events")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(PaintWindow)->Name("MainWindow/Paint/3months")->Unit(benchmark::kMicrosecond);
BENCHMARK(FullRedraw)
    ->Name("MainWindow/FullRedraw/3months/1000events")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vespin

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
