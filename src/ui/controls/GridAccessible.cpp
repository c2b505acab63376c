#include "controls/GridAccessible.h"

#include <QAccessibleWidget>
#include <QStringList>
#include <vector>

#include "AccessibleParts.h"
#include "UiText.h"
#include "controls/CGridBase.h"

namespace vespin::ui {
namespace {

// The table columns that show, in order.
std::vector<int> VisibleColumns(const CGridBase& grid) {
  std::vector<int> cols;
  const EventTable* table = grid.Table();
  if (!table) return cols;
  for (int c = 0; c < table->ColCount(); ++c) {
    if (grid.ColumnPixelWidth(c) > 0) cols.push_back(c);
  }
  return cols;
}

int DataRows(const CGridBase& grid) {
  return grid.Table() ? grid.Table()->DataRowCount() : 0;
}

// The child index of grid row `row` (0 = header) in visible column `position`.
int ChildIndex(int visibleCount, int row, int position) {
  return row * visibleCount + position;
}

// One header or data cell, by table column and grid row.
class GridCell final : public AccessiblePart,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
 public:
  GridCell(CGridBase* grid, int col, int row) : AccessiblePart(grid), col_(col), row_(row) {}

  // Where the cell stands among the visible columns; -1 when its column is hidden now.
  int Position() const {
    if (!Owner()) return -1;
    const auto cols = VisibleColumns(*Grid());
    for (std::size_t i = 0; i < cols.size(); ++i) {
      if (cols[i] == col_) return static_cast<int>(i);
    }
    return -1;
  }
  int Row() const { return row_; }

  bool isValid() const override {
    return AccessiblePart::isValid() && Position() >= 0 && row_ <= DataRows(*Grid());
  }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    // A check box says what it is for; whether it is ticked is its state.
    if (IsCheckBox()) return Text(0);
    return Text(row_);
  }
  QRect rect() const override {
    return isValid() ? OnScreen(Grid()->CellRect(col_, row_)) : QRect();
  }
  QAccessible::Role role() const override {
    if (row_ == 0) return QAccessible::ColumnHeader;
    return IsCheckBox() ? QAccessible::CheckBox : QAccessible::Cell;
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.readOnly = true;
    if (!isValid() || row_ == 0) return s;
    s.selectable = true;
    s.focusable = true;
    s.selected = isSelected();
    s.focused = s.selected && Grid()->hasFocus() && Position() == 0;
    s.offscreen = Grid()->CellRect(col_, row_).isEmpty();
    if (IsCheckBox()) {
      s.checkable = true;
      s.checked = Grid()->Table()->Cell(col_, row_) == "TRUE";
    }
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (row_ == 0) return nullptr;
    if (type == QAccessible::TableCellInterface) {
      return static_cast<QAccessibleTableCellInterface*>(this);
    }
    if (type == QAccessible::ActionInterface) return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
  }

  // The table cell.
  bool isSelected() const override {
    if (!isValid() || row_ == 0) return false;
    const EventTable& table = *Grid()->Table();
    return table.HasSelectedDataRow() && table.SelectedRow() == row_;
  }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    const int position = Position();
    if (position < 0) return {};
    QAccessibleInterface* header = AccessibleChild(Grid(), position);
    return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return Position(); }
  int rowIndex() const override { return row_ - 1; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction() && isValid()) Grid()->PressRow(row_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  CGridBase* Grid() const { return static_cast<CGridBase*>(Owner()); }
  bool IsCheckBox() const {
    return row_ > 0 && Grid()->ColumnAlignment(col_) == CGridBase::kAlignCheckBox;
  }
  QString Text(int row) const { return FromSjis(Grid()->Table()->Cell(col_, row)); }

  int col_;
  int row_;
};

class GridAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit GridAccessible(CGridBase* grid) : QAccessibleWidget(grid, QAccessible::Table) {}

  int childCount() const override {
    return static_cast<int>(VisibleColumns(*grid()).size()) * (DataRows(*grid()) + 1);
  }
  QAccessibleInterface* child(int index) const override {
    const auto cols = VisibleColumns(*grid());
    const int count = static_cast<int>(cols.size());
    if (index < 0 || index >= childCount()) return nullptr;
    return Cell(cols[static_cast<std::size_t>(index % count)], index / count);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* cell = dynamic_cast<const GridCell*>(child);
    if (!cell || !cell->isValid()) return -1;
    return ChildIndex(static_cast<int>(VisibleColumns(*grid()).size()), cell->Row(),
                      cell->Position());
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = grid()->mapFromGlobal(QPoint(x, y));
    for (int row = 0; row <= DataRows(*grid()); ++row) {
      for (int col : VisibleColumns(*grid())) {
        if (grid()->CellRect(col, row).contains(local)) return Cell(col, row);
      }
    }
    return nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    if (!grid()->hasFocus()) return nullptr;
    return child(GridFocusChildIndex(*grid()));
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  // The table: the data rows, counted from 0 here.
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    return child(ChildIndex(columnCount(), row + 1, column));
  }
  int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    for (int row : selectedRows()) {
      for (int c = 0; c < columnCount(); ++c) cells << cellAt(row, c);
    }
    return cells;
  }
  QString columnDescription(int column) const override {
    const auto cols = VisibleColumns(*grid());
    if (column < 0 || column >= static_cast<int>(cols.size())) return {};
    return FromSjis(grid()->Table()->Cell(cols[static_cast<std::size_t>(column)], 0));
  }
  QString rowDescription(int) const override { return {}; }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
  int columnCount() const override { return static_cast<int>(VisibleColumns(*grid()).size()); }
  int rowCount() const override { return DataRows(*grid()); }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override {
    const EventTable* table = grid()->Table();
    if (!table || !table->HasSelectedDataRow()) return {};
    return {table->SelectedRow() - 1};
  }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override { return selectedRows().contains(row); }
  bool selectRow(int row) override {
    if (row < 0 || row >= rowCount()) return false;
    grid()->PressRow(row + 1);
    return true;
  }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override {}

 private:
  CGridBase* grid() const { return static_cast<CGridBase*>(widget()); }

  QAccessibleInterface* Cell(int col, int row) const {
    const auto key = (static_cast<std::uint64_t>(row) << 16) | static_cast<std::uint64_t>(col);
    return parts_.Get(key, [&] { return new GridCell(grid(), col, row); });
  }

  AccessiblePartCache parts_;
};

QAccessibleInterface* GridFactory(const QString&, QObject* object) {
  if (auto* grid = qobject_cast<CGridBase*>(object)) return new GridAccessible(grid);
  return nullptr;
}

}  // namespace

void InstallGridAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&GridFactory);
    return true;
  }();
  (void)installed;
}

int GridFocusChildIndex(const CGridBase& grid) {
  const EventTable* table = grid.Table();
  const int count = static_cast<int>(VisibleColumns(grid).size());
  if (!table || !table->HasSelectedDataRow() || count == 0) return -1;
  return ChildIndex(count, table->SelectedRow(), 0);
}

}  // namespace vespin::ui
