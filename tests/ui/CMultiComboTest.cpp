#include "controls/CMultiCombo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <string>
#include <vector>

#include "QtWidgetTestSupport.h"
#include "UiText.h"
#include "controls/CMemMultiCombo.h"
#include "controls/CodeCombo.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "events/CodeData.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

using test::Messages;

using sjis::Lit;

class Host : public QDialog {
 public:
  Host() {
    setGeometry(100, 100, 400, 120);
    combo = new TMemMultiCombo(this);
    combo->setGeometry(8, 8, 120, 24);
    other = new QLineEdit(this);
    other->setGeometry(136, 8, 120, 24);
    cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setGeometry(8, 60, 74, 32);
    add = new QPushButton(QStringLiteral("追加"), this);
    add->setGeometry(88, 60, 74, 32);
  }
  void Enter() {
    show();
    activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(this));
    combo->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(combo->hasFocus());
  }
  TMemMultiCombo* combo;
  QLineEdit* other;
  QPushButton* cancel;
  QPushButton* add;
};

TCodeData Days(int count) {
  TCodeData days(count);
  for (int d = 1; d <= count; ++d) {
    char code[3];
    std::snprintf(code, sizeof code, "%02d", d);
    days.SetItem(d - 1, code, std::to_string(d) + Lit("日"));
  }
  return days;
}

class CMultiComboTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterFontSubstitutions(); }
};

TEST_F(CMultiComboTest, NewComboAndSetterRules) {
  TMultiCombo c;
  EXPECT_EQ(c.ComboBoxType(), ctAlphaNum);
  EXPECT_EQ(c.Style(), csDropDown);
  EXPECT_TRUE(c.isEditable());
  EXPECT_EQ(c.maxVisibleItems(), 8);
  EXPECT_EQ(c.font().family(), GothicFace());
  EXPECT_EQ(c.font().pointSize(), 12);
  EXPECT_EQ(c.palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_FALSE(c.Changed());

  c.SetNineDate(true);
  EXPECT_EQ(c.ComboBoxType(), ctCalendar);
  c.SetComboBoxType(ctCalendar);
  EXPECT_TRUE(c.NineDate());
  c.SetComboBoxType(ctNone);
  EXPECT_FALSE(c.NineDate());

  c.SetStyle(csDropDownList);
  EXPECT_FALSE(c.isEditable());
  c.SetStyle(csDropDown);
  EXPECT_TRUE(c.isEditable());
}

TEST_F(CMultiComboTest, ValidateByType) {
  const char* const kNotInList = "リストに存在しません。\nリストを表示し選択してください。";
  const struct {
    TComboBoxType type;
    int maxLength;
    bool keta, nineDate, findText;
    std::vector<const char*> items;
    const char* input;
    int result;
    const char* after;
    const char* message;
  } cases[] = {
      {ctCalendar, 0, false, false, false, {}, "050418", 1, "2005/04/18", ""},
      {ctCalendar, 0, false, false, false, {}, "700101", 1, "1970/01/01", ""},
      {ctCalendar, 0, false, false, false, {}, "691231", 1, "2069/12/31", ""},
      {ctCalendar, 0, false, false, false, {}, "2005/02/30", 0, "2005/02/30", "日付が不正です。"},
      {ctCalendar, 0, false, true, false, {}, "999999", 1, "9999/99/99", ""},
      {ctCalendar, 0, false, false, false, {}, "999999", 0, "999999", "日付が不正です。"},
      // The list is searched for the text as typed, before the date was normalised.
      {ctCalendar, 0, false, false, true, {"050418"}, "050418", 1, "2005/04/18", ""},
      {ctCalendar, 0, false, false, true, {"2005/04/18"}, "050418", 0, "2005/04/18", kNotInList},
      {ctNone, 0, false, false, true, {"ABC"}, "abc", 0, "abc", kNotInList},
      {ctNone, 0, false, false, true, {"ABC"}, "ABC", 1, "ABC", ""},
      {ctNone, 0, false, false, true, {"ABC"}, "", 1, "", ""},
      {ctNone, 4, true, false, false, {}, "123", 0, "123", "入力桁数が足りません。"},
      {ctNone, 4, true, false, false, {}, "1234", 1, "1234", ""},
      {ctNumCode, 4, true, false, false, {}, "", 0, "", "数字だけを入力してください。"},
      {ctNumCode, 0, false, false, false, {}, "12a", 0, "12a", "数字だけを入力してください。"},
      {ctNumCode, 0, false, false, false, {}, "0012", 1, "0012", ""},
      {ctAlphaNum, 0, false, false, false, {}, "a-b", 0, "a-b", "英数字だけを入力してください。"},
      {ctZenkaku, 0, false, false, false, {}, "ﾌﾟﾛ", 0, "ﾌﾟﾛ", "全角文字だけを入力してください。"},
      {ctHankaku, 0, false, false, false, {}, "ﾌﾟﾛ", 1, "ﾌﾟﾛ", ""},
      {ctHankaku,
       0,
       false,
       false,
       false,
       {},
       "日付",
       0,
       "日付",
       "半角文字だけを入力してください。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    Messages messages;
    TMultiCombo combo;
    combo.SetComboBoxType(c.type);
    combo.SetMaxLength(c.maxLength);
    combo.SetMaxKetaCheck(c.keta);
    combo.SetNineDate(c.nineDate);
    combo.SetFindTextCheck(c.findText);
    for (const char* item : c.items) combo.addItem(QString::fromUtf8(item));
    combo.SetText(QString::fromUtf8(c.input));
    int handled = 0;
    combo.SetOnUserValidate([&](TMultiCombo&, int&) { ++handled; });
    EXPECT_EQ(combo.Validate(), c.result);
    EXPECT_EQ(combo.currentText(), QString::fromUtf8(c.after));
    EXPECT_EQ(handled, c.result);  // the form's check only runs after the built-in one passed
    EXPECT_EQ(messages.texts,
              *c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{});
  }
}

TEST_F(CMultiComboTest, PickListIsNeverTypeCheckedButStillAsksTheForm) {
  Messages messages;
  Host host;
  host.combo->SetStyle(csDropDownList);
  host.combo->SetComboBoxType(ctCalendar);
  host.combo->AddCodeItem("81", Lit("毎日"));
  host.combo->AddCodeItem("1", Lit("毎週"));
  std::vector<int> results;
  host.combo->SetOnUserValidate([&](TMultiCombo&, int& result) { results.push_back(result); });
  QSignalSpy changes(host.combo, &TMultiCombo::UserChanged);
  host.Enter();

  QTest::keyClick(host.combo, Qt::Key_Tab);  // left without a change: no check
  EXPECT_TRUE(results.empty());

  host.combo->setFocus(Qt::TabFocusReason);
  QTest::keyClick(host.combo, Qt::Key_Down);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_TRUE(host.combo->Changed());
  EXPECT_EQ(host.combo->GetSelCode(), "1");
  QTest::keyClick(host.combo, Qt::Key_Tab);
  EXPECT_EQ(results, std::vector<int>{1});
  EXPECT_FALSE(host.combo->Changed());
  EXPECT_TRUE(host.other->hasFocus());
  EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(CMultiComboTest, LeavingChecksTypedTextAndARefusalKeepsTheFocus) {
  Messages messages;
  Host host;
  host.combo->SetComboBoxType(ctNumCode);
  QSignalSpy added(host.add, &QPushButton::clicked);
  host.Enter();

  QTest::keyClicks(host.combo, u"1"_s);
  QTest::keyClick(host.combo, Qt::Key_Backspace);
  QTest::keyClick(host.combo, Qt::Key_Tab);  // empty: no check, still changed
  EXPECT_TRUE(messages.texts.isEmpty());
  EXPECT_TRUE(host.combo->Changed());
  EXPECT_TRUE(host.other->hasFocus());

  host.combo->setFocus(Qt::TabFocusReason);
  QTest::keyClicks(host.combo, u"x"_s);
  QTest::mouseClick(host.cancel, Qt::LeftButton);  // 取消 never checks
  EXPECT_TRUE(messages.texts.isEmpty());
  EXPECT_TRUE(host.cancel->hasFocus());

  host.combo->setFocus(Qt::TabFocusReason);
  QTest::mouseClick(host.add, Qt::LeftButton);
  EXPECT_EQ(messages.texts, QStringList{u"数字だけを入力してください。"_s});
  EXPECT_TRUE(host.combo->hasFocus());
  EXPECT_EQ(added.count(), 0);
  EXPECT_EQ(host.combo->currentText(), u"x"_s);
  EXPECT_TRUE(host.combo->Changed());

  host.combo->lineEdit()->selectAll();
  QTest::keyClicks(host.combo, u"42"_s);
  QTest::keyClick(host.combo, Qt::Key_Tab);
  EXPECT_EQ(messages.texts.size(), 1);
  EXPECT_FALSE(host.combo->Changed());
  EXPECT_TRUE(host.other->hasFocus());
  EXPECT_EQ(host.combo->count(), 0);  // typed text never joins the list
}

TEST_F(CMultiComboTest, TypedTextStaysWithinTheByteLimit) {
  Messages messages;
  Host host;
  host.combo->SetComboBoxType(ctNone);
  host.combo->SetMaxLength(5);
  host.Enter();
  for (const QString& ch : {QStringLiteral("日"), QStringLiteral("本"), QStringLiteral("語"),
                            QStringLiteral("A"), QStringLiteral("B")}) {
    QTest::sendKeyEvent(QTest::Click, host.combo, Qt::Key_unknown, ch, Qt::NoModifier);
  }
  EXPECT_EQ(host.combo->currentText(), QStringLiteral("日本A"));
  QTest::sendKeyEvent(QTest::Click, host.combo, Qt::Key_unknown,
                      QString::fromUtf8("\xF0\x9F\x98\x80"), Qt::NoModifier);
  EXPECT_EQ(host.combo->currentText(), QStringLiteral("日本A"));
  QCoreApplication::processEvents();
  EXPECT_EQ(messages.texts, QStringList{QStringLiteral("この文字は使えません。")});
}

TEST_F(CMultiComboTest, CodesFollowTheirItems) {
  TMemMultiCombo combo;
  EXPECT_EQ(combo.GetSelCode(), "");
  EXPECT_EQ(combo.GetSelName(), "");
  const TCodeData days = Days(31);
  FillCombo(days, combo);
  EXPECT_EQ(combo.count(), 31);
  combo.setCurrentIndex(30);
  EXPECT_EQ(combo.GetSelCode(), "31");
  EXPECT_EQ(combo.GetSelName(), Lit("31日"));

  // The yearly day list: cleared and refilled for a 30-day month.
  combo.clear();
  EXPECT_TRUE(combo.Codes().empty());
  for (std::size_t i = 0; i < 30; ++i) {
    EXPECT_EQ(combo.AddCodeItem(days.Items()[i].Code, days.Items()[i].Name), static_cast<int>(i));
  }
  combo.setCurrentIndex(29);
  EXPECT_EQ(combo.GetSelCode(), "30");
  EXPECT_EQ(combo.GetSelName(), Lit("30日"));

  // A refill with other codes pairs each item with its own code.
  combo.clear();
  combo.AddCodeItem("81", Lit("毎日"));
  combo.setCurrentIndex(0);
  EXPECT_EQ(combo.GetSelCode(), "81");

  TMemMultiCombo twice;
  FillCombo(days, twice);
  FillCombo(days, twice);
  ASSERT_EQ(twice.count(), 62);
  const std::vector<std::string> codes = twice.Codes();
  for (std::size_t i = 0; i < 62; ++i) {
    twice.setCurrentIndex(static_cast<int>(i));
    EXPECT_EQ(twice.GetSelCode(), days.Items()[i % 31].Code);
    EXPECT_EQ(codes[i], days.Items()[i % 31].Code);
  }
}

TEST_F(CMultiComboTest, SelectNameIgnoresLatinCaseOnlyAndRaisesNoChange) {
  TMemMultiCombo combo;
  combo.SetStyle(csDropDownList);
  for (const char* name : {"ABC", "def", "ア", "ヂ", "Ａ"}) combo.AddCodeItem("c", Lit(name));
  combo.setCurrentIndex(-1);
  QSignalSpy changes(&combo, &TMultiCombo::UserChanged);
  const struct {
    const char* name;
    int index;  // expected selection afterwards
  } cases[] = {
      {"abc", 0}, {"DEF", 1}, {"xyz", 1},
      {"ヂ", 3},  {"ア", 2},  {"ａ", 2},  // full-width letters are characters of their own
      {"", 2},    {"AB", 2},  {"Ａ", 4},
  };
  for (const auto& c : cases) {
    combo.SelectName(Lit(c.name));
    EXPECT_EQ(combo.currentIndex(), c.index) << c.name;
  }
  EXPECT_EQ(changes.count(), 0);
  EXPECT_FALSE(combo.Changed());
}

TEST_F(CMultiComboTest, ProgramChangesRaiseNothing) {
  TMemMultiCombo combo;
  combo.AddCodeItem("1", "a");
  combo.AddCodeItem("2", "b");
  QSignalSpy changes(&combo, &TMultiCombo::UserChanged);
  combo.setCurrentIndex(1);
  combo.SetText(u"zzz"_s);
  combo.SetStyle(csDropDownList);
  combo.setCurrentIndex(0);
  EXPECT_EQ(changes.count(), 0);
  EXPECT_FALSE(combo.Changed());
}

}  // namespace
}  // namespace vespin::ui
