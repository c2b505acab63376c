#include "WindowPlace.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "X11Display.h"

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers must not see.
#include <X11/Xlib.h>

namespace vespin::ui {
namespace {

int KeepOnAxis(int pos, int size, int areaPos, int areaSize) {
  if (size >= areaSize) return areaPos;
  return std::clamp(pos, areaPos, areaPos + areaSize - size);
}

// A point in the X server's pixels as the toolkit counts it: each screen keeps its top left and
// is scaled by its own factor from there.
QPoint FromDevicePixels(QPoint p, const QWidget& window) {
  QScreen* screen = nullptr;
  for (QScreen* s : QGuiApplication::screens()) {
    const QRect g = s->geometry();
    if (QRect(g.topLeft(), g.size() * s->devicePixelRatio()).contains(p)) {
      screen = s;
      break;
    }
  }
  if (!screen) screen = window.screen();
  if (!screen) return p;
  const QPoint origin = screen->geometry().topLeft();
  return origin + (p - origin) / screen->devicePixelRatio();
}

QPointer<QWidget>& Anchor() {
  static QPointer<QWidget> anchor;
  return anchor;
}

// The dialog's outer size. Before its first showing the window manager has not framed it yet:
// the frame of another framed window of the program stands in for its own.
QSize FrameSizeOf(const QWidget& dialog) {
  const QSize frame = dialog.frameGeometry().size();
  if (frame != dialog.size()) return frame;
  for (QWindow* w : QGuiApplication::topLevelWindows()) {
    const QMargins m = w->frameMargins();
    if (w->isVisible() && (m.top() > 0 || m.left() > 0)) return dialog.size().grownBy(m);
  }
  return frame;
}

}  // namespace

QPoint KeepInside(const QRect& frame, const QRect& area) {
  if (area.isEmpty()) return frame.topLeft();
  return {KeepOnAxis(frame.x(), frame.width(), area.x(), area.width()),
          KeepOnAxis(frame.y(), frame.height(), area.y(), area.height())};
}

QRect AvailableAreaFor(const QRect& frame) {
  // A window grows right and down from its top left: that corner tells the screen it belongs to.
  for (QScreen* s : QGuiApplication::screens()) {
    if (s->geometry().contains(frame.topLeft())) return s->availableGeometry();
  }
  QScreen* best = nullptr;
  qint64 bestArea = 0;
  for (QScreen* s : QGuiApplication::screens()) {
    const QRect common = s->geometry().intersected(frame);
    const qint64 area = qint64(common.width()) * common.height();
    if (area > bestArea) {
      best = s;
      bestArea = area;
    }
  }
  return best ? best->availableGeometry() : QRect();
}

QRect PrimaryAvailableArea() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QPoint FramePosition(const QWidget& window) {
  Display* display = X11Display();
  if (!display || !window.isWindow() || !window.isVisible() ||
      !window.testAttribute(Qt::WA_WState_Created)) {
    return window.pos();
  }
  int x = 0;
  int y = 0;
  ::Window child = 0;
  if (!XTranslateCoordinates(display, static_cast<::Window>(window.winId()),
                             DefaultRootWindow(display), 0, 0, &x, &y, &child)) {
    return window.pos();
  }
  // The server knows where the client area is; the frame's extents come from the manager's own
  // report of them.
  const QPoint frameToClient = window.geometry().topLeft() - window.frameGeometry().topLeft();
  return FromDevicePixels(QPoint(x, y), window) - frameToClient;
}

void SetDialogAnchor(QWidget* window) {
  Anchor() = window;
}

QWidget* DialogAnchor(const QWidget& dialog) {
  if (QWidget* parent = dialog.parentWidget()) return parent->window();
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != &dialog && modal->isVisible()) return modal;
  QWidget* anchor = Anchor();
  return anchor && anchor != &dialog && anchor->isVisible() ? anchor : nullptr;
}

void PlaceDialog(QWidget& dialog) {
  // The size it will be shown at: a dialog that was never given one takes its layout's, as the
  // showing would do after this.
  dialog.ensurePolished();
  if (!dialog.testAttribute(Qt::WA_Resized)) dialog.adjustSize();
  // The native window, before its first showing: where the platform knows the frame at once, the
  // centring takes it into account.
  dialog.winId();
  QWidget* anchor = DialogAnchor(dialog);
  QRect area;
  if (anchor) {
    area = AvailableAreaFor(QRect(FramePosition(*anchor), anchor->frameGeometry().size()));
    if (area.isEmpty() && anchor->screen()) area = anchor->screen()->availableGeometry();
    // A child window is the toolkit's transient of its parent already. Under XWayland a dialog
    // made a transient of the panel costs the X server its connection to Weston (10); there the
    // toolkit's own choice stands: a transient of the program's whole group, which the window
    // managers of GNOME and KDE keep above the panel as well.
    QWindow* window = dialog.windowHandle();
    const bool xwayland = X11Display() && qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (!dialog.parentWidget() && window && !xwayland) {
      window->setTransientParent(anchor->windowHandle());
    }
  }
  if (area.isEmpty()) area = PrimaryAvailableArea();
  // A dialog its opener has placed already (the choosers stand beside the panel) keeps that
  // place; any other is centred. Either stays wholly on the screen.
  QRect frame(QPoint(), FrameSizeOf(dialog));
  if (dialog.testAttribute(Qt::WA_Moved)) {
    frame.moveTopLeft(dialog.pos());
  } else {
    frame.moveCenter(area.center());
  }
  dialog.move(KeepInside(frame, area));
}

}  // namespace vespin::ui
