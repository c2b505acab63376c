#pragma once
// The list grid: a self-drawn view of one EventTable with a fixed number of visible lines.
//
//   owner --DefineColumn / ResetLayout--> CGridBase --draws--> EventTable (not owned)
//   owner --row operations--------------------------------------> EventTable --change--> repaint,
//   refit mouse / cursor keys --> click correction on the table --> Clicked()
//
// The table owns the cells, the selection and the top visible row; the widget owns only the
// look (column pixel widths and alignments, the row-group size) and the right-button cell hint.
// A focus frame around the selected row shows while the keyboard is in use. Assistive tools see
// a table of the visible columns' headers and the data cells (GridAccessible).
// The table must outlive the widget, or be detached first with SetTable(nullptr). While it is
// shown here the widget holds the table's change handler.

#include <QWidget>
#include <string>
#include <vector>

#include "events/EventTable.h"

class QScrollBar;

namespace vespin::ui {

class CGridBase final : public QWidget {
  Q_OBJECT

 public:
  // Column alignment codes: how data cells place their text. The header is always centred.
  static constexpr int kAlignLeft = 0;
  static constexpr int kAlignCenter = 1;
  static constexpr int kAlignRight = 2;
  static constexpr int kAlignCheckBox = 9;

  static constexpr int kRowHeight = 24;       // plus one pixel of grid line
  static constexpr int kScrollBarWidth = 16;  // added to the base width while the bar shows
  static constexpr int kCheckBoxSize = 13;

  explicit CGridBase(EventTable* table = nullptr, QWidget* parent = nullptr);
  ~CGridBase() override;
  Q_DISABLE_COPY_MOVE(CGridBase)

  // Shows another table (or none). Column definitions go back to their defaults; the table's
  // rows are left as they are.
  void SetTable(EventTable* table);
  EventTable* Table() const { return table_; }

  // Sets up one column: width in letters "w" (0 or less hides the column and empties its
  // header), the header title in Shift_JIS and the alignment code for its data cells. The
  // outer size follows at the next ResetLayout.
  void DefineColumn(int col, const std::string& title, int width, int alignment);
  // Empties the table (it is meant for set-up, before any rows are loaded), gives it
  // RowCountShow + 1 grid rows and computes the outer size from the columns.
  void ResetLayout();
  // The outer size from the columns and RowCountShow, leaving the rows alone: for a grid put
  // over a table that already holds events.
  void ComputeLayout();
  // Base width, plus room for the scroll bar while the table has more rows than lines shown.
  void FitWidth();

  int RowCountShow() const;
  // Values <= 0 become 1; then ResetLayout (which empties the table).
  void SetRowCountShow(int n);
  int RowCountGroup() const { return rowCountGroup_; }
  // Every n-th row ends with a solid line, the rows between with dotted ones. <= 0 becomes 1.
  void SetRowCountGroup(int n);

  // Outer width without the scroll bar, as the last layout computed it.
  int BaseWidth() const { return baseWidth_; }
  int ColumnPixelWidth(int col) const;
  int ColumnAlignment(int col) const;
  // Pixel width of the letter "w" that DefineColumn multiplies. Measured on the cell font
  // unless forced (a positive value forces, 0 measures again).
  int LetterWidth() const;
  void SetLetterWidth(int pixels) { forcedLetterWidth_ = pixels > 0 ? pixels : 0; }

  // The rectangle of a visible cell (grid row, 0 = header) in widget coordinates, without its
  // grid lines; empty for hidden columns and rows scrolled out of view.
  QRect CellRect(int col, int row) const;
  // The even-row stripe colour that goes with a parent's background colour.
  static QColor StripeColor(const QColor& parentColor);
  // The font every cell is drawn with.
  static QFont CellFont();

  // The right-button cell hint while it shows, else nullptr.
  QWidget* HintWindow() const { return hint_; }
  QScrollBar* VerticalScrollBar() const { return scrollBar_; }

  // Whether the focus frame is drawn now: the grid has the focus and the keyboard is in use.
  bool FocusFrameShown() const { return hasFocus() && keyboardCue_; }
  // What a click on a line does (for assistive tools): select it, corrected onto a data row,
  // and tell the owner.
  void PressRow(int row);

 signals:
  // After a left click on a data line or a cursor-key move: the selection has already been
  // moved onto a data row (row 1 of an empty list), so the owner can read the selected row.
  void Clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct Cell {
    int col = -1;
    int row = -1;
  };

  void OnTableChanged();
  void SyncScrollBar();
  bool NeedsScrollBar() const;
  int ColumnLeft(int col) const;
  Cell CellAt(QPoint pos) const;
  // Makes `row` current and moves the selection onto a data row, then tells the owner.
  void ClickRow(int row);
  void ShowHint(const Cell& cell, QPoint globalPos);
  void DestroyHint();
  void PaintCell(QPainter& painter, int col, int row, const QRect& rect);
  void PaintFocusFrame(QPainter& painter);
  // Tells assistive tools about a new row count or selection.
  void NotifyAccessibility();

  EventTable* table_ = nullptr;
  std::vector<int> widths_;      // pixels, per column
  std::vector<int> alignments_;  // empty until the first DefineColumn
  int rowCountGroup_ = 1;
  int baseWidth_ = 0;
  int outerHeight_ = 0;
  int layoutRowCountShow_ = 0;
  int forcedLetterWidth_ = 0;
  int wheelRemainder_ = 0;
  QScrollBar* scrollBar_ = nullptr;
  QWidget* hint_ = nullptr;
  bool keyboardCue_ = false;
  int notifiedRows_ = -1;  // what assistive tools were last told
  int notifiedSelection_ = -1;
};

}  // namespace vespin::ui
