#pragma once
// The month calendar of the main window drawn as one surface: the seven weekday headers and the
// 3 × 42 day cells ("WeekdayLabels" and "DayLabels") at the rectangles of the window layout,
// filled from a CalendarSheet. It covers the whole client area and reports what was pressed;
// the window decides what that means.
//
// The keyboard moves a focused day through the shown days (arrows, Home/End, Page Up/Down) and
// Enter or Space presses it like a click. Beyond the shown months the window is asked to step
// them (it does so in navigation mode). The focus frame is drawn only while the keyboard is in
// use, so the mouse user's panel looks as it always has. Assistive tools see the calendar as a
// table of seven weekday headers and the day cells of the shown months (CalendarAccessible).

#include <QColor>
#include <QFont>
#include <QRect>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "display/CalendarSheet.h"
#include "display/MainLayout.h"

class QPainter;

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

  struct CellPos {
    int block = 0;
    int cell = 0;
  };
  // Asked to step the shown months by one (-1 back, +1 forward) for the keyboard; true when it
  // did (a new sheet follows).
  using MonthStepper = std::function<bool(int step)>;

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
  void DrawRemoteLine(QPainter& p, const QRect& cell, const QString& digits,
                      const QColor& color) const;
  QColor HeaderColor(int column) const;

  static const std::array<QString, 7>& WeekdayTexts();

  // How many blocks of the sheet are shown (1 to 3).
  int ShownBlocks() const;
  // The day the keyboard is on: a day of the shown months, or none before the first sheet.
  std::optional<TDateTime> FocusDate() const { return focusDate_; }
  std::optional<CellPos> FocusCell() const;
  // Puts the keyboard on a shown day; other dates are ignored.
  void SetFocusDate(TDateTime date);
  // Whether the focus frame is drawn now: the calendar has the focus and the keyboard is in use.
  bool FocusFrameShown() const { return hasFocus() && keyboardCue_; }
  // A mouse press anywhere on the window: the frame stays hidden until the next key.
  void HideFocusFrame();
  void SetMonthStepper(MonthStepper stepper) { stepper_ = std::move(stepper); }
  // What a click on a day cell does (for the keyboard and assistive tools): the day becomes the
  // focused day and is reported as clicked. Blank cells do nothing.
  void PressDay(int block, int cell);

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
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  std::optional<CellPos> CellOf(TDateTime date) const;
  // Moves the focus to `date`, stepping the shown months when it lies beyond them.
  void MoveFocus(TDateTime date, int monthStep);
  void FocusChanged();
  // After a new sheet: the focus stays on its day if shown, else goes to today or the 1st.
  void KeepFocusShown();

  std::array<QRect, 7> headers_{};
  std::array<std::array<QRect, kCellsPerBlock>, kCalendarBlocks> cells_{};
  CalendarSheet sheet_;
  QFont font_;
  Colors colors_;
  Hit pressed_;
  std::optional<TDateTime> focusDate_;
  std::optional<TDateTime> pendingFocus_;  // where the focus goes once the stepped sheet comes
  bool keyboardCue_ = true;
  MonthStepper stepper_;
};

// A spin button: an upward triangle in the upper half, a downward one in the lower half.
// Assistive tools see the two halves as two buttons with the names given here.
class SpinButton final : public QWidget {
  Q_OBJECT

 public:
  explicit SpinButton(QWidget* parent);

  void SetHalfNames(QString upper, QString lower);
  const QString& HalfName(bool upper) const { return upper ? upperName_ : lowerName_; }
  // A click on one half.
  void Press(bool upper);

 signals:
  void UpClicked();
  void DownClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QString upperName_;
  QString lowerName_;
};

}  // namespace vespin::ui
