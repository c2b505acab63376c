#include "events/CodeData.h"

#include <utility>

namespace vespin {

TCodeData::TCodeData(int count) : items_(static_cast<std::size_t>(count > 0 ? count : 0)) {}

void TCodeData::SetItem(int index, std::string code, std::string name, std::string extra) {
  if (index < 0 || index >= Count()) return;
  items_[static_cast<std::size_t>(index)] = {std::move(code), std::move(name), std::move(extra)};
}

const std::string& TCodeData::CodeToName(std::string_view code) const {
  static const std::string kNone;
  for (const auto& item : items_) {
    if (item.Code == code) return item.Name;
  }
  return kNone;
}

}  // namespace vespin
