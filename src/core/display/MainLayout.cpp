#include "display/MainLayout.h"

namespace vespin {

long long RoundHalfEven(long long numerator, long long denominator) {
  long long q = numerator / denominator;
  long long r = numerator % denominator;
  if (r < 0) {  // floor division
    r += denominator;
    --q;
  }
  const long long twice = 2 * r;
  if (twice > denominator || (twice == denominator && (q % 2 != 0))) ++q;
  return q;
}

namespace {

// The scale factors are decimal fractions; doing them as ratios keeps the halves exact.
int Round(long long value, long long num, long long den) {
  return static_cast<int>(RoundHalfEven(value * num, den));
}

}  // namespace

MainLayoutResult ComputeMainLayout(const FontMetricsSample& m, int months) {
  MainLayoutResult r;
  const int h = m.heightOfWW;
  const bool fixedPitch = m.widthOfI == m.widthOfW;
  r.textHeight = h;
  r.cellWidth = fixedPitch ? Round(m.widthOfWW, 14, 10) : m.widthOfWW;
  const int cw = r.cellWidth;
  r.width = 8 * cw;
  r.margin = Round(cw, 1, 2);
  r.rowPitch = Round(h, 12, 10);
  const int rh = r.rowPitch;
  const int shown = (months == 1 || months == 2) ? months : 3;
  r.height = (11 + 6 * shown) * rh - 5;

  for (int c = 0; c < 7; ++c)
    r.weekdayHeaders[static_cast<std::size_t>(c)] = {r.margin + c * cw, 4 * h, cw, h};
  for (int j = 0; j < kCalendarBlocks; ++j) {
    for (int k = 0; k < kCellsPerBlock; ++k) {
      r.dayCells[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] = {
          r.margin + (k % 7) * cw + j, 5 * h + j * 6 * rh + (k / 7) * rh, cw, h};
    }
  }

  r.eventTop = 5 * h + 6 * rh * shown;
  const int eventWidth = Round(r.width, 65, 100);
  const int timeLeft = r.width - r.margin - m.widthOfClock - 4;
  const int timeWidth = Round(cw, 22, 10);
  for (int k = 0; k < kEventLines; ++k) {
    const int top = r.eventTop + k * rh;
    r.eventLabels[static_cast<std::size_t>(k)] = {r.margin, top, eventWidth, h};
    r.timeLabels[static_cast<std::size_t>(k)] = {timeLeft, top, timeWidth, h};
  }

  r.dateLabel = {0, h, r.width, h + 8};
  r.timeLabel = {0, 2 * h + 4, r.width, h + 8};

  const int boxTop = Round(h, 3, 2);
  const int boxLeft = Round(r.width - eventWidth, 1, 2);
  r.yearMonthBox = {boxLeft, boxTop, eventWidth - 5, h + 8};
  r.spinYear = {boxLeft - cw, boxTop, cw, h + 8};
  r.spinMonth = {boxLeft + r.yearMonthBox.width, boxTop, cw, h + 8};
  return r;
}

}  // namespace vespin
