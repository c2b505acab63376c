#include "events/EventTable.h"

#include <algorithm>
#include <utility>

namespace vespin {

EventTable::EventTable(int columnCount, int rowCountShow)
    : colCount_(std::max(columnCount, 1)), rowCountShow_(std::max(rowCountShow, 1)) {
  cells_.resize(static_cast<std::size_t>(rowCountShow_ + 1) * static_cast<std::size_t>(colCount_));
}

void EventTable::SetRowCountShow(int n) {
  rowCountShow_ = std::max(n, 1);
  ResetLayout();
}

void EventTable::ResetLayout() {
  dataRowCount_ = 0;
  EmptyRowsFrom(1);
  SetGridRows(rowCountShow_ + 1);
  selectedRow_ = std::min(std::max(selectedRow_, 1), RowCount() - 1);
  topRow_ = 1;
  Changed();
}

const std::string& EventTable::Cell(int col, int row) const {
  static const std::string kEmpty;
  if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount()) return kEmpty;
  return At(col, row);
}

void EventTable::SetCell(int col, int row, std::string_view text) {
  if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount()) return;
  At(col, row) = text;
  Changed();
}

void EventTable::InsertRow(int position, const std::vector<std::string>& values) {
  if (dataRowCount_ == 0) {
    position = 1;
  } else if (position < 1 || position > dataRowCount_ + 1) {
    return;
  }
  if (static_cast<int>(values.size()) != colCount_) return;
  if (dataRowCount_ >= rowCountShow_) {
    // No empty line left to fill: the list grows by the new row.
    cells_.insert(cells_.end(), values.begin(), values.end());
    std::rotate(RowBegin(position), cells_.end() - colCount_, cells_.end());
  } else {
    // The line after the last data row is an empty spare; rotate it into place.
    std::rotate(RowBegin(position), RowBegin(dataRowCount_ + 1), RowBegin(dataRowCount_ + 2));
    CellIt cell = RowBegin(position);
    for (const auto& value : values) *cell++ = value;
  }
  ++dataRowCount_;
  SelectRow(position);
  Changed();
}

void EventTable::UpdateRow(int position, const std::vector<std::string>& values) {
  if (position < 1 || position > dataRowCount_) return;
  if (static_cast<int>(values.size()) != colCount_) return;
  CellIt cell = RowBegin(position);
  for (const std::string& value : values) *cell++ = value;
  SelectRow(position);
  Changed();
}

void EventTable::DeleteRow(int position) {
  if (position < 1 || position > dataRowCount_) return;
  std::rotate(RowBegin(position), RowBegin(position + 1), RowBegin(dataRowCount_ + 1));
  std::fill(RowBegin(dataRowCount_), RowBegin(dataRowCount_ + 1), std::string());
  if (RowCount() > rowCountShow_ + 1) SetGridRows(RowCount() - 1);
  --dataRowCount_;
  if (position <= dataRowCount_) {
    SelectRow(position);
  } else if (dataRowCount_ == 0) {
    SelectRow(1);
  } else {
    SelectRow(position - 1);
  }
  Changed();
}

void EventTable::ClearRows() {
  SelectRow(1);
  EmptyRowsFrom(1);
  SetGridRows(rowCountShow_ + 1);
  dataRowCount_ = 0;
  topRow_ = std::min(topRow_, 1);
  Changed();
}

void EventTable::SortRows(int column, int direction) {
  if (dataRowCount_ == 0 || column < 0 || column >= colCount_) return;
  int remembered = selectedRow_;
  auto compare = [&](const std::string& a, const std::string& b) {
    return direction * a.compare(b);
  };
  // Classic in-place partition sort, recursing into the left part and looping on the right.
  std::function<void(int, int)> sort = [&](int lo, int hi) {
    int i = lo;
    do {
      i = lo;
      int j = hi;
      // A copy: the pivot's row may be swapped away while the partition runs.
      const std::string pivot = At(column, (lo + hi) / 2);
      do {
        while (compare(At(column, i), pivot) < 0) ++i;
        while (compare(At(column, j), pivot) > 0) --j;
        if (i <= j) {
          if (i != j) std::swap_ranges(RowBegin(i), RowBegin(i + 1), RowBegin(j));
          if (remembered == j) {
            remembered = i;
          } else if (remembered == i) {
            remembered = j;
          }
          ++i;
          --j;
        }
      } while (i <= j);
      if (lo < j) sort(lo, j);
      lo = i;
    } while (i < hi);
  };
  sort(1, dataRowCount_);
  SelectRow(remembered);
  Changed();
}

void EventTable::SelectRow(int row) {
  if (row < 0) {
    selectedRow_ = -1;
    topRow_ = 1;
    Changed();
    return;
  }
  // The header is not a row the owners can act on: UpdateRow and DeleteRow would refuse it
  // and a click handler would read the titles as an event.
  if (row == 0 || row >= RowCount()) return;
  selectedRow_ = row;
  if (!(topRow_ <= row && row < topRow_ + rowCountShow_)) {
    if (row + rowCountShow_ > dataRowCount_) {
      topRow_ = dataRowCount_ - rowCountShow_ + 1;
    } else {
      topRow_ = row;
    }
    topRow_ = std::max(topRow_, 1);
  }
  Changed();
}

void EventTable::SetTopRow(int row) {
  const int maxTop = std::max(RowCount() - rowCountShow_, 1);
  topRow_ = std::clamp(row, 1, maxTop);
  Changed();
}

std::vector<std::string> EventTable::Column(int col) const {
  std::vector<std::string> out;
  out.reserve(static_cast<std::size_t>(RowCount()));
  for (int r = 0; r < RowCount(); ++r) out.emplace_back(Cell(col, r));
  return out;
}

void EventTable::ReplaceColumn(int col, const std::vector<std::string>& texts) {
  if (col < 0 || col >= colCount_) return;
  const int n = std::min(static_cast<int>(texts.size()), dataRowCount_ + 1);
  for (int r = 0; r < n; ++r) {
    At(col, r) = texts[static_cast<std::size_t>(r)];
  }
  Changed();
}

void EventTable::SetGridRows(int n) {
  cells_.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(colCount_));
  selectedRow_ = std::min(selectedRow_, n - 1);
  topRow_ = std::clamp(topRow_, 1, std::max(n - rowCountShow_, 1));
}

void EventTable::EmptyRowsFrom(int first) {
  std::fill(RowBegin(first), cells_.end(), std::string());
}

void EventTable::Changed() const {
  if (onChange_) onChange_();
}

}  // namespace vespin
