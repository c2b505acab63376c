#include "display/MainLayout.h"

#include <gtest/gtest.h>

namespace vespin {
namespace {

TEST(MainLayoutTest, RoundHalfEven) {
  const struct {
    long long num, den, expected;
  } cases[] = {
      {17, 2, 8},    {15, 2, 8},    {1, 2, 0},       {3, 2, 2},       {-1, 2, 0},      {-3, 2, -2},
      {168, 10, 17}, {144, 10, 14}, {8840, 100, 88}, {8450, 100, 84}, {8550, 100, 86}, {7, 1, 7},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.num, c.den), c.expected) << c.num << "/" << c.den;
  }
}

TEST(MainLayoutTest, FixedPitchTwelvePixelFont) {
  const FontMetricsSample m{6, 6, 12, 12, 30};
  const int heights[] = {233, 317, 401};
  for (int months = 1; months <= 3; ++months) {
    const MainLayoutResult r = ComputeMainLayout(m, months);
    EXPECT_EQ(r.cellWidth, 17);
    EXPECT_EQ(r.width, 136);
    EXPECT_EQ(r.margin, 8);  // 8.5 goes to the even neighbour
    EXPECT_EQ(r.rowPitch, 14);
    EXPECT_EQ(r.height, heights[months - 1]);
    EXPECT_EQ(r.eventTop, 60 + 84 * months);
  }
  const MainLayoutResult r = ComputeMainLayout(m, 1);
  EXPECT_EQ(r.eventTop, 144);
  EXPECT_EQ(r.weekdayHeaders[0], (Rect{8, 48, 17, 12}));
  EXPECT_EQ(r.weekdayHeaders[6], (Rect{8 + 6 * 17, 48, 17, 12}));
  // Blocks 1 and 2 stand one and two pixels further right.
  EXPECT_EQ(r.dayCells[0][0], (Rect{8, 60, 17, 12}));
  EXPECT_EQ(r.dayCells[0][41], (Rect{8 + 6 * 17, 60 + 5 * 14, 17, 12}));
  EXPECT_EQ(r.dayCells[1][0], (Rect{9, 60 + 84, 17, 12}));
  EXPECT_EQ(r.dayCells[2][8], (Rect{8 + 17 + 2, 60 + 168 + 14, 17, 12}));
  // 136 × 0.65 = 88.4 → 88; "23:59" 30 px wide.
  EXPECT_EQ(r.eventLabels[0], (Rect{8, 144, 88, 12}));
  EXPECT_EQ(r.eventLabels[4], (Rect{8, 144 + 56, 88, 12}));
  EXPECT_EQ(r.timeLabels[2], (Rect{136 - 8 - 30 - 4, 144 + 28, 37, 12}));  // 17 × 2.2 = 37.4
  EXPECT_EQ(r.dateLabel, (Rect{0, 12, 136, 20}));
  EXPECT_EQ(r.timeLabel, (Rect{0, 28, 136, 20}));
  EXPECT_EQ(r.yearMonthBox, (Rect{24, 18, 83, 20}));  // (136 - 88) / 2 = 24
  EXPECT_EQ(r.spinYear, (Rect{7, 18, 17, 20}));
  EXPECT_EQ(r.spinMonth, (Rect{107, 18, 17, 20}));
}

TEST(MainLayoutTest, ProportionalFontUsesTheWidthOfWW) {
  const MainLayoutResult r = ComputeMainLayout({3, 9, 19, 13, 28}, 2);
  EXPECT_EQ(r.cellWidth, 19);
  EXPECT_EQ(r.width, 152);
  EXPECT_EQ(r.margin, 10);    // 9.5 → 10
  EXPECT_EQ(r.rowPitch, 16);  // 15.6
  EXPECT_EQ(r.height, 23 * 16 - 5);
}

TEST(MainLayoutTest, HalfwayWidthsRoundToEven) {
  // W2 = 7 → CW 9.8 → 10: width 80, 80 × 0.65 = 52, (80 - 52) / 2 = 14.
  const MainLayoutResult r = ComputeMainLayout({5, 5, 7, 10, 20}, 3);
  EXPECT_EQ(r.cellWidth, 10);
  EXPECT_EQ(r.margin, 5);
  EXPECT_EQ(r.rowPitch, 12);
  EXPECT_EQ(r.yearMonthBox.left, 14);
  EXPECT_EQ(r.yearMonthBox.top, 15);  // 10 × 1.5
  EXPECT_EQ(r.timeLabels[0].width, 22);
  const MainLayoutResult odd = ComputeMainLayout({5, 5, 5, 5, 20}, 1);  // 5 × 1.4 = 7, H 5
  EXPECT_EQ(odd.cellWidth, 7);
  EXPECT_EQ(odd.margin, 4);                 // 3.5 → 4
  EXPECT_EQ(odd.rowPitch, 6);               // 6.0
  EXPECT_EQ(odd.yearMonthBox.top, 8);       // 7.5 → 8
  EXPECT_EQ(odd.eventLabels[0].width, 36);  // 56 × 0.65 = 36.4
}

}  // namespace
}  // namespace vespin
