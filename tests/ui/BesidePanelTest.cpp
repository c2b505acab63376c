#include "app/BesidePanel.h"

#include <gtest/gtest.h>

namespace vespin::ui {
namespace {

TEST(BesidePanelTest, TheChooserStandsBesideThePanelWhollyOnTheScreen) {
  const QRect screen(0, 0, 1280, 800);
  const QSize chooser(500, 400);
  const struct {
    const char* what;
    QRect panel;
    QPoint expected;
  } cases[] = {
      {"top right, the first place: left of it, level with it", {1095, 0, 185, 270}, {587, 0}},
      {"top left: right of it", {0, 0, 185, 270}, {193, 0}},
      {"low on the screen: level as far as the screen allows", {1095, 600, 185, 270}, {587, 400}},
      {"a wide panel leaves no room at its sides: below it", {300, 0, 700, 300}, {300, 308}},
      {"wide and low: above it", {300, 450, 700, 300}, {300, 42}},
      {"a bar across the screen: below it, at the screen's left", {0, 0, 1280, 200}, {0, 208}},
  };
  for (const auto& c : cases) {
    const QPoint at = BesidePlace(chooser, c.panel, screen);
    EXPECT_EQ(at, c.expected) << c.what;
    EXPECT_TRUE(screen.contains(QRect(at, chooser))) << c.what;
    EXPECT_FALSE(QRect(at, chooser).intersects(c.panel)) << c.what;
  }
}

TEST(BesidePanelTest, WithoutRoomAnywhereItCoversThePanelLeastAndStaysOnTheScreen) {
  // A second screen to the right: the available area need not start at 0.
  const QRect screen(1280, 0, 800, 600);
  const struct {
    const char* what;
    QRect panel;
    QSize chooser;
  } cases[] = {
      {"a panel as large as the screen", {1280, 0, 800, 600}, {500, 400}},
      {"a panel in the middle", {1580, 100, 300, 400}, {500, 400}},
      {"a chooser as large as the screen", {2000, 0, 80, 100}, {800, 600}},
  };
  for (const auto& c : cases) {
    const QPoint at = BesidePlace(c.chooser, c.panel, screen);
    EXPECT_TRUE(screen.contains(QRect(at, c.chooser))) << c.what;
  }
  // In the middle: 300 wide on a screen of 800 leaves 200 at the sides; the chooser pulled onto
  // the screen from the left covers 200 of the panel's width, from below or above more.
  const QPoint middle = BesidePlace({500, 400}, {1580, 100, 300, 400}, screen);
  EXPECT_EQ(QRect(middle, QSize(500, 400)).intersected({1580, 100, 300, 400}).width(), 200);
}

}  // namespace
}  // namespace vespin::ui
