#pragma once
// The events of another calendar, as the network helper caches them (one iCalendar file per
// subscription), expanded into their occurrences over a stretch of local days: every RRULE,
// RDATE and EXDATE, instances moved or cancelled through RECURRENCE-ID, all-day events, and
// any zone (the file's VTIMEZONE, UTC, or floating), converted to the process's local time.
//
//   calendar.ics --ReadRemoteCalendar--> RemoteOccurrence, … (vespin_core, no libical)

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "IcalLimits.h"
#include "calendar/DateTime.h"
#include "remote/RemoteOccurrence.h"

namespace vespin::ical {

// A cached calendar larger than an import may be is read only up to its last event before the
// limit: some times the 5,000 events of a busy calendar, and still read in a few seconds.
inline constexpr std::size_t kRemoteCalendarMaxBytes = kMaxCalendarBytes;
// No window lists more occurrences than this; the rest are cut off, and the cut is said.
inline constexpr std::size_t kRemoteOccurrenceCap = 100'000;

struct RemoteExpansion {
  std::vector<remote::RemoteOccurrence> occurrences;  // by start, then by key
  // Events left out, each with why ("UID: an unknown time zone (TZID=…)"), UTF-8.
  std::vector<std::string> problems;
  // Not every occurrence is here: the file was over the size limit, or the window over the cap.
  bool cut = false;
  // The file could not be read at all (missing, not iCalendar): no occurrences.
  std::string error;
};

// The occurrences of the calendar's events that touch the local days `from` to `to` (both
// included): timed ones that start on them, all-day ones whose span covers one of them.
// `calendar` is the subscription's name each occurrence carries.
RemoteExpansion ExpandRemoteCalendar(std::string_view ics, std::string_view calendar, sys_days from,
                                     sys_days to, std::size_t maxBytes = kRemoteCalendarMaxBytes);
// The same from the cached file.
RemoteExpansion ReadRemoteCalendar(const std::filesystem::path& file, std::string_view calendar,
                                   sys_days from, sys_days to);

}  // namespace vespin::ical
