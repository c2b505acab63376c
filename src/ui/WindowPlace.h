#pragma once
// Where the program's windows stand on the screens: the panel kept whole on the screen it is on,
// its position read from the window system rather than from what the toolkit last heard, and
// every dialog opened above the window it belongs to, centred on that window's screen.
//
//   panel size or place changes --> KeepInside(frame, AvailableAreaFor(frame)) --> move
//   RunModal --> PlaceDialog: transient for DialogAnchor, centred (unless its opener placed it)
//                             and kept on its screen

#include <QPoint>
#include <QRect>

class QWidget;

namespace vespin::ui {

// The top left at which `frame` lies wholly inside `area`, as near to where it is as can be. On
// an axis where the frame is larger than the area, its left (or top) goes to the area's.
QPoint KeepInside(const QRect& frame, const QRect& area);

// The free part (without docks and bars) of the screen that holds the top left of `frame`, else
// of the one that holds the largest part of it; an empty rectangle when it touches no screen.
QRect AvailableAreaFor(const QRect& frame);

// The free part of the primary screen (a fallback size when there is no screen at all).
QRect PrimaryAvailableArea();

// The top left of the window's frame where the window system has it now. Under X11 the toolkit
// may keep a position it was told while the window manager was still framing the window (0,0
// under openbox, now and then), and hears nothing more until the window moves again; the X
// server knows. Elsewhere, and for a window not on the screen, the toolkit's own position.
QPoint FramePosition(const QWidget& window);

// The window a dialog without a parent opens above when no other modal window is open: the
// panel, set by the application for as long as it lives (nullptr: none).
void SetDialogAnchor(QWidget* window);

// The window `dialog` belongs to: its parent's window, else the modal window open now, else the
// anchor; nullptr when there is none (at start-up, before the panel).
QWidget* DialogAnchor(const QWidget& dialog);

// Before a dialog is shown: above its anchor (a transient of it, so that the window manager keeps
// it there; not under XWayland, see the code), centred on the anchor's screen (the primary one
// without an anchor) unless its opener moved it already, and wholly on that screen's free part.
void PlaceDialog(QWidget& dialog);

}  // namespace vespin::ui
