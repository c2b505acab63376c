#include "app/DisplayPlatform.h"

#include <QList>
#include <cstdio>

#include "app/StartOptions.h"

namespace vespin::ui {
namespace {

bool IsWayland(const QByteArray& name) {
  return name.trimmed().startsWith("wayland");
}

bool IsX11(const QByteArray& name) {
  return name.trimmed().startsWith("xcb");
}

}  // namespace

PlatformChoice ChoosePlatform(const PlatformRequest& request) {
  PlatformChoice choice;
  if (request.requested.isEmpty()) {
    // Qt would pick Wayland in a Wayland session.
    choice.platform = request.waylandSession ? QByteArray("xcb") : QByteArray();
  } else {
    // The user's own list, less what cannot place the panel: Qt tries the rest in turn.
    QList<QByteArray> kept;
    for (const QByteArray& name : request.requested.split(';')) {
      if (!IsWayland(name)) kept << name;
    }
    if (kept.isEmpty()) {
      choice.problem = QStringLiteral(
          "vespin: Qt's Wayland platform lets no window choose its place, so the panel cannot "
          "run on it; start VESPIN with QT_QPA_PLATFORM=xcb (XWayland)");
      return choice;
    }
    choice.platform = kept.join(';');
  }
  const QByteArray first = choice.platform.isEmpty() ? QByteArray("xcb") : choice.platform;
  if (IsX11(first.split(';').front()) && !request.xDisplay) {
    choice.problem =
        request.waylandSession
            ? QStringLiteral(
                  "vespin: this Wayland session offers no XWayland (DISPLAY is not set); "
                  "the panel needs X11 to place itself")
            : QStringLiteral("vespin: no X display to show the panel on (DISPLAY is not set)");
  }
  return choice;
}

std::optional<int> SettlePlatform(int argc, char** argv) {
  PlatformRequest request;
  int argIndex = -1;
  bool displayArg = false;
  for (int i = 1; i + 1 < argc; ++i) {
    const QByteArray arg(argv[i]);
    if (arg == "-platform" || arg == "--platform") argIndex = i + 1;
    if (arg == "-display" || arg == "--display") displayArg = true;
  }
  request.requested = argIndex > 0 ? QByteArray(argv[argIndex]) : qgetenv("QT_QPA_PLATFORM");
  request.waylandSession = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
  request.xDisplay = displayArg || !qEnvironmentVariableIsEmpty("DISPLAY");
  const PlatformChoice choice = ChoosePlatform(request);
  if (!choice.problem.isEmpty()) {
    std::fputs(qPrintable(choice.problem + u'\n'), stderr);
    return kExitUsage;
  }
  if (choice.platform == request.requested) return std::nullopt;
  if (argIndex > 0) {
    // Kept for the life of the process, as argv is.
    static QByteArray platform;
    platform = choice.platform;
    argv[argIndex] = platform.data();
  } else {
    qputenv("QT_QPA_PLATFORM", choice.platform);
  }
  return std::nullopt;
}

}  // namespace vespin::ui
