#pragma once
// One occurrence of an event of another calendar, as the panel and the companion use it. The
// helper that links libical expands the cached calendars into these; nothing in the core needs
// libical to list, underline or announce them.
//
//   calendar.ics --(vespin_ical) ExpandRemoteCalendar--> RemoteOccurrence, … --> day index,
//   event lines, alarm pass; between processes one escaped line each (OccurrenceLine)

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/DateTime.h"

namespace vespin::remote {

inline constexpr std::int64_t kNoLead = -1;

struct RemoteOccurrence {
  std::string calendar;  // the subscription's name (UTF-8)
  std::string uid;
  // The event's UID and the start this occurrence has by its rule (its RECURRENCE-ID): the same
  // across fetches and when the instance alone is moved. A single event's key is its UID.
  std::string key;
  // Local time (the process's zone) in milliseconds on the TDateTime epoch; an all-day event's
  // first day at midnight.
  std::int64_t startMs = 0;
  bool allDay = false;
  // The days an all-day event covers (its DTEND is the day after the last); 1 for timed events,
  // which are listed on the day they start.
  int days = 1;
  std::string summary;            // UTF-8, without control characters
  std::int64_t leadMs = kNoLead;  // a lead of the lead table (LeadTimes.h), or kNoLead

  sys_days FirstDay() const { return DayAtMsecs(startMs); }
  sys_days LastDay() const { return FirstDay() + std::chrono::days(days > 1 ? days - 1 : 0); }

  friend bool operator==(const RemoteOccurrence&, const RemoteOccurrence&) = default;
};

// The longest span of days an all-day event is listed over; a longer one is cut to it, so a
// "whole year" placeholder cannot fill every day of an agenda by itself being read.
inline constexpr int kMaxAllDaySpan = 366;

// A lead of the event's own alarm as the nearest lead VESPIN has, rounded up (20 minutes before
// becomes 30分前): a lead beyond the longest becomes the longest. An alarm at the start itself
// becomes the shortest: VESPIN has no advance notice of no time. kNoLead for a negative lead
// (an alarm after the start).
std::int64_t NearestLead(std::int64_t msecs);

// A text from another calendar made safe to show and to keep on one line: tabs and line ends
// become blanks, other control characters (C0, DEL, C1) are dropped, and bytes that are no
// UTF-8 become U+FFFD.
std::string CleanText(std::string_view utf8);

// A text as one field of a tab-separated line ('\\', tab and line ends escaped), and back;
// nullopt for a field with an escape that is none.
std::string EscapeField(std::string_view text);
std::optional<std::string> UnescapeField(std::string_view field);
// The fields of one tab-separated line, as they stand (still escaped).
std::vector<std::string_view> SplitFields(std::string_view line);
// A whole field as a decimal number: nothing before or after it.
template <typename Int>
bool ReadNumber(std::string_view field, Int& value) {
  const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  return ec == std::errc() && ptr == field.data() + field.size() && !field.empty();
}

// One occurrence on one line, and back: tab-separated fields, with '\\', tab and line ends
// escaped. nullopt for a line that is not one.
std::string OccurrenceLine(const RemoteOccurrence& occurrence);
std::optional<RemoteOccurrence> ParseOccurrenceLine(std::string_view line);

// Sorting within a day: all-day ones first, then by start, then by the calendar's name and the
// summary, so the same cache lists the same way every time.
bool ListedBefore(const RemoteOccurrence& a, const RemoteOccurrence& b);

}  // namespace vespin::remote
