#pragma once
// How the window manager frames each window of the program, and what it offers the user to do
// with it. Qt tells the manager which functions a window has, but some managers (openbox) go by
// the decorations alone and add minimise and maximise buttons to every window; a minimised
// modal window then leaves the program refusing every click with nothing on screen.

class QEvent;
class QWidget;

namespace vespin::ui {

enum class Frame {
  kDialog,    // a title bar and a border: no minimise, maximise or resize
  kCloseBox,  // the same with a close box (the panel in navigation mode)
};

// Tells the window manager before the window is mapped: call it from showEvent. X11 only (the
// Motif hints, decorations included); nothing elsewhere.
void SetFrame(QWidget& window, Frame frame);

// For changeEvent: a window minimised anyway (the manager's menu, a key, "show desktop") comes
// straight back, since none of the program's windows can be found again once minimised.
void ComeBackWhenMinimised(QWidget& window, const QEvent& event);

// Both for the life of a window whose frame never changes: SetFrame before every showing, and
// ComeBackWhenMinimised.
void KeepFramed(QWidget& window, Frame frame);

}  // namespace vespin::ui
