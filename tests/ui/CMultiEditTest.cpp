#include "controls/CMultiEdit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFrame>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "QtWidgetTestSupport.h"
#include "UiText.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

using test::Messages;

// A window like the event dialog: the field under test, a second field, and the buttons.
class Host : public QDialog {
 public:
  Host() {
    setGeometry(100, 100, 400, 120);
    edit = new TMultiEdit(this);
    edit->setGeometry(8, 8, 120, 24);
    other = new TMultiEdit(this);
    other->SetEditType(etNone);
    other->setGeometry(136, 8, 120, 24);
    cancel = Button("取消", 8);
    quit = Button("終了", 88);
    add = Button("追加", 168);
    exec = Button("実行", 248);
    exec->setDefault(true);
  }
  QPushButton* Button(const char* caption, int left) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setGeometry(left, 60, 74, 32);
    return b;
  }
  // Shows the window active with the focus in the field under test.
  void Enter() {
    show();
    activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(this));
    edit->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(edit->hasFocus());
  }
  TMultiEdit* edit;
  TMultiEdit* other;
  QPushButton *cancel, *quit, *add, *exec;
};

// Types any text, one character (or surrogate pair) per key, as a keyboard or input method would.
void TypeText(QWidget* widget, const QString& text) {
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype len = text.at(i).isHighSurrogate() ? 2 : 1;
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, len), Qt::NoModifier);
    i += len;
  }
}

class CMultiEditTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterFontSubstitutions(); }
};

TEST_F(CMultiEditTest, NewFieldAndSetterRules) {
  TMultiEdit e;
  EXPECT_EQ(e.EditType(), etAlphaNum);
  EXPECT_EQ(e.Alignment(), taLeftJustify);
  EXPECT_EQ(e.MaxLength(), 0);
  EXPECT_TRUE(e.AutoSelect());
  EXPECT_EQ(e.font().family(), GothicFace());
  EXPECT_EQ(e.font().pointSize(), 12);
  EXPECT_EQ(e.palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_EQ(e.palette().color(QPalette::Text), QColor(Qt::black));

  e.SetNineDate(true);
  EXPECT_EQ(e.EditType(), etCalendar);
  e.SetAddZero(true);  // forces the type, leaves NineDate alone
  EXPECT_EQ(e.EditType(), etNumCode);
  EXPECT_TRUE(e.NineDate());
  e.SetEditType(etNumeric);  // leaving both types clears both flags
  EXPECT_FALSE(e.AddZero());
  EXPECT_FALSE(e.NineDate());
  e.SetEditType(etCalendar);
  e.SetNineDate(true);
  e.SetEditType(etCalendar);  // the same type changes nothing
  EXPECT_TRUE(e.NineDate());
  e.SetEditType(etNumCode);
  EXPECT_FALSE(e.NineDate());

  for (auto [value, qt] :
       {std::pair{taRightJustify, Qt::AlignRight}, std::pair{taCenter, Qt::AlignHCenter},
        std::pair{taLeftJustify, Qt::AlignLeft}}) {
    e.SetAlignment(value);
    EXPECT_EQ(e.alignment() & Qt::AlignHorizontal_Mask, qt);
  }
}

TEST_F(CMultiEditTest, ValidateByType) {
  const struct {
    TEditType type;
    int maxLength;
    bool keta, addZero, nineDate;
    const char* input;
    int result;
    const char* after;    // the text after the check
    const char* message;  // the box shown, if any
  } cases[] = {
      {etAlphaNum, 0, false, false, false, "ab12", 1, "ab12", ""},
      {etAlphaNum, 0, false, false, false, "a b", 0, "a b", "英数字だけを入力してください。"},
      {etNumCode, 0, false, false, false, "0012", 1, "0012", ""},
      {etNumCode, 0, false, false, false, "12a", 0, "12a", "数字だけを入力してください。"},
      {etNumCode, 0, false, false, false, "", 1, "", ""},
      {etNumeric, 0, false, false, false, "1234567", 1, "1,234,567", ""},
      {etNumeric, 0, false, false, false, "0012", 1, "12", ""},
      {etNumeric, 0, false, false, false, "12a", 0, "12a", "数値が不正です。"},
      {etNumeric, 0, false, false, false, "1,000", 0, "1,000", "数値が不正です。"},
      {etZenkaku, 0, false, false, false, "日付", 1, "日付", ""},
      {etZenkaku, 0, false, false, false, "日付A", 0, "日付A", "全角文字だけを入力してください。"},
      {etHankaku, 0, false, false, false, "ﾌﾟﾛ", 1, "ﾌﾟﾛ", ""},
      {etHankaku, 0, false, false, false, "A日", 0, "A日", "半角文字だけを入力してください。"},
      {etCalendar, 0, false, false, false, "691231", 1, "2069/12/31", ""},
      {etCalendar, 0, false, false, false, "050418", 1, "2005/04/18", ""},
      {etCalendar, 0, false, false, false, "20051301", 0, "20051301", "日付が不正です。"},
      {etCalendar, 0, false, false, false, "999999", 0, "999999", "日付が不正です。"},
      {etCalendar, 0, false, false, true, "99/99/99", 1, "9999/99/99", ""},
      {etCalendar, 0, false, false, true, "99999999", 1, "9999/99/99", ""},
      {etCalendar, 0, false, false, false, "", 1, "", ""},
      {etNone, 5, true, false, false, "1230", 0, "1230", "入力桁数が足りません。"},
      {etNone, 5, true, false, false, "12:30", 1, "12:30", ""},
      {etNone, 4, true, false, false, "日付", 1, "日付", ""},  // bytes, not characters
      {etNumeric, 4, true, false, false, "1234", 1, "1,234", ""},
      {etNumCode, 4, true, true, false, "7", 1, "7", ""},  // no length check with AddZero
      {etNone, 0, true, false, false, "abc", 1, "abc", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " type " + std::to_string(c.type));
    Messages messages;
    TMultiEdit e;
    e.SetEditType(c.type);
    e.SetMaxLength(c.maxLength);
    e.SetMaxKetaCheck(c.keta);
    if (c.addZero) e.SetAddZero(true);
    if (c.nineDate) e.SetNineDate(true);
    e.SetText(QString::fromUtf8(c.input));
    EXPECT_EQ(e.Validate(), c.result);
    EXPECT_EQ(e.text(), QString::fromUtf8(c.after));
    const QStringList expected =
        *c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{};
    EXPECT_EQ(messages.texts, expected);
  }
}

TEST_F(CMultiEditTest, TheFormsCheckRunsOnlyAfterTheBuiltInOne) {
  Messages messages;
  TMultiEdit e;
  e.SetEditType(etCalendar);
  int calls = 0;
  QString seen;
  e.SetOnUserValidate([&](TMultiEdit& sender, int& result) {
    ++calls;
    seen = sender.text();
    EXPECT_EQ(result, 1);
    result = 0;
  });
  e.SetText(u"2005/02/30"_s);
  EXPECT_EQ(e.Validate(), 0);
  EXPECT_EQ(calls, 0);
  e.SetText(u"050418"_s);
  EXPECT_EQ(e.Validate(), 0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, u"2005/04/18"_s);  // the handler sees the normalised date
  EXPECT_TRUE(e.NeedCheck());
  EXPECT_TRUE(e.SavedText().isEmpty());
  e.SetOnUserValidate([](TMultiEdit&, int&) {});
  EXPECT_EQ(e.Validate(), 1);
  EXPECT_FALSE(e.NeedCheck());
  EXPECT_EQ(e.SavedText(), u"2005/04/18"_s);
}

TEST_F(CMultiEditTest, LeavingChecksAndARefusalKeepsTheFocus) {
  Messages messages;
  Host host;
  host.edit->SetEditType(etCalendar);
  host.Enter();
  QTest::keyClicks(host.edit, u"2005/02/30"_s);
  QTest::keyClick(host.edit, Qt::Key_Tab);
  EXPECT_EQ(messages.texts, QStringList{u"日付が不正です。"_s});
  EXPECT_TRUE(host.edit->hasFocus());
  EXPECT_EQ(host.edit->text(), u"2005/02/30"_s);

  host.edit->clear();
  QTest::keyClicks(host.edit, u"050418"_s);
  QTest::keyClick(host.edit, Qt::Key_Tab);
  EXPECT_EQ(messages.texts.size(), 1);
  EXPECT_TRUE(host.other->hasFocus());
  EXPECT_EQ(host.edit->text(), u"2005/04/18"_s);
  EXPECT_FALSE(host.edit->isModified());
}

TEST_F(CMultiEditTest, CancelAndExitButtonsSkipTheCheck) {
  for (QPushButton* Host::*button : {&Host::cancel, &Host::quit}) {
    Messages messages;
    Host host;
    host.edit->SetEditType(etCalendar);
    host.Enter();
    QTest::keyClicks(host.edit, u"abc"_s);
    QTest::mouseClick(host.*button, Qt::LeftButton);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_TRUE((host.*button)->hasFocus());
    EXPECT_EQ(host.edit->text(), u"abc"_s);
    EXPECT_TRUE(host.edit->isModified());
  }
}

TEST_F(CMultiEditTest, EmptyOrUnchangedTextIsNotChecked) {
  Messages messages;
  Host host;
  host.edit->SetEditType(etNumCode);
  host.edit->SetMaxLength(4);
  host.edit->SetMaxKetaCheck(true);
  host.edit->SetText(u"12a"_s);  // set by the program: not the user's change
  host.Enter();
  QTest::keyClick(host.edit, Qt::Key_Tab);
  EXPECT_TRUE(messages.texts.isEmpty());
  EXPECT_TRUE(host.other->hasFocus());

  host.edit->setFocus(Qt::TabFocusReason);
  QTest::keyClick(host.edit, Qt::Key_Delete);  // AutoSelect selected it all
  EXPECT_TRUE(host.edit->text().isEmpty());
  QTest::keyClick(host.edit, Qt::Key_Tab);
  EXPECT_TRUE(messages.texts.isEmpty());
  EXPECT_TRUE(host.edit->isModified());  // so a later text is checked
}

TEST_F(CMultiEditTest, RefusedTimeIsCheckedAgainAndItsClickIsSwallowed) {
  Messages messages;
  Host host;
  host.edit->SetEditType(etNone);
  host.edit->SetMaxLength(5);
  int calls = 0;
  // Like the event dialog's time check: 2400 is rewritten to 24:00 and refused.
  host.edit->SetOnUserValidate([&](TMultiEdit& sender, int& result) {
    ++calls;
    if (sender.text().size() == 4)
      sender.SetText(sender.text().left(2) + u":"_s + sender.text().mid(2));
    if (sender.text().left(2).toInt() > 23) result = 0;
  });
  QSignalSpy added(host.add, &QPushButton::clicked);
  host.Enter();
  QTest::keyClicks(host.edit, u"2400"_s);
  QTest::mouseClick(host.add, Qt::LeftButton);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(added.count(), 0);  // 追加 must not act on the refused time
  EXPECT_TRUE(host.edit->hasFocus());
  EXPECT_EQ(host.edit->text(), u"24:00"_s);

  QTest::keyClick(host.edit, Qt::Key_Tab);  // leaving again without typing checks again
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(host.edit->hasFocus());

  host.edit->selectAll();
  QTest::keyClicks(host.edit, u"0930"_s);
  QTest::mouseClick(host.add, Qt::LeftButton);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(host.edit->text(), u"09:30"_s);
  EXPECT_EQ(added.count(), 1);
  EXPECT_TRUE(host.add->hasFocus());
  QTest::mouseClick(host.add, Qt::LeftButton);  // later clicks are untouched
  EXPECT_EQ(added.count(), 2);
  EXPECT_TRUE(messages.texts.isEmpty());  // the form's check tells the user itself
}

TEST_F(CMultiEditTest, AClickWhoseReleaseWasLostDoesNotEatTheNextOne) {
  Messages messages;
  Host host;
  host.edit->SetEditType(etCalendar);
  QSignalSpy added(host.add, &QPushButton::clicked);
  host.Enter();
  QTest::keyClicks(host.edit, u"2005/02/30"_s);
  QTest::mousePress(host.add, Qt::LeftButton);  // the release goes to the message box
  EXPECT_TRUE(host.edit->hasFocus());
  QCoreApplication::processEvents();
  host.edit->selectAll();
  QTest::keyClicks(host.edit, u"050418"_s);
  QTest::mouseClick(host.add, Qt::LeftButton);
  EXPECT_EQ(added.count(), 1);
  EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(CMultiEditTest, AmountShowsSeparatorsOnlyOutsideTheField) {
  Messages messages;
  Host host;
  host.edit->SetEditType(etNumeric);
  host.edit->SetText(u"1,234,567"_s);
  host.Enter();
  EXPECT_EQ(host.edit->text(), u"1234567"_s);
  EXPECT_EQ(host.edit->selectedText(), u"1234567"_s);
  QTest::keyClick(host.edit, Qt::Key_Tab);
  EXPECT_EQ(host.edit->text(), u"1,234,567"_s);

  host.edit->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(host.edit->text(), u"1234567"_s);
  QTest::mouseClick(host.cancel, Qt::LeftButton);
  EXPECT_EQ(host.edit->text(), u"1234567"_s);

  host.edit->setFocus(Qt::TabFocusReason);
  QTest::keyClicks(host.edit, u"89000"_s);
  QTest::keyClick(host.edit, Qt::Key_Tab);
  EXPECT_EQ(host.edit->text(), u"89,000"_s);
  EXPECT_EQ(host.edit->SavedText(), u"89,000"_s);
  EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(CMultiEditTest, ZeroPadding) {
  Messages messages;
  Host host;
  host.edit->SetAddZero(true);
  host.edit->SetMaxLength(4);
  host.edit->SetMaxKetaCheck(true);
  host.Enter();
  QTest::keyClicks(host.edit, u"7"_s);
  QTest::keyClick(host.edit, Qt::Key_Tab);
  EXPECT_EQ(host.edit->text(), u"0007"_s);
  EXPECT_TRUE(messages.texts.isEmpty());

  const struct {
    int maxLength;
    const char* text;
    const char* padded;
  } cases[] = {
      {4, "12", "0012"},
      {4, "0012", "0012"},
      {0, "12", "000012"},
      {0, "1234567", "1234567"},
      {4, "000000000012", "0012"},
      {4, "99999999999999999999", "99999999999999999999"},  // beyond any machine integer
      {4, "0", "0000"},
      {4, "1a", "1a"},
  };
  for (const auto& c : cases) {
    TMultiEdit e;
    e.SetMaxLength(c.maxLength);
    e.SetText(QString::fromUtf8(c.text));
    EXPECT_EQ(e.ZeroPadText(), QString::fromUtf8(c.padded)) << c.text;
  }
}

TEST_F(CMultiEditTest, EnterInsertsNothingAndReachesTheDefaultButton) {
  Host host;
  host.edit->SetEditType(etNone);
  QSignalSpy executed(host.exec, &QPushButton::clicked);
  struct Recorder : QObject {
    int returns = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Return) {
        ++returns;
      }
      return false;
    }
  } recorder;
  host.edit->installEventFilter(&recorder);
  host.Enter();
  QTest::keyClicks(host.edit, u"ab"_s);
  QTest::keyClick(host.edit, Qt::Key_Return);
  EXPECT_EQ(recorder.returns, 1);
  EXPECT_EQ(host.edit->text(), u"ab"_s);
  EXPECT_EQ(executed.count(), 1);
}

TEST_F(CMultiEditTest, TypingAndPastingStayWithinTheByteLimit) {
  Messages messages;
  Host host;
  host.edit->SetEditType(etNone);
  host.edit->SetMaxLength(5);
  host.Enter();
  TypeText(host.edit, QStringLiteral("日本語"));
  EXPECT_EQ(host.edit->text(), QStringLiteral("日本"));
  QTest::keyClicks(host.edit, u"AB"_s);
  EXPECT_EQ(host.edit->text(), QStringLiteral("日本A"));
  EXPECT_EQ(host.edit->SjisText().size(), 5u);

  const struct {
    const char* before;
    int cursor;
    const char* pasted;
    const char* after;
  } pastes[] = {
      {"", 0, "ab日本cd", "ab日"},
      {"AB", 1, "日本語", "A日B"},
      {"ABCD", 2, "日", "ABCD"},  // one byte left: a double-byte character does not fit
      {"ABCD", 2, "x日", "ABxCD"},
      {"", 0, "ｱｲｳｴｵｶ", "ｱｲｳｴｵ"},  // half-width katakana are one byte each
  };
  for (const auto& p : pastes) {
    SCOPED_TRACE(p.pasted);
    host.edit->SetText(QString::fromUtf8(p.before));
    host.edit->setCursorPosition(p.cursor);
    QGuiApplication::clipboard()->setText(QString::fromUtf8(p.pasted));
    QTest::keyClick(host.edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(host.edit->text(), QString::fromUtf8(p.after));
  }
  host.edit->SetText(u"AB"_s);
  host.edit->setCursorPosition(2);
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("会議室"));
  QApplication::sendEvent(host.edit, &commit);
  EXPECT_EQ(host.edit->text(), QStringLiteral("AB会"));
  EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(CMultiEditTest, ProgramTextMayExceedTheLimitButTypingCannotGrowIt) {
  Host host;
  host.edit->SetEditType(etNone);
  host.edit->SetMaxLength(4);
  host.edit->SetSjisText(sjis::Lit("長い会議の名前"));
  EXPECT_EQ(host.edit->text(), QStringLiteral("長い会議の名前"));
  host.Enter();
  host.edit->end(false);
  QTest::keyClicks(host.edit, u"x"_s);
  EXPECT_EQ(host.edit->text(), QStringLiteral("長い会議の名前"));
  QTest::keyClick(host.edit, Qt::Key_Backspace);
  EXPECT_EQ(host.edit->text(), QStringLiteral("長い会議の名"));
  EXPECT_TRUE(host.edit->isModified());
}

TEST_F(CMultiEditTest, CharactersShiftJisCannotHoldAreRefused) {
  Messages messages;
  Host host;
  host.edit->SetEditType(etNone);
  host.edit->SetMaxLength(32);
  host.Enter();
  QTest::keyClicks(host.edit, u"ab"_s);
  QGuiApplication::clipboard()->setText(QString::fromUtf8("c\xF0\x9F\x98\x80"));
  QTest::keyClick(host.edit, Qt::Key_V, Qt::ControlModifier);
  TypeText(host.edit, QStringLiteral("한"));
  EXPECT_EQ(host.edit->text(), u"ab"_s);
  QCoreApplication::processEvents();
  EXPECT_EQ(messages.texts, QStringList(2, QStringLiteral("この文字は使えません。")));
  EXPECT_EQ(host.edit->SjisText(), "ab");
}

TEST_F(CMultiEditTest, SjisTextAndTheModifiedFlag) {
  TMultiEdit e;
  e.SetSjisText(sjis::Lit("会議"));
  EXPECT_EQ(e.text(), QStringLiteral("会議"));
  EXPECT_EQ(e.SjisText(), sjis::Lit("会議"));
  e.setModified(true);
  e.SetText(QStringLiteral("会議"));  // the same text changes nothing
  EXPECT_TRUE(e.isModified());
  e.SetText(QStringLiteral("別"));
  EXPECT_FALSE(e.isModified());
}

TEST_F(CMultiEditTest, ReadOnlyStateOnAPanel) {
  Host host;
  host.edit->setGeometry(20, 30, 150, 26);
  host.edit->SetText(u"2005-04"_s);
  host.show();
  const auto panels = [&] {
    return host.findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly);
  };
  const qsizetype framesBefore = panels().size();

  host.edit->SetEditable(false);
  host.edit->SetEditable(false);
  ASSERT_EQ(panels().size(), framesBefore + 1);
  QFrame* panel = host.edit->Panel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(host.edit->parentWidget(), panel);
  EXPECT_EQ(panel->geometry(), QRect(20, 30, 150, 26));
  EXPECT_EQ(host.edit->pos(), QPoint(0, 0));
  EXPECT_FALSE(panel->isEnabled());
  EXPECT_FALSE(host.edit->isEnabled());  // through its panel: no focus, no typing
  EXPECT_TRUE(host.edit->isVisible());
  const QPalette pal = host.edit->palette();
  EXPECT_EQ(pal.color(QPalette::Disabled, QPalette::Text), QColor(Qt::black));
  EXPECT_EQ(pal.color(QPalette::Disabled, QPalette::Base),
            QApplication::palette().color(QPalette::Button));

  host.edit->SetPanelSize(200, 30);
  host.edit->SetPanelPos(5, 6);
  EXPECT_EQ(panel->geometry(), QRect(5, 6, 200, 30));
  EXPECT_EQ(host.edit->geometry(), QRect(0, 0, 200, 30));
  host.edit->SetFontColor(Qt::white);
  EXPECT_EQ(host.edit->palette().color(QPalette::Disabled, QPalette::Text), QColor(Qt::white));

  host.edit->SetVisibleAll(false);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_TRUE(host.edit->isHidden());
  host.edit->SetVisibleAll(true);
  EXPECT_TRUE(host.edit->isVisible());

  host.edit->SetEditable(true);
  host.edit->SetEditable(true);
  EXPECT_EQ(host.edit->Panel(), nullptr);
  EXPECT_EQ(host.edit->parentWidget(), &host);
  EXPECT_EQ(host.edit->geometry(), QRect(5, 6, 200, 30));
  EXPECT_TRUE(host.edit->isEnabled());
  EXPECT_TRUE(host.edit->isVisible());
  EXPECT_EQ(host.edit->palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_EQ(panels().size(), framesBefore);
  EXPECT_EQ(host.edit->text(), u"2005-04"_s);
}

TEST_F(CMultiEditTest, DeletingTheFieldOrItsWindowInTheReadOnlyState) {
  {
    QWidget window;
    auto* e = new TMultiEdit(&window);
    e->SetEditable(false);
  }  // the window deletes the panel and the field in it
  QWidget window;
  auto* e = new TMultiEdit(&window);
  e->SetEditable(false);
  QPointer<QFrame> panel = e->Panel();
  delete e;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(panel.isNull());
}

}  // namespace
}  // namespace vespin::ui
