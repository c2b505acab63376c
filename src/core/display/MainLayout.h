#pragma once
// Geometry of the main window, computed from a few measurements of the window font and the
// number of months shown. The window applies the rectangles as they come; nothing here knows
// about Qt.
//
//   font measurements + months --MainLayout--> window size, label and cell rectangles

#include <array>

namespace vespin {

struct FontMetricsSample {
  int widthOfI = 0;      // width of "i"
  int widthOfW = 0;      // width of "w"
  int widthOfWW = 0;     // width of "WW"
  int heightOfWW = 0;    // height of "WW"
  int widthOfClock = 0;  // width of "23:59"
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline constexpr int kCalendarBlocks = 3;
inline constexpr int kCellsPerBlock = 42;
inline constexpr int kEventLines = 5;

struct MainLayoutResult {
  int cellWidth = 0;   // CW
  int margin = 0;      // M
  int rowPitch = 0;    // RH
  int textHeight = 0;  // H
  int width = 0;       // window client width
  int height = 0;      // window client height
  int eventTop = 0;    // T, top of the first event line
  std::array<Rect, 7> weekdayHeaders{};
  std::array<std::array<Rect, kCellsPerBlock>, kCalendarBlocks> dayCells{};
  std::array<Rect, kEventLines> eventLabels{};
  std::array<Rect, kEventLines> timeLabels{};
  Rect dateLabel;
  Rect timeLabel;
  Rect yearMonthBox;  // EditYm's panel
  Rect spinYear;
  Rect spinMonth;
};

// Rounds a / b to the nearest integer, halves to the even neighbour, exactly (b > 0).
long long RoundHalfEven(long long numerator, long long denominator);

// months: 1, 2 or 3 (anything else counts as 3, as the calendar shows all blocks then).
MainLayoutResult ComputeMainLayout(const FontMetricsSample& m, int months);

}  // namespace vespin
