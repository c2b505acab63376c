#include "controls/ExitCheck.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QTimer>

namespace vespin::ui {
namespace {

// Swallows what is left of the click whose focus change was refused: the press being delivered
// (and, when a test sends them back to back, its release). It stops as soon as the event loop
// runs again, so the user's next click always counts, even if the release was lost to the
// message box.
class ClickEater final : public QObject {
 public:
  explicit ClickEater(QWidget* target) : target_(target) {
    qApp->installEventFilter(this);
    QTimer::singleShot(0, this, [this] { Finish(); });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (done_ || watched != target_) return false;
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        return true;
      case QEvent::MouseButtonRelease:
        Finish();
        return true;
      default:
        return false;
    }
  }

 private:
  void Finish() {
    if (done_) return;
    done_ = true;
    qApp->removeEventFilter(this);
    deleteLater();
  }

  QPointer<QWidget> target_;
  bool done_ = false;
};

}  // namespace

FocusExit ClassifyFocusExit(const QWidget& control, const QFocusEvent& event) {
  FocusExit exit;
  exit.reason = event.reason();
  if (exit.reason == Qt::ActiveWindowFocusReason || exit.reason == Qt::PopupFocusReason) {
    return exit;
  }
  exit.target = QApplication::focusWidget();
  if (exit.target && exit.target->window() != control.window()) return exit;
  // A control that loses the focus because it was hidden (its page was turned) has not been
  // left by the user, and could not take the focus back: it is checked when it is left later.
  if (!control.isVisible()) return exit;
  exit.withinForm = true;
  // A control without a window of its own has no form to check for.
  if (control.isWindow()) return exit;
  exit.checkWanted = true;
  if (auto* button = qobject_cast<QAbstractButton*>(exit.target.data())) {
    const QString caption = button->text();
    if (caption == QStringLiteral("取消") || caption == QStringLiteral("終了")) {
      exit.checkWanted = false;
    }
  }
  return exit;
}

void ReturnFocus(QWidget& control, const FocusExit& exit) {
  if (exit.reason == Qt::MouseFocusReason && exit.target) new ClickEater(exit.target);
  control.setFocus(Qt::OtherFocusReason);
}

}  // namespace vespin::ui
