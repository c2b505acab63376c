#pragma once
// The program's icon, drawn rather than stored: a small calendar page with a bell.

#include <QIcon>
#include <QPixmap>

namespace vespin::ui {

QPixmap ProgramIconPixmap(int size);
QIcon ProgramIcon();

}  // namespace vespin::ui
