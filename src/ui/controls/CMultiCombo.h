#pragma once
// TMultiCombo: a combo box that checks its text when the user leaves it for another control of
// the same window (never when the new control is a "取消" or "終了" button), by ComboBoxType,
// with an optional exact length, a must-be-in-the-list check and date normalisation. A refused
// entry is reported with an "E" message box and the focus stays in the combo.
//
// A csDropDownList combo has no text of its own: it is never type-checked, yet leaving it after
// the user changed the selection still raises OnUserValidate. The program's change handlers
// connect to UserChanged, which only the user's own edits and picks raise; setting the text or
// the selection from code raises nothing and leaves Changed alone.
//
// MaxLength counts Shift_JIS bytes of the typed text (csDropDown). MaxKetaCheck takes any value:
// refusing it without MaxLength belongs to a form designer, and there is none at run time.

#include <QComboBox>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

namespace vespin::ui {

class SjisLimitValidator;

enum TComboBoxType { ctAlphaNum, ctNumCode, ctZenkaku, ctHankaku, ctCalendar, ctNone };
enum TComboStyle { csDropDown, csDropDownList };

class TMultiCombo;
// The form's own check: `result` arrives as 1; leave it to accept, set 0 to refuse.
using TComboValidateEvent = std::function<void(TMultiCombo& sender, int& result)>;

class TMultiCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit TMultiCombo(QWidget* parent = nullptr);
  Q_DISABLE_COPY_MOVE(TMultiCombo)

  TComboBoxType ComboBoxType() const { return comboBoxType_; }
  void SetComboBoxType(TComboBoxType value);  // anything but ctCalendar clears NineDate
  bool MaxKetaCheck() const { return maxKetaCheck_; }
  void SetMaxKetaCheck(bool value) { maxKetaCheck_ = value; }
  bool NineDate() const { return nineDate_; }
  void SetNineDate(bool value);                  // true makes the combo ctCalendar
  bool NullCheck() const { return nullCheck_; }  // kept for the form; nothing reads it
  void SetNullCheck(bool value) { nullCheck_ = value; }
  bool FindTextCheck() const { return findTextCheck_; }
  void SetFindTextCheck(bool value) { findTextCheck_ = value; }
  TComboStyle Style() const { return style_; }
  void SetStyle(TComboStyle value);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int bytes);
  const TComboValidateEvent& OnUserValidate() const { return onUserValidate_; }
  void SetOnUserValidate(TComboValidateEvent handler) { onUserValidate_ = std::move(handler); }

  // The user changed the text or the selection since the last accepted check.
  bool Changed() const { return changed_; }

  std::string SjisText() const;
  // The typed text of a csDropDown combo; raises no change.
  void SetText(const QString& text);
  void SetSjisText(std::string_view sjis);

  // Checks the text now, as leaving the combo would: 1 accepted, 0 refused.
  int Validate();

 signals:
  // The user edited the text or picked an item (not raised for changes made by the program).
  void UserChanged();

 protected:
  // Raises OnUserValidate.
  virtual void DoUserValidate(int& result);

  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool ValidateText(const QString& s);
  void UserChange();

  TComboBoxType comboBoxType_ = ctAlphaNum;
  bool maxKetaCheck_ = false;
  bool nineDate_ = false;
  bool nullCheck_ = false;
  bool findTextCheck_ = false;
  TComboStyle style_ = csDropDownList;  // the constructor makes it csDropDown
  int maxLength_ = 0;
  TComboValidateEvent onUserValidate_;
  bool changed_ = false;
  bool entered_ = false;
  SjisLimitValidator* limit_ = nullptr;  // lives with the line edit of csDropDown
};

}  // namespace vespin::ui
