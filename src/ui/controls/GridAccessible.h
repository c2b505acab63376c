#pragma once
// What assistive tools see of a list grid: a table of the visible columns (hidden columns carry
// codes and stay out), the headers first, then the data rows' cells row by row. A cell is named
// by its text; a check-box cell is a check box named by its column's header. The selected row
// is the table's selection, and its first cell takes the focus while the grid has it; pressing
// a cell selects its row as a click does.

namespace vespin::ui {

class CGridBase;

// Registers the interface with Qt; every grid calls it, the first one does it.
void InstallGridAccessibility();

// The index among the grid's accessible children of the cell that stands for the selected row
// (its first visible column); -1 without a selected data row.
int GridFocusChildIndex(const CGridBase& grid);

}  // namespace vespin::ui
