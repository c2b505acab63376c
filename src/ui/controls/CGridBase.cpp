#include "controls/CGridBase.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <algorithm>
#include <utility>

#include "AccessibleParts.h"
#include "UiText.h"
#include "controls/GridAccessible.h"
#include "events/IniFormat.h"

namespace vespin::ui {
namespace {

constexpr int kFrame = 2;  // sunken client edge on every side
constexpr int kLine = 1;   // grid line
constexpr int kDefaultColWidth = 64;
constexpr int kCellPadding = 4;
constexpr int kWheelNotch = 120;

// A check-box column holds the file's Boolean token; only the true one is ticked.
const QLatin1String kTicked(ini::kTrue.data(), static_cast<qsizetype>(ini::kTrue.size()));

// Lines between data cells before the cells paint over them; only the corners stay this colour.
const QColor kDataGridLine(192, 192, 192);

// The small tool window that shows a whole cell text while the right button is held.
class CellHint final : public QWidget {
 public:
  explicit CellHint(QWidget* owner) : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
  }

  const QString& Text() const { return text_; }
  void SetText(QString text) { text_ = std::move(text); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Active, QPalette::ToolTipBase));
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(pal.color(QPalette::Active, QPalette::ToolTipText));
    p.setFont(font());
    // One pixel of border and two of margin, as the window's size allows for.
    p.drawText(3, 3 + QFontMetrics(font()).ascent(), text_);
  }

 private:
  QString text_;
};

// A raised or sunken 1-pixel bevel inside `r`: bottom/right first, then top/left over them.
void DrawBevel(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  p.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
  p.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
  p.fillRect(r.left(), r.top(), 1, r.height(), topLeft);
  p.fillRect(r.left(), r.top(), r.width(), 1, topLeft);
}

// A classic 13 x 13 check box: a two-pixel sunken edge around a white square, with a tick.
void DrawCheckBox(QPainter& p, const QPalette& pal, QPoint at, bool checked) {
  const QRect box(at, QSize(CGridBase::kCheckBoxSize, CGridBase::kCheckBoxSize));
  DrawBevel(p, box, pal.color(QPalette::Active, QPalette::Dark),
            pal.color(QPalette::Active, QPalette::Light));
  DrawBevel(p, box.adjusted(1, 1, -1, -1), pal.color(QPalette::Active, QPalette::Shadow),
            pal.color(QPalette::Active, QPalette::Midlight));
  p.fillRect(box.adjusted(2, 2, -2, -2), pal.color(QPalette::Active, QPalette::Base));
  if (!checked) return;
  // Seven columns of three pixels each: down to the notch at the third column, then up.
  static constexpr int kTickTop[] = {2, 3, 4, 3, 2, 1, 0};
  const QColor ink = pal.color(QPalette::Active, QPalette::Text);
  for (int i = 0; i < 7; ++i) {
    p.fillRect(box.left() + 3 + i, box.top() + 3 + kTickTop[i], 1, 3, ink);
  }
}

// GDI-style dots: three pixels on, three off, the gaps in the cell's background.
void DrawDottedLine(QPainter& p, int left, int right, int y, const QColor& ink) {
  for (int x = left; x < right; x += 6) p.fillRect(x, y, std::min(3, right - x), 1, ink);
}

}  // namespace

CGridBase::CGridBase(EventTable* table, QWidget* parent) : QWidget(parent) {
  InstallGridAccessibility();
  RegisterFontSubstitutions();
  setFont(CellFont());
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  scrollBar_->setFocusPolicy(Qt::NoFocus);
  scrollBar_->hide();
  connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int value) {
    if (table_) table_->SetTopRow(value);
  });
  SetTable(table);
}

CGridBase::~CGridBase() = default;

void CGridBase::SetTable(EventTable* table) {
  if (table_ == table && table) return;
  if (table_) table_->SetChangeHandler({});
  table_ = table;
  DestroyHint();
  widths_.assign(static_cast<std::size_t>(table_ ? table_->ColCount() : 0), kDefaultColWidth);
  alignments_.clear();
  if (table_) {
    // The table may outlive this widget; a destroyed view simply stops listening.
    QPointer<CGridBase> self(this);
    table_->SetChangeHandler([self] {
      if (self) self->OnTableChanged();
    });
  }
  ComputeLayout();
}

QFont CGridBase::CellFont() {
  QFont f(GothicFace());
  f.setPointSize(12);
  return f;
}

int CGridBase::LetterWidth() const {
  if (forcedLetterWidth_ > 0) return forcedLetterWidth_;
  return QFontMetrics(CellFont(), this).horizontalAdvance(QLatin1Char('w'));
}

void CGridBase::DefineColumn(int col, const std::string& title, int width, int alignment) {
  if (!table_ || col < 0 || col >= table_->ColCount()) return;
  if (alignments_.empty()) alignments_.assign(widths_.size(), kAlignLeft);
  const auto c = static_cast<std::size_t>(col);
  alignments_[c] = alignment;
  if (width > 0) {
    const int w = LetterWidth();
    // The +7 keeps the widths of the original 8-pixel layout; other fonts get a little air.
    widths_[c] = width * w + (w == 8 ? 7 : 9);
    table_->SetCell(col, 0, title);
  } else {
    widths_[c] = 0;
    table_->SetCell(col, 0, {});
  }
}

int CGridBase::ColumnPixelWidth(int col) const {
  if (col < 0 || col >= static_cast<int>(widths_.size())) return 0;
  return widths_[static_cast<std::size_t>(col)];
}

int CGridBase::ColumnAlignment(int col) const {
  if (col < 0 || col >= static_cast<int>(alignments_.size())) return kAlignLeft;
  return alignments_[static_cast<std::size_t>(col)];
}

int CGridBase::RowCountShow() const {
  return table_ ? table_->RowCountShow() : 1;
}

void CGridBase::SetRowCountShow(int n) {
  if (!table_) return;
  table_->SetRowCountShow(n);
  ComputeLayout();
}

void CGridBase::SetRowCountGroup(int n) {
  rowCountGroup_ = std::max(n, 1);
  update();
}

void CGridBase::ResetLayout() {
  if (table_) table_->ResetLayout();
  ComputeLayout();
}

void CGridBase::ComputeLayout() {
  int width = kLine;
  for (int w : widths_) {
    if (w > 0) width += w + kLine;
  }
  baseWidth_ = width + 3;
  layoutRowCountShow_ = RowCountShow();
  outerHeight_ = (layoutRowCountShow_ + 1) * (kRowHeight + kLine) + 4;
  FitWidth();
}

bool CGridBase::NeedsScrollBar() const {
  return table_ && table_->RowCount() > table_->RowCountShow() + 1;
}

void CGridBase::FitWidth() {
  setFixedSize(baseWidth_ + (NeedsScrollBar() ? kScrollBarWidth : 0), outerHeight_);
  SyncScrollBar();
  update();
}

void CGridBase::SyncScrollBar() {
  const bool needed = NeedsScrollBar();
  if (needed) {
    const QSignalBlocker block(scrollBar_);
    scrollBar_->setRange(1, table_->RowCount() - table_->RowCountShow());
    scrollBar_->setPageStep(table_->RowCountShow());
    scrollBar_->setSingleStep(1);
    scrollBar_->setValue(table_->TopRow());
    scrollBar_->setGeometry(width() - kFrame - kScrollBarWidth, kFrame, kScrollBarWidth,
                            height() - 2 * kFrame);
  }
  scrollBar_->setVisible(needed);
}

void CGridBase::OnTableChanged() {
  if (table_->RowCountShow() != layoutRowCountShow_) {
    ComputeLayout();
  } else {
    FitWidth();
  }
  NotifyAccessibility();
}

void CGridBase::NotifyAccessibility() {
  if (!table_ || !QAccessible::isActive()) return;
  const int rows = table_->DataRowCount();
  const int selected = table_->HasSelectedDataRow() ? table_->SelectedRow() : 0;
  if (rows != notifiedRows_) NotifyTableReset(this);
  if (hasFocus() && selected > 0 && (selected != notifiedSelection_ || rows != notifiedRows_)) {
    NotifyPartFocus(AccessibleChild(this, GridFocusChildIndex(*this)));
  }
  notifiedRows_ = rows;
  notifiedSelection_ = selected;
}

int CGridBase::ColumnLeft(int col) const {
  int x = kFrame;
  for (int c = 0; c < col; ++c) {
    const int w = widths_[static_cast<std::size_t>(c)];
    if (w > 0) x += w + kLine;
  }
  return x;
}

QRect CGridBase::CellRect(int col, int row) const {
  if (!table_ || col < 0 || col >= static_cast<int>(widths_.size())) return {};
  const int w = widths_[static_cast<std::size_t>(col)];
  if (w <= 0) return {};
  int line = 0;
  if (row != 0) {
    line = row - table_->TopRow() + 1;
    if (row < 1 || line < 1 || line > table_->RowCountShow() || row >= table_->RowCount()) {
      return {};
    }
  }
  return QRect(ColumnLeft(col), kFrame + line * (kRowHeight + kLine), w, kRowHeight);
}

CGridBase::Cell CGridBase::CellAt(QPoint pos) const {
  if (!table_ || pos.y() < kFrame || pos.x() < kFrame) return {};
  const int line = (pos.y() - kFrame) / (kRowHeight + kLine);
  if (line > table_->RowCountShow()) return {};
  const int row = line == 0 ? 0 : table_->TopRow() + line - 1;
  if (row >= table_->RowCount()) return {};
  for (int c = 0; c < static_cast<int>(widths_.size()); ++c) {
    const int w = widths_[static_cast<std::size_t>(c)];
    if (w <= 0) continue;
    const int left = ColumnLeft(c);
    // A cell's right grid line belongs to it.
    if (pos.x() >= left && pos.x() <= left + w) return {c, row};
  }
  return {};
}

QColor CGridBase::StripeColor(const QColor& parentColor) {
  switch (parentColor.rgb() & 0xFFFFFF) {
    case 0xFFFFDF:
      return QColor(255, 250, 227);
    case 0xE0FFF0:
      return QColor(240, 255, 240);
    case 0xEFFFFF:
      return QColor(228, 241, 254);
    default:
      return QColor(parentColor.rgb());
  }
}

void CGridBase::paintEvent(QPaintEvent*) {
  DestroyHint();
  QPainter p(this);
  const QPalette& pal = palette();
  const QRect client = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
  // Anything the cells do not cover (a widget stretched beyond its layout) stays window white.
  p.fillRect(client, pal.color(QPalette::Active, QPalette::Base));
  if (table_) {
    p.setClipRect(client);
    p.setFont(CellFont());
    const int lines = table_->RowCountShow();
    for (int line = 0; line <= lines; ++line) {
      const int row = line == 0 ? 0 : table_->TopRow() + line - 1;
      if (row >= table_->RowCount()) break;
      const int top = kFrame + line * (kRowHeight + kLine);
      // The grid's own lines first; the cells draw theirs over all but the corners.
      p.fillRect(client.left(), top, ColumnLeft(table_->ColCount()) - client.left(),
                 kRowHeight + kLine, line == 0 ? QColor(Qt::black) : kDataGridLine);
      for (int c = 0; c < table_->ColCount(); ++c) {
        const QRect cell = CellRect(c, row);
        if (!cell.isEmpty()) PaintCell(p, c, row, cell);
      }
    }
    if (FocusFrameShown()) PaintFocusFrame(p);
    p.setClipping(false);
  }
  // The sunken client edge.
  const QRect outer = rect();
  DrawBevel(p, outer, pal.color(QPalette::Active, QPalette::Dark),
            pal.color(QPalette::Active, QPalette::Light));
  DrawBevel(p, outer.adjusted(1, 1, -1, -1), pal.color(QPalette::Active, QPalette::Shadow),
            pal.color(QPalette::Active, QPalette::Midlight));
}

void CGridBase::PaintCell(QPainter& p, int col, int row, const QRect& rect) {
  const QPalette& pal = palette();
  const int dataRows = table_->DataRowCount();
  QColor back;
  QColor line = Qt::black;
  QColor ink = Qt::black;
  if (row != 0 && row == table_->SelectedRow() && row <= dataRows) {
    back = pal.color(QPalette::Active, QPalette::Highlight);
    line = pal.color(QPalette::Active, QPalette::Button);
    ink = pal.color(QPalette::Active, QPalette::HighlightedText);
  } else if (row == 0) {
    back = pal.color(QPalette::Active, QPalette::Button);
  } else if (row % 2 == 1) {
    back = Qt::white;
  } else {
    const QWidget* owner = parentWidget();
    back = StripeColor(owner ? owner->palette().color(owner->backgroundRole())
                             : pal.color(QPalette::Active, QPalette::Window));
  }

  const int left = rect.left();
  const int top = rect.top();
  const int right = rect.left() + rect.width();   // the right grid line
  const int bottom = rect.top() + rect.height();  // the bottom grid line
  p.fillRect(rect, back);
  p.fillRect(left, bottom, rect.width(), 1, back);
  if (row % rowCountGroup_ == 0) {
    p.fillRect(left, bottom, rect.width(), 1, line);
  } else {
    DrawDottedLine(p, left, right, bottom, line);
  }
  p.fillRect(right, top, 1, rect.height(), line);

  const QString text = row <= dataRows ? FromSjis(table_->Cell(col, row)) : QString();
  const int align = row == 0 ? kAlignCenter : ColumnAlignment(col);
  const QFontMetrics fm(CellFont(), this);
  const int textWidth = fm.horizontalAdvance(text);
  const int y = top + (rect.height() - fm.height()) / 2;
  int x = left + kCellPadding;
  switch (align) {
    case kAlignCenter:
      x = left + (rect.width() - textWidth) / 2;
      break;
    case kAlignRight:
      x = right - textWidth - kCellPadding;
      break;
    case kAlignCheckBox:
      x = left + (rect.width() - kCheckBoxSize) / 2;
      break;
    default:
      break;
  }

  if (row == 0) {
    DrawBevel(p, rect, pal.color(QPalette::Active, QPalette::Light),
              pal.color(QPalette::Active, QPalette::Dark));
    p.setPen(ink);
    p.drawText(x, y + fm.ascent(), text);  // a long title may run into its neighbour
  } else if (align == kAlignCheckBox) {
    if (!text.isEmpty()) DrawCheckBox(p, pal, QPoint(x, y + 1), text == kTicked);
  } else if (!text.isEmpty()) {
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    p.setPen(ink);
    p.drawText(x, y + fm.ascent(), text);
    p.restore();
  }
}

// Dotted around the selected row, inside its cells: black dots on white show on the highlight
// and on the stripes alike.
void CGridBase::PaintFocusFrame(QPainter& p) {
  QRect row;
  for (int c = 0; c < table_->ColCount(); ++c) row |= CellRect(c, table_->SelectedRow());
  if (row.isEmpty()) return;
  const QRect ring = row.adjusted(1, 1, -2, -2);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::white, 1));
  p.drawRect(ring);
  QPen dots(Qt::black, 1, Qt::CustomDashLine);
  dots.setDashPattern({1, 1});
  p.setPen(dots);
  p.drawRect(ring);
}

void CGridBase::PressRow(int row) {
  if (table_) ClickRow(row);
}

void CGridBase::ClickRow(int row) {
  const int dataRows = table_->DataRowCount();
  if (row > dataRows) {
    table_->SelectRow(dataRows > 0 ? dataRows : 1);
  } else {
    table_->SelectRow(row);
  }
  emit Clicked();
}

void CGridBase::mousePressEvent(QMouseEvent* event) {
  keyboardCue_ = false;  // no repaint of its own: it would take down the hint put up below
  if (!table_) return;
  const Cell cell = CellAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton) {
    if (cell.row >= 1) ClickRow(cell.row);
  } else if (event->button() == Qt::RightButton) {
    if (cell.row >= 1 && cell.row <= table_->DataRowCount() &&
        !table_->Cell(cell.col, cell.row).empty()) {
      ShowHint(cell, event->globalPosition().toPoint());
    }
  }
  event->accept();
}

void CGridBase::mouseReleaseEvent(QMouseEvent* event) {
  DestroyHint();
  update();  // the focus frame a mouse press has hidden
  event->accept();
}

void CGridBase::keyPressEvent(QKeyEvent* event) {
  if (!table_) return QWidget::keyPressEvent(event);
  const int current = table_->SelectedRow();
  const int show = table_->RowCountShow();
  int target = current;
  switch (event->key()) {
    case Qt::Key_Up:
      target = current - 1;
      break;
    case Qt::Key_Down:
      target = current + 1;
      break;
    case Qt::Key_PageUp:
      target = current - show;
      break;
    case Qt::Key_PageDown:
      target = current + show;
      break;
    case Qt::Key_Home:
      target = 1;
      break;
    case Qt::Key_End:
      target = table_->RowCount() - 1;
      break;
    default:
      return QWidget::keyPressEvent(event);
  }
  event->accept();
  if (!keyboardCue_) {
    keyboardCue_ = true;
    update();
  }
  target = std::clamp(target, 1, table_->RowCount() - 1);
  // Like a click, a move is reported only when the current row really changes; landing on an
  // empty line is such a change even though the correction puts the selection back.
  if (target != current) ClickRow(target);
}

void CGridBase::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (!NeedsScrollBar()) return;
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / kWheelNotch;
  wheelRemainder_ -= notches * kWheelNotch;
  if (notches != 0) {
    table_->SetTopRow(table_->TopRow() - notches * QApplication::wheelScrollLines());
  }
}

// A focus change from the mouse must not repaint: the repaint would take down a cell hint that
// the same right-button press has just put up. The mouse hides the focus frame, so there is
// nothing to repaint then.
void CGridBase::focusInEvent(QFocusEvent* event) {
  const auto reason = event->reason();
  if (reason == Qt::MouseFocusReason) {
    keyboardCue_ = false;  // and no repaint, which would take the press's hint down
  } else if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
             reason == Qt::ShortcutFocusReason) {
    keyboardCue_ = true;
  }
  if (keyboardCue_) update();
  // After Qt has announced the list itself, the selected row in it.
  QMetaObject::invokeMethod(
      this,
      [this] {
        notifiedSelection_ = -1;
        NotifyAccessibility();
      },
      Qt::QueuedConnection);
}

void CGridBase::focusOutEvent(QFocusEvent*) {
  if (keyboardCue_) update();
}

void CGridBase::changeEvent(QEvent* event) {
  // The system colours are taken from the active group whatever the window's state, so
  // activation needs no repaint either.
  if (event->type() == QEvent::ActivationChange) return;
  QWidget::changeEvent(event);
}

void CGridBase::ShowHint(const Cell& cell, QPoint globalPos) {
  auto* hint = static_cast<CellHint*>(hint_);
  if (!hint) {
    hint = new CellHint(this);
    QFont f(font().family());
    if (font().pointSizeF() > 0) {
      f.setPointSizeF(font().pointSizeF());
    } else {
      f.setPixelSize(font().pixelSize());
    }
    hint->setFont(f);
    hint_ = hint;
  }
  hint->SetText(FromSjis(table_->Cell(cell.col, cell.row)));
  const QFontMetrics fm(hint->font());
  const int textWidth = fm.horizontalAdvance(hint->Text());
  const int colWidth = ColumnPixelWidth(cell.col);
  const int width = textWidth < colWidth ? colWidth : textWidth + 4;
  hint->setGeometry(globalPos.x() + 16, globalPos.y() + 20, width, fm.height() + 4);
  hint->show();
  hint->update();
}

void CGridBase::DestroyHint() {
  delete hint_;
  hint_ = nullptr;
}

}  // namespace vespin::ui
