#pragma once
// What assistive tools see of the main window's calendar and spin buttons. The calendar is a
// table named "カレンダー": seven weekday column headers, then the 42 day cells of each shown
// month (six week rows a month, blank cells included so the weekdays stay in their columns). A
// day is named by its date and weekday, then its holiday, today and whether it has events, and
// pressing it does what a click does. A spin button is a group of two buttons, its halves.

#include <QString>

#include "display/CalendarSheet.h"

namespace vespin::ui {

inline constexpr int kCalendarHeaderCount = 7;

// Registers the interfaces with Qt; every calendar and spin button calls it, the first one
// does it.
void InstallCalendarAccessibility();

// The index of a day cell among the calendar's accessible children.
constexpr int CalendarChildIndex(int block, int cell) {
  return kCalendarHeaderCount + block * kCellsPerBlock + cell;
}

// "2005年4月29日 金曜日、みどりの日、今日、ｲﾍﾞﾝﾄあり"; empty for a blank cell.
QString CalendarDayName(const CalendarCell& cell);
// "2005年4月" or "2005年4月～2005年6月": the months a sheet shows.
QString CalendarMonthsText(const CalendarSheet& sheet, int shownBlocks);

}  // namespace vespin::ui
