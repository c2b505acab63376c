#pragma once
// TMultiEdit: the one-line field of the input controls. It checks its text when the user leaves
// it for another control of the same window (never when the new control is a "取消" or "終了"
// button), by EditType, with an optional exact length, zero padding and date normalisation; a
// refused entry is reported with an "E" message box and the focus stays in the field. The form
// adds its own check through OnUserValidate.
//
// MaxLength counts Shift_JIS bytes. Text is exchanged with core as Shift_JIS (SjisText /
// SetSjisText); set text through SetText or SetSjisText, which keep the modified flag when the
// text does not change.
//
// MaxKetaCheck and AddZero take any value: the refusal of a length check without MaxLength
// belongs to a form designer, and there is none at run time.
//
// The read-only state (SetEditable(false)) puts the field on a disabled panel: it cannot take
// the focus, yet its text is drawn in the normal colour on the button face.

#include <QColor>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

class QFrame;

namespace vespin::ui {

class SjisLimitValidator;

enum TEditType { etAlphaNum, etNumCode, etNumeric, etZenkaku, etHankaku, etCalendar, etNone };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TMultiEdit;
// The form's own check: `result` arrives as 1; leave it to accept, set 0 to refuse. Telling the
// user why is the handler's business.
using TValidateEvent = std::function<void(TMultiEdit& sender, int& result)>;

class TMultiEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TMultiEdit(QWidget* parent = nullptr);
  ~TMultiEdit() override;
  Q_DISABLE_COPY_MOVE(TMultiEdit)

  TEditType EditType() const { return editType_; }
  // Leaving etNumCode clears AddZero, leaving etCalendar clears NineDate.
  void SetEditType(TEditType value);
  bool MaxKetaCheck() const { return maxKetaCheck_; }
  void SetMaxKetaCheck(bool value) { maxKetaCheck_ = value; }
  bool AddZero() const { return addZero_; }
  void SetAddZero(bool value);  // true makes the field etNumCode
  bool NineDate() const { return nineDate_; }
  void SetNineDate(bool value);  // true makes the field etCalendar
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool NullCheck() const { return nullCheck_; }  // kept for the form; nothing reads it
  void SetNullCheck(bool value) { nullCheck_ = value; }
  bool DisabledClr() const { return disabledClr_; }  // kept for the form; nothing reads it
  void SetDisabledClr(bool value) { disabledClr_ = value; }
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }
  // In Shift_JIS bytes; 0 is no limit. Typing and pasting never go beyond it.
  int MaxLength() const;
  void SetMaxLength(int bytes);
  const TValidateEvent& OnUserValidate() const { return onUserValidate_; }
  void SetOnUserValidate(TValidateEvent handler) { onUserValidate_ = std::move(handler); }

  // Assigning a different text clears the modified flag; assigning the same text changes nothing.
  void SetText(const QString& text);
  std::string SjisText() const;
  void SetSjisText(std::string_view sjis);

  // Checks the text now, as leaving the field would (without the leaving): 1 accepted, 0
  // refused. A refusal by the built-in check has shown its message box.
  int Validate();

  // The digits padded with zeros to MaxLength digits (6 when there is no limit). Any number of
  // digits works; a text that is not all digits comes back unchanged.
  QString ZeroPadText() const;

  // For etNumeric: the display form with separators, put back when the field is left unchanged.
  // For etNumeric and etCalendar: the text the form's check last accepted.
  const QString& SavedText() const { return savedText_; }
  // The form's check refused the text, so the next exit checks even an unchanged text.
  bool NeedCheck() const { return needCheck_; }

  void SetEditable(bool value);
  void SetVisibleAll(bool value);
  // In the read-only state these move and size the panel (the field follows); otherwise the
  // field itself.
  void SetPanelPos(int left, int top);
  void SetPanelSize(int width, int height);
  QFrame* Panel() const { return panel_; }

  // Background and text colours, the same in every state so that the text never greys.
  void SetColor(const QColor& color);
  void SetFontColor(const QColor& color);

 protected:
  // Raises OnUserValidate and keeps SavedText / NeedCheck for etNumeric and etCalendar.
  virtual void DoUserValidate(int& result);

  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  friend class ReadOnlyPanel;

  bool ValidateText(const QString& s);
  void ApplyColors();

  TEditType editType_ = etAlphaNum;
  bool maxKetaCheck_ = false;
  bool addZero_ = false;
  bool nineDate_ = false;
  TAlignment alignment_ = taLeftJustify;
  bool nullCheck_ = false;
  bool disabledClr_ = false;
  bool autoSelect_ = true;
  TValidateEvent onUserValidate_;
  QString savedText_;
  bool needCheck_ = false;
  bool entered_ = false;  // the focus came in from within the form and has not left it yet
  SjisLimitValidator* limit_;
  QColor color_{Qt::white};
  QColor fontColor_{Qt::black};
  QFrame* panel_ = nullptr;
  QPointer<QWidget> tabBefore_;  // where the field stood in the tab order before the panel
};

}  // namespace vespin::ui
