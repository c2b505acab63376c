#include "app/PanelPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include "events/Settings.h"

namespace vespin::ui {

QRect PrimaryScreenRect() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QPoint TopRightPlace(QSize window) {
  const QRect screen = PrimaryScreenRect();
  return {screen.x() + screen.width() - window.width(), screen.y()};
}

QPoint StartPlace(int storedLeft, int storedTop, QSize window) {
  const QRect screen = PrimaryScreenRect();
  const WindowPos pos =
      PlaceWindow(storedLeft, storedTop, screen.width(), screen.height(), window.width());
  const QRect wanted(QPoint(pos.left, pos.top), window);
  for (QScreen* s : QGuiApplication::screens()) {
    if (s->availableGeometry().intersects(wanted)) return wanted.topLeft();
  }
  return TopRightPlace(window);
}

}  // namespace vespin::ui
