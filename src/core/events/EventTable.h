#pragma once
// One event table: rows of text cells addressed by (column, row). Row 0 is the header, data
// rows are 1..DataRowCount(). The table always has max(RowCountShow, DataRowCount) + 1 rows,
// so a list view over it shows RowCountShow lines even when it holds fewer events; cells after
// the data rows stay empty. The selection and the top visible row live here too, because the
// row operations move them. The list widget only draws a table and forwards clicks to it.
//
// Cells are plain owned strings, all of a table's rows in one vector, row after row.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vespin {

class EventTable {
 public:
  explicit EventTable(int columnCount, int rowCountShow = 5);
  int ColCount() const { return colCount_; }
  // Grid rows, header included: max(RowCountShow, DataRowCount) + 1.
  int RowCount() const { return static_cast<int>(cells_.size()) / colCount_; }
  int DataRowCount() const { return dataRowCount_; }

  int RowCountShow() const { return rowCountShow_; }
  // Values <= 0 become 1; then ResetLayout().
  void SetRowCountShow(int n);
  // Empties the list: no data rows, RowCountShow + 1 grid rows. Header texts stay.
  void ResetLayout();

  // Out-of-range cells read as empty; writes to them are ignored.
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, std::string_view text);

  // Inserts so that the values become row `position` (1 when the list is empty, whatever
  // was passed). Ignored unless 1 <= position <= DataRowCount + 1 and values has exactly
  // ColCount texts. Selects the new row.
  void InsertRow(int position, const std::vector<std::string>& values);
  // Ignored unless 1 <= position <= DataRowCount and values has ColCount texts. Selects it.
  void UpdateRow(int position, const std::vector<std::string>& values);
  // Ignored unless 1 <= position <= DataRowCount. Selects the row now at position, else the
  // new last row, else row 1 of the empty list.
  void DeleteRow(int position);
  // Selects row 1 and removes every data row.
  void ClearRows();
  // Partition sort of the data rows by one column, byte-wise; direction 1 ascending, -1
  // descending. Not stable. The selection follows the selected row's contents.
  void SortRows(int column, int direction);

  // Selects a whole row and scrolls it into view; a negative row clears the selection and
  // scrolls to the top. The header row and rows beyond the grid are ignored.
  void SelectRow(int row);
  // The selected row, or -1 when the selection was cleared.
  int SelectedRow() const { return selectedRow_; }
  // Whether the selection stands on a data row (not on an empty line, not cleared).
  bool HasSelectedDataRow() const { return selectedRow_ >= 1 && selectedRow_ <= dataRowCount_; }
  // Where a new row goes: directly below the selected data row, else after the last row (row 1
  // of an empty list).
  int InsertPosition() const { return HasSelectedDataRow() ? selectedRow_ + 1 : dataRowCount_ + 1; }
  // The first data line shown by a view (1 when not scrolled).
  int TopRow() const { return topRow_; }
  // Scrolls a view without touching the selection; clamped to the rows that exist.
  void SetTopRow(int row);

  // All cells of one column, header included, one per grid row.
  std::vector<std::string> Column(int col) const;
  // Writes texts back into a column from the header down, as far as both the texts and the
  // header plus data rows reach.
  void ReplaceColumn(int col, const std::vector<std::string>& texts);

  // Called after every change of cells, rows, selection or scroll position (views repaint).
  void SetChangeHandler(std::function<void()> handler) { onChange_ = std::move(handler); }

 private:
  using CellIt = std::vector<std::string>::iterator;

  std::string& At(int col, int row) {
    return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(colCount_) +
                  static_cast<std::size_t>(col)];
  }
  const std::string& At(int col, int row) const {
    return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(colCount_) +
                  static_cast<std::size_t>(col)];
  }
  CellIt RowBegin(int row) { return cells_.begin() + static_cast<std::ptrdiff_t>(row) * colCount_; }
  // Every cell of the rows from `first` on becomes empty.
  void EmptyRowsFrom(int first);
  void SetGridRows(int n);
  void Changed() const;

  int colCount_;
  int rowCountShow_;
  int dataRowCount_ = 0;
  int selectedRow_ = 1;
  int topRow_ = 1;
  std::vector<std::string> cells_;  // grid rows, header included, ColCount cells each
  std::function<void()> onChange_;
};

}  // namespace vespin
