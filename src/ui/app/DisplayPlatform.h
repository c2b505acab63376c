#pragma once
// Which of Qt's window system platforms the panel runs on. The panel places itself, which a
// Wayland compositor allows no window; so it runs on X11, through XWayland in a Wayland session,
// and refuses Qt's Wayland platform outright rather than run where it cannot be put.

#include <QByteArray>
#include <QString>
#include <optional>

namespace vespin::ui {

struct PlatformRequest {
  QByteArray requested;  // -platform on the command line, else QT_QPA_PLATFORM; may be a list
  bool waylandSession = false;  // WAYLAND_DISPLAY is set
  bool xDisplay = false;        // DISPLAY is set
};

struct PlatformChoice {
  // The platform (list) to give Qt; empty: Qt's own default.
  QByteArray platform;
  // Why the panel cannot start; empty when it can.
  QString problem;
};

PlatformChoice ChoosePlatform(const PlatformRequest& request);

// For main(), before the application object: applies the choice to the command line or the
// environment, or prints the problem as one line on stderr and returns the exit code 2.
std::optional<int> SettlePlatform(int argc, char** argv);

}  // namespace vespin::ui
