#pragma once
// Whether an event's rule holds on a date: the one rule test the alarm pass, the day listing,
// the calendar's day mask and the companion's readers all share.
//
//   date --DayFacts--> weekday, week of month, holiday, business-day facts
//   row code + DayFacts --Yearly / Monthly / Weekly--> falls on the date or not

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"
#include "events/RuleCodes.h"

namespace vespin {

// In walk order: the order in which a date's events are listed and announced.
enum class EventKind { kYearly, kMonthly, kWeekly };
inline constexpr std::size_t kEventKindCount = 3;

// The place of a kind in the walk order, for tables indexed by kind.
constexpr std::size_t KindIndex(EventKind kind) {
  return static_cast<std::size_t>(kind);
}

// "yearly", "monthly", "weekly".
const char* KindName(EventKind kind);

std::int64_t FloorDiv(std::int64_t a, std::int64_t b);

// "HH:MM" of a time of day in milliseconds.
std::string HourMinuteText(std::int64_t msOfDay);

// The time of day a row's time cell stands for; an empty cell is midnight. nullopt for a cell
// that is not HH:MM (a hand edit): such a row never falls on any date.
std::optional<std::int64_t> RowTimeMsecs(std::string_view cell);

// The calendar never leaves the years 1 to 9999; nothing falls on a date outside them.
// The day of a date inside them (its time of day aside), nullopt outside.
std::optional<sys_days> EventDay(TDateTime date);

// What the rules ask of the date under examination, worked out once per call.
struct DayFacts {
  sys_days date;
  int month = 0;
  int day = 0;
  int weekday = 0;  // 1 = Sunday … 7 = Saturday
  int weekOfMonth = 0;
  int daysInMonth = 0;
  bool holiday = false;
  bool businessDay = false;
  bool firstBusinessDay = false;  // the first business day of its month
  bool lastBusinessDay = false;   // the last business day of its month

  DayFacts(sys_days on, HolidayLaw law);

  // Whether a row's rule holds on this date. Each rule is the search "first date on or after
  // the date that satisfies it" of the event model; since only a hit on the date itself
  // matters, every rule reduces to a property of the date alone.
  bool Yearly(std::string_view code) const;

  bool Monthly(std::string_view code) const;

  bool Weekly(std::string_view code) const;

  // The rule of the kind's table.
  bool Falls(EventKind kind, std::string_view code) const;
};

}  // namespace vespin
