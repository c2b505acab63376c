#include "app/CalendarView.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolTip>
#include <algorithm>

#include "AccessibleParts.h"
#include "UiText.h"
#include "app/CalendarAccessible.h"

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
  InstallCalendarAccessibility();
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  setFocusPolicy(Qt::StrongFocus);
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
  KeepFocusShown();
  NotifyTableReset(this);
  FocusChanged();
}

void CalendarView::SetCellFont(const QFont& font) {
  font_ = font;
  update();
}

void CalendarView::SetColors(const Colors& colors) {
  colors_ = colors;
  update();
}

int CalendarView::ShownBlocks() const {
  int shown = 0;
  while (shown < kCalendarBlocks && sheet_.cells[static_cast<std::size_t>(shown)][0].visible) {
    ++shown;
  }
  return shown;
}

std::optional<CalendarView::CellPos> CalendarView::CellOf(TDateTime date) const {
  for (int b = 0; b < ShownBlocks(); ++b) {
    const auto& cells = sheet_.cells[static_cast<std::size_t>(b)];
    for (int k = 0; k < kCellsPerBlock; ++k) {
      const auto& day = cells[static_cast<std::size_t>(k)].date;
      if (day && *day == date) return CellPos{b, k};
    }
  }
  return std::nullopt;
}

std::optional<CalendarView::CellPos> CalendarView::FocusCell() const {
  return focusDate_ ? CellOf(*focusDate_) : std::nullopt;
}

void CalendarView::SetFocusDate(TDateTime date) {
  if (!CellOf(date)) return;
  pendingFocus_.reset();
  if (focusDate_ == date) return;
  focusDate_ = date;
  FocusChanged();
}

void CalendarView::KeepFocusShown() {
  if (pendingFocus_ && CellOf(*pendingFocus_)) focusDate_ = pendingFocus_;
  pendingFocus_.reset();
  if (focusDate_ && CellOf(*focusDate_)) return;
  focusDate_.reset();
  for (int b = 0; b < ShownBlocks() && !focusDate_; ++b) {
    for (const auto& cell : sheet_.cells[static_cast<std::size_t>(b)]) {
      if (cell.today) focusDate_ = cell.date;
    }
  }
  if (!focusDate_ && ShownBlocks() > 0) {
    const YearMonth first = sheet_.blocks[0];
    focusDate_ = TryEncodeDate(first.year, first.month, 1);
  }
}

void CalendarView::FocusChanged() {
  update();
  if (!hasFocus() || !QAccessible::isActive()) return;
  if (const auto cell = FocusCell()) {
    NotifyPartFocus(AccessibleChild(this, CalendarChildIndex(cell->block, cell->cell)));
  }
}

void CalendarView::HideFocusFrame() {
  if (!keyboardCue_) return;
  keyboardCue_ = false;
  update();
}

void CalendarView::PressDay(int block, int cell) {
  const auto date = CellDate(sheet_, block, cell);
  if (!date || block >= ShownBlocks()) return;
  SetFocusDate(*date);
  Hit hit;
  hit.kind = HitKind::Day;
  hit.block = block;
  hit.index = cell;
  hit.rect = DayRect(block, cell);
  emit Clicked(hit);
}

void CalendarView::MoveFocus(TDateTime date, int monthStep) {
  if (CellOf(date)) {
    SetFocusDate(date);
  } else if (monthStep != 0 && stepper_ && stepper_(monthStep)) {
    pendingFocus_ = date;
  }
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

// Other calendars' days: a dotted line a little below where the font's underline goes, so it
// reads apart from the file's own kinds and both show on a day that has both.
void CalendarView::DrawRemoteLine(QPainter& p, const QRect& cell, const QString& digits,
                                  const QColor& color) const {
  const QFontMetrics fm(font_);
  const int width = fm.horizontalAdvance(digits);
  const int left = cell.left() + (cell.width() - width) / 2;
  const int y = std::min(cell.top() + fm.ascent() + fm.underlinePos() + 2, cell.bottom());
  QPen dots(color, 1, Qt::CustomDashLine);
  dots.setDashPattern({1, 1});
  p.save();
  p.setPen(dots);
  p.drawLine(left, y, left + width - 1, y);
  p.restore();
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
      const QString digits =
          QString::fromLatin1(cell.text.data(), static_cast<qsizetype>(cell.text.size()));
      p.drawText(r, flags, digits);
      if (cell.remoteLine) DrawRemoteLine(p, r, digits, TextColor(cell));
    }
  }
  // Around the focused day, in the gap between the cells, so today's box stays whole; black
  // dots on white show on any background.
  if (const auto focus = FocusCell(); focus && FocusFrameShown()) {
    const QRect r = DayRect(focus->block, focus->cell);
    const QRect ring(r.left() - 1, r.top() - 1, r.width() + 1, r.height() + 1);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(ring);
    QPen dots(Qt::black, 1, Qt::CustomDashLine);
    dots.setDashPattern({1, 1});
    p.setPen(dots);
    p.drawRect(ring);
  }
}

void CalendarView::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  const Hit hit = HitAt(pos);
  pressed_ = event->button() == Qt::LeftButton ? hit : Hit{};
  HideFocusFrame();
  emit MouseDown(event->button(), event->globalPosition().toPoint());
}

void CalendarView::mouseReleaseEvent(QMouseEvent* event) {
  const Hit pressed = pressed_;
  pressed_ = Hit{};
  if (event->button() != Qt::LeftButton || pressed.kind == HitKind::None) return;
  if (!pressed.rect.contains(event->position().toPoint())) return;
  if (pressed.kind == HitKind::Day) {
    PressDay(pressed.block, pressed.index);
  } else {
    emit Clicked(pressed);
  }
}

void CalendarView::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double-click is no click of its own.
  pressed_ = Hit{};
  emit MouseDown(event->button(), event->globalPosition().toPoint());
  if (HitAt(event->position().toPoint()).kind != HitKind::None) return;
  if (event->button() == Qt::LeftButton) emit DoubleClickedOutside();
}

void CalendarView::keyPressEvent(QKeyEvent* event) {
  const auto cell = FocusCell();
  // Shift+F10, Alt+… and the rest belong to the window.
  if (!cell || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
    return QWidget::keyPressEvent(event);
  }
  // Keys pressed faster than the sheet is redrawn go on from where the last one went.
  const TDateTime day = pendingFocus_.value_or(*focusDate_);
  const DateParts d = DecodeDate(day);
  switch (event->key()) {
    case Qt::Key_Left:
      MoveFocus(day - 1, -1);
      break;
    case Qt::Key_Right:
      MoveFocus(day + 1, +1);
      break;
    case Qt::Key_Up:
      MoveFocus(day - 7, -1);
      break;
    case Qt::Key_Down:
      MoveFocus(day + 7, +1);
      break;
    case Qt::Key_Home:
      MoveFocus(EncodeDate(d.year, d.month, 1), 0);
      break;
    case Qt::Key_End:
      MoveFocus(EncodeDate(d.year, d.month, DaysInMonth(d.year, d.month)), 0);
      break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      const int step = event->key() == Qt::Key_PageUp ? -1 : +1;
      const YearMonth ym = ShiftMonth({d.year, d.month}, step);
      const auto target =
          TryEncodeDate(ym.year, ym.month, std::min(d.day, DaysInMonth(ym.year, ym.month)));
      if (!target) break;
      // Where the months can be stepped (navigation mode) the page keys step them and the
      // focus goes along; elsewhere the focus moves among the months shown.
      if (stepper_ && stepper_(step)) {
        pendingFocus_ = target;
      } else {
        SetFocusDate(*target);
      }
      break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Select:
      PressDay(cell->block, cell->cell);
      break;
    default:
      return QWidget::keyPressEvent(event);
  }
  event->accept();
  if (!keyboardCue_) {
    keyboardCue_ = true;
    update();
  }
}

void CalendarView::focusInEvent(QFocusEvent* event) {
  const auto reason = event->reason();
  if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
      reason == Qt::ShortcutFocusReason) {
    keyboardCue_ = true;
  }
  update();
  // After Qt has announced the calendar itself, the day in it.
  QMetaObject::invokeMethod(this, &CalendarView::FocusChanged, Qt::QueuedConnection);
}

void CalendarView::focusOutEvent(QFocusEvent* event) {
  // The window may come back through the keyboard (the window manager's switching): show the
  // frame then, until a mouse press hides it again.
  if (event->reason() == Qt::ActiveWindowFocusReason) keyboardCue_ = true;
  update();
}

SpinButton::SpinButton(QWidget* parent) : QWidget(parent) {
  InstallCalendarAccessibility();
}

void SpinButton::SetHalfNames(QString upper, QString lower) {
  upperName_ = std::move(upper);
  lowerName_ = std::move(lower);
}

void SpinButton::Press(bool upper) {
  if (upper) {
    emit UpClicked();
  } else {
    emit DownClicked();
  }
}

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
  Press(event->position().y() < height() / 2.0);
}

}  // namespace vespin::ui
