#pragma once
// Work the first picture of a window does not need waits until the window has been painted:
// the panel is on the screen sooner, and the rest follows at once.

#include <functional>

class QWidget;

namespace vespin::ui {

// Runs `work` once, from the event loop, after `widget` has first been painted. A widget that is
// not painted by then (a window fully covered, with no compositor to ask for its contents) runs
// it after `latestMsecs`. Nothing runs once the widget is gone.
void AfterFirstPaint(QWidget& widget, std::function<void()> work, int latestMsecs = 1000);

}  // namespace vespin::ui
