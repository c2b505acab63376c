#pragma once
// What the desktop offers a see-through window. Where a compositor runs, a translucent window
// shows the desktop behind it; where none runs (a bare X server, a virtual one), the window
// paints the desktop's colour instead.

#include <QColor>
#include <QRect>

class QWidget;

namespace vespin::ui {

// True on Wayland and on an X11 display whose screen has a compositing manager (the owner of the
// _NET_WM_CM_S<n> selection); false on every other platform (offscreen, minimal, vnc …).
bool DesktopShowsThrough();

// The average colour of the screen in the middle of `area` (global coordinates), taken before the
// window is shown there; the application's window colour when the screen cannot be read.
QColor DesktopColorUnder(const QRect& area);

// Asks the window manager to leave the window out of task bars and pagers. Call it before each
// mapping of the window (a change of its frame makes a new native window). Does nothing off X11.
void KeepOffTaskbar(QWidget& window);

}  // namespace vespin::ui
