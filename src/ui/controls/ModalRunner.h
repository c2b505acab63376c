#pragma once
// Every modal window of the program is shown through RunModal, placed above the window it
// belongs to (PlaceDialog). By default it calls dialog.exec(); a test installs a handler that
// inspects the dialog (it is fully laid out and shown) and returns the result instead, so no
// test blocks in a nested event loop.

#include <QtGlobal>
#include <functional>

class QDialog;

namespace vespin::ui {

using ModalHandler = std::function<int(QDialog& dialog)>;

// With a handler installed: shows the dialog, lets the platform deliver the show, hands it to
// the handler, hides it if the handler left it open, and gives the activation back to the window
// that had it, as the end of a real modal loop would. Returns the handler's result.
int RunModal(QDialog& dialog);

// Installs a handler for a scope, restores the previous one after.
class ScopedModalHandler {
 public:
  explicit ScopedModalHandler(ModalHandler handler);
  ~ScopedModalHandler();
  Q_DISABLE_COPY_MOVE(ScopedModalHandler)

 private:
  ModalHandler previous_;
};

}  // namespace vespin::ui
