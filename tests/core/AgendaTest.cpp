#include "agenda/Agenda.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/EventFile.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

TDateTime D(int y, int m, int d) {
  return EncodeDate(y, m, d);
}

// "MM-DD HH:MM text" per occurrence.
std::string Listing(const std::vector<DayEvent>& events) {
  std::string out;
  for (const DayEvent& e : events) {
    const DateParts p = DecodeDate(e.occurrence);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d-%02d ", p.month, p.day);
    out += buf + e.timeText + " " + e.text + "\n";
  }
  return out;
}

EventStore Sample() {
  EventStore store;
  store.week.InsertRow(1, WeekRow("13", "08:00", "tuesday", "04"));
  store.week.InsertRow(2, WeekRow("86", "10:00", "holiday", "01"));
  store.month.InsertRow(1, MonthRow("400", "", "last day", "04"));
  store.year.InsertRow(1, YearRow("0101", "19:00", "new year", "04", "FALSE"));
  store.year.InsertRow(2, YearRow("1231", "23:00", "once", "04", "TRUE"));
  return store;
}

TEST(AgendaTest, OccurrencesComeByDateThenInTheEnginesWalkOrder) {
  const struct {
    const char* why;
    TDateTime first, last;
    const char* only;  // the listing of this text alone; nullptr: every event
    const char* listing;
    HolidayLaw law = HolidayLaw::k2005;
  } cases[] = {
      {"a year's turn: walk order within a date, not time order", D(2024, 12, 31), D(2025, 1, 1),
       nullptr,
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
      {"days past the calendar's last one have nothing", D(9999, 12, 31), D(9999, 12, 31) + 5,
       nullptr, "12-31 23:00 once\n12-31 00:00 last day\n"},
      {"holidays of the 2005 law", D(2025, 2, 20), D(2025, 2, 28), "holiday", ""},
      {"holidays of the current law", D(2025, 2, 20), D(2025, 2, 28), "holiday",
       "02-23 10:00 holiday\n02-24 10:00 holiday\n", HolidayLaw::kCurrent},
  };
  const EventStore store = Sample();
  for (const auto& c : cases) {
    std::vector<DayEvent> events = Occurrences(store, c.first, c.last, c.law);
    if (c.only) std::erase_if(events, [&](const DayEvent& e) { return e.text != c.only; });
    EXPECT_EQ(Listing(events), c.listing) << c.why;
  }
}

TEST(AgendaTest, TheWalkStopsWhenTheVisitorSaysSo) {
  int visits = 0;
  ForEachOccurrence(Sample(), D(2025, 1, 1), D(2025, 12, 31), HolidayLaw::k2005,
                    [&](const DayEvent&) { return ++visits < 3; });
  EXPECT_EQ(visits, 3);
}

}  // namespace
}  // namespace vespin
