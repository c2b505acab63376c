#include "app/PanelPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include "WindowPlace.h"
#include "events/Settings.h"

namespace vespin::ui {

QRect PrimaryScreenRect() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

QPoint TopRightPlace(QSize window) {
  const QRect screen = PrimaryScreenRect();
  const QRect corner(QPoint(screen.x() + screen.width() - window.width(), screen.y()), window);
  return KeepInside(corner, PrimaryAvailableArea());
}

QPoint StartPlace(int storedLeft, int storedTop, QSize window) {
  const QRect screen = PrimaryScreenRect();
  const WindowPos pos =
      PlaceWindow(storedLeft, storedTop, screen.width(), screen.height(), window.width());
  const QRect wanted(QPoint(pos.left, pos.top), window);
  const QRect area = AvailableAreaFor(wanted);
  if (area.isEmpty()) return TopRightPlace(window);
  return KeepInside(wanted, area);
}

std::optional<QPoint> PlaceOnItsScreen(const QRect& frame) {
  QRect area = AvailableAreaFor(frame);
  if (area.isEmpty()) area = PrimaryAvailableArea();
  const QPoint inside = KeepInside(frame, area);
  if (inside == frame.topLeft()) return std::nullopt;
  return inside;
}

}  // namespace vespin::ui
