#pragma once
// Dates and times as the rest of the program sees them: a TDateTime is a double counting days
// since 1899-12-30, the time of day in the fraction. Civil-date arithmetic is std::chrono's;
// this file only converts. Nothing here reads the system clock (see Clock.h).
//
// Inside the core a date is a std::chrono::sys_days: the calendar's searches, the holidays, the
// rules of the events, the agenda and the sheet all count whole days with it. TDateTime stays
// where the engine meets the windows (the date and time of a pass, the clock, the coming
// events) and where a moment is a day and a time together; DayOf and ToDateTime cross over.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vespin {

using TDateTime = double;
using std::chrono::sys_days;

inline constexpr std::int64_t kMsecsPerDay = 86'400'000;
inline constexpr std::int64_t kMsecsPerHour = 3'600'000;
inline constexpr std::int64_t kMsecsPerMinute = 60'000;
inline constexpr std::int64_t kMsecsPerSecond = 1'000;

struct DateParts {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const DateParts&, const DateParts&) = default;
};

struct TimeParts {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int msec = 0;
  friend bool operator==(const TimeParts&, const TimeParts&) = default;
};

// Abbreviated weekday names, Sunday first, as Shift_JIS bytes ("日" … "土" on a Japanese desktop).
using WeekdayNames = std::array<std::string, 7>;

bool IsValidDate(int year, int month, int day);
// Days in a month of the proleptic Gregorian calendar; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// Precondition: IsValidDate(year, month, day).
TDateTime EncodeDate(int year, int month, int day);
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
// A day as the companion's commands take one, "YYYY-MM-DD"; nullopt for anything else.
std::optional<TDateTime> ParseIsoDate(std::string_view text);
// The same, or a year alone ("2027"): its first day, or its last when `end`.
std::optional<TDateTime> ParseIsoDayOrYear(std::string_view text, bool end);
DateParts DecodeDate(TDateTime t);

// 1 = Sunday … 7 = Saturday.
int DayOfWeek(TDateTime t);

// Precondition: 0 <= hour < 24, 0 <= minute, second < 60, 0 <= msec < 1000.
TDateTime EncodeTime(int hour, int minute, int second = 0, int msec = 0);
// Rounds to the nearest millisecond before splitting, so 10:00 - 9:55 + 1 s reads 0:05:01,
// never 0:05:00.999. A fraction that rounds up to a whole day reads 23:59:59.999.
TimeParts DecodeTime(TDateTime t);

TDateTime DateOf(TDateTime t);  // the whole day (truncated, as the date part is everywhere)
TDateTime TimeOf(TDateTime t);  // the time of day

// Whole milliseconds since the epoch, rounded; exact for every moment the program deals in.
std::int64_t ToMsecs(TDateTime t);
TDateTime FromMsecs(std::int64_t msecs);

// The day 0 of TDateTime.
inline constexpr sys_days kDateTimeEpoch = std::chrono::year{1899} / std::chrono::December / 30;
// The calendar never leaves these years.
inline constexpr sys_days kFirstCalendarDay = std::chrono::year{1} / std::chrono::January / 1;
inline constexpr sys_days kLastCalendarDay = std::chrono::year{9999} / std::chrono::December / 31;

// The day a moment falls on: its date part, truncated as everywhere. Precondition: a number,
// and one of some year (a value from a file or a window goes through CalendarDay instead).
sys_days DayOf(TDateTime t);
// The same for any value: nullopt for one that is no number or lies outside the calendar.
std::optional<sys_days> CalendarDay(TDateTime t);
constexpr TDateTime ToDateTime(sys_days day) {
  return static_cast<TDateTime>((day - kDateTimeEpoch).count());
}
// A day's midnight in the milliseconds of ToMsecs, and the day such a moment falls on.
constexpr std::int64_t MsecsAt(sys_days day) {
  return static_cast<std::int64_t>((day - kDateTimeEpoch).count()) * kMsecsPerDay;
}
sys_days DayAtMsecs(std::int64_t msecs);

DateParts DecodeDate(sys_days day);
// 1 = Sunday … 7 = Saturday.
int DayOfWeek(sys_days day);

// "yyyy/mm/dd(aaa)", for example 2005/04/18(月).
std::string DateText(TDateTime t, const WeekdayNames& names);
// "hh:nn", for example 09:05.
std::string TimeText(TDateTime t);

}  // namespace vespin
