// Where the panel is saved, with a real window manager framing it: the program started as a
// session starts it, ended by a signal without a click. Run under Xvfb with openbox by CTest
// (PanelPlaceUnderWindowManager); skipped elsewhere.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <csignal>
#include <string>
#include <vector>

#include "TempDir.h"
#include "X11Display.h"
#include "events/EventRows.h"
#include "events/FileLines.h"
#include "text/Sjis.h"

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers must not see.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vespin::ui {
namespace {

std::vector<unsigned long> Property(Display* display, ::Window w, const char* name, Atom type) {
  const Atom atom = XInternAtom(display, name, False);
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> out;
  if (XGetWindowProperty(display, w, atom, 0, 4096, False, type, &actual, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (format == 32) {
      const auto* values = reinterpret_cast<const unsigned long*>(data);
      out.assign(values, values + count);
    }
    XFree(data);
  }
  return out;
}

bool WindowManagerRuns(Display* display) {
  return !Property(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
              .empty();
}

// Where the X server shows the window that process `pid` asked the window manager to manage: its
// client area in root coordinates; empty while there is none on the screen.
QRect ManagedWindowOf(Display* display, qint64 pid) {
  const ::Window root = DefaultRootWindow(display);
  for (unsigned long w : Property(display, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
    const auto owner = Property(display, w, "_NET_WM_PID", XA_CARDINAL);
    if (owner.empty() || static_cast<qint64>(owner.front()) != pid) continue;
    XWindowAttributes attributes;
    int x = 0;
    int y = 0;
    ::Window child = 0;
    if (!XGetWindowAttributes(display, w, &attributes) || attributes.map_state != IsViewable ||
        !XTranslateCoordinates(display, w, root, 0, 0, &x, &y, &child)) {
      continue;
    }
    return {x, y, attributes.width, attributes.height};
  }
  return {};
}

// The left and top of the settings line as the file holds them.
QPoint SavedPlace(const std::string& bytes) {
  for (const auto& line : SplitEventFile(bytes)) {
    if (line.section != FileSection::kSettings || line.isHeader) continue;
    const auto fields = CommaSplit(line.text);
    if (fields.size() < 2) break;
    return {std::stoi(fields[0]), std::stoi(fields[1])};
  }
  return {-1, -1};
}

// Closed by the session a moment after it started, never clicked: the panel saves the place it
// stands at, top right on the first start and the stored place later. (Qt may have heard 0,0
// while openbox framed the window, and nothing after.)
TEST(PanelPlacementTest, AnUnclickedPanelSavesWhereItStandsUnderAWindowManager) {
  Display* display = X11Display();
  if (!display) GTEST_SKIP() << "needs an X server";
  ASSERT_TRUE(QTest::qWaitFor([&] { return WindowManagerRuns(display); }, 10000))
      << "no window manager on the display";
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const std::string head = "[週間]\r\n[月間]\r\n[年間]\r\n[設定]\r\n";
  const struct {
    std::string settings;
    int runs;
  } cases[] = {
      {"", 5},  // the first start: top right
      {"300,200,CLEAR,DARK,ＭＳ ゴシック,FALSE,9,0,FALSE,FALSE,FALSE,FALSE,FALSE,1\r\n", 3},
  };
  for (const auto& c : cases) {
    for (int run = 0; run < c.runs; ++run) {
      const std::string what = (c.settings.empty() ? "first start" : "stored place") +
                               std::string(", run ") + std::to_string(run + 1);
      test::TempDir dir;
      dir.Write("vespin.ini", sjis::Lit(head + c.settings));
      QProcess program;
      program.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
      program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
      program.start(QStringLiteral(VESPIN_PROGRAM), {});
      ASSERT_TRUE(program.waitForStarted(10000)) << what;
      QRect shown;
      ASSERT_TRUE(QTest::qWaitFor(
          [&] { return !(shown = ManagedWindowOf(display, program.processId())).isEmpty(); },
          20000))
          << what << ": the panel never came on the screen";
      // A second or two, as a logout soon after the login.
      QTest::qWait(1000 + 250 * run);
      shown = ManagedWindowOf(display, program.processId());
      ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
      ASSERT_TRUE(program.waitForFinished(10000)) << what;
      ASSERT_EQ(program.exitCode(), 0) << what;

      if (c.settings.empty()) {
        EXPECT_EQ(shown.right(), screen.right()) << what;
        EXPECT_EQ(shown.top(), screen.top()) << what;
      } else {
        EXPECT_EQ(shown.topLeft(), QPoint(300, 200)) << what;
      }
      EXPECT_EQ(SavedPlace(dir.Read("vespin.ini")), shown.topLeft()) << what;
    }
  }
}

}  // namespace
}  // namespace vespin::ui
