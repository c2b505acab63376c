#include "controls/MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <optional>
#include <string>

#include "UiText.h"
#include "controls/ModalRunner.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

using sjis::Lit;

// What a handler saw of the box while it was shown.
struct Seen {
  QString caption;
  QColor color;
  QStringList buttons;  // visible ones, in tab order
  QString focused;
  QString text;
  QString icon;
  QRect label;
  QRect yes, no, confirm;
  QSize client;
};

Seen Inspect(const TMessageForm& form) {
  Seen s;
  s.caption = form.windowTitle();
  s.color = form.FormColor();
  for (QPushButton* b : {form.NoButton(), form.YesButton(), form.ConfirmButton()}) {
    if (b->isVisible()) s.buttons << b->text();
  }
  if (auto* b = qobject_cast<QPushButton*>(form.focusWidget())) s.focused = b->text();
  s.text = form.MessageLabel()->text();
  if (form.imgStop()->isVisible()) s.icon += u"stop"_s;
  if (form.imgInformation()->isVisible()) s.icon += u"information"_s;
  if (form.imgExclamation()->isVisible()) s.icon += u"exclamation"_s;
  s.label = form.MessageLabel()->geometry();
  s.yes = form.YesButton()->geometry();
  s.no = form.NoButton()->geometry();
  s.confirm = form.ConfirmButton()->geometry();
  s.client = form.size();
  return s;
}

// Shows `msg`, records the box and presses Enter on the focused button.
int ShowAndPressEnter(const std::string& msg, Seen& seen) {
  ScopedModalHandler handler([&](QDialog& dialog) {
    auto& form = dynamic_cast<TMessageForm&>(dialog);
    seen = Inspect(form);
    QTest::keyClick(form.focusWidget(), Qt::Key_Return);
    return form.result();
  });
  return ShowMessageForm(msg);
}

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterFontSubstitutions(); }
};

TEST_F(MessageBoxTest, KindLetterChoosesCaptionColourButtonsAndIcon) {
  const QString yesNo = QStringLiteral("いいえ,はい");
  const struct {
    const char* msg;
    const char* caption;
    QColor color;
    QString buttons;
    const char* icon;
    int enterResult;
  } cases[] = {
      {"C 保存しますか？", "確認メッセージ", QColor(210, 233, 255), yesNo, "information", kIdNo},
      {"A 注意してください。", "注意メッセージ", QColor(255, 255, 170), yesNo, "exclamation",
       kIdNo},
      {"E 日付が不正です。", "エラーメッセージ", QColor(255, 207, 207), u"確認"_s, "exclamation",
       kIdOk},
      {"I 終わりました。", "情報メッセージ", QColor(210, 233, 255), u"確認"_s, "information",
       kIdOk},
      {"X 何か", "MessageForm", QColor(Qt::white), u"確認"_s, "", kIdOk},
      {"", "MessageForm", QColor(Qt::white), u"確認"_s, "", kIdOk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.msg);
    Seen seen;
    EXPECT_EQ(ShowAndPressEnter(Lit(c.msg), seen), c.enterResult);
    EXPECT_EQ(seen.caption, QString::fromUtf8(c.caption));
    EXPECT_EQ(seen.color, c.color);
    EXPECT_EQ(seen.buttons.join(u','), c.buttons);
    EXPECT_EQ(seen.focused, seen.buttons.value(0));  // the first visible in tab order
    EXPECT_EQ(seen.icon, QString::fromUtf8(c.icon));
    const std::string msg(c.msg);
    EXPECT_EQ(seen.text, QString::fromUtf8(msg.size() > 2 ? msg.substr(2) : ""));
  }
}

TEST_F(MessageBoxTest, EachButtonGivesItsResult) {
  const struct {
    const char* msg;
    QPushButton* (TMessageForm::*button)() const;
    int result;
  } cases[] = {
      {"C 消しますか？", &TMessageForm::YesButton, kIdYes},
      {"C 消しますか？", &TMessageForm::NoButton, kIdNo},
      {"A 上書きしますか？", &TMessageForm::YesButton, kIdYes},
      {"E だめです。", &TMessageForm::ConfirmButton, kIdOk},
  };
  for (const auto& c : cases) {
    ScopedModalHandler handler([&](QDialog& dialog) {
      auto& form = dynamic_cast<TMessageForm&>(dialog);
      QTest::mouseClick((form.*c.button)(), Qt::LeftButton);
      EXPECT_FALSE(form.isVisible());
      return form.result();
    });
    EXPECT_EQ(ShowMessageForm(Lit(c.msg)), c.result) << c.msg;
  }
}

TEST_F(MessageBoxTest, SpaceAndTabMoveBetweenAndPressButtons) {
  ScopedModalHandler handler([](QDialog& dialog) {
    auto& form = dynamic_cast<TMessageForm&>(dialog);
    QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(form.focusWidget(), form.YesButton());
    QTest::keyClick(form.focusWidget(), Qt::Key_Space);
    return form.result();
  });
  EXPECT_EQ(ShowMessageForm(Lit("C よろしいですか？")), kIdYes);
}

TEST_F(MessageBoxTest, HeightFollowsTheLineCount) {
  const struct {
    int lines;
    QRect label;
    int clientHeight;
    int buttonTop;
  } cases[] = {
      {1, QRect(60, 24, 400, 16), 110, 64},    {2, QRect(60, 16, 400, 32), 110, 64},
      {3, QRect(60, 16, 400, 48), 126, 80},    {40, QRect(60, 16, 400, 640), 718, 672},
      {41, QRect(60, 16, 400, 640), 718, 672},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    std::string msg = "E ";
    for (int i = 1; i <= c.lines; ++i) {
      if (i > 1) msg += "\r\n";
      msg += Lit("行") + std::to_string(i);
    }
    Seen seen;
    EXPECT_EQ(ShowAndPressEnter(msg, seen), kIdOk);
    EXPECT_EQ(seen.label, c.label);
    EXPECT_EQ(seen.client, QSize(476, c.clientHeight));
    EXPECT_EQ(seen.confirm, QRect(183, c.buttonTop, 110, 30));
    EXPECT_EQ(seen.yes.top(), c.buttonTop);
    EXPECT_EQ(seen.no.top(), c.buttonTop);
    EXPECT_EQ(seen.text.count(u'\n'), c.lines - 1);
    EXPECT_FALSE(seen.text.contains(u'\r'));
  }
}

TEST_F(MessageBoxTest, TrailingLineBreakCountsAnEmptyLine) {
  TMessageForm form;
  form.Prepare(Lit("E リストに存在しません。\r\n"));
  EXPECT_EQ(form.MessageLines(), 2);
  form.Prepare("E a\nb");  // a bare LF is not a line break of the message
  EXPECT_EQ(form.MessageLines(), 1);
}

TEST_F(MessageBoxTest, TheBoxIsCentredOnTheScreen) {
  Seen seen;
  QRect frame;
  ScopedModalHandler handler([&](QDialog& dialog) {
    frame = dialog.frameGeometry();
    return kIdOk;
  });
  ShowMessageForm(Lit("E 一\r\n二\r\n三"));
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(std::abs(frame.center().x() - area.center().x()), 1);
  EXPECT_LE(std::abs(frame.center().y() - area.center().y()), 1);
}

TEST_F(MessageBoxTest, EscapeAndAltF4DoNotCloseIt) {
  ScopedModalHandler handler([](QDialog& dialog) {
    auto& form = dynamic_cast<TMessageForm&>(dialog);
    QTest::keyClick(form.focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());

    QTest::keyClick(form.focusWidget(), Qt::Key_F4, Qt::AltModifier);
    EXPECT_TRUE(form.AltF4Pressed());
    EXPECT_FALSE(form.close());  // what the window manager does after Alt+F4
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.AltF4Pressed());  // that request has been refused
    EXPECT_FALSE(form.close());         // and the box never offers another way out
    EXPECT_TRUE(form.isVisible());

    QTest::keyClick(form.focusWidget(), Qt::Key_F4, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_FALSE(form.AltF4Pressed());
    QTest::keyClick(form.focusWidget(), Qt::Key_Return);
    return form.result();
  });
  EXPECT_EQ(ShowMessageForm(Lit("E 日付が不正です。")), kIdOk);
}

TEST_F(MessageBoxTest, HasNoCloseBoxAndShowsTheArrowCursor) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  bool overridden = true;
  Qt::WindowFlags flags;
  ScopedModalHandler handler([&](QDialog& dialog) {
    overridden = QGuiApplication::overrideCursor() != nullptr;
    flags = dialog.windowFlags();
    return kIdOk;
  });
  ShowMessageForm(Lit("E 日付が不正です。"));
  EXPECT_FALSE(overridden);
  EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
  while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

TEST_F(MessageBoxTest, KindSEndsTheProcessAfterTheBoxCloses) {
  std::optional<int> exitCode;
  bool boxGoneAtExit = false;
  ScopedExitHook exitHook([&](int code) {
    exitCode = code;
    boxGoneAtExit = true;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<TMessageForm*>(w)) boxGoneAtExit = false;
    }
  });
  Seen seen;
  ScopedModalHandler handler([&](QDialog& dialog) {
    auto& form = dynamic_cast<TMessageForm&>(dialog);
    seen = Inspect(form);
    EXPECT_FALSE(exitCode.has_value());
    QTest::mouseClick(form.ConfirmButton(), Qt::LeftButton);
    return form.result();
  });
  ShowMessageForm(Lit("S 致命的な誤りです。"));
  EXPECT_EQ(exitCode, 1);
  EXPECT_TRUE(boxGoneAtExit);
  EXPECT_EQ(seen.caption, QStringLiteral("システムエラーメッセージ"));
  EXPECT_EQ(seen.color, QColor(255, 0, 128));
  EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("システム終了")});
  EXPECT_EQ(seen.icon, QStringLiteral("stop"));
}

TEST_F(MessageBoxTest, KindSReallyExitsWithCodeOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ScopedModalHandler handler([](QDialog& dialog) {
          QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
          return dialog.result();
        });
        ShowMessageForm(Lit("S 致命的な誤りです。"));
        std::_Exit(0);  // not reached
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace vespin::ui
