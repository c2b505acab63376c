#pragma once
// vespin-gallery: pictures of the lists, controls and message boxes with typical contents, for
// a look by eye after a change of drawing code. Each part renders its pictures into a folder.

#include <QDir>
#include <QImage>
#include <QString>

namespace vespin::gallery {

// Writes `image` as `<name>.png` into `dir` and says so on the terminal; false when it cannot.
bool Save(const QImage& image, const QDir& dir, const QString& name);

// Each returns how many of its pictures could not be written.
int RenderEventLists(const QDir& dir);
int RenderControls(const QDir& dir);
int RenderMessageBoxes(const QDir& dir);

}  // namespace vespin::gallery
