#include "events/EventTable.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace vespin {
namespace {

// Texts are kept in blocks of this size; a longer text gets a block of its own.
constexpr std::size_t kBlockBytes = 16 * 1024;

// Asks the kernel to map the pages of [begin, end) in one call. The rows about to be written
// there would otherwise fault them in one page at a time, and on a virtual machine each such
// fault is an exit to the host: thousands of events made that a large share of the start.
// Only whole pages inside the range are touched; a kernel without the call changes nothing.
void PrefaultForWriting(const void* begin, const void* end) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
  const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) / page * page;
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
  }
#else
  (void)begin;
  (void)end;
#endif
}

}  // namespace

EventTable::EventTable(int columnCount, int rowCountShow)
    : colCount_(std::max(columnCount, 1)), rowCountShow_(std::max(rowCountShow, 1)) {
  cells_.resize(static_cast<std::size_t>(rowCountShow_ + 1) * static_cast<std::size_t>(colCount_));
}

EventTable::EventTable(const EventTable& other)
    : colCount_(other.colCount_),
      rowCountShow_(other.rowCountShow_),
      dataRowCount_(other.dataRowCount_),
      selectedRow_(other.selectedRow_),
      topRow_(other.topRow_),
      cells_(other.cells_),
      onChange_(other.onChange_) {
  KeepOnlyLiveTexts();
}

// The moved-from table must not go on writing into the blocks it gave away.
EventTable::EventTable(EventTable&& other) noexcept
    : colCount_(other.colCount_),
      rowCountShow_(other.rowCountShow_),
      dataRowCount_(other.dataRowCount_),
      selectedRow_(other.selectedRow_),
      topRow_(other.topRow_),
      cells_(std::move(other.cells_)),
      blocks_(std::move(other.blocks_)),
      free_(std::exchange(other.free_, nullptr)),
      left_(std::exchange(other.left_, 0)),
      onChange_(std::move(other.onChange_)) {}

EventTable& EventTable::operator=(EventTable&& other) noexcept {
  if (this == &other) return *this;
  colCount_ = other.colCount_;
  rowCountShow_ = other.rowCountShow_;
  dataRowCount_ = other.dataRowCount_;
  selectedRow_ = other.selectedRow_;
  topRow_ = other.topRow_;
  cells_ = std::move(other.cells_);
  onChange_ = std::move(other.onChange_);
  blocks_ = std::move(other.blocks_);
  free_ = std::exchange(other.free_, nullptr);
  left_ = std::exchange(other.left_, 0);
  return *this;
}

EventTable& EventTable::operator=(const EventTable& other) {
  if (this != &other) *this = EventTable(other);
  return *this;
}

void EventTable::NewBlock(std::size_t bytes) {
  blocks_.push_back(std::make_unique_for_overwrite<char[]>(bytes));
  free_ = blocks_.back().get();
  left_ = bytes;
}

std::string_view EventTable::Keep(std::string_view text) {
  if (text.empty()) return {};
  if (text.size() > left_) NewBlock(std::max(kBlockBytes, text.size()));
  char* const kept = free_;
  std::memcpy(kept, text.data(), text.size());
  free_ += text.size();
  left_ -= text.size();
  return {kept, text.size()};
}

void EventTable::Write(std::string_view& cell, std::string_view text) {
  if (text.empty() || text.size() > cell.size()) {
    cell = Keep(text);
    return;
  }
  // Over the cell's own bytes, which no other cell views (the new text may be a part of the old
  // one, hence memmove).
  char* const own = const_cast<char*>(cell.data());
  std::memmove(own, text.data(), text.size());
  cell = {own, text.size()};
}

void EventTable::KeepOnlyLiveTexts() {
  std::vector<std::unique_ptr<char[]>> old = std::move(blocks_);
  blocks_.clear();
  free_ = nullptr;
  left_ = 0;
  std::size_t live = 0;
  for (const std::string_view cell : cells_) live += cell.size();
  if (live > 0) NewBlock(live);
  for (std::string_view& cell : cells_) cell = Keep(cell);
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

std::string_view EventTable::Cell(int col, int row) const {
  if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount()) return {};
  return At(col, row);
}

void EventTable::SetCell(int col, int row, std::string_view text) {
  if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount()) return;
  Write(At(col, row), text);
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
    for (const auto& value : values) cells_.push_back(Keep(value));
    std::rotate(RowBegin(position), cells_.end() - colCount_, cells_.end());
  } else {
    // The line after the last data row is an empty spare; rotate it into place.
    std::rotate(RowBegin(position), RowBegin(dataRowCount_ + 1), RowBegin(dataRowCount_ + 2));
    CellIt cell = RowBegin(position);
    for (const auto& value : values) *cell++ = Keep(value);
  }
  ++dataRowCount_;
  SelectRow(position);
  Changed();
}

void EventTable::UpdateRow(int position, const std::vector<std::string>& values) {
  if (position < 1 || position > dataRowCount_) return;
  if (static_cast<int>(values.size()) != colCount_) return;
  CellIt cell = RowBegin(position);
  for (const std::string& value : values) Write(*cell++, value);
  SelectRow(position);
  Changed();
}

void EventTable::DeleteRow(int position) {
  if (position < 1 || position > dataRowCount_) return;
  std::rotate(RowBegin(position), RowBegin(position + 1), RowBegin(dataRowCount_ + 1));
  std::fill(RowBegin(dataRowCount_), RowBegin(dataRowCount_ + 1), std::string_view());
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

void EventTable::ReserveRows(int dataRows, std::size_t textBytes) {
  cells_.reserve((static_cast<std::size_t>(std::max(dataRows, rowCountShow_)) + 1) *
                 static_cast<std::size_t>(colCount_));
  PrefaultForWriting(cells_.data() + cells_.size(), cells_.data() + cells_.capacity());
  if (textBytes > left_) {
    NewBlock(textBytes);
    PrefaultForWriting(free_, free_ + left_);
  }
}

void EventTable::SortRows(int column, int direction) {
  if (dataRowCount_ == 0 || column < 0 || column >= colCount_) return;
  int remembered = selectedRow_;
  auto compare = [&](std::string_view a, std::string_view b) { return direction * a.compare(b); };
  // Classic in-place partition sort, recursing into the left part and looping on the right.
  std::function<void(int, int)> sort = [&](int lo, int hi) {
    int i = lo;
    do {
      i = lo;
      int j = hi;
      // Rows move their views, never the texts, so the pivot's text stays where it is.
      const std::string_view pivot = At(column, (lo + hi) / 2);
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
    Write(At(col, r), texts[static_cast<std::size_t>(r)]);
  }
  Changed();
}

void EventTable::SetGridRows(int n) {
  cells_.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(colCount_));
  selectedRow_ = std::min(selectedRow_, n - 1);
  topRow_ = std::clamp(topRow_, 1, std::max(n - rowCountShow_, 1));
}

void EventTable::EmptyRowsFrom(int first) {
  std::fill(RowBegin(first), cells_.end(), std::string_view());
  KeepOnlyLiveTexts();
}

void EventTable::Changed() const {
  if (onChange_) onChange_();
}

}  // namespace vespin
