#include "controls/ModalRunner.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <utility>

#include "WindowPlace.h"

namespace vespin::ui {
namespace {

ModalHandler& CurrentHandler() {
  static ModalHandler handler;
  return handler;
}

}  // namespace

int RunModal(QDialog& dialog) {
  PlaceDialog(dialog);
  ModalHandler handler = CurrentHandler();
  if (!handler) return dialog.exec();

  const QPointer<QWidget> previous = QApplication::activeWindow();
  dialog.setModal(true);
  dialog.show();
  QCoreApplication::processEvents();
  const int result = handler(dialog);
  if (dialog.isVisible()) dialog.hide();
  QCoreApplication::processEvents();
  if (previous && previous != &dialog && previous->isVisible()) {
    previous->activateWindow();
    QCoreApplication::processEvents();
  }
  return result;
}

ScopedModalHandler::ScopedModalHandler(ModalHandler handler)
    : previous_(std::exchange(CurrentHandler(), std::move(handler))) {}

ScopedModalHandler::~ScopedModalHandler() {
  CurrentHandler() = std::move(previous_);
}

}  // namespace vespin::ui
