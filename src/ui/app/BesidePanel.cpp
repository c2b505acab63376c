#include "app/BesidePanel.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <array>

namespace vespin::ui {
namespace {

int Clamp(int value, int low, int high) {
  // A window larger than the screen keeps its top left on the screen.
  return std::max(low, std::min(value, high));
}

int Overlap(const QRect& a, const QRect& b) {
  const QRect both = a.intersected(b);
  return both.isEmpty() ? 0 : both.width() * both.height();
}

}  // namespace

QPoint BesidePlace(QSize frame, const QRect& panel, const QRect& screen, int gap) {
  const int w = frame.width();
  const int h = frame.height();
  // Level with the panel: its top beside it, its left below or above it.
  const int levelY = Clamp(panel.top(), screen.top(), screen.bottom() + 1 - h);
  const int levelX = Clamp(panel.left(), screen.left(), screen.right() + 1 - w);
  const std::array<QPoint, 4> sides = {
      QPoint(panel.left() - gap - w, levelY),    // left
      QPoint(panel.right() + 1 + gap, levelY),   // right
      QPoint(levelX, panel.bottom() + 1 + gap),  // below
      QPoint(levelX, panel.top() - gap - h),     // above
  };
  for (const QPoint& p : sides) {
    if (screen.contains(QRect(p, frame))) return p;
  }
  // No side has the room: of the sides pulled onto the screen, the one covering the least.
  QPoint best;
  int least = -1;
  for (const QPoint& p : sides) {
    const QPoint on(Clamp(p.x(), screen.left(), screen.right() + 1 - w),
                    Clamp(p.y(), screen.top(), screen.bottom() + 1 - h));
    const int covered = Overlap(QRect(on, frame), panel);
    if (least < 0 || covered < least) {
      least = covered;
      best = on;
    }
  }
  return best;
}

void PlaceBesidePanel(QWidget& dialog, const QWidget& panel) {
  dialog.adjustSize();
  // The window manager's frame is not known before the window is mapped: allow for a caption bar
  // and a border.
  const int border = dialog.style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 2;
  const int caption = dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8;
  const QSize frame = dialog.size() + QSize(2 * border, caption + border);
  const QScreen* screen = panel.screen();
  const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), frame);
  // A position set before the first show keeps Qt from centring the dialog over its parent.
  dialog.move(BesidePlace(frame, panel.frameGeometry(), area));
}

}  // namespace vespin::ui
