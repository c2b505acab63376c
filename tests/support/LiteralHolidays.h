#pragma once
// The national-holiday rules evaluated literally, walking back one day per call for substitute
// holidays. Slow on purpose: the yardstick the per-year computation is tested and timed against.

#include "calendar/DateTime.h"
#include "calendar/Julius.h"

namespace vespin::test {

// The holiday rules exactly as written, walking back one day per call for substitute
// holidays. Slow on purpose: it is the yardstick for the per-year computation.
inline bool LiteralIsHoliday(TDateTime x) {
  const DateParts p = DecodeDate(x);
  const int y = p.year;
  const int md = p.month * 100 + p.day;
  int vernal = 0;
  int autumnal = 0;
  if (p.month == 3) {
    const auto e = JulianDayToDate(VernalEquinoxDay(y));
    if (e) vernal = e->month * 100 + e->day;
  }
  if (p.month == 9) {
    const auto e = JulianDayToDate(AutumnalEquinoxDay(y));
    if (e) autumnal = e->month * 100 + e->day;
  }
  if (y < 1948) return false;
  bool holiday = md == 101 || (md == 115 && y <= 1999) || (md == 211 && y >= 1966) ||
                 md == vernal || md == 429 || md == 503 || (md == 504 && y >= 1986) || md == 505 ||
                 (md == 720 && y >= 1996 && y <= 2002) || (md == 915 && y >= 1966 && y <= 2002) ||
                 md == autumnal || (md == 1010 && y >= 1966 && y <= 1999) || md == 1103 ||
                 md == 1123 || (md == 1223 && y >= 1989);
  const bool monday = DayOfWeek(x) == 2;
  if (!holiday) holiday = LiteralIsHoliday(x - 1) && monday;
  if (monday) {
    const int week = (p.day + 6) / 7;
    if (y >= 2000 && p.month == 1 && week == 2) holiday = true;
    if (y >= 2000 && p.month == 10 && week == 2) holiday = true;
    if (y >= 2003 && p.month == 7 && week == 3) holiday = true;
    if (y >= 2003 && p.month == 9 && week == 3) holiday = true;
  }
  return holiday;
}

}  // namespace vespin::test
