#include "app/CalendarView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolTip>

#include "UiText.h"

namespace vespin::ui {
namespace {

QRect ToQRect(const Rect& r) {
  return QRect(r.left, r.top, r.width, r.height);
}

}  // namespace

const std::array<QString, 7>& CalendarView::WeekdayTexts() {
  static const std::array<QString, 7> texts{
      QStringLiteral("日"), QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
      QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土")};
  return texts;
}

CalendarView::CalendarView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
}

void CalendarView::SetCellGeometry(const MainLayoutResult& layout) {
  for (std::size_t c = 0; c < headers_.size(); ++c) headers_[c] = ToQRect(layout.weekdayHeaders[c]);
  for (std::size_t b = 0; b < cells_.size(); ++b) {
    for (std::size_t k = 0; k < cells_[b].size(); ++k)
      cells_[b][k] = ToQRect(layout.dayCells[b][k]);
  }
  update();
}

void CalendarView::SetSheet(const CalendarSheet& sheet) {
  sheet_ = sheet;
  update();
}

void CalendarView::SetCellFont(const QFont& font) {
  font_ = font;
  update();
}

void CalendarView::SetColors(const Colors& colors) {
  colors_ = colors;
  update();
}

QRect CalendarView::DayRect(int block, int cell) const {
  return cells_[static_cast<std::size_t>(block)][static_cast<std::size_t>(cell)];
}

CalendarView::Hit CalendarView::HitAt(QPoint pos) const {
  Hit hit;
  for (int c = 0; c < 7; ++c) {
    if (HeaderRect(c).contains(pos)) {
      hit.kind = HitKind::Header;
      hit.index = c;
      hit.rect = HeaderRect(c);
      return hit;
    }
  }
  // Later blocks stand a pixel further right and may overlap their neighbour's edge; the
  // visible cell on top is the one drawn last.
  for (int b = kCalendarBlocks - 1; b >= 0; --b) {
    for (int k = 0; k < kCellsPerBlock; ++k) {
      const auto& cell = sheet_.cells[static_cast<std::size_t>(b)][static_cast<std::size_t>(k)];
      if (cell.visible && DayRect(b, k).contains(pos)) {
        hit.kind = HitKind::Day;
        hit.block = b;
        hit.index = k;
        hit.rect = DayRect(b, k);
        return hit;
      }
    }
  }
  return hit;
}

QString CalendarView::ToolTipAt(QPoint pos) const {
  const Hit hit = HitAt(pos);
  if (hit.kind != HitKind::Day) return {};
  const auto& cell =
      sheet_.cells[static_cast<std::size_t>(hit.block)][static_cast<std::size_t>(hit.index)];
  return FromSjis(cell.holidayName);
}

bool CalendarView::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const QString name = ToolTipAt(help->pos());
  if (name.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    // Kept while the pointer stays on the day, replaced when it moves to another holiday.
    QToolTip::showText(help->globalPos(), name, this, HitAt(help->pos()).rect);
  }
  return true;
}

QColor CalendarView::TextColor(const CalendarCell& cell) const {
  switch (cell.color) {
    case CellColor::White:
      return QColor(255, 255, 255);
    case CellColor::Red:
      return QColor(255, 0, 0);
    case CellColor::Aqua:
      return QColor(0, 255, 255);
    case CellColor::Blue:
      return QColor(0, 0, 255);
    case CellColor::WindowText:
      break;
  }
  return colors_.windowText;
}

QColor CalendarView::HeaderColor(int column) const {
  if (column == 0) return QColor(255, 0, 0);
  if (column == 6) return colors_.bright ? QColor(0, 255, 255) : QColor(0, 0, 255);
  return colors_.plain;
}

void CalendarView::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.setClipRegion(event->region());
  const auto flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine;
  p.setFont(font_);
  for (int c = 0; c < 7; ++c) {
    if (!event->region().intersects(HeaderRect(c))) continue;
    p.setPen(HeaderColor(c));
    p.drawText(HeaderRect(c), flags, WeekdayTexts()[static_cast<std::size_t>(c)]);
  }
  QFont underlined = font_;
  underlined.setUnderline(true);
  for (int b = 0; b < kCalendarBlocks; ++b) {
    for (int k = 0; k < kCellsPerBlock; ++k) {
      const auto& cell = sheet_.cells[static_cast<std::size_t>(b)][static_cast<std::size_t>(k)];
      if (!cell.visible || !cell.date) continue;
      const QRect r = DayRect(b, k);
      if (!event->region().intersects(r)) continue;
      if (cell.today) p.fillRect(r, Qt::white);
      p.setPen(TextColor(cell));
      p.setFont(cell.underline ? underlined : font_);
      p.drawText(r, flags,
                 QString::fromLatin1(cell.text.data(), static_cast<qsizetype>(cell.text.size())));
    }
  }
}

void CalendarView::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const Hit hit = HitAt(pos);
  pressed_ = event->button() == Qt::LeftButton ? hit : Hit{};
  emit MouseDown(event->button(), event->globalPosition().toPoint());
}

void CalendarView::mouseReleaseEvent(QMouseEvent* event) {
  const Hit pressed = pressed_;
  pressed_ = Hit{};
  if (event->button() != Qt::LeftButton || pressed.kind == HitKind::None) return;
  if (!pressed.rect.contains(event->position().toPoint())) return;
  emit Clicked(pressed);
}

void CalendarView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double-click is no click of its own.
  pressed_ = Hit{};
  emit MouseDown(event->button(), event->globalPosition().toPoint());
  if (HitAt(event->position().toPoint()).kind != HitKind::None) return;
  if (event->button() == Qt::LeftButton) emit DoubleClickedOutside();
}

SpinButton::SpinButton(QWidget* parent) : QWidget(parent) {}

void SpinButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  const int half = height() / 2;
  for (int i = 0; i < 2; ++i) {
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.rect = i == 0 ? QRect(0, 0, width(), half) : QRect(0, half, width(), height() - half);
    p.drawControl(QStyle::CE_PushButtonBevel, opt);
    // The triangles, 9 × 5 pixels or smaller on a tiny button.
    const int w = std::min(9, std::max(3, opt.rect.width() - 4)) | 1;
    const int h = (w + 1) / 2;
    const QPoint c = opt.rect.center();
    QPolygon tri;
    if (i == 0) {
      tri << QPoint(c.x() - w / 2, c.y() + h / 2) << QPoint(c.x() + w / 2, c.y() + h / 2)
          << QPoint(c.x(), c.y() + h / 2 - (h - 1));
    } else {
      tri << QPoint(c.x() - w / 2, c.y() - h / 2) << QPoint(c.x() + w / 2, c.y() - h / 2)
          << QPoint(c.x(), c.y() - h / 2 + (h - 1));
    }
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    p.drawPolygon(tri);
  }
}

void SpinButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (event->position().y() < height() / 2.0) {
    emit UpClicked();
  } else {
    emit DownClicked();
  }
}

}  // namespace vespin::ui
