#pragma once
// The month calendar of the main window drawn as one surface: the seven weekday headers and the
// 3 × 42 day cells ("WeekdayLabels" and "DayLabels") at the rectangles of the window layout,
// filled from a CalendarSheet. It covers the whole client area and reports what was pressed;
// the window decides what that means.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QWidget>
#include <array>

#include "display/CalendarSheet.h"
#include "display/MainLayout.h"

namespace vespin::ui {

class CalendarView final : public QWidget {
  Q_OBJECT

 public:
  enum class HitKind { None, Header, Day };
  struct Hit {
    HitKind kind = HitKind::None;
    int index = -1;  // header column 0..6, or cell 0..41
    int block = -1;  // day cells only
    QRect rect;      // the cell's rectangle; empty for None
  };

  struct Colors {
    QColor plain;       // window font colour (weekday headers 月 … 金, ordinary days)
    QColor windowText;  // the system's window-text colour (dark scheme, today's digits)
    bool bright = false;
  };

  explicit CalendarView(QWidget* parent);

  void SetCellGeometry(const MainLayoutResult& layout);
  void SetSheet(const CalendarSheet& sheet);
  void SetCellFont(const QFont& font);
  void SetColors(const Colors& colors);

  const CalendarSheet& Sheet() const { return sheet_; }
  const QFont& CellFont() const { return font_; }
  QRect HeaderRect(int column) const { return headers_[static_cast<std::size_t>(column)]; }
  QRect DayRect(int block, int cell) const;
  // What lies at a point of the view: a weekday header, a visible day cell, or nothing.
  Hit HitAt(QPoint pos) const;
  // The name of the holiday under a point of the view; empty elsewhere.
  QString ToolTipAt(QPoint pos) const;
  // The colour a cell's digits are drawn in.
  QColor TextColor(const CalendarCell& cell) const;
  QColor HeaderColor(int column) const;

  static const std::array<QString, 7>& WeekdayTexts();

 signals:
  // Left click on a header or a day cell (press and release on the same cell).
  void Clicked(const vespin::ui::CalendarView::Hit& hit);
  // Any button pressed anywhere; where the pointer is on the screen.
  void MouseDown(Qt::MouseButton button, QPoint global);
  // Double-click outside every cell (the window's own surface).
  void DoubleClickedOutside();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  std::array<QRect, 7> headers_{};
  std::array<std::array<QRect, kCellsPerBlock>, kCalendarBlocks> cells_{};
  CalendarSheet sheet_;
  QFont font_;
  Colors colors_;
  Hit pressed_;
};

// A spin button: an upward triangle in the upper half, a downward one in the lower half.
class SpinButton final : public QWidget {
  Q_OBJECT

 public:
  explicit SpinButton(QWidget* parent);

 signals:
  void UpClicked();
  void DownClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace vespin::ui
