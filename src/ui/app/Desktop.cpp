#include "app/Desktop.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <string>

#include "X11Display.h"

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers must not see.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace vespin::ui {

bool DesktopShowsThrough() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("wayland")) return true;
  Display* display = X11Display();
  if (!display) return false;
  const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
  const Atom selection = XInternAtom(display, name.c_str(), False);
  return selection != None && XGetSelectionOwner(display, selection) != None;
}

QColor DesktopColorUnder(const QRect& area) {
  const QColor fallback = QGuiApplication::palette().color(QPalette::Window);
  QScreen* screen = QGuiApplication::screenAt(area.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return fallback;
  // A patch at the middle stands for the whole: the colour is what matters, and a small grab
  // keeps the start quick.
  const QRect patch(area.center() - QPoint(16, 16), QSize(32, 32));
  const QRect clipped = patch.intersected(area).intersected(screen->geometry());
  if (clipped.isEmpty()) return fallback;
  const QPoint origin = clipped.topLeft() - screen->geometry().topLeft();
  const QImage image =
      screen->grabWindow(0, origin.x(), origin.y(), clipped.width(), clipped.height()).toImage();
  if (image.isNull()) return fallback;
  // A scaled-down copy averages the area cheaply.
  const QImage one = image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return QColor(one.pixel(0, 0));
}

}  // namespace vespin::ui

namespace vespin::ui {

void KeepOffTaskbar(QWidget& window) {
  Display* display = X11Display();
  if (!display) return;
  const ::Window w = static_cast<::Window>(window.winId());
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  Atom wanted[] = {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                   XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
  // Keep what is there (the toolkit merges its own states in when it maps the window).
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<Atom> atoms;
  if (XGetWindowProperty(display, w, state, 0, 1024, False, XA_ATOM, &type, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (type == XA_ATOM && format == 32) {
      const auto* existing = reinterpret_cast<const Atom*>(data);
      atoms.assign(existing, existing + count);
    }
    XFree(data);
  }
  for (Atom a : wanted) {
    if (std::find(atoms.begin(), atoms.end(), a) == atoms.end()) atoms.push_back(a);
  }
  XChangeProperty(display, w, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(atoms.data()),
                  static_cast<int>(atoms.size()));
  XFlush(display);
}

}  // namespace vespin::ui
