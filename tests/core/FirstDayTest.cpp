#include "events/FirstDay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "FakeEngineHost.h"
#include "events/EventEngine.h"
#include "events/EventFile.h"
#include "events/WholeFile.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

TDateTime At(int y, int mo, int d, int h, int mi, int s = 0) {
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0);
}

// The last moment of the day of `t`, where the clock's last pass of that day lands.
TDateTime EndOfDay(TDateTime t) {
  return FromMsecs((ToMsecs(t) / kMsecsPerDay + 1) * kMsecsPerDay - 1);
}

struct Sample {
  EventStore store;
  Settings settings;
};

const Sample& TheSample() {
  static const Sample sample = [] {
    Sample s;
    const auto bytes =
        ReadWholeFile(std::filesystem::path(VESPIN_SOURCE_DIR) / "examples" / "vespin.ini");
    EXPECT_TRUE(bytes.has_value());
    if (bytes) {
      EXPECT_TRUE(ParseEventFile(*bytes, s.store, s.settings));
    }
    return s;
  }();
  return sample;
}

// The program started on a copy of the tables with the file's notice settings, as the panel
// runs it: its passes are the clock's, from the start to `until`.
struct Started {
  EventStore store;
  AppState state;
  test::FakeEngineHost host;
  EventEngine engine{store, state, host};

  Started(const EventStore& tables, const Settings& settings) : store(tables) {
    host.onTime = settings.onTime;
    host.startUp = settings.startUp;
    host.holidays = settings.extensions.holidayLaw;
  }
  // The notices from `from` to `until`, each after the moment of its pass.
  std::vector<std::string> Passes(TDateTime from, TDateTime until) {
    std::vector<std::string> said;
    ForEachActingAlarmPass(from, until, engine, [&](TDateTime now) {
      const std::size_t before = host.notices.size();
      engine.AlarmPass(now);
      for (std::size_t i = before; i < host.notices.size(); ++i) {
        said.push_back(DateText(DateOf(now), {}) + " " + TimeText(TimeOf(now)) + " " +
                       host.notices[i]);
      }
    });
    return said;
  }
};

TEST(FirstDayTest, TheSampleSaysNothingOnTheDayItIsFirstStarted) {
  const Sample& sample = TheSample();
  ASSERT_GT(sample.store.week.DataRowCount() + sample.store.month.DataRowCount() +
                sample.store.year.DataRowCount(),
            0);
  // Every hour of every day of a leap year, the whole rest of the day run as the clock runs it.
  int startsWithComingEvents = 0;
  for (TDateTime day = EncodeDate(2028, 1, 1); day < EncodeDate(2029, 1, 1); day += 1) {
    for (int hour = 0; hour < 24; ++hour) {
      const TDateTime start = day + EncodeTime(hour, 0, 5, 0);
      Started quiet(sample.store, sample.settings);
      QuietDay(quiet.store, day, sample.settings.extensions.holidayLaw);
      const auto said = quiet.Passes(start, EndOfDay(start));
      ASSERT_TRUE(said.empty()) << said.front();

      // The panel shows the same coming events as without the quiet: only the notices go.
      Started loud(sample.store, sample.settings);
      quiet.state = AppState{};
      quiet.engine.AlarmPass(start);
      loud.engine.AlarmPass(start);
      for (int i = 0; i < kEventLineCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        EXPECT_EQ(quiet.state.EventLines[slot].text, loud.state.EventLines[slot].text);
        EXPECT_EQ(quiet.state.EventLines[slot].occurrence, loud.state.EventLines[slot].occurrence);
      }
      if (quiet.state.EventLines[0].occurrence != 0) ++startsWithComingEvents;
    }
  }
  // A sample that never lists anything would pass the above for nothing.
  EXPECT_GT(startsWithComingEvents, 366 * 6);
}

TEST(FirstDayTest, TheSampleIsHeardFromTheNextDayOnAsWithoutTheQuiet) {
  const Sample& sample = TheSample();
  std::size_t heard = 0;
  for (TDateTime day = EncodeDate(2028, 1, 1); day < EncodeDate(2029, 1, 1); day += 1) {
    const TDateTime start = day + EncodeTime(9, 0, 5, 0);
    const TDateTime nextDay = day + 1;
    Started quiet(sample.store, sample.settings);
    QuietDay(quiet.store, day, sample.settings.extensions.holidayLaw);
    Started loud(sample.store, sample.settings);
    auto quietSaid = quiet.Passes(start, EndOfDay(nextDay));
    auto loudSaid = loud.Passes(start, EndOfDay(nextDay));
    const std::string second = DateText(nextDay, {});
    const auto onFirstDay = [&second](const std::string& line) {
      return line.compare(0, second.size(), second) != 0;
    };
    EXPECT_TRUE(std::all_of(quietSaid.begin(), quietSaid.end(),
                            [&](const std::string& l) { return !onFirstDay(l); }));
    loudSaid.erase(std::remove_if(loudSaid.begin(), loudSaid.end(), onFirstDay), loudSaid.end());
    EXPECT_EQ(quietSaid, loudSaid) << second;
    heard += quietSaid.size();
  }
  EXPECT_GT(heard, 366u);
}

TEST(FirstDayTest, QuietDayMarksTheDaysOccurrencesOnlyAndDeletesNothing) {
  EventStore store;
  Settings settings;
  const std::string file = sjis::Lit(
      "[週間]\r\n13,10:00,会議,04\r\n14,10:00,水曜,04\r\n81,07:00,毎日,01\r\n"
      "[月間]\r\n119,12:00,十九日,08\r\n"
      "[年間]\r\n0419,06:00,一度きり,13,TRUE\r\n0420,06:00,明日,13,TRUE\r\n");
  ParseEventFile(file, store, settings);
  ASSERT_EQ(store.week.DataRowCount(), 3);
  const TDateTime tuesday = EncodeDate(2005, 4, 19);
  QuietDay(store, tuesday, HolidayLaw::k2005);
  const std::string done = DoneMarkText(DayOf(tuesday), true);
  const struct {
    const EventTable& table;
    int row;
    int doneCol;
    bool marked;
  } cases[] = {
      {store.week, 1, WeekCol::kDone, true}, {store.week, 2, WeekCol::kDone, false},
      {store.week, 3, WeekCol::kDone, true}, {store.month, 1, MonthCol::kDone, true},
      {store.year, 1, YearCol::kDone, true}, {store.year, 2, YearCol::kDone, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.table.Cell(c.doneCol, c.row), c.marked ? done : std::string()) << c.row;
  }

  // Started late in the day: nothing overdue, the flagged row stays; the next day is as always.
  Started run(store, settings);
  EXPECT_TRUE(run.Passes(At(2005, 4, 19, 23, 0), At(2005, 4, 19, 23, 59, 59)).empty());
  EXPECT_EQ(run.store.year.DataRowCount(), 2);
  const auto next = run.Passes(At(2005, 4, 20, 0, 0, 30), At(2005, 4, 20, 8, 0));
  ASSERT_FALSE(next.empty());
  EXPECT_EQ(run.store.year.DataRowCount(), 1);
}

}  // namespace
}  // namespace vespin
