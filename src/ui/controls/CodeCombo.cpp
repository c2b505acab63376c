#include "controls/CodeCombo.h"

#include "controls/CMemMultiCombo.h"

namespace vespin::ui {

void FillCombo(const TCodeData& data, TMemMultiCombo& combo) {
  for (const TCodeItem& item : data.Items()) combo.AddCodeItem(item.Code, item.Name);
}

}  // namespace vespin::ui
