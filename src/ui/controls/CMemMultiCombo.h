#pragma once
// TMemMultiCombo: a TMultiCombo that keeps a hidden code with every item, so that a dialog shows
// names and stores codes. The code travels with its item, so clearing the list (clear()) drops
// the codes too and a refill pairs every item with the code it was added with.

#include <string>
#include <string_view>
#include <vector>

#include "controls/CMultiCombo.h"

namespace vespin::ui {

class TMemMultiCombo : public TMultiCombo {
  Q_OBJECT

 public:
  explicit TMemMultiCombo(QWidget* parent = nullptr);
  Q_DISABLE_COPY_MOVE(TMemMultiCombo)

  // Appends an item; returns its index.
  int AddCodeItem(std::string_view code, std::string_view name);
  // Empty when no item is selected.
  std::string GetSelCode() const;
  std::string GetSelName() const;
  // Selects the first item whose name equals `name`, ignoring the case of Latin letters; keeps
  // the selection when there is none. Raises no UserChanged and leaves Changed alone.
  void SelectName(std::string_view name);
  // The codes of the items, by position.
  std::vector<std::string> Codes() const;
};

}  // namespace vespin::ui
