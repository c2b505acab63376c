#include "UiText.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>

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

}  // namespace
}  // namespace vespin::ui
