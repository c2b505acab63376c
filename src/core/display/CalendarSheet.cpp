#include "display/CalendarSheet.h"

#include <cstdio>

#include "calendar/Hizuke.h"
#include "remote/RemoteDays.h"

namespace vespin {

YearMonth ShiftMonth(YearMonth ym, int step) {
  ym.month += step;
  if (ym.month > 12) {
    ym.month = 1;
    ++ym.year;
  } else if (ym.month < 1) {
    ym.month = 12;
    --ym.year;
  }
  return ym;
}

std::optional<YearMonth> SpinYUp(YearMonth shown) {
  if (shown.year <= 1) return std::nullopt;
  --shown.year;
  return shown;
}

std::optional<YearMonth> SpinYDown(YearMonth shown) {
  if (shown.year >= 9998) return std::nullopt;
  ++shown.year;
  return shown;
}

std::optional<YearMonth> SpinMUp(YearMonth shown) {
  if (shown.month == 1 && shown.year < 2) return std::nullopt;
  return ShiftMonth(shown, -1);
}

std::optional<YearMonth> SpinMDown(YearMonth shown) {
  if (shown.month == 12 && shown.year > 9997) return std::nullopt;
  return ShiftMonth(shown, +1);
}

CalendarSheet DrawCalendar(YearMonth shown, TDateTime today, const CalendarOptions& options,
                           const DayMaskFn& dayMask) {
  CalendarSheet sheet;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4d-%.2d", shown.year, shown.month);
  sheet.yearMonthText = buf;

  const CellColor plain = options.figureBright ? CellColor::White : CellColor::WindowText;
  const int visibleBlocks = (options.months == 1 || options.months == 2) ? options.months : 3;
  // A today that is no date has no box.
  const auto todayDay = CalendarDay(today);
  const bool todayKnown = todayDay.has_value();
  const sys_days todayDate = todayDay.value_or(sys_days{});

  YearMonth ym = shown;
  for (int b = 0; b < kCalendarBlocks; ++b) {
    sheet.blocks[static_cast<std::size_t>(b)] = ym;
    auto& block = sheet.cells[static_cast<std::size_t>(b)];
    for (auto& cell : block) {
      cell = CalendarCell{};
      cell.color = plain;
      cell.visible = b < visibleBlocks;
    }
    const sys_days first{std::chrono::year{ym.year} /
                         std::chrono::month{static_cast<unsigned>(ym.month)} / 1};
    const int firstColumn = DayOfWeek(first) - 1;
    const int days = DaysInMonth(ym.year, ym.month);
    for (int d = 1; d <= days; ++d) {
      CalendarCell& cell = block[static_cast<std::size_t>(firstColumn + d - 1)];
      const sys_days date = first + std::chrono::days{d - 1};
      std::snprintf(buf, sizeof buf, d < 10 ? " %d" : "%d", d);
      cell.text = buf;
      cell.date = ToDateTime(date);
      const int weekday = DayOfWeek(date);
      const auto holiday = HolidayName(date, options.holidays);
      if (holiday) cell.holidayName = *holiday;
      if (holiday || weekday == 1) {
        cell.color = CellColor::Red;
      } else if (weekday == 7) {
        cell.color = options.figureBright ? CellColor::Aqua : CellColor::Blue;
      }
      if (todayKnown && date == todayDate) {
        cell.today = true;
        cell.color = CellColor::WindowText;
      }
      if (dayMask) {
        const int mask = dayMask(ToDateTime(date));
        cell.eventKinds = mask;
        cell.underline = (options.yearLine && (mask & 1)) || (options.monthLine && (mask & 2)) ||
                         (options.weekLine && (mask & 4));
        cell.remoteLine = (mask & remote::kMaskRemote) != 0;
      }
    }
    ym = ShiftMonth(ym, 1);
  }
  return sheet;
}

std::optional<TDateTime> CellDate(const CalendarSheet& sheet, int block, int cell) {
  if (block < 0 || block >= kCalendarBlocks || cell < 0 || cell >= kCellsPerBlock) {
    return std::nullopt;
  }
  const CalendarCell& c =
      sheet.cells[static_cast<std::size_t>(block)][static_cast<std::size_t>(cell)];
  return c.date;
}

}  // namespace vespin
