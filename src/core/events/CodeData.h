#pragma once
// A fixed table of (code, name) rows: codes are what files store, names what the user sees.
// Texts are Shift_JIS bytes.

#include <string>
#include <string_view>
#include <vector>

namespace vespin {

struct TCodeItem {
  std::string Code;
  std::string Name;
  std::string Extra;  // kept for the table's owner; nothing reads it
};

class TCodeData {
 public:
  // `count` rows, all three texts empty until SetItem fills them.
  explicit TCodeData(int count = 0);

  int Count() const { return static_cast<int>(items_.size()); }
  const std::vector<TCodeItem>& Items() const { return items_; }

  // Ignored unless 0 <= index < Count().
  void SetItem(int index, std::string code, std::string name, std::string extra = {});
  // The name of the first row whose code equals `code` byte for byte; empty when none does.
  const std::string& CodeToName(std::string_view code) const;

 private:
  std::vector<TCodeItem> items_;
};

}  // namespace vespin
