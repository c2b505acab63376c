#include "WindowFrame.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "QtFakeDialogHost.h"
#include "QtWidgetTestSupport.h"
#include "X11Display.h"
#include "app/About.h"
#include "app/Main.h"
#include "app/Msg.h"
#include "controls/MessageBox.h"
#include "dialogs/EventSet.h"
#include "text/Sjis.h"

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers must not see.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vespin::ui {
namespace {

// Every window of the program, made and shown the way the program shows it (without the modal
// loop, which changes nothing about its frame).
struct Windows {
  test::FakeClock clock{EncodeDate(2005, 4, 19) + EncodeTime(9, 0)};
  AppState state;
  Settings settings;
  test::FakeDialogHost host{sjis::Lit("[週間]\r\n[月間]\r\n[年間]\r\n")};

  struct Made {
    std::string name;
    std::shared_ptr<QWidget> window;
  };

  std::vector<Made> All() {
    RegisterFontSubstitutions();
    auto navigating = std::make_shared<TfrmMain>(clock, state, settings, test::JapaneseWeekdays());
    navigating->FormDblClick();
    auto box = std::make_shared<TMessageForm>();
    box->Prepare(sjis::Lit("A 上書きしますか？"));
    return {
        {"notice", std::make_shared<TfrmMsg>()},
        {"version", std::make_shared<TfrmAbout>()},
        {"message box", box},
        {"event dialog", std::make_shared<TdlgEventSet>(host)},
        {"panel", std::make_shared<TfrmMain>(clock, state, settings, test::JapaneseWeekdays())},
        {"panel in navigation mode", navigating},
    };
  }
};

TEST(WindowFrameTest, AWindowMinimisedAnywayComesBack) {
  Windows windows;
  for (const auto& made : windows.All()) {
    QWidget& w = *made.window;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w)) << made.name;
    w.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isMinimized() && w.isVisible(); }, 5000))
        << made.name;
    w.hide();
  }
}

// The Motif hints of a window as the X server holds them: flags, functions, decorations.
std::vector<long> MotifHints(QWidget& w) {
  Display* display = X11Display();
  const Atom hints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<long> out;
  if (XGetWindowProperty(display, static_cast<::Window>(w.winId()), hints, 0, 5, False,
                         AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
      data) {
    const auto* values = reinterpret_cast<const long*>(data);
    out.assign(values, values + std::min<unsigned long>(count, 3));
    XFree(data);
  }
  return out;
}

// Run under an X server by CTest (xvfb-run, QT_QPA_PLATFORM=xcb); skipped on other platforms.
TEST(WindowFrameTest, TheWindowManagerIsToldWhatEachWindowMayDo) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    GTEST_SKIP() << "needs an X server";
  }
  constexpr long kFunctions = 1, kDecorations = 2;
  constexpr long kBorder = 2, kResizeHandle = 4, kTitle = 8, kMenu = 16, kMinimise = 32,
                 kMaximise = 64;
  constexpr long kResize = 2, kMove = 4, kFnMinimise = 8, kFnMaximise = 16, kClose = 32;
  Windows windows;
  for (const auto& made : windows.All()) {
    QWidget& w = *made.window;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w)) << made.name;
    const auto hints = MotifHints(w);
    ASSERT_EQ(hints.size(), 3u) << made.name;
    const long decorations = hints[2];
    if (made.name == "panel") {
      EXPECT_EQ(decorations, 0) << "the panel in display mode has no frame at all";
    } else {
      EXPECT_EQ(hints[0], kFunctions | kDecorations) << made.name;
      EXPECT_EQ(decorations & (kMinimise | kMaximise | kResizeHandle), 0) << made.name;
      EXPECT_EQ(decorations & (kBorder | kTitle), kBorder | kTitle) << made.name;
      EXPECT_EQ(hints[1] & (kResize | kFnMinimise | kFnMaximise), 0) << made.name;
      EXPECT_EQ(hints[1] & kMove, kMove) << made.name;
      const bool closeBox = made.name == "panel in navigation mode";
      EXPECT_EQ((hints[1] & kClose) != 0, closeBox) << made.name;
      EXPECT_EQ((decorations & kMenu) != 0, closeBox) << made.name;
    }
    w.hide();
  }
}

}  // namespace
}  // namespace vespin::ui
