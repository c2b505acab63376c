// The panel as a desktop session meets it: what the window manager is told about its focus, and
// what a screen reader reads of it over the accessibility bus. Run by CTest under an X server
// with a session bus (xvfb-run, dbus-run-session, QT_QPA_PLATFORM=xcb); skipped elsewhere.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <memory>

#include "FakeClock.h"
#include "QtWidgetTestSupport.h"
#include "X11Display.h"
#include "app/Main.h"
#include "events/EventEngine.h"

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers must not see.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vespin::ui {
namespace {

struct Announced final : EventChecker {
  int EventCheck(CheckMode mode, TDateTime date, TDateTime) override {
    if (mode == CheckMode::kDayList) dates.push_back(date);
    return 0;
  }
  std::vector<TDateTime> dates;
};

class DesktopSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      GTEST_SKIP() << "needs an X server";
    }
    RegisterFontSubstitutions();
    window = std::make_unique<TfrmMain>(clock, state, settings, test::JapaneseWeekdays());
    window->SetEventChecker(&engine);
    window->ApplySettings();
    test::Settle();
  }

  test::FakeClock clock{EncodeDate(2005, 4, 18) + EncodeTime(10, 0)};
  AppState state;
  Settings settings;
  Announced engine;
  std::unique_ptr<TfrmMain> window;
};

// A 32-bit cardinal property of a window; -1 when it is not set.
long CardinalProperty(QWidget& w, const char* name) {
  Display* display = X11Display();
  const Atom atom = XInternAtom(display, name, False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  long value = -1;
  if (XGetWindowProperty(display, static_cast<::Window>(w.winId()), atom, 0, 1, False, XA_CARDINAL,
                         &type, &format, &count, &after, &data) == Success &&
      data) {
    if (count == 1) value = *reinterpret_cast<const long*>(data);
    XFree(data);
  }
  return value;
}

bool AcceptsInput(QWidget& w) {
  XWMHints* hints = XGetWMHints(X11Display(), static_cast<::Window>(w.winId()));
  if (!hints) return true;  // no hints: the window manager gives the input focus
  const bool accepts = !(hints->flags & InputHint) || hints->input;
  XFree(hints);
  return accepts;
}

// Started with the session, the panel must not take the keyboard from what the user types into:
// the window manager is told so (a user time of 0). Activated, it takes the keys all the same.
TEST_F(DesktopSessionTest, ThePanelShowsWithoutTakingTheKeyboardButTakesItWhenActivated) {
  TfrmMain& w = *window;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(CardinalProperty(w, "_NET_WM_USER_TIME"), 0);
  EXPECT_TRUE(AcceptsInput(w));
  EXPECT_NE(QApplication::activeWindow(), &w);

  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  EXPECT_TRUE(w.Calendar()->hasFocus());
  QTest::keyClick(w.Calendar(), Qt::Key_Right);
  QTest::keyClick(w.Calendar(), Qt::Key_Return);
  ASSERT_EQ(engine.dates.size(), 1u);
  EXPECT_EQ(engine.dates[0], EncodeDate(2005, 4, 19));

  // Into navigation mode and back: each frame is a new native window, and the keyboard stays.
  for (int i = 0; i < 2; ++i) {
    w.FormDblClick();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w)) << i;
    EXPECT_TRUE(AcceptsInput(w));
  }
}

// One look through AT-SPI, as a screen reader takes it: the calendar is a table named
// カレンダー with its headers and days, today's cell named and selected.
TEST_F(DesktopSessionTest, AScreenReaderReadsTheCalendarOverTheAccessibilityBus) {
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
    GTEST_SKIP() << "needs a session bus";
  }
  TfrmMain& w = *window;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const int today = 7 + test::CellOfDay(w, 0, 18);

  // The probe's asking starts the accessibility bus (as a desktop session has it running), on
  // which Qt's bridge then registers the program.
  QProcess probe;
  probe.start(QStringLiteral(VESPIN_ATSPI_PYTHON),
              {QStringLiteral(VESPIN_ATSPI_PROBE), QCoreApplication::applicationName(),
               QStringLiteral("カレンダー"), QString::number(today)});
  // The probe's questions are answered by this process's event loop: keep it turning.
  ASSERT_TRUE(QTest::qWaitFor([&] { return probe.state() == QProcess::NotRunning; }, 60000));
  const QByteArray out = probe.readAllStandardOutput();
  ASSERT_EQ(probe.exitCode(), 0) << out.toStdString() << probe.readAllStandardError().toStdString()
                                 << (QAccessible::isActive() ? "" : "Qt's bridge never came on");
  const QJsonObject seen = QJsonDocument::fromJson(out).object();
  EXPECT_EQ(seen.value(QStringLiteral("role")).toString(), QStringLiteral("table"));
  EXPECT_EQ(seen.value(QStringLiteral("childCount")).toInt(), 7 + 42);
  EXPECT_EQ(seen.value(QStringLiteral("childRole")).toString(), QStringLiteral("table cell"));
  EXPECT_EQ(seen.value(QStringLiteral("childName")).toString(),
            QStringLiteral("2005年4月18日 月曜日、今日"));
  EXPECT_TRUE(seen.value(QStringLiteral("childSelected")).toBool());
}

}  // namespace
}  // namespace vespin::ui
