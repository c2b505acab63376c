#include "WindowFrame.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "X11Display.h"

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers must not see.
#include <X11/Xlib.h>

namespace vespin::ui {
namespace {

// The Motif window manager hints, as every X11 window manager reads them.
constexpr unsigned long kHintFunctions = 1;
constexpr unsigned long kHintDecorations = 2;
constexpr unsigned long kFuncMove = 4;
constexpr unsigned long kFuncClose = 32;
constexpr unsigned long kDecorBorder = 2;
constexpr unsigned long kDecorTitle = 8;
constexpr unsigned long kDecorMenu = 16;

// Watches one window on its own behalf.
class FrameKeeper final : public QObject {
 public:
  FrameKeeper(QWidget& window, Frame frame) : QObject(&window), window_(window), frame_(frame) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_) {
      // The show event comes before the window is mapped.
      if (event->type() == QEvent::Show) SetFrame(window_, frame_);
      ComeBackWhenMinimised(window_, *event);
    }
    return false;
  }

 private:
  QWidget& window_;
  Frame frame_;
};

}  // namespace

void SetFrame(QWidget& window, Frame frame) {
  Display* display = X11Display();
  if (!display) return;
  const bool closeBox = frame == Frame::kCloseBox;
  // flags, functions, decorations, input mode, status
  const unsigned long hints[5] = {
      kHintFunctions | kHintDecorations,
      kFuncMove | (closeBox ? kFuncClose : 0),
      kDecorBorder | kDecorTitle | (closeBox ? kDecorMenu : 0),
      0,
      0,
  };
  const Atom atom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, static_cast<::Window>(window.winId()), atom, atom, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(hints), 5);
  XFlush(display);
}

void ComeBackWhenMinimised(QWidget& window, const QEvent& event) {
  if (event.type() != QEvent::WindowStateChange || !window.isMinimized()) return;
  // Not from inside the state change itself.
  QTimer::singleShot(0, &window, [w = QPointer<QWidget>(&window)] {
    if (!w || !w->isMinimized()) return;
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
  });
}

void KeepFramed(QWidget& window, Frame frame) {
  window.installEventFilter(new FrameKeeper(window, frame));
}

}  // namespace vespin::ui
