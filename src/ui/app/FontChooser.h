#pragma once
// The font chooser of the menu item ﾌｫﾝﾄ...: the platform's chooser without its effects and with
// only the sizes the panel is laid out for, and what a confirmed choice means for the stored
// font name, size and style.

#include <QFont>
#include <QValidator>
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

// The chooser's size edit: whole points from 6 to 24, or what typing can still turn into one.
class FontSizeValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
};

// Opens the chooser beside the panel on `stored` (the stored name, size and style) shown as
// `inUseFamily` (the installed face the stored name stands for). nullopt when the user cancels.
std::optional<FontChoice> ChooseFont(QWidget* parent, const Settings& settings, QFont stored,
                                     const QString& inUseFamily);

}  // namespace vespin::ui
