#pragma once
// The application's connection to the X server, for the few things Qt does not tell the window
// manager itself; nullptr on every other platform (Wayland, offscreen …). Xlib's own type, so
// that this header pulls in none of Xlib's macros.

struct _XDisplay;

namespace vespin::ui {

_XDisplay* X11Display();

}  // namespace vespin::ui
