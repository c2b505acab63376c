#include "events/Settings.h"

#include <gtest/gtest.h>

namespace vespin {
namespace {

TEST(SettingsTest, PlaceWindowKeepsThePositionOnScreenOrPullsItBack) {
  constexpr int kScreenW = 1920, kScreenH = 1080, kWindowW = 300;
  const struct {
    int left, top;
    WindowPos expected;
  } cases[] = {
      {100, 200, {100, 200}},
      {0, 0, {0, 0}},
      {1919, 1079, {1919, 1079}},         // just inside: kept, even if mostly off screen
      {1920, 50, {1920 - kWindowW, 50}},  // at the right edge: flush right
      {5000, 50, {1920 - kWindowW, 50}},
      {40, 1080, {40, 0}},  // at the bottom: to the top
      {40, 9999, {40, 0}},
      {4000, 4000, {1920 - kWindowW, 0}},
      {-200, -30, {-200, -30}},  // a monitor to the left or above
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << "," << c.top);
    EXPECT_EQ(PlaceWindow(c.left, c.top, kScreenW, kScreenH, kWindowW), c.expected);
  }
}

}  // namespace
}  // namespace vespin
