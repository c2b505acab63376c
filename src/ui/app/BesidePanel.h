#pragma once
// The choosers the panel opens (colour, font, file) stand beside it, not over it: the user sees
// what the panel looks like while choosing, and the whole chooser is on the screen.
//
//   chooser size + panel frame + screen --BesidePlace--> chooser's top left

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace vespin::ui {

// Where a window of `frame` size (its frame included) goes beside `panel` on `screen` (the
// screen's available area), `gap` pixels apart: left of the panel, else right of it, else below,
// else above, the first side where the whole window fits without covering the panel, level with
// the panel as far as the screen allows. Where no side has the room, the window covers the panel
// as little as it can and stays wholly on the screen (as far as it is not larger than the screen).
QPoint BesidePlace(QSize frame, const QRect& panel, const QRect& screen, int gap = 8);

// Moves `dialog` (not yet shown) beside `panel`'s window on the panel's screen.
void PlaceBesidePanel(QWidget& dialog, const QWidget& panel);

}  // namespace vespin::ui
