#include "WindowFrame.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>
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
#include <X11/Xutil.h>

namespace vespin::ui {
namespace {

// How long the X server and its manager may take to show a window: a busy machine has been
// seen to need more than five seconds for the first window of a run.
constexpr int kShowTimeoutMs = 30000;

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

// Whether a window manager runs on the display (one that follows the desktop's conventions
// names its check window on the root).
bool WindowManagerRuns(Display* display) {
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const bool found =
      XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                         &format, &count, &after, &data) == Success &&
      data && count == 1;
  if (data) XFree(data);
  return found;
}

// Whether the X server shows the window as the manager left it: mapped, and in the normal
// (not iconic) state. Qt's own flags follow what it asked for, not what the manager did.
bool ShownOnTheServer(QWidget& w) {
  Display* display = X11Display();
  const auto window = static_cast<::Window>(w.winId());
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) {
    return false;
  }
  const Atom wmState = XInternAtom(display, "WM_STATE", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  long state = WithdrawnState;
  if (XGetWindowProperty(display, window, wmState, 0, 2, False, wmState, &type, &format, &count,
                         &after, &data) == Success &&
      data && count >= 1) {
    state = reinterpret_cast<const long*>(data)[0];
  }
  if (data) XFree(data);
  return state == NormalState;
}

// Whether a window has been unmapped (by the manager iconifying it, say), seen from a
// connection of its own so that no unmapping is missed between two looks.
class UnmapWatch {
 public:
  explicit UnmapWatch(::Window window) : display_(XOpenDisplay(nullptr)) {
    if (!display_) return;
    XSelectInput(display_, window, StructureNotifyMask);
    XSync(display_, False);
  }
  ~UnmapWatch() {
    if (display_) XCloseDisplay(display_);
  }
  UnmapWatch(const UnmapWatch&) = delete;
  UnmapWatch& operator=(const UnmapWatch&) = delete;

  bool Watching() const { return display_ != nullptr; }
  bool Unmapped() {
    while (display_ && XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == UnmapNotify) unmapped_ = true;
    }
    return unmapped_;
  }

 private:
  Display* display_;
  bool unmapped_ = false;
};

// Offscreen this checks the program's reaction; under X (CTest runs it there with a window
// manager) the manager really iconifies the window, and the server must show it again.
TEST(WindowFrameTest, AWindowMinimisedAnywayComesBack) {
  Display* display = X11Display();
  if (display) {
    ASSERT_TRUE(WindowManagerRuns(display)) << "run it under tests/run-in-x-session.sh";
  }
  Windows windows;
  for (const auto& made : windows.All()) {
    QWidget& w = *made.window;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w, kShowTimeoutMs)) << made.name;
    std::optional<UnmapWatch> watch;
    if (display) {
      watch.emplace(static_cast<::Window>(w.winId()));
      ASSERT_TRUE(watch->Watching());
    }
    w.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          const bool onServer = !watch || (watch->Unmapped() && ShownOnTheServer(w));
          return onServer && !w.isMinimized() && w.isVisible();
        },
        kShowTimeoutMs))
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

// CTest runs it on an X server (tests/run-in-x-session.sh, QT_QPA_PLATFORM=xcb), where a skip
// fails the test; skipped on other platforms.
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
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w, kShowTimeoutMs)) << made.name;
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
