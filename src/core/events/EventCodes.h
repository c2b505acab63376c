#pragma once
// What a day mask needs of the events, and no more: by kind, the distinct rule codes of the rows
// that have a time (a row without one never falls on any date). A file of thousands of events
// holds a few hundred codes at most, so the panel draws its first calendar from these before it
// builds the tables, and draws the same underlines it will draw from the tables.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "events/DayRules.h"

namespace vespin {

struct EventCodes {
  std::array<std::vector<std::string>, 3> byKind;  // in KindIndex order, each code once
};

// Read from the file's bytes as ParseEventFile reads its rows.
EventCodes ReadEventCodes(std::string_view fileBytes);

// The day mask the engine gives for the same events (kMaskYearly | kMaskMonthly | kMaskWeekly).
int DayMaskOf(const EventCodes& codes, const DayFacts& facts);

}  // namespace vespin
