// The panel kept whole on its screen, and every dialog opened above the window it belongs to and
// wholly on that window's screen. Run on one screen with the ui tests, and again on two screens
// side by side (CTest's PlacementOnTwoScreens, with frames around the windows).
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

const char* const kFile =
    "[週間]\r\n[月間]\r\n[年間]\r\n[設定]\r\n"
    "0,0,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,FALSE,FALSE,1\r\n"
    "[バージョン]\r\nvespin Ver3.2(2005.04.18)\r\n";

class DialogPlaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterFontSubstitutions();
    oldDir = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.Path().string()));
    dir.Write("vespin.ini", sjis::Lit(kFile));
    app = std::make_unique<Application>(clock, sound, dir.File("vespin.ini"),
                                        test::JapaneseWeekdays());
    ASSERT_TRUE(app->Start());
    app->MainWindow().show();
  }
  void TearDown() override {
    app.reset();
    QDir::setCurrent(oldDir);
  }

  test::FakeClock clock{EncodeDate(2005, 4, 18) + EncodeTime(10, 0)};
  test::FakeSound sound;
  test::TempDir dir;
  QString oldDir;
  std::unique_ptr<Application> app;
};

// What a dialog looked like while it was open.
struct Opened {
  std::string name;
  QRect frame;
  QWindow* transientParent = nullptr;
  bool onTop = false;
};

// With the panel in each corner of each screen, every dialog of the program opens wholly on the
// panel's screen and above the window it belongs to: the panel, or the dialog a message box
// comes from. Notices, which come on their own, also stay on top of other programs.
TEST_F(DialogPlaceTest, DialogsOpenAboveThePanelAndWhollyOnItsScreen) {
  TfrmMain& panel = app->MainWindow();
  std::vector<Opened> opened;
  QWidget* eventDialog = nullptr;
  ScopedModalHandler record([&](QDialog& dialog) {
    Opened o{dialog.metaObject()->className(), dialog.frameGeometry(),
             dialog.windowHandle()->transientParent(),
             dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint)};
    opened.push_back(o);
    if (dynamic_cast<TdlgEventSet*>(&dialog)) {
      eventDialog = &dialog;
      // The input checks' message box, from inside the event dialog.
      ShowMessageForm(sjis::Lit("E 日付が不正です。"));
    }
    return int(QDialog::Rejected);
  });
  int rounds = 0;
  for (const QPoint corner : Corners(panel.frameGeometry().size())) {
    panel.move(corner);
    Settle();
    const QRect area = QGuiApplication::screenAt(corner + QPoint(1, 1))->availableGeometry();
    ASSERT_TRUE(area.contains(panel.frameGeometry())) << Describe(panel.frameGeometry());
    opened.clear();
    app->ShowNotice(sjis::Lit("あと5分で「定例会議」です。"));
    ShowMessageForm(sjis::Lit("A vespin.iniがほかで書き換えられています。\r\n上書きしますか？"));
    for (const char* item : {"miAbout", "miBackSet", "miFont", "miIcalExport", "miEvent"}) {
      MenuItem(panel, item)->trigger();
    }
    ASSERT_EQ(opened.size(), 8u);
    for (const Opened& o : opened) {
      const std::string what = o.name + " with the panel at " + Describe(panel.frameGeometry()) +
                               ": " + Describe(o.frame);
      EXPECT_TRUE(area.contains(o.frame)) << what;
      const bool fromEventDialog = o.name == "vespin::ui::TMessageForm" && &o == &opened.back();
      QWindow* owner = fromEventDialog ? eventDialog->windowHandle() : panel.windowHandle();
      EXPECT_EQ(o.transientParent, owner) << what;
      EXPECT_EQ(o.onTop, o.name == "vespin::ui::TfrmMsg") << what;
    }
    // The program's own windows stand in the middle of the screen, whatever the panel's place.
    for (const Opened& o : {opened[0], opened[1], opened[2]}) {
      EXPECT_LE((o.frame.center() - area.center()).manhattanLength(), 2)
          << o.name << " " << Describe(o.frame);
    }
    ++rounds;
  }
  EXPECT_EQ(rounds, 4 * QGuiApplication::screens().size());
}

}  // namespace
}  // namespace vespin::ui
