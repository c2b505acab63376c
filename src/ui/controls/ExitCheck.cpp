#include "controls/ExitCheck.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>

namespace vespin::ui {
namespace {

// Swallows the press, double-click and release that belong to a click whose focus change was
// refused; removes itself with the release.
class ClickEater final : public QObject {
 public:
  explicit ClickEater(QWidget* target) : target_(target) { qApp->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        if (watched == target_) return true;
        if (watched->isWidgetType()) Finish();  // a new click elsewhere: nothing left to eat
        return false;
      case QEvent::MouseButtonRelease:
        if (watched != target_) return false;
        Finish();
        return true;
      default:
        return false;
    }
  }

 private:
  void Finish() {
    qApp->removeEventFilter(this);
    deleteLater();
  }

  QPointer<QWidget> target_;
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
