#include "app/About.h"

#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "UiText.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {
namespace {

TEST(AboutTest, WindowSizeFollowsTheWidthOfW) {
  EXPECT_EQ(TfrmAbout::SizeForWidthOfW(8), QSize(300, 120));
  EXPECT_EQ(TfrmAbout::SizeForWidthOfW(7), QSize(375, 150));
  EXPECT_EQ(TfrmAbout::SizeForWidthOfW(10), QSize(375, 150));
}

TEST(AboutTest, ShowVersionShowsTheVersionAndClosesWithOk) {
  RegisterFontSubstitutions();
  bool seen = false;
  ScopedModalHandler handler([&](QDialog& dialog) {
    auto& form = dynamic_cast<TfrmAbout&>(dialog);
    seen = true;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ"));
    EXPECT_EQ(form.lProductName()->text(), QStringLiteral("vespin Ver3.2(2005.04.18)"));
    EXPECT_TRUE(form.lProductName()->font().bold());
    EXPECT_FALSE(form.lName()->text().isEmpty());
    EXPECT_FALSE(form.Image()->pixmap().isNull());
    EXPECT_EQ(form.Panel()->geometry(), QRect(8, 8, 276, 49));
    EXPECT_EQ(form.pbOk()->geometry(), QRect(211, 64, 75, 25));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    const int w = QFontMetrics(form.font()).horizontalAdvance(u'w');
    EXPECT_EQ(form.size(), TfrmAbout::SizeForWidthOfW(w));
    QTest::mouseClick(form.pbOk(), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    return form.result();
  });
  ShowVersion();
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace vespin::ui
