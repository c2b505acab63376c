#pragma once
// The month calendar as data: the text, colour, today's box and underline of each of the
// 3 × 42 day cells, computed from the first shown month, today and the display settings. The
// main window only applies a sheet to its labels. Also the month stepping of the spin buttons.
// The window hands dates over as TDateTime, as it hands them on to the engine.
//
//   shown month + today + settings + day masks --CalendarSheet--> cells --> labels

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "calendar/DateTime.h"
#include "calendar/HolidayLaw.h"
#include "display/MainLayout.h"

namespace vespin {

enum class CellColor { WindowText, White, Red, Aqua, Blue };

struct CalendarCell {
  std::string text = "  ";  // "  " when empty, " 1" … " 9", "10" … "31"
  CellColor color = CellColor::WindowText;
  bool today = false;  // white box, window-text digits
  bool underline = false;
  int eventKinds = 0;  // the day mask (1 yearly, 2 monthly, 4 weekly), underlined or not
  // Other calendars' events on the day, with their underline on (kMaskRemote in the mask).
  bool remoteLine = false;
  bool visible = true;
  std::optional<TDateTime> date;  // the cell's date when it holds a day
  std::string holidayName;        // Shift_JIS; empty unless the day is a holiday
  friend bool operator==(const CalendarCell&, const CalendarCell&) = default;
};

struct YearMonth {
  int year = 0;
  int month = 0;
  friend bool operator==(const YearMonth&, const YearMonth&) = default;
};

struct CalendarOptions {
  int months = 1;             // blocks shown: 1, 2 or 3
  bool figureBright = false;  // bright text scheme
  bool yearLine = false;      // underline days with yearly events
  bool monthLine = false;
  bool weekLine = false;
  HolidayLaw holidays = HolidayLaw::k2005;  // which days are red
};

// Bitmask of the kinds of events on a date: 1 yearly, 2 monthly, 4 weekly.
using DayMaskFn = std::function<int(TDateTime date)>;

struct CalendarSheet {
  std::string yearMonthText;  // "%.4d-%.2d" of the first shown month, e.g. 2005-04
  std::array<YearMonth, kCalendarBlocks> blocks{};
  std::array<std::array<CalendarCell, kCellsPerBlock>, kCalendarBlocks> cells{};
};

// `dayMask` may be empty (before the event tables exist): then nothing is underlined.
CalendarSheet DrawCalendar(YearMonth shown, TDateTime today, const CalendarOptions& options,
                           const DayMaskFn& dayMask);

// One month forward (+1) or back (-1).
YearMonth ShiftMonth(YearMonth ym, int step);

// The spin buttons. nullopt when a bound stops the change (the calendar is then not redrawn).
// The upper halves go back in time, the lower halves forward; years stay within 1..9998.
std::optional<YearMonth> SpinYUp(YearMonth shown);
std::optional<YearMonth> SpinYDown(YearMonth shown);
std::optional<YearMonth> SpinMUp(YearMonth shown);
std::optional<YearMonth> SpinMDown(YearMonth shown);

// The date a click on a day cell stands for: nullopt for a cell without a day number.
std::optional<TDateTime> CellDate(const CalendarSheet& sheet, int block, int cell);

}  // namespace vespin
