#include "app/FontChooser.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>
#include <algorithm>

#include "UiText.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {
namespace {

// The platform's font chooser offers no effects (underline, strike-out, colour) and no size
// outside `minSize` to `maxSize`.
void LimitFontDialog(QFontDialog& dialog, int minSize, int maxSize) {
  for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
    if (!box->findChildren<QCheckBox*>().isEmpty()) box->hide();
  }
  for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
    if (qobject_cast<const QIntValidator*>(edit->validator())) {
      edit->setValidator(new QIntValidator(minSize, maxSize, edit));
    }
  }
  const auto trimSizes = [&dialog, minSize, maxSize] {
    for (QListView* view : dialog.findChildren<QListView*>()) {
      auto* model = qobject_cast<QStringListModel*>(view->model());
      if (!model) continue;
      QStringList sizes = model->stringList();
      bool numeric = !sizes.isEmpty();
      for (const QString& s : sizes) numeric = numeric && s.toInt() > 0;
      if (!numeric) continue;
      const auto outside = [minSize, maxSize](const QString& s) {
        return s.toInt() < minSize || s.toInt() > maxSize;
      };
      if (std::none_of(sizes.begin(), sizes.end(), outside)) continue;
      sizes.erase(std::remove_if(sizes.begin(), sizes.end(), outside), sizes.end());
      model->setStringList(sizes);
    }
  };
  trimSizes();
  QObject::connect(&dialog, &QFontDialog::currentFontChanged, &dialog, trimSizes);
}

}  // namespace

std::optional<FontChoice> ChooseFont(QWidget* parent, const Settings& settings, QFont stored,
                                     const QString& inUseFamily) {
  // The chooser lists installed faces only: start it on the face the stored name stands for.
  stored.setFamily(inUseFamily);
  QFontDialog dialog(stored, parent);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  LimitFontDialog(dialog, kMinFontPoints, kMaxFontPoints);
  // A face without a bold or italic cut cannot show the stored style; the dialog then starts
  // on the plain cut, and confirming it unchanged must not lose the style.
  const QFont offered = dialog.currentFont();
  if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
  const QFont chosen = dialog.currentFont();
  const bool styleUntouched = chosen.family() == offered.family() &&
                              chosen.bold() == offered.bold() &&
                              chosen.italic() == offered.italic();
  // Choosing the face the stored name stands for keeps the stored name, so that the file still
  // names the font the other desktop knows.
  QString family = chosen.family();
  if (family == inUseFamily && !settings.fontName.empty()) family = FromSjis(settings.fontName);
  family.remove(QLatin1Char(','));  // the settings line has no room for a comma
  FontChoice choice;
  choice.name = ToSjisLossy(family);
  const int points = chosen.pointSize() > 0 ? chosen.pointSize() : settings.fontSize;
  // Stored as the panel will show it, never a size it would then ignore.
  choice.size = UsableFontSize(points);
  // Underline and strike-out are no choice of the dialog; they stay as they were.
  choice.style = styleUntouched
                     ? settings.fontStyle
                     : (settings.fontStyle & (kFontUnderline | kFontStrikeOut)) |
                           (chosen.bold() ? kFontBold : 0) | (chosen.italic() ? kFontItalic : 0);
  return choice;
}

}  // namespace vespin::ui
