#pragma once
// The font chooser of the menu item ﾌｫﾝﾄ...: the platform's chooser without its effects and with
// only the sizes the panel is laid out for, and what a confirmed choice means for the stored
// font name, size and style.

#include <QFont>
#include <optional>
#include <string>

#include "events/Settings.h"

class QWidget;

namespace vespin::ui {

struct FontChoice {
  std::string name;  // Shift_JIS face name, as the settings line stores it
  int size = 0;      // points, within the sizes the panel is laid out for
  int style = 0;     // kFontBold | kFontItalic | …
};

// Opens the chooser on `stored` (the stored name, size and style) shown as `inUseFamily` (the
// installed face the stored name stands for). nullopt when the user cancels.
std::optional<FontChoice> ChooseFont(QWidget* parent, const Settings& settings, QFont stored,
                                     const QString& inUseFamily);

}  // namespace vespin::ui
