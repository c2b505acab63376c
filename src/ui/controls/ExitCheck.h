#pragma once
// The leave-the-field rule the validating controls share: when the focus moves to another
// control of the same window, the field checks its text, unless the new control is a button
// captioned "取消" or "終了". A refused entry takes the focus back.

#include <QPointer>
#include <QWidget>

class QFocusEvent;

namespace vespin::ui {

struct FocusExit {
  // False when the window lost the activation, a pop-up opened or the control was hidden: the
  // user has not left the field, so nothing is checked.
  bool withinForm = false;
  // False when the focus goes to the cancel or exit button.
  bool checkWanted = false;
  Qt::FocusReason reason = Qt::OtherFocusReason;
  QPointer<QWidget> target;  // the control receiving the focus; may be null
};

// Call from focusOutEvent: the application's focus widget is already the new one.
FocusExit ClassifyFocusExit(const QWidget& control, const QFocusEvent& event);

// Puts the focus back on `control` after a refused check. When the user left by pressing the
// mouse on another control, the rest of that click is swallowed, so a button does not act on
// the entry that was just refused.
void ReturnFocus(QWidget& control, const FocusExit& exit);

}  // namespace vespin::ui
