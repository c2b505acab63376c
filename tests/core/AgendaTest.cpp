#include "agenda/Agenda.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineOccurrences.h"
#include "RandomEventFile.h"
#include "TempDir.h"
#include "events/EventFile.h"
#include "events/EventRows.h"

namespace vespin {
namespace {

using Days = std::chrono::days;

sys_days D(int y, int m, int d) {
  return DayOf(EncodeDate(y, m, d));
}

std::string MonthDay(sys_days day) {
  const DateParts p = DecodeDate(day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d-%02d", p.month, p.day);
  return buf;
}

std::string Iso(sys_days day) {
  return std::to_string(static_cast<int>(std::chrono::year_month_day{day}.year())) + "-" +
         MonthDay(day);
}

// "MM-DD HH:MM text" per occurrence, of the rows with text `only` when it is given.
std::string Listing(const std::vector<CompactEvent>& rows, sys_days first, sys_days last,
                    HolidayLaw law, const char* only = nullptr) {
  std::string out;
  ForEachOccurrence(rows, first, last, law, [&](sys_days day, const CompactEvent& e) {
    if (!only || e.text == only)
      out += MonthDay(day) + " " + HourMinuteText(e.timeMs) + " " + e.text + "\n";
    return true;
  });
  return out;
}

EventStore Sample() {
  EventStore store;
  store.week.InsertRow(1, WeekRow("13", "08:00", "tuesday", "04"));
  store.week.InsertRow(2, WeekRow("86", "10:00", "holiday", "01"));
  store.week.InsertRow(3, WeekRow("81", "8:0", "bad time", "01"));
  store.month.InsertRow(1, MonthRow("400", "", "last day", "04"));
  store.year.InsertRow(1, YearRow("0101", "19:00", "new year", "04", "FALSE"));
  store.year.InsertRow(2, YearRow("1231", "23:00", "once", "04", "TRUE"));
  return store;
}

TEST(AgendaTest, OccurrencesComeByDateThenInTheEnginesWalkOrder) {
  const struct {
    const char* why;
    sys_days first, last;
    const char* only;  // the listing of this text alone; nullptr: every event
    const char* listing;
    HolidayLaw law = HolidayLaw::k2005;
  } cases[] = {
      {"a year's turn: walk order within a date, not time order; a bad time never falls",
       D(2024, 12, 31), D(2025, 1, 1), nullptr,
       "12-31 23:00 once\n"
       "12-31 00:00 last day\n"
       "12-31 08:00 tuesday\n"
       "01-01 19:00 new year\n"
       "01-01 10:00 holiday\n"},
      {"a yearly row flagged for deletion falls due once", D(2024, 1, 1), D(2027, 12, 31), "once",
       "12-31 23:00 once\n"},
      {"the same from the middle of a year", D(2025, 6, 1), D(2027, 12, 31), "once",
       "12-31 23:00 once\n"},
      {"an end before the start", D(2025, 1, 2), D(2025, 1, 1), nullptr, ""},
      {"days past the calendar's last one have nothing", D(9999, 12, 31), D(9999, 12, 31) + Days{5},
       nullptr, "12-31 23:00 once\n12-31 00:00 last day\n"},
      {"days before its first one neither", D(1, 1, 1) - Days{3}, D(1, 1, 1), "new year",
       "01-01 19:00 new year\n"},
      {"holidays of the 2005 law", D(2025, 2, 20), D(2025, 2, 28), "holiday", ""},
      {"holidays of the current law", D(2025, 2, 20), D(2025, 2, 28), "holiday",
       "02-23 10:00 holiday\n02-24 10:00 holiday\n", HolidayLaw::kCurrent},
  };
  const std::vector<CompactEvent> rows = CompactRows(Sample());
  for (const auto& c : cases) {
    EXPECT_EQ(Listing(rows, c.first, c.last, c.law, c.only), c.listing) << c.why;
  }
}

TEST(AgendaTest, TheWalkStopsWhenTheVisitorSaysSo) {
  int visits = 0;
  ForEachOccurrence(CompactRows(Sample()), D(2025, 1, 1), D(2025, 12, 31), HolidayLaw::k2005,
                    [&](sys_days, const CompactEvent&) { return ++visits < 3; });
  EXPECT_EQ(visits, 3);
}

// The rows read from the file and the rows of the loaded tables walk alike, row numbers
// included, and both list what the engine lists day by day.
TEST(AgendaTest, FileRowsAndTableRowsGiveTheEnginesOccurrences) {
  test::TempDir dir;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    test::RandomEventFile gen(seed);
    const bool currentLaw = seed % 2 == 0;
    const std::string bytes = gen.Make(200, currentLaw);
    const auto file = dir.Write("r.ini", bytes);
    EventStore store;
    Settings settings;
    ParseEventFile(bytes, store, settings);
    const HolidayLaw law = settings.extensions.holidayLaw;
    const sys_days first = D(1990 + gen.Pick(60), 1, 1) + Days{gen.Pick(366)};
    const sys_days last = first + Days{gen.Pick(500)};

    using Seen = std::vector<std::string>;  // "day kind row HH:MM text"
    const auto walk = [&](const std::vector<CompactEvent>& rows) {
      Seen seen;
      ForEachOccurrence(rows, first, last, law, [&](sys_days day, const CompactEvent& e) {
        seen.push_back(Iso(day) + " " + KindName(e.kind) + " " + std::to_string(e.row) + " " +
                       HourMinuteText(e.timeMs) + " " + e.text);
        return true;
      });
      return seen;
    };
    Seen engine;
    for (const DayEvent& e :
         test::EngineOccurrences(store, ToDateTime(first), ToDateTime(last), law)) {
      engine.push_back(Iso(DayOf(e.occurrence)) + " " + KindName(e.kind) + " " +
                       std::to_string(e.row) + " " + e.timeText + " " + e.text);
    }
    const auto read = ReadCompactEvents(file, [](EventKind, std::string_view) { return true; });
    ASSERT_TRUE(read);
    EXPECT_FALSE(engine.empty()) << "seed " << seed << ": a dull draw";
    EXPECT_EQ(walk(read->events), engine) << "seed " << seed;
    EXPECT_EQ(walk(CompactRows(store)), engine) << "seed " << seed;
    // Rows passed by still count: a kept row keeps the number it has in the whole table.
    const auto odd = [](EventKind, std::string_view code) { return !code.empty() && code[0] % 2; };
    const auto some = ReadCompactEvents(file, odd);
    ASSERT_TRUE(some);
    std::vector<CompactEvent> want = read->events;
    std::erase_if(want, [&](const CompactEvent& e) { return !odd(e.kind, e.code); });
    EXPECT_EQ(walk(some->events), walk(want)) << "seed " << seed;
  }
}

}  // namespace
}  // namespace vespin
