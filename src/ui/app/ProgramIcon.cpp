#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace vespin::ui {

QPixmap ProgramIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);

  // The page.
  p.setPen(QPen(QColor(60, 60, 60), 1));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(3.5, 5.5, 25, 23), 2, 2);
  // Its red head with two rings.
  p.setBrush(QColor(200, 30, 30));
  p.drawRect(QRectF(3.5, 5.5, 25, 6));
  p.setBrush(QColor(90, 90, 90));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(9, 2.5, 2.5, 6), 1, 1);
  p.drawRoundedRect(QRectF(20.5, 2.5, 2.5, 6), 1, 1);
  // A grid of days; Sunday red, Saturday blue.
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 5; ++col) {
      QColor c(120, 120, 120);
      if (col == 0) c = QColor(220, 40, 40);
      if (col == 4) c = QColor(40, 80, 220);
      p.setBrush(c);
      p.drawRect(QRectF(6 + col * 4.4, 14 + row * 4.5, 2.6, 2.6));
    }
  }
  // The bell.
  QPainterPath bell;
  bell.moveTo(21, 28);
  bell.cubicTo(21, 20, 23, 18, 25.5, 18);
  bell.cubicTo(28, 18, 30, 20, 30, 28);
  bell.closeSubpath();
  p.setPen(QPen(QColor(120, 80, 0), 0.8));
  p.setBrush(QColor(250, 190, 30));
  p.drawPath(bell);
  p.drawEllipse(QPointF(25.5, 29), 1.4, 1.4);
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) icon.addPixmap(ProgramIconPixmap(size));
  return icon;
}

}  // namespace vespin::ui
