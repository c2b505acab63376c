#pragma once
// What reading a calendar from elsewhere may cost: how large it may be and how far ahead its
// events are expanded. The import and anything else that reads other programs' calendars
// (ExpandCalendar) keep to these, so that the work grows with the size of the input and never
// with the dates written in it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "calendar/DateTime.h"

namespace vespin::ical {

// The largest iCalendar input read. A busy shared calendar of many years is a few MiB.
inline constexpr std::size_t kMaxCalendarBytes = std::size_t{16} << 20;
inline constexpr const char* kMaxCalendarSize = "16 MiB";

// How far after its first day an expansion of another program's event reaches, whatever its
// EXDATE, RDATE or X-VESPIN-HOLIDAYS-UNTIL say.
inline constexpr int kHorizonYears = 10;

// The most starts one expansion yields; beyond, the expansion fails instead of going on.
inline constexpr int kMaxStartsPerEvent = 200'000;

// The days all expansions of one calendar may walk together, each day a few microseconds of
// libical's time: some 5,000 repeating events compared over two years, or 1,000 over ten.
// Events after that are skipped, not compared.
inline constexpr std::int64_t kMaxExpandedDaysPerCalendar = 4'000'000;

// The last day an expansion from `first` may reach: kHorizonYears on.
TDateTime HorizonEnd(TDateTime first);

struct CalendarRead {
  std::optional<std::string> bytes;
  std::string problem;  // when there are no bytes: "no such file", "larger than 16 MiB" …
};
// An iCalendar file of at most kMaxCalendarBytes: a regular file (its size looked at before it
// is read) or a pipe (read up to the limit). Folders and devices are refused unopened.
CalendarRead ReadCalendarFile(const std::filesystem::path& path);

}  // namespace vespin::ical
