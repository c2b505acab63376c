// The panel kept whole on its screen.
#include "WindowPlace.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "QtFakeSound.h"
#include "QtWidgetTestSupport.h"
#include "TempDir.h"
#include "app/Application.h"
#include "app/Main.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "dialogs/EventSet.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using test::MenuItem;
using test::Settle;

std::string Describe(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
         "x" + std::to_string(r.height());
}

// The four corners of each screen's free part, for a window of `size`.
std::vector<QPoint> Corners(QSize size) {
  // The run on two screens must not pass on one.
  if (qEnvironmentVariableIsSet("VESPIN_TEST_SCREENS")) {
    EXPECT_EQ(QGuiApplication::screens().size(),
              qEnvironmentVariableIntValue("VESPIN_TEST_SCREENS"));
  }
  std::vector<QPoint> corners;
  for (QScreen* s : QGuiApplication::screens()) {
    const QRect a = s->availableGeometry();
    const int right = a.x() + a.width() - size.width();
    const int bottom = a.y() + a.height() - size.height();
    corners.insert(corners.end(), {a.topLeft(), {right, a.y()}, {a.x(), bottom}, {right, bottom}});
  }
  return corners;
}

TEST(WindowPlaceTest, KeepInsideMovesOnlyAsFarAsNeeded) {
  const QRect area(100, 20, 800, 600);  // a screen right of another, below a bar
  const struct {
    QRect frame;
    QPoint kept;
  } cases[] = {
      {{300, 200, 100, 100}, {300, 200}},  // inside: stays
      {{100, 20, 800, 600}, {100, 20}},    // exactly the area
      {{850, 200, 100, 100}, {800, 200}},  // past the right edge
      {{300, 580, 100, 100}, {300, 520}},  // past the bottom
      {{40, 0, 100, 100}, {100, 20}},      // left of and above the area
      {{850, 580, 100, 100}, {800, 520}},  // past both
      {{700, 100, 504, 1053}, {396, 20}},  // taller than the area: its top at the area's top
      {{-50, 300, 900, 50}, {100, 300}},   // wider than the area: its left at the area's left
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeepInside(c.frame, area), c.kept) << Describe(c.frame);
  }
  EXPECT_EQ(KeepInside(QRect(-500, 9, 10, 10), QRect()), QPoint(-500, 9)) << "no area: as it is";
}

class PanelPlaceTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterFontSubstitutions(); }
  test::FakeClock clock{EncodeDate(2005, 4, 18) + EncodeTime(10, 0)};
  AppState state;
  Settings settings;
};

// A larger font or more months grow the panel right and down: wherever it stood, the whole of it
// stays on the screen it is on (its top left, when it is larger than the screen), and a panel
// that still fits where it is does not move.
TEST_F(PanelPlaceTest, ThePanelStaysWhollyOnItsScreenWhenItGrows) {
  TfrmMain w(clock, state, settings, test::JapaneseWeekdays());
  settings.fontSize = kMinFontPoints;
  w.ApplySettings();
  const QSize small = w.frameGeometry().size();
  const char* const monthItems[] = {"mi1Month", "mi2Month", "mi3Month"};
  int largerThanScreen = 0;
  for (const QPoint corner : Corners(small)) {
    for (int points : {9, 14, 24}) {
      for (int months = 1; months <= 3; ++months) {
        settings.fontSize = kMinFontPoints;
        settings.months = 1;
        w.ApplySettings();
        w.move(corner);
        w.show();
        const QRect area = QGuiApplication::screenAt(corner + QPoint(1, 1))->availableGeometry();
        const QRect before = w.frameGeometry();
        ASSERT_TRUE(area.contains(before)) << Describe(before);

        settings.fontSize = points;
        w.FontSet();
        MenuItem(w, monthItems[months - 1])->trigger();
        Settle();

        const QRect after = w.frameGeometry();
        const std::string what = std::to_string(points) + "pt, " + std::to_string(months) +
                                 " months, from " + Describe(before) + " to " + Describe(after);
        ASSERT_GT(after.height(), before.height()) << what;
        if (after.width() <= area.width()) {
          EXPECT_GE(after.left(), area.left()) << what;
          EXPECT_LE(after.right(), area.right()) << what;
        } else {
          EXPECT_EQ(after.left(), area.left()) << what;
        }
        if (after.height() <= area.height()) {
          EXPECT_GE(after.top(), area.top()) << what;
          EXPECT_LE(after.bottom(), area.bottom()) << what;
        } else {
          ++largerThanScreen;
          EXPECT_EQ(after.top(), area.top()) << what;
        }
        if (area.contains(QRect(before.topLeft(), after.size()))) {
          EXPECT_EQ(after.topLeft(), before.topLeft()) << what;
        }
      }
    }
  }
  EXPECT_GT(largerThanScreen, 0) << "no case grew the panel past a whole screen";
}

}  // namespace
}  // namespace vespin::ui
