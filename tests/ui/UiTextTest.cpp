#include "UiText.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>
#include <cstdlib>

namespace vespin::ui {
namespace {

TEST(UiTextTest, TheGothicFaceHasJapaneseGlyphs) {
  RegisterFontSubstitutions();
  const QFont font(GothicFace(), 12);
  const QFontInfo info(font);
  EXPECT_NE(info.family(), GothicFace());  // substituted by an installed face
  const QFontMetrics metrics(font);
  for (QChar c : QStringLiteral("日付が不正ですｲﾍﾞﾝﾄ確認"))
    EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());
}

// The darkness of a label's text as the screen shows it, at the screen's device pixel ratio.
double Ink(const QFont& font) {
  QLabel label(QStringLiteral("2005/04/18(月) 12:34 定例会議"));
  label.setFont(font);
  label.adjustSize();
  const QImage image = label.grab().toImage();
  const int background = qGray(image.pixel(0, 0));
  double ink = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ink += std::abs(background - qGray(image.pixel(x, y)));
  }
  return ink;
}

// Run a second time with QT_SCALE_FACTOR=2 (the test BoldAtScaleTwo), alone in its process.
TEST(UiTextTest, BoldTextIsBoldAtEveryScale) {
  if (qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2) {
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
  }
  RegisterFontSubstitutions();
  KeepBoldWhenScaled();
  for (int points : {9, 14}) {
    // The panel's window font and its date and time.
    QFont regular;
    regular.setFamilies({GothicFace()});
    regular.setPointSize(points);
    regular.setFixedPitch(true);
    QFont bold = regular;
    bold.setBold(true);
    // The face has no bold cut here: the thickened strokes hold about two thirds more ink.
    // Thickened before the screen's scale, they hold a third more at scale 2.
    EXPECT_GT(Ink(bold) / Ink(regular), 1.5)
        << points << " points at device pixel ratio " << qApp->devicePixelRatio();
  }
}

TEST(UiTextTest, QtsOwnTextsAreJapanese) {
  QTranslator translator;
  ASSERT_TRUE(LoadQtTranslations(translator)) << "Qt's translations (qt6-translations-l10n)";
  QCoreApplication::installTranslator(&translator);
  {
    QColorDialog dialog;
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
  }
  QCoreApplication::removeTranslator(&translator);
}

}  // namespace
}  // namespace vespin::ui
