#include "controls/CMultiCombo.h"

#include <QFocusEvent>
#include <QFont>
#include <QLineEdit>

#include "UiText.h"
#include "controls/CheckMessages.h"
#include "controls/ComboAccessible.h"
#include "controls/ExitCheck.h"
#include "controls/MessageBox.h"
#include "controls/SjisLimit.h"
#include "input/CheckFunc.h"
#include "text/Sjis.h"

namespace vespin::ui {
using namespace check;

namespace {

// The text field of a csDropDown combo: marks the user's own input for the byte limit.
class ComboLineEdit final : public QLineEdit {
 public:
  explicit ComboLineEdit(QWidget* parent)
      : QLineEdit(parent), limit_(new SjisLimitValidator(*this)) {
    setValidator(limit_);
  }
  SjisLimitValidator* Limit() const { return limit_; }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    SjisLimitValidator::UserInput input(*limit_);
    QLineEdit::keyPressEvent(e);
  }
  void inputMethodEvent(QInputMethodEvent* e) override {
    SjisLimitValidator::UserInput input(*limit_);
    QLineEdit::inputMethodEvent(e);
  }
  void dropEvent(QDropEvent* e) override {
    SjisLimitValidator::UserInput input(*limit_);
    QLineEdit::dropEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    SjisLimitValidator::UserInput input(*limit_);
    QLineEdit::mouseReleaseEvent(e);
  }
  void contextMenuEvent(QContextMenuEvent* e) override {
    SjisLimitValidator::UserInput input(*limit_);
    QLineEdit::contextMenuEvent(e);
  }

 private:
  SjisLimitValidator* limit_;
};

}  // namespace

TMultiCombo::TMultiCombo(QWidget* parent) : QComboBox(parent) {
  InstallComboAccessibility();
  setFont(QFont(GothicFace(), 12));
  QPalette pal = palette();
  for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button}) {
    pal.setColor(role, Qt::white);
  }
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText}) {
    pal.setColor(role, Qt::black);
  }
  setPalette(pal);
  setMaxVisibleItems(8);
  setInsertPolicy(QComboBox::NoInsert);  // typed text never joins the list
  connect(this, &QComboBox::activated, this, &TMultiCombo::UserChange);
  SetStyle(csDropDown);
}

void TMultiCombo::SetComboBoxType(TComboBoxType value) {
  if (value == comboBoxType_) return;
  if (value != ctCalendar) nineDate_ = false;
  comboBoxType_ = value;
}

void TMultiCombo::SetNineDate(bool value) {
  if (value && comboBoxType_ != ctCalendar) comboBoxType_ = ctCalendar;
  nineDate_ = value;
}

void TMultiCombo::SetStyle(TComboStyle value) {
  if (value == style_) return;
  style_ = value;
  if (value == csDropDownList) {
    limit_ = nullptr;
    setEditable(false);
    return;
  }
  const int index = currentIndex();
  auto* edit = new ComboLineEdit(this);
  limit_ = edit->Limit();
  limit_->SetMaxBytes(maxLength_);
  setLineEdit(edit);
  setCompleter(nullptr);
  setInsertPolicy(QComboBox::NoInsert);
  setCurrentIndex(index);
  connect(edit, &QLineEdit::textEdited, this, &TMultiCombo::UserChange);
  connect(limit_, &SjisLimitValidator::Refused, this,
          [] { ShowMessageForm(UnusableCharacterMessage()); });
}

void TMultiCombo::SetMaxLength(int bytes) {
  maxLength_ = bytes < 0 ? 0 : bytes;
  if (limit_) limit_->SetMaxBytes(maxLength_);
}

std::string TMultiCombo::SjisText() const {
  return ToSjisLossy(currentText());
}

void TMultiCombo::SetText(const QString& text) {
  if (isEditable() && currentText() != text) setEditText(text);
}

void TMultiCombo::SetSjisText(std::string_view sjis) {
  SetText(FromSjis(sjis));
}

void TMultiCombo::UserChange() {
  emit UserChanged();
  changed_ = true;
}

bool TMultiCombo::ValidateText(const QString& s) {
  const std::string text = ToSjisLossy(s);
  if (maxKetaCheck_ && !text.empty() && !KetaCheck(text, maxLength_)) return Fail(kTooShort);
  switch (comboBoxType_) {
    case ctAlphaNum:
      if (!IsAlphaNum(text)) return Fail(kNotAlphaNum);
      break;
    case ctNumCode: {
      const std::string r = CheckNumeric(text, false);
      if (r.empty() || r == kCheckNull) return Fail(kNotDigits);
      break;
    }
    case ctZenkaku:
      if (!IsZenkaku(text)) return Fail(kNotZenkaku);
      break;
    case ctHankaku:
      if (!IsHankaku(text)) return Fail(kNotHankaku);
      break;
    case ctCalendar:
      if (nineDate_ && IsNineDate(text)) {
        SetSjisText(kNineDate);
      } else {
        const std::string r = CheckDate(text);
        if (r.empty()) return Fail(kBadDate);
        if (r != kCheckNull) SetSjisText(r);
      }
      break;
    case ctNone:
      break;
  }
  if (findTextCheck_ && !text.empty()) {
    bool found = false;
    for (int i = 0; i < count() && !found; ++i) found = ToSjisLossy(itemText(i)) == text;
    if (!found) return Fail(kNotInList);
  }
  return true;
}

int TMultiCombo::Validate() {
  int result = 0;
  if (style_ == csDropDownList || ValidateText(currentText())) {
    result = 1;
    DoUserValidate(result);
  }
  return result;
}

void TMultiCombo::DoUserValidate(int& result) {
  if (onUserValidate_) onUserValidate_(*this, result);
}

void TMultiCombo::focusInEvent(QFocusEvent* event) {
  QComboBox::focusInEvent(event);
  entered_ = true;
}

void TMultiCombo::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  const FocusExit exit = ClassifyFocusExit(*this, *event);
  if (!exit.withinForm || !entered_) return;
  entered_ = false;
  if (!changed_ || !exit.checkWanted || currentText().isEmpty()) return;
  if (Validate() != 0) {
    changed_ = false;
    return;
  }
  ReturnFocus(*this, exit);
}

}  // namespace vespin::ui
