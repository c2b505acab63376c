#pragma once
// Where the panel goes on the screen: the top right corner at first, the stored place at later
// starts, and never off every screen (a monitor that is gone, a hand edit).

#include <QPoint>
#include <QRect>
#include <QSize>

namespace vespin::ui {

// The primary screen's geometry (a fallback size when there is no screen at all).
QRect PrimaryScreenRect();

// Flush with the top right corner of the primary screen.
QPoint TopRightPlace(QSize window);

// The stored position as the panel takes it at start-up: a left or top at or beyond the
// screen's size goes to the right edge or the top; a place on no screen at all goes top right.
QPoint StartPlace(int storedLeft, int storedTop, QSize window);

}  // namespace vespin::ui
