#pragma once
// Fills a code combo from a code table; the table stays free of the window toolkit.

#include "events/CodeData.h"

namespace vespin::ui {

class TMemMultiCombo;

// Appends every row of `data` in order with AddCodeItem; does not clear the combo first.
void FillCombo(const TCodeData& data, TMemMultiCombo& combo);

}  // namespace vespin::ui
