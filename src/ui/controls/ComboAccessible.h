#pragma once
// What assistive tools see of a TMultiCombo. Qt names a combo box on this platform by its
// current item and leaves the purpose to a label beside it; the input controls have none (they
// stand under a list's column headers), so a combo given an accessible name is named by it, its
// item being its value.

namespace vespin::ui {

// Registers the interface with Qt; every TMultiCombo calls it, the first one does it.
void InstallComboAccessibility();

}  // namespace vespin::ui
