#include "app/FontChooser.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QValidator>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

#include "UiText.h"
#include "app/BesidePanel.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {

QValidator::State FontSizeValidator::validate(QString& input, int&) const {
  if (input.isEmpty()) return Intermediate;
  for (const QChar c : input) {
    if (!c.isDigit()) return Invalid;
  }
  const int value = input.toInt();
  if (value >= kMinFontPoints && value <= kMaxFontPoints) return Acceptable;
  // A first digit that more digits can still turn into a size the panel shows.
  if (input.size() < QString::number(kMaxFontPoints).size() && value > 0 &&
      value * 10 <= kMaxFontPoints) {
    return Intermediate;
  }
  return Invalid;
}

namespace {

// The chooser's own lists and edits, in the order QFontDialog makes them.
struct FontDialogParts {
  QListView* families = nullptr;
  QListView* styles = nullptr;
  QStringListModel* sizes = nullptr;
  QLineEdit* sizeEdit = nullptr;
  QLineEdit* sample = nullptr;  // the text shown in the chosen font
  QPushButton* ok = nullptr;
};

FontDialogParts FindParts(QFontDialog& dialog) {
  FontDialogParts parts;
  const QList<QListView*> views = dialog.findChildren<QListView*>();
  if (views.size() >= 3) {
    parts.families = views[0];
    parts.styles = views[1];
    parts.sizes = qobject_cast<QStringListModel*>(views[2]->model());
  }
  for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
    if (edit->validator() && !parts.sizeEdit) parts.sizeEdit = edit;
    if (qobject_cast<QGroupBox*>(edit->parentWidget())) parts.sample = edit;
  }
  if (auto* box = dialog.findChild<QDialogButtonBox*>())
    parts.ok = box->button(QDialogButtonBox::Ok);
  return parts;
}

// The look of a style, to find the nearest in another family.
struct Look {
  int weight = QFont::Normal;
  bool italic = false;
};

Look LookOf(const QFont& font) {
  return {font.weight(), font.italic()};
}

// The row of `family`'s style in `styles` that looks most like `wanted`: the same slant, the
// nearest weight, the normal width.
int NearestStyleRow(const QStringListModel& styles, const QString& family, Look wanted) {
  int best = -1;
  long bestScore = std::numeric_limits<long>::max();
  const QStringList names = styles.stringList();
  for (int row = 0; row < names.size(); ++row) {
    const QFont f = QFontDatabase::font(family, names[row], 12);
    const long score =
        (f.italic() != wanted.italic ? 100000L : 0L) +
        std::labs(static_cast<long>(f.weight()) - wanted.weight) * 10L +
        (f.stretch() != QFont::Unstretched && f.stretch() != QFont::AnyStretch ? 1 : 0);
    if (score < bestScore) {
      bestScore = score;
      best = row;
    }
  }
  return best;
}

// No effects (underline, strike-out, colour), only the sizes the panel is laid out for, and a
// change of face that keeps the look of the style the user had rather than whatever style the
// new face lists first (an Oblique, a Condensed).
void LimitFontDialog(QFontDialog& dialog, Look look) {
  for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
    if (!box->findChildren<QCheckBox*>().isEmpty()) box->hide();
  }
  const FontDialogParts parts = FindParts(dialog);
  if (parts.sample) {
    // The sample takes the height its row gives it, which the effects set; without them it
    // would shrink to nothing. Room for the largest size offered.
    QFont largest = dialog.currentFont();
    largest.setPointSize(kMaxFontPoints);
    parts.sample->setMinimumHeight(QFontMetrics(largest).height() + 8);
  }
  if (parts.sizeEdit) {
    parts.sizeEdit->setValidator(new FontSizeValidator(parts.sizeEdit));
    if (parts.ok) {
      // Confirming stores the size shown, so only a size the panel shows can be confirmed.
      QObject::connect(
          parts.sizeEdit, &QLineEdit::textChanged, parts.ok,
          [edit = parts.sizeEdit, ok = parts.ok] { ok->setEnabled(edit->hasAcceptableInput()); });
    }
  }
  if (QStringListModel* sizes = parts.sizes) {
    // The chooser refills the list for every face and style; each refill is trimmed at once.
    const auto trim = [sizes] {
      QStringList list = sizes->stringList();
      const auto outside = [](const QString& s) {
        return s.toInt() < kMinFontPoints || s.toInt() > kMaxFontPoints;
      };
      if (std::none_of(list.begin(), list.end(), outside)) return;
      list.erase(std::remove_if(list.begin(), list.end(), outside), list.end());
      sizes->setStringList(list);
    };
    trim();
    QObject::connect(sizes, &QAbstractItemModel::modelReset, &dialog, trim);
  }
  if (parts.families && parts.styles) {
    auto* styles = qobject_cast<QStringListModel*>(parts.styles->model());
    auto family = std::make_shared<QString>(dialog.currentFont().family());
    auto wanted = std::make_shared<Look>(look);
    QObject::connect(&dialog, &QFontDialog::currentFontChanged, &dialog,
                     [styles, view = parts.styles, family, wanted](const QFont& font) {
                       if (font.family() == *family) {
                         // A style or size of the same face: what the user sees now.
                         *wanted = LookOf(font);
                         return;
                       }
                       *family = font.family();
                       if (!styles) return;
                       const int row = NearestStyleRow(*styles, font.family(), *wanted);
                       if (row >= 0 && row != view->currentIndex().row()) {
                         view->setCurrentIndex(styles->index(row));
                       }
                     });
  }
}

}  // namespace

std::optional<FontChoice> ChooseFont(QWidget* parent, const Settings& settings, QFont stored,
                                     const QString& inUseFamily) {
  // The chooser lists installed faces only: start it on the face the stored name stands for.
  stored.setFamily(inUseFamily);
  QFontDialog dialog(stored, parent);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  // A face without a bold or italic cut cannot show the stored style; the dialog then starts
  // on the plain cut, and confirming it unchanged must not lose the style.
  const QFont offered = dialog.currentFont();
  LimitFontDialog(dialog, LookOf(offered));
  if (parent) PlaceBesidePanel(dialog, *parent);
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
  // The size shown is one the panel shows (the edit takes no other); a size set from elsewhere
  // is stored as the panel would show it.
  choice.size = UsableFontSize(points);
  // Underline and strike-out are no choice of the dialog; they stay as they were.
  choice.style = styleUntouched
                     ? settings.fontStyle
                     : (settings.fontStyle & (kFontUnderline | kFontStrikeOut)) |
                           (chosen.bold() ? kFontBold : 0) | (chosen.italic() ? kFontItalic : 0);
  return choice;
}

}  // namespace vespin::ui
