#pragma once
// The alarm lead times, each once: the code the file stores, the name the dialog lists, how long
// before the event its advance notice opens. The code table cdAlarm, the engine, iCalendar
// export (TRIGGER) and import (TRIGGER back to a code) and `vespin-cli check` all read this
// table, so a new lead time is one row here.

#include <array>
#include <cstdint>
#include <string_view>

#include "calendar/DateTime.h"

namespace vespin {

struct LeadTime {
  std::string_view code;  // as vespin.ini stores it
  const char* nameUtf8;   // as the dialog lists it
  std::int64_t msecs;     // how long before the event the advance notice opens
  // Announced when the program starts on the event's day instead of in advance; iCalendar has
  // no such alarm, so an export says so in words.
  bool atStartUp = false;
};

// In the order of the dialog's list.
inline constexpr auto kLeadTimes = std::to_array<LeadTime>({
    {"01", "起動時", 0, true},
    {"02", "1分前", kMsecsPerMinute},
    {"03", "3分前", 3 * kMsecsPerMinute},
    {"04", "5分前", 5 * kMsecsPerMinute},
    {"05", "10分前", 10 * kMsecsPerMinute},
    {"06", "15分前", 15 * kMsecsPerMinute},
    {"07", "30分前", 30 * kMsecsPerMinute},
    {"08", "1時間前", kMsecsPerHour},
    {"09", "2時間前", 2 * kMsecsPerHour},
    {"10", "3時間前", 3 * kMsecsPerHour},
    {"11", "6時間前", 6 * kMsecsPerHour},
    {"12", "12時間前", 12 * kMsecsPerHour},
    {"13", "1日前", kMsecsPerDay},
    {"14", "3日前", 3 * kMsecsPerDay},
    {"15", "7日前", 7 * kMsecsPerDay},
});

constexpr bool LeadCodesDiffer() {
  for (std::size_t i = 0; i < kLeadTimes.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (kLeadTimes[i].code == kLeadTimes[j].code) return false;
    }
  }
  return true;
}
static_assert(LeadCodesDiffer(), "each lead time has a code of its own");

// The row of a code, compared byte for byte; nullptr for any other text (a hand edit).
constexpr const LeadTime* FindLead(std::string_view code) {
  for (const LeadTime& lead : kLeadTimes) {
    if (lead.code == code) return &lead;
  }
  return nullptr;
}

// The lead of a code in milliseconds; 0 for a code the table does not know.
constexpr std::int64_t LeadMsecs(std::string_view code) {
  const LeadTime* lead = FindLead(code);
  return lead ? lead->msecs : 0;
}

// Whether the code is announced at start-up rather than in advance.
constexpr bool IsStartUpLead(std::string_view code) {
  const LeadTime* lead = FindLead(code);
  return lead && lead->atStartUp;
}

// The code announced at start-up: what an event gets when nothing says how early to announce it.
constexpr std::string_view StartUpLeadCode() {
  for (const LeadTime& lead : kLeadTimes) {
    if (lead.atStartUp) return lead.code;
  }
  return {};
}
static_assert(!StartUpLeadCode().empty(), "one lead time is announced at start-up");

}  // namespace vespin
