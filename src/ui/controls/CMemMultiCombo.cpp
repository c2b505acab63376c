#include "controls/CMemMultiCombo.h"

#include <QByteArray>

#include "UiText.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

constexpr int kCodeRole = Qt::UserRole;  // where addItem puts its data

char LowerLatin(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Byte-for-byte, except that single-byte Latin letters match either case. Trail bytes of
// double-byte characters can look like letters and are compared exactly.
bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (sjis::IsLeadByte(static_cast<unsigned char>(a[i]))) {
      if (a[i] != b[i]) return false;
      if (i + 1 < a.size()) {
        ++i;
        if (a[i] != b[i]) return false;
      }
      continue;
    }
    if (LowerLatin(a[i]) != LowerLatin(b[i])) return false;
  }
  return true;
}

}  // namespace

TMemMultiCombo::TMemMultiCombo(QWidget* parent) : TMultiCombo(parent) {}

int TMemMultiCombo::AddCodeItem(std::string_view code, std::string_view name) {
  addItem(FromSjis(name), QByteArray(code.data(), static_cast<qsizetype>(code.size())));
  return count() - 1;
}

std::string TMemMultiCombo::GetSelCode() const {
  if (currentIndex() < 0) return {};
  const QByteArray code = itemData(currentIndex(), kCodeRole).toByteArray();
  return std::string(code.constData(), static_cast<std::size_t>(code.size()));
}

std::string TMemMultiCombo::GetSelName() const {
  if (currentIndex() < 0) return {};
  return ToSjisLossy(itemText(currentIndex()));
}

void TMemMultiCombo::SelectName(std::string_view name) {
  for (int i = 0; i < count(); ++i) {
    if (SameNameIgnoringCase(ToSjisLossy(itemText(i)), name)) {
      setCurrentIndex(i);
      return;
    }
  }
}

std::vector<std::string> TMemMultiCombo::Codes() const {
  std::vector<std::string> codes;
  codes.reserve(static_cast<std::size_t>(count()));
  for (int i = 0; i < count(); ++i) {
    const QByteArray code = itemData(i, kCodeRole).toByteArray();
    codes.emplace_back(code.constData(), static_cast<std::size_t>(code.size()));
  }
  return codes;
}

}  // namespace vespin::ui
