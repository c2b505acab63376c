#include "app/Desktop.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <string>

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers must not see.
#include <X11/Xlib.h>

namespace vespin::ui {

bool DesktopShowsThrough() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("wayland")) return true;
  if (platform != QLatin1String("xcb")) return false;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 ? x11->display() : nullptr;
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
  const QRect clipped = area.intersected(screen->geometry());
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
