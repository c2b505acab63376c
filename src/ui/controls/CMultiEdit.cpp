#include "controls/CMultiEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFont>
#include <QFrame>
#include <QKeyEvent>

#include "UiText.h"
#include "controls/CheckMessages.h"
#include "controls/ExitCheck.h"
#include "controls/MessageBox.h"
#include "controls/SjisLimit.h"
#include "input/CheckFunc.h"
#include "text/Sjis.h"

namespace vespin::ui {
using namespace check;

// The container of the read-only state. Tells its field when it goes, so that neither deletes
// the other twice.
class ReadOnlyPanel final : public QFrame {
 public:
  ReadOnlyPanel(QWidget* parent, TMultiEdit* edit) : QFrame(parent), edit_(edit) {}
  ~ReadOnlyPanel() override {
    if (edit_ && edit_->panel_ == this) edit_->panel_ = nullptr;
  }
  void Release() { edit_ = nullptr; }

 private:
  QPointer<TMultiEdit> edit_;
};

TMultiEdit::TMultiEdit(QWidget* parent) : QLineEdit(parent), limit_(new SjisLimitValidator(*this)) {
  setValidator(limit_);
  connect(limit_, &SjisLimitValidator::Refused, this,
          [] { ShowMessageForm(UnusableCharacterMessage()); });
  // A validator that shortens a paste resets the platform's modified flag; what the user did is
  // still a change.
  connect(this, &QLineEdit::textEdited, this, [this] { setModified(true); });
  setFont(QFont(GothicFace(), 12));
  ApplyColors();
  SetAlignment(taLeftJustify);
}

TMultiEdit::~TMultiEdit() {
  if (auto* panel = static_cast<ReadOnlyPanel*>(panel_)) {
    panel->Release();
    panel->deleteLater();  // we leave its children as we go; the empty panel follows
  }
}

void TMultiEdit::SetEditType(TEditType value) {
  if (value == editType_) return;
  if (value != etNumCode) addZero_ = false;
  if (value != etCalendar) nineDate_ = false;
  editType_ = value;
}

void TMultiEdit::SetAddZero(bool value) {
  if (value == addZero_) return;
  addZero_ = value;
  if (value && editType_ != etNumCode) editType_ = etNumCode;
}

void TMultiEdit::SetNineDate(bool value) {
  if (value && editType_ != etCalendar) editType_ = etCalendar;
  nineDate_ = value;
}

void TMultiEdit::SetAlignment(TAlignment value) {
  alignment_ = value;
  const Qt::Alignment horizontal = value == taRightJustify ? Qt::AlignRight
                                   : value == taCenter     ? Qt::AlignHCenter
                                                           : Qt::AlignLeft;
  setAlignment(horizontal | Qt::AlignVCenter);
}

int TMultiEdit::MaxLength() const {
  return limit_->MaxBytes();
}
void TMultiEdit::SetMaxLength(int bytes) {
  limit_->SetMaxBytes(bytes);
}

void TMultiEdit::SetText(const QString& value) {
  if (text() == value) return;
  setText(value);
}

std::string TMultiEdit::SjisText() const {
  return ToSjisLossy(text());
}
void TMultiEdit::SetSjisText(std::string_view sjis) {
  SetText(FromSjis(sjis));
}

bool TMultiEdit::ValidateText(const QString& s) {
  const std::string text = ToSjisLossy(s);
  if (maxKetaCheck_ && !text.empty() && !addZero_) {
    const std::string counted = editType_ == etNumeric ? DeleteComma(text) : text;
    if (!KetaCheck(counted, MaxLength())) return Fail(kTooShort);
  }
  switch (editType_) {
    case etAlphaNum:
      if (!IsAlphaNum(text)) return Fail(kNotAlphaNum);
      return true;
    case etNumCode:
    case etNumeric: {
      const bool money = editType_ == etNumeric;
      const std::string r = CheckNumeric(text, money);
      if (r.empty()) {
        savedText_.clear();
        return Fail(money ? kBadAmount : kNotDigits);
      }
      if (r == kCheckNull) {
        savedText_.clear();
      } else {
        SetSjisText(r);
      }
      return true;
    }
    case etZenkaku:
      if (!IsZenkaku(text)) return Fail(kNotZenkaku);
      return true;
    case etHankaku:
      if (!IsHankaku(text)) return Fail(kNotHankaku);
      return true;
    case etCalendar: {
      if (nineDate_ && IsNineDate(text)) {
        SetSjisText(kNineDate);
        return true;
      }
      const std::string r = CheckDate(text);
      if (r.empty()) return Fail(kBadDate);
      if (r != kCheckNull) SetSjisText(r);
      return true;
    }
    case etNone:
      return true;
  }
  return true;
}

int TMultiEdit::Validate() {
  int result = 0;
  if (ValidateText(text())) {
    result = 1;
    DoUserValidate(result);
  }
  return result;
}

void TMultiEdit::DoUserValidate(int& result) {
  if (onUserValidate_) onUserValidate_(*this, result);
  if (editType_ == etNumeric || editType_ == etCalendar) {
    if (result == 1) {
      savedText_ = text();
      needCheck_ = false;
    } else {
      savedText_.clear();
      needCheck_ = true;
    }
  }
}

QString TMultiEdit::ZeroPadText() const {
  const QString digits = text();
  if (digits.isEmpty()) return digits;
  for (QChar c : digits) {
    if (c < u'0' || c > u'9') return digits;
  }
  const int width = MaxLength() == 0 ? 6 : MaxLength();
  qsizetype start = 0;
  while (start + 1 < digits.size() && digits[start] == u'0') ++start;
  const QString bare = digits.mid(start);
  return bare.size() >= width ? bare : QString(width - bare.size(), u'0') + bare;
}

void TMultiEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  const bool returning =
      event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason;
  // Coming back from another window or a pop-up is not entering the field.
  if (entered_ && returning) return;
  entered_ = true;
  if (editType_ == etNumeric && !isModified()) {
    savedText_ = text();
    SetSjisText(DeleteComma(SjisText()));  // the user edits bare digits
  }
  if (autoSelect_) selectAll();
}

void TMultiEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const FocusExit exit = ClassifyFocusExit(*this, *event);
  if (!exit.withinForm || !entered_) return;
  entered_ = false;

  if (!isModified() && !needCheck_) {
    // Unchanged: the separators come back. Only when the saved form is still this text's,
    // so that a text the program has set meanwhile is not replaced.
    if (editType_ == etNumeric && exit.checkWanted &&
        DeleteComma(ToSjisLossy(savedText_)) == SjisText()) {
      SetText(savedText_);
    }
    return;
  }
  if (!exit.checkWanted || text().isEmpty()) return;

  if (Validate() != 0) {
    setModified(false);
    needCheck_ = false;
    if (editType_ == etNumCode && addZero_) SetText(ZeroPadText());
    return;
  }
  // Refused: the next exit checks again even if the form's check rewrote the text, which
  // clears the modified flag.
  needCheck_ = true;
  ReturnFocus(*this, exit);
}

void TMultiEdit::keyPressEvent(QKeyEvent* event) {
  // Return is left to the window (its default button); a line edit never inserts it.
  SjisLimitValidator::UserInput input(*limit_);
  QLineEdit::keyPressEvent(event);
}

void TMultiEdit::inputMethodEvent(QInputMethodEvent* event) {
  SjisLimitValidator::UserInput input(*limit_);
  QLineEdit::inputMethodEvent(event);
}

void TMultiEdit::dropEvent(QDropEvent* event) {
  SjisLimitValidator::UserInput input(*limit_);
  QLineEdit::dropEvent(event);
}

void TMultiEdit::mouseReleaseEvent(QMouseEvent* event) {
  SjisLimitValidator::UserInput input(*limit_);  // middle-button paste
  QLineEdit::mouseReleaseEvent(event);
}

void TMultiEdit::contextMenuEvent(QContextMenuEvent* event) {
  SjisLimitValidator::UserInput input(*limit_);  // the menu's Paste runs inside
  QLineEdit::contextMenuEvent(event);
}

void TMultiEdit::SetColor(const QColor& color) {
  color_ = color;
  ApplyColors();
}

void TMultiEdit::SetFontColor(const QColor& color) {
  fontColor_ = color;
  ApplyColors();
}

void TMultiEdit::ApplyColors() {
  QPalette pal = palette();
  const QColor base = panel_ ? QApplication::palette().color(QPalette::Button) : color_;
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, base);
    pal.setColor(group, QPalette::Text, fontColor_);
  }
  setPalette(pal);
}

void TMultiEdit::SetEditable(bool value) {
  if (!value) {
    if (panel_) return;
    QWidget* owner = parentWidget();
    const bool hidden = isHidden();
    tabBefore_ = previousInFocusChain();
    auto* panel = new ReadOnlyPanel(owner, this);
    panel->hide();
    panel->setEnabled(false);
    panel->setFrameShape(QFrame::NoFrame);
    panel->setGeometry(geometry());
    panel_ = panel;
    setEnabled(true);
    setParent(panel);
    move(0, 0);
    setVisible(!hidden);
    ApplyColors();
    panel->show();
    return;
  }
  if (!panel_) return;
  auto* panel = static_cast<ReadOnlyPanel*>(panel_);
  const bool hidden = isHidden();
  hide();
  setParent(panel->parentWidget());
  setGeometry(panel->geometry());
  if (tabBefore_ && tabBefore_->window() == window() && tabBefore_ != this) {
    setTabOrder(tabBefore_, this);
  }
  panel_ = nullptr;
  color_ = Qt::white;
  ApplyColors();
  setVisible(!hidden);
  panel->Release();
  delete panel;
}

void TMultiEdit::SetVisibleAll(bool value) {
  setVisible(value);
  if (panel_) panel_->setVisible(value);
}

void TMultiEdit::SetPanelPos(int left, int top) {
  if (panel_) {
    panel_->move(left, top);
  } else {
    move(left, top);
  }
}

void TMultiEdit::SetPanelSize(int width, int height) {
  if (panel_) panel_->resize(width, height);
  resize(width, height);
}

}  // namespace vespin::ui
