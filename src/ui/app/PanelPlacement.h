#pragma once
// Where the panel goes on the screen: the top right corner at first, the stored place at later
// starts, and always the whole of it on one screen (a monitor that is gone, a hand edit, a font
// that grew the panel past the screen's edge).

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

namespace vespin::ui {

// The primary screen's geometry (a fallback size when there is no screen at all).
QRect PrimaryScreenRect();

// Flush with the top right corner of the primary screen's free part.
QPoint TopRightPlace(QSize window);

// The stored position as the panel takes it at start-up: a left or top at or beyond the
// screen's size goes to the right edge or the top; a place on no screen at all goes top right;
// then the whole panel onto the screen it is on.
QPoint StartPlace(int storedLeft, int storedTop, QSize window);

// Where a panel whose frame is `frame` must go for the whole of it to be on the screen it is on
// (AvailableAreaFor; the primary one when it is on none); nothing when it is there already.
std::optional<QPoint> PlaceOnItsScreen(const QRect& frame);

}  // namespace vespin::ui
