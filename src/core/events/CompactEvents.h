#pragma once
// The events as a walk over dates needs them: the rule code, the time, the text and the delete
// flag, without the dialog's display names or table cells. From a file they are read a piece at
// a time, so a query that keeps few rows never holds a large file whole; a row that is not kept
// costs no more than finding its code.
//
//   vespin.ini --StreamEventFile--> lines --keep + ReadEventLine--> CompactEvent (walk order)
//   EventStore --CompactRows--> CompactEvent (walk order)

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/HolidayLaw.h"
#include "events/DayRules.h"
#include "events/EventStore.h"
#include "events/Settings.h"

namespace vespin {

struct CompactEvent {
  EventKind kind = EventKind::kYearly;
  int row = 0;  // its row in its table, from 1: the place of its line in its section
  std::string code;
  std::int64_t timeMs = 0;  // time of day; an empty time cell is midnight
  std::string text;         // Shift_JIS
  bool deleteOnceDue = false;
};

// Decides from a row's kind and code alone whether the row is wanted.
using EventFilter = std::function<bool(EventKind kind, std::string_view code)>;

struct CompactEvents {
  std::vector<CompactEvent> events;
  // The file's holiday choice; it stands in the extension section at the end of the file, so
  // a filter that depends on holidays must keep what either rule set lets through.
  HolidayLaw holidayLaw = HolidayLaw::k2005;
  // Other calendars the file subscribes to, and whether their days are underlined.
  std::vector<Subscription> subscriptions;
  bool remoteLine = false;
};

// The rows the filter keeps, in walk order (yearly, monthly, weekly; each in file order), read
// as the file reader reads them. Rows whose time is not HH:MM never fall on any date and are
// left out. nullopt when the file cannot be read.
std::optional<CompactEvents> ReadCompactEvents(const std::filesystem::path& path,
                                               const EventFilter& keep);

// The rows of the tables in walk order, each with its row number. Rows whose time is not HH:MM
// never fall on any date and are left out, as the file reader leaves them out.
std::vector<CompactEvent> CompactRows(const EventStore& store);

}  // namespace vespin
