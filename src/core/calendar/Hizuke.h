#pragma once
// Japanese national holidays and the date searches that recurring events need.
// Dates are days between 0001-01-01 and 9999-12-31 unless noted; weekdays are 1 = Sunday …
// 7 = Saturday.

#include <optional>
#include <string_view>

#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"

namespace vespin {

// Whether the date is a national holiday under the given rules; false before 1948 and past
// 9999-12-31. Each year's holidays are worked out once and kept for the whole run (safe from
// any thread), so every call is a lookup, whatever the order of the dates.
bool IsHoliday(sys_days date, HolidayLaw law);
// The 2005 holidays.
bool IsHoliday(sys_days date);

// The holiday's name as Shift_JIS bytes, like every text in core ("振替休日" and "国民の休日" for
// the days that other holidays bring along); nullopt when the date is no holiday. The bytes
// live as long as the program.
std::optional<std::string_view> HolidayName(sys_days date, HolidayLaw law);

// Not a Sunday, not a Saturday and not a holiday.
bool IsBusinessDay(sys_days date, HolidayLaw law);
bool IsBusinessDay(sys_days date);  // the 2005 holidays

// 1 for days 1–7 of the month, 2 for 8–14, … 5 for 29–31.
int WeekOfMonth(sys_days date);

// The first date on or after x on the weekday.
sys_days NextWeekday(int weekday, sys_days x);

// The first date on or after x on the weekday that lies in week n (WeekOfMonth) of its month,
// any week when n is 0. nullopt for n outside 0–5, a weekday outside 1–7, or no such date up
// to 9999-12-31.
std::optional<sys_days> NextNthWeekday(int n, int weekday, sys_days x);

// The first date on or after x whose day of month is `day`; months shorter than that are
// skipped. nullopt for a day outside 1–31 or past 9999-12-31.
std::optional<sys_days> NextDayOfMonth(int day, sys_days x);

// The first date on or after x with that month and day (29 February moves to the next leap
// year). nullopt for a month and day that no year has, or past 9999-12-31.
std::optional<sys_days> NextDateOfYear(int month, int day, sys_days x);

// The 1st of the month after x's month.
sys_days NextFirstOfMonth(sys_days x);

// x when x is its month's first business day; otherwise the first business day of x's month
// when x is the 1st, else the first business day of the next month.
sys_days NextFirstBusinessDay(sys_days x, HolidayLaw law);
sys_days NextFirstBusinessDay(sys_days x);  // the 2005 holidays

// The last business day of x's month; it may lie before x.
sys_days LastBusinessDayOfMonth(sys_days x, HolidayLaw law);
sys_days LastBusinessDayOfMonth(sys_days x);  // the 2005 holidays

// "HH:MM" (two digits, a colon, two digits; 00:00–23:59) as a time of day; nullopt otherwise.
std::optional<TDateTime> HourMinuteToTime(std::string_view hhmm);

}  // namespace vespin
