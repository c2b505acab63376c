#include "QtWidgetTestSupport.h"
#include "dialogs/EventSet.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <fstream>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "Cli.h"
#include "MemoryStream.h"
#include "QtFakeDialogHost.h"
#include "UiText.h"
#include "controls/CGridBase.h"
#include "controls/CMemMultiCombo.h"
#include "controls/CMultiEdit.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "events/EventFile.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

using sjis::Lit;
using Row = std::vector<std::string>;

constexpr const char* kTimeNotice = "時刻はHH:MMまたはHHMMの形式として下さい";
constexpr const char* kCommaNotice = "ｲﾍﾞﾝﾄにカンマ(,)は使えません。";
constexpr const char* kOpenFailed = "vespin.iniを開くことができません。";

// A file as the program writes it (lines in UTF-8 here).
std::string File(const std::vector<std::string>& week, const std::vector<std::string>& month,
                 const std::vector<std::string>& year) {
  std::vector<std::string> lines = {"[週間]"};
  lines.insert(lines.end(), week.begin(), week.end());
  lines.push_back("[月間]");
  lines.insert(lines.end(), month.begin(), month.end());
  lines.push_back("[年間]");
  lines.insert(lines.end(), year.begin(), year.end());
  lines.push_back("[設定]");
  lines.push_back("0,0,CLEAR,BRIGHT,ＭＳ ゴシック,TRUE,9,0,TRUE,TRUE,TRUE,TRUE,FALSE,1");
  lines.push_back("[バージョン]");
  lines.push_back("vespin Ver3.2(2005.04.18)");
  std::string bytes;
  for (const auto& line : lines) bytes += Lit(line) + "\r\n";
  return bytes;
}

std::string SampleFile() {
  return File({"13,10:00,会議,04", "82,12:00,昼休み,02"},
              {"115,09:00,家賃,13", "400,23:00,締め,12"},
              {"0101,00:00,元日,01,FALSE", "0331,18:00,年度末,08,TRUE"});
}

// One table row as UTF-8, for readable comparisons.
Row Utf8Row(const EventTable& table, int row) {
  Row out;
  for (int c = 0; c < table.ColCount(); ++c) out.push_back(sjis::ToUtf8(table.Cell(c, row)));
  return out;
}

QString Ui(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// Types any text, one character per key, as a keyboard or input method would.
void TypeText(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

// Goes into a field as Tab would and replaces its text by typing.
void Type(TMultiEdit* edit, const char* utf8) {
  edit->setFocus(Qt::TabFocusReason);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  TypeText(edit, Ui(utf8));
}

// Picks an item from the drop-down list, as the user does with the mouse or the keyboard.
void Pick(TMemMultiCombo* combo, const char* nameUtf8) {
  const int index = combo->findText(Ui(nameUtf8));
  ASSERT_GE(index, 0) << nameUtf8;
  combo->setFocus(Qt::TabFocusReason);
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  view->setCurrentIndex(view->model()->index(index, 0));
  QTest::keyClick(view, Qt::Key_Return);
  ASSERT_EQ(combo->currentIndex(), index) << nameUtf8;
}

void Click(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton);
}

// A click on a line of a list (1 = the first data line shown).
void ClickLine(CGridBase* grid, int line) {
  const QRect cell = grid->CellRect(0, grid->Table()->TopRow() + line - 1);
  ASSERT_FALSE(cell.isEmpty());
  QTest::mouseClick(grid, Qt::LeftButton, {}, cell.center());
}

void ShowPage(TdlgEventSet& dlg, QWidget* page) {
  auto* bar = dlg.PageEvent()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(dlg.PageEvent()->indexOf(page)).center());
  ASSERT_EQ(dlg.PageEvent()->currentWidget(), page);
}

QString Name(const TMemMultiCombo* combo) {
  return combo->currentText();
}

class EventSetTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterFontSubstitutions(); }

  // Opens the dialog as the main window's menu does and lets `user` work in it; returns once
  // it has closed. Message boxes of the controls are answered and kept. The clock is held while
  // the dialog is open, whoever opened it.
  void Open(TdlgEventSet& dlg, const std::function<void(TdlgEventSet&)>& user, int month = 1,
            int day = 1) {
    EXPECT_FALSE(host_->State().ClockPaused);
    ScopedModalHandler handler([&](QDialog& shown) {
      auto* self = dynamic_cast<TdlgEventSet*>(&shown);
      if (!self) {
        if (auto* box = dynamic_cast<TMessageForm*>(&shown)) {
          boxes_.push_back(box->MessageLabel()->text().toStdString());
        }
        return kIdOk;
      }
      self->activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(self));
      EXPECT_TRUE(host_->State().ClockPaused);
      user(*self);
      return self->result();
    });
    dlg.Execute(month, day);
  }

  void MakeHost(const std::string& fileBytes = SampleFile()) {
    host_ = std::make_unique<test::FakeDialogHost>(fileBytes);
  }

  std::unique_ptr<test::FakeDialogHost> host_;
  std::vector<std::string> boxes_;
};

// ---------------------------------------------------------------------------------------------
// The window

TEST_F(EventSetTest, WindowAndControls) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  EXPECT_EQ(dlg.windowTitle(), Ui("ｲﾍﾞﾝﾄ"));
  EXPECT_EQ(dlg.size(), QSize(616, 469));
  EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
  EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(dlg.windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_EQ(dlg.palette().color(QPalette::Window), QColor(192, 192, 192));
  EXPECT_TRUE(dlg.pbExec()->isDefault());
  EXPECT_EQ(dlg.pbExec()->text(), Ui("実行"));
  EXPECT_EQ(dlg.pbCancel()->text(), Ui("取消"));

  QTabWidget* pages = dlg.PageEvent();
  EXPECT_EQ(pages->geometry(), QRect(16, 16, 584, 400));
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->tabText(0), Ui("年  間"));
  EXPECT_EQ(pages->tabText(1), Ui("月  間"));
  EXPECT_EQ(pages->tabText(2), Ui("週  間"));
  EXPECT_EQ(pages->currentWidget(), dlg.TabYear());

  const struct {
    QWidget* control;
    QRect place;
  } places[] = {
      {dlg.pbExec(), {440, 424, 74, 32}},   {dlg.pbCancel(), {520, 424, 74, 32}},
      {dlg.mcbYMonth(), {8, 40, 105, 24}},  {dlg.mcbYDate(), {113, 40, 72, 24}},
      {dlg.meYTime(), {185, 40, 48, 24}},   {dlg.meYEvent(), {233, 40, 168, 24}},
      {dlg.mcbYAlarm(), {401, 40, 96, 24}}, {dlg.Panel1(), {497, 40, 48, 24}},
      {dlg.mcbMType(), {8, 40, 105, 24}},   {dlg.mcbMDate(), {113, 40, 72, 24}},
      {dlg.mcbMDay(), {113, 40, 72, 24}},   {dlg.meMTime(), {185, 40, 48, 24}},
      {dlg.meMEvent(), {233, 40, 168, 24}}, {dlg.mcbMAlarm(), {401, 40, 96, 24}},
      {dlg.mcbWType(), {8, 40, 105, 24}},   {dlg.mcbWDay(), {113, 40, 72, 24}},
      {dlg.meWTime(), {185, 40, 48, 24}},   {dlg.meWEvent(), {233, 40, 168, 24}},
      {dlg.mcbWAlarm(), {401, 40, 96, 24}}, {dlg.pbYAdd(), {320, 320, 74, 32}},
      {dlg.pbYUpd(), {400, 320, 74, 32}},   {dlg.pbYDel(), {480, 320, 74, 32}},
      {dlg.pbMAdd(), {320, 320, 74, 32}},   {dlg.pbMUpd(), {400, 320, 74, 32}},
      {dlg.pbMDel(), {480, 320, 74, 32}},   {dlg.pbWAdd(), {320, 320, 74, 32}},
      {dlg.pbWUpd(), {400, 320, 74, 32}},   {dlg.pbWDel(), {480, 320, 74, 32}},
  };
  for (const auto& p : places) EXPECT_EQ(p.control->geometry(), p.place) << p.control;
  EXPECT_EQ(dlg.cbYDel()->parentWidget(), dlg.Panel1());
  EXPECT_EQ(dlg.cbYDel()->size(), QSize(17, 17));
  EXPECT_TRUE(dlg.cbYDel()->text().isEmpty());

  for (TMemMultiCombo* combo :
       {dlg.mcbYMonth(), dlg.mcbYDate(), dlg.mcbYAlarm(), dlg.mcbMType(), dlg.mcbMDate(),
        dlg.mcbMDay(), dlg.mcbMAlarm(), dlg.mcbWType(), dlg.mcbWDay(), dlg.mcbWAlarm()}) {
    EXPECT_EQ(combo->Style(), csDropDownList);
    EXPECT_FALSE(combo->isEditable());
    const bool dayOfMonth = combo == dlg.mcbYDate() || combo == dlg.mcbMDate();
    EXPECT_EQ(combo->maxVisibleItems(), dayOfMonth ? 31 : 20);
    EXPECT_EQ(combo->inputMethodHints(), combo == dlg.mcbMDay() ? Qt::ImhNone : Qt::ImhLatinOnly);
  }
  for (TMultiEdit* time : {dlg.meYTime(), dlg.meMTime(), dlg.meWTime()}) {
    EXPECT_EQ(time->EditType(), etNone);
    EXPECT_EQ(time->MaxLength(), 5);
    EXPECT_TRUE(time->inputMethodHints() & Qt::ImhLatinOnly);
  }
  for (TMultiEdit* text : {dlg.meYEvent(), dlg.meMEvent(), dlg.meWEvent()}) {
    EXPECT_EQ(text->EditType(), etNone);
    EXPECT_EQ(text->MaxLength(), 32);
    EXPECT_EQ(text->inputMethodHints(), Qt::ImhNone);
  }
}

TEST_F(EventSetTest, ListsShowTheirColumnsOverTheLoadedTables) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  const struct {
    CGridBase* grid;
    std::span<const ColumnSpec> columns;
    int width;  // at eight pixels per letter
    int rows;
  } lists[] = {
      {dlg.gbYear(), YearColumns(), 540, 2},
      {dlg.gbMonth(), MonthColumns(), 492, 2},
      {dlg.gbWeek(), WeekColumns(), 492, 2},
  };
  for (const auto& l : lists) {
    // The tables were loaded before the dialog existed, and are still full.
    EXPECT_EQ(l.grid->Table()->DataRowCount(), l.rows);
    EXPECT_EQ(l.grid->pos(), QPoint(8, 72));
    EXPECT_EQ(l.grid->height(), 229);
    EXPECT_EQ(l.grid->focusPolicy(), Qt::StrongFocus);  // reached by Tab and by a click
    for (std::size_t c = 0; c < l.columns.size(); ++c) {
      const int col = static_cast<int>(c);
      EXPECT_EQ(l.grid->ColumnAlignment(col), l.columns[c].align);
      EXPECT_EQ(l.grid->ColumnPixelWidth(col) == 0, l.columns[c].width == 0);
      EXPECT_EQ(sjis::ToUtf8(l.grid->Table()->Cell(col, 0)),
                l.columns[c].width > 0 ? l.columns[c].titleUtf8 : "");
    }
    // 540 and 492 pixels at eight pixels per letter; other fonts give each column more air.
    const int w = l.grid->LetterWidth();
    int letters = 0, shown = 0;
    for (const ColumnSpec& column : l.columns) {
      letters += column.width;
      shown += column.width > 0 ? 1 : 0;
    }
    const int expected = letters * w + shown * ((w == 8 ? 7 : 9) + 1) + 4;
    if (w == 8) {
      EXPECT_EQ(expected, l.width);
    }
    EXPECT_EQ(l.grid->width(), expected);
  }
  EXPECT_EQ(dlg.gbYear()->ColumnAlignment(YearCol::kDelete), CGridBase::kAlignCheckBox);
}

TEST_F(EventSetTest, ListWidthsAtEightPixelsPerLetter) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  for (auto [grid, columns, width] : {std::tuple{dlg.gbYear(), YearColumns(), 540},
                                      std::tuple{dlg.gbMonth(), MonthColumns(), 492},
                                      std::tuple{dlg.gbWeek(), WeekColumns(), 492}}) {
    grid->SetLetterWidth(8);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      grid->DefineColumn(static_cast<int>(c), Lit(columns[c].titleUtf8), columns[c].width,
                         columns[c].align);
    }
    grid->ComputeLayout();
    EXPECT_EQ(grid->width(), width);
    EXPECT_EQ(grid->Table()->DataRowCount(), 2);
    // The ninth row brings the scroll bar and sixteen pixels with it.
    for (int i = 0; i < 7; ++i) {
      grid->Table()->InsertRow(1, std::vector<std::string>(columns.size(), "x"));
    }
    EXPECT_EQ(grid->width(), width + 16);
  }
}

TEST_F(EventSetTest, InitialInputs) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  EXPECT_EQ(Name(dlg.mcbWType()), Ui("毎週"));
  EXPECT_EQ(Name(dlg.mcbWDay()), Ui("日曜"));
  EXPECT_EQ(Name(dlg.mcbWAlarm()), Ui("起動時"));
  EXPECT_FALSE(dlg.mcbWDay()->isHidden());
  EXPECT_EQ(Name(dlg.mcbMType()), Ui("毎月"));
  EXPECT_EQ(Name(dlg.mcbMDate()), Ui("1日"));
  EXPECT_EQ(dlg.mcbMDate()->count(), 31);
  EXPECT_EQ(Name(dlg.mcbMDay()), Ui("日曜"));
  EXPECT_FALSE(dlg.mcbMDate()->isHidden());
  EXPECT_TRUE(dlg.mcbMDay()->isHidden());
  EXPECT_EQ(Name(dlg.mcbYMonth()), Ui("1月"));
  EXPECT_EQ(dlg.mcbYDate()->count(), 31);
  EXPECT_EQ(Name(dlg.mcbYDate()), Ui("1日"));
  EXPECT_EQ(dlg.mcbWType()->count(), 14);
  EXPECT_EQ(dlg.mcbMType()->count(), 4);
  EXPECT_EQ(dlg.mcbYAlarm()->count(), 15);
  for (TMultiEdit* edit : {dlg.meYTime(), dlg.meYEvent(), dlg.meMTime(), dlg.meMEvent(),
                           dlg.meWTime(), dlg.meWEvent()}) {
    EXPECT_TRUE(edit->text().isEmpty());
  }
  EXPECT_FALSE(dlg.cbYDel()->isChecked());
}

TEST_F(EventSetTest, TabOrderOfEveryPage) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  std::vector<std::vector<QWidget*>> seen;
  Open(dlg, [&](TdlgEventSet& d) {
    for (QWidget* page : {d.TabYear(), d.TabMonth(), d.TabWeek()}) {
      ShowPage(d, page);
      if (page == d.TabMonth()) Pick(d.mcbMType(), "最初の");  // the weekday combo shows
      d.PageEvent()->setFocus(Qt::TabFocusReason);
      std::vector<QWidget*> order;
      for (int i = 0; i < 14; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(QApplication::focusWidget());
      }
      seen.push_back(order);
    }
    Click(d.pbCancel());
  });
  ASSERT_EQ(seen.size(), 3u);
  QWidget* bar = dlg.PageEvent()->tabBar();
  // Each list in its place: the yearly one heads its page, the others follow the inputs.
  const std::vector<QWidget*> year = {
      dlg.gbYear(), dlg.mcbYMonth(), dlg.mcbYDate(), dlg.meYTime(), dlg.meYEvent(), dlg.mcbYAlarm(),
      dlg.cbYDel(), dlg.pbYAdd(),    dlg.pbYUpd(),   dlg.pbYDel(),  dlg.pbExec(),   dlg.pbCancel(),
      bar,          dlg.gbYear()};
  EXPECT_EQ(seen[0], year);
  // The monthly page's weekday combo stands last, after the buttons, as it always has.
  const std::vector<QWidget*> month = {
      dlg.mcbMType(), dlg.meMTime(), dlg.meMEvent(), dlg.mcbMAlarm(), dlg.gbMonth(),
      dlg.pbMAdd(),   dlg.pbMUpd(),  dlg.pbMDel(),   dlg.mcbMDay(),   dlg.pbExec(),
      dlg.pbCancel(), bar,           dlg.mcbMType(), dlg.meMTime()};
  EXPECT_EQ(seen[1], month);
  const std::vector<QWidget*> week = {
      dlg.mcbWType(), dlg.mcbWDay(), dlg.meWTime(),  dlg.meWEvent(), dlg.mcbWAlarm(),
      dlg.gbWeek(),   dlg.pbWAdd(),  dlg.pbWUpd(),   dlg.pbWDel(),   dlg.pbExec(),
      dlg.pbCancel(), bar,           dlg.mcbWType(), dlg.mcbWDay()};
  EXPECT_EQ(seen[2], week);
}

// Tab presses until `target` has the focus (at most one round of the dialog).
bool TabTo(QWidget* target) {
  for (int i = 0; i < 30 && QApplication::focusWidget() != target; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  return QApplication::focusWidget() == target;
}

// The keyboard alone: Tab into the list, the arrows choose a row, which comes into the inputs;
// a new text typed and 更新 pressed with Space changes that row, 削除 deletes it.
TEST_F(EventSetTest, KeyboardAloneChoosesARowForUpdateAndDelete) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  const struct {
    QWidget* page;
    CGridBase* list;
    TMultiEdit* text;
    QPushButton* update;
    QPushButton* remove;
  } pages[] = {
      {dlg.TabYear(), dlg.gbYear(), dlg.meYEvent(), dlg.pbYUpd(), dlg.pbYDel()},
      {dlg.TabMonth(), dlg.gbMonth(), dlg.meMEvent(), dlg.pbMUpd(), dlg.pbMDel()},
      {dlg.TabWeek(), dlg.gbWeek(), dlg.meWEvent(), dlg.pbWUpd(), dlg.pbWDel()},
  };
  Open(dlg, [&](TdlgEventSet& d) {
    for (const auto& p : pages) {
      SCOPED_TRACE(p.list->objectName().toStdString());
      EventTable& table = *p.list->Table();
      const auto textOf = [&](int row) { return sjis::ToUtf8(table.Cell(YearCol::kText, row)); };
      ShowPage(d, p.page);
      d.PageEvent()->tabBar()->setFocus(Qt::TabFocusReason);
      ASSERT_TRUE(TabTo(p.list));
      QTest::keyClick(p.list, Qt::Key_Home);
      QTest::keyClick(p.list, Qt::Key_Down);
      ASSERT_EQ(table.SelectedRow(), 2);
      const std::string first = textOf(1);
      EXPECT_EQ(p.text->text().toStdString(), textOf(2));

      ASSERT_TRUE(TabTo(p.text));
      QTest::keyClick(p.text, Qt::Key_A, Qt::ControlModifier);
      TypeText(p.text, Ui("変更後"));
      ASSERT_TRUE(TabTo(p.update));
      QTest::keyClick(p.update, Qt::Key_Space);
      ASSERT_EQ(table.DataRowCount(), 2);
      EXPECT_EQ(textOf(table.SelectedRow()), "変更後");

      ASSERT_TRUE(TabTo(p.remove));
      QTest::keyClick(p.remove, Qt::Key_Space);
      ASSERT_EQ(table.DataRowCount(), 1);
      EXPECT_EQ(textOf(1), first);
    }
    EXPECT_TRUE(boxes_.empty());
    Click(d.pbCancel());
  });
}

// A list the user clicked into holds its place in the order too: Tab goes on to the control
// after it, Shift+Tab back to the one before it.
TEST_F(EventSetTest, TabFromAClickedListKeepsThePageOrder) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  const auto named = [&](const char* name) {
    auto* w = dlg.findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  };
  const auto nameOf = [](const QWidget* w) {
    return w ? w->objectName().toStdString() : std::string("(none)");
  };
  const struct {
    const char* page;
    const char* list;
    const char* after;
    const char* before;  // empty: the page tabs
  } cases[] = {
      {"TabYear", "gbYear", "mcbYMonth", ""},  // the list heads the yearly page
      {"TabMonth", "gbMonth", "pbMAdd", "mcbMAlarm"},
      {"TabWeek", "gbWeek", "pbWAdd", "mcbWAlarm"},
  };
  QWidget* bar = dlg.PageEvent()->tabBar();
  Open(dlg, [&](TdlgEventSet& d) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.page);
      auto* list = qobject_cast<CGridBase*>(named(c.list));
      ASSERT_NE(list, nullptr);
      ShowPage(d, named(c.page));
      ClickLine(list, 1);
      ASSERT_TRUE(list->hasFocus());
      QTest::keyClick(list, Qt::Key_Tab);
      EXPECT_EQ(nameOf(QApplication::focusWidget()), c.after);
      ClickLine(list, 2);
      ASSERT_TRUE(list->hasFocus());
      QTest::keyClick(list, Qt::Key_Tab, Qt::ShiftModifier);
      QWidget* before = *c.before ? named(c.before) : bar;
      EXPECT_EQ(QApplication::focusWidget(), before) << nameOf(QApplication::focusWidget());
    }
    Click(d.pbCancel());
  });
}

// ---------------------------------------------------------------------------------------------
// The time check

TEST_F(EventSetTest, TimeCheckWhenTheFieldIsLeft) {
  const struct {
    const char* typed;
    const char* after;  // the field's text once it was left
    bool accepted;
  } cases[] = {
      {"0930", "09:30", true},   {"2400", "24:00", false}, {"1260", "12:60", false},
      {"9:30", "9:30", false},   {"930", "930", false},    {"09:30", "09:30", true},
      {"23:59", "23:59", true},  {"0000", "00:00", true},  {"12:5", "12:5", false},
      {"ab:cd", "ab:cd", false}, {"", "", true},
  };
  MakeHost();
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.typed);
      host_->ClearNotices();
      Type(d.meYTime(), c.typed);
      QTest::keyClick(d.meYTime(), Qt::Key_Tab);
      EXPECT_EQ(d.meYTime()->text(), Ui(c.after));
      if (c.accepted) {
        EXPECT_TRUE(host_->Notices().empty());
        EXPECT_TRUE(d.meYEvent()->hasFocus());
      } else {
        EXPECT_EQ(host_->Notices(), std::vector<std::string>{kTimeNotice});
        EXPECT_TRUE(d.meYTime()->hasFocus());  // the user stays in the field
      }
    }
    Type(d.meYTime(), "");
    Click(d.pbCancel());
  });
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(EventSetTest, EveryTimeFieldIsChecked) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    const std::tuple<QWidget*, TMultiEdit*, TMultiEdit*> pages[] = {
        {d.TabYear(), d.meYTime(), d.meYEvent()},
        {d.TabMonth(), d.meMTime(), d.meMEvent()},
        {d.TabWeek(), d.meWTime(), d.meWEvent()}};
    for (auto [page, time, text] : pages) {
      ShowPage(d, page);
      Type(time, "1830");
      Type(text, "x");
      EXPECT_EQ(time->text(), u"18:30"_s);
      Type(time, "1890");
      Click(text);
      EXPECT_TRUE(time->hasFocus());
      Type(time, "");
    }
    EXPECT_EQ(host_->Notices().size(), 3u);
    Click(d.pbCancel());
  });
}

TEST_F(EventSetTest, ARefusedTimeKeepsItsPage) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    auto* bar = d.PageEvent()->tabBar();
    Type(d.meYTime(), "2561");
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_EQ(d.PageEvent()->currentWidget(), d.TabYear());
    EXPECT_TRUE(d.meYTime()->hasFocus());
    EXPECT_EQ(host_->Notices(), std::vector<std::string>{kTimeNotice});

    // Turned from the keyboard, the page goes; the hidden field neither complains nor pulls
    // the focus back, and is checked when it is next left.
    QTest::keyClick(d.meYTime(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(d.PageEvent()->currentWidget(), d.TabMonth());
    Type(d.meMTime(), "0800");
    Type(d.meMEvent(), "x");
    EXPECT_EQ(d.meMTime()->text(), u"08:00"_s);
    EXPECT_TRUE(d.meMEvent()->hasFocus());
    EXPECT_EQ(host_->Notices().size(), 1u);
    ShowPage(d, d.TabYear());
    EXPECT_EQ(d.meYTime()->text(), u"25:61"_s);
    Type(d.meYEvent(), "y");
    Click(d.pbYAdd());  // the time is checked before it can become a row
    EXPECT_EQ(host_->Notices().size(), 2u);
    EXPECT_EQ(host_->Store().year.DataRowCount(), 2);
    EXPECT_TRUE(d.meYTime()->hasFocus());
    Type(d.meYTime(), "");
    Click(d.pbCancel());
  });
}

// ---------------------------------------------------------------------------------------------
// Adding, changing and deleting

TEST_F(EventSetTest, AddWeeklyEvents) {
  MakeHost(File({}, {}, {}));
  TdlgEventSet dlg(*host_);
  const EventTable& week = host_->Store().week;
  Open(dlg, [&](TdlgEventSet& d) {
    ShowPage(d, d.TabWeek());
    Pick(d.mcbWType(), "毎日");
    EXPECT_TRUE(d.mcbWDay()->isHidden());
    Type(d.meWTime(), "0700");
    Type(d.meWEvent(), "散歩");
    Pick(d.mcbWAlarm(), "5分前");
    Click(d.pbWAdd());
    Pick(d.mcbWType(), "毎週");
    EXPECT_FALSE(d.mcbWDay()->isHidden());
    Pick(d.mcbWDay(), "月曜");
    Type(d.meWTime(), "09:00");
    Type(d.meWEvent(), "朝会");
    Pick(d.mcbWAlarm(), "起動時");
    Click(d.pbWAdd());
    // Not sorted: the new row goes directly below the selected one.
    ClickLine(d.gbWeek(), 1);
    Pick(d.mcbWType(), "第２");
    Pick(d.mcbWDay(), "火曜");
    Type(d.meWTime(), "1000");
    Type(d.meWEvent(), "部内会議");
    Click(d.pbWAdd());
    EXPECT_EQ(week.SelectedRow(), 2);
    Click(d.pbExec());
  });
  ASSERT_EQ(week.DataRowCount(), 3);
  EXPECT_EQ(Utf8Row(week, 1), (Row{"毎日", "", "07:00", "散歩", "5分前", "81", "04", ""}));
  EXPECT_EQ(Utf8Row(week, 2), (Row{"第２", "火曜", "10:00", "部内会議", "5分前", "33", "04", ""}));
  EXPECT_EQ(Utf8Row(week, 3), (Row{"毎週", "月曜", "09:00", "朝会", "起動時", "12", "01", ""}));
}

TEST_F(EventSetTest, MonthlyLastDayKeepsItsKeyAfterUpdate) {
  MakeHost(File({}, {"115,09:00,家賃,13"}, {}));
  TdlgEventSet dlg(*host_);
  const EventTable& month = host_->Store().month;
  Open(dlg, [&](TdlgEventSet& d) {
    ShowPage(d, d.TabMonth());
    Pick(d.mcbMType(), "末日");
    EXPECT_TRUE(d.mcbMDate()->isHidden());
    EXPECT_TRUE(d.mcbMDay()->isHidden());
    Type(d.meMTime(), "2300");
    Type(d.meMEvent(), "締め");
    Pick(d.mcbMAlarm(), "12時間前");
    Click(d.pbMAdd());
    ASSERT_EQ(month.DataRowCount(), 2);
    EXPECT_EQ(month.SelectedRow(), 2);  // sorted after 115
    EXPECT_EQ(Utf8Row(month, 2),
              (Row{"末日", "", "23:00", "締め", "12時間前", "400", "12", "", "400 23:00"}));
    Type(d.meMTime(), "2200");
    Click(d.pbMUpd());
    EXPECT_EQ(Utf8Row(month, 2),
              (Row{"末日", "", "22:00", "締め", "12時間前", "400", "12", "", "400 22:00"}));
    // 最初の 火曜 sorts between 毎月 and 末日, and the selection follows it.
    ClickLine(d.gbMonth(), 1);
    EXPECT_EQ(Name(d.mcbMType()), Ui("毎月"));
    EXPECT_EQ(Name(d.mcbMDate()), Ui("15日"));
    Pick(d.mcbMType(), "最初の");
    EXPECT_FALSE(d.mcbMDay()->isHidden());
    Pick(d.mcbMDay(), "火曜");
    Type(d.meMTime(), "1830");
    Type(d.meMEvent(), "ジム");
    Click(d.pbMAdd());
    EXPECT_EQ(month.SelectedRow(), 2);
    Click(d.pbExec());
  });
  ASSERT_EQ(month.DataRowCount(), 3);
  EXPECT_EQ(Utf8Row(month, 1)[8], "115 09:00");
  EXPECT_EQ(Utf8Row(month, 2),
            (Row{"最初の", "火曜", "18:30", "ジム", "1日前", "203", "13", "", "203 18:30"}));
  EXPECT_EQ(Utf8Row(month, 3)[8], "400 22:00");
}

TEST_F(EventSetTest, MonthlyClickShowsTheDayControlOfTheRow) {
  MakeHost(File({}, {"115,09:00,a,13", "306,18:00,b,07", "400,23:00,c,12"}, {}));
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    ShowPage(d, d.TabMonth());
    ClickLine(d.gbMonth(), 2);
    EXPECT_EQ(Name(d.mcbMType()), Ui("最後の"));
    EXPECT_EQ(Name(d.mcbMDay()), Ui("金曜"));
    EXPECT_FALSE(d.mcbMDay()->isHidden());
    EXPECT_TRUE(d.mcbMDate()->isHidden());
    EXPECT_EQ(d.meMTime()->text(), u"18:00"_s);
    EXPECT_EQ(Name(d.mcbMAlarm()), Ui("30分前"));
    ClickLine(d.gbMonth(), 3);  // 末日 leaves both day controls as they were
    EXPECT_EQ(Name(d.mcbMDay()), Ui("金曜"));
    EXPECT_EQ(Name(d.mcbMDate()), Ui("1日"));
    EXPECT_TRUE(d.mcbMDay()->isHidden());
    EXPECT_TRUE(d.mcbMDate()->isHidden());
    ClickLine(d.gbMonth(), 1);
    EXPECT_EQ(Name(d.mcbMDate()), Ui("15日"));
    EXPECT_FALSE(d.mcbMDate()->isHidden());
    Click(d.pbCancel());
  });
}

TEST_F(EventSetTest, YearlyDayListFollowsTheMonth) {
  MakeHost(File({}, {}, {}));
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    Pick(d.mcbYMonth(), "3月");
    Pick(d.mcbYDate(), "31日");
    Pick(d.mcbYMonth(), "2月");
    EXPECT_EQ(d.mcbYDate()->count(), 29);
    EXPECT_EQ(Name(d.mcbYDate()), Ui("29日"));
    EXPECT_EQ(d.mcbYDate()->GetSelCode(), "29");
    Pick(d.mcbYMonth(), "3月");
    EXPECT_EQ(d.mcbYDate()->count(), 31);
    EXPECT_EQ(Name(d.mcbYDate()), Ui("29日"));
    Pick(d.mcbYMonth(), "4月");
    EXPECT_EQ(d.mcbYDate()->count(), 30);
    EXPECT_EQ(d.mcbYDate()->Codes().back(), "30");
    Click(d.pbCancel());
  });
}

TEST_F(EventSetTest, YearlyRowsIntoTheInputsAndBack) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  const EventTable& year = host_->Store().year;
  Open(dlg, [&](TdlgEventSet& d) {
    Pick(d.mcbYMonth(), "2月");
    EXPECT_EQ(d.mcbYDate()->count(), 29);
    ClickLine(d.gbYear(), 2);  // 3月31日, ticked for deletion
    EXPECT_EQ(Name(d.mcbYMonth()), Ui("3月"));
    EXPECT_EQ(Name(d.mcbYDate()), Ui("31日"));
    EXPECT_EQ(d.meYTime()->text(), u"18:00"_s);
    EXPECT_EQ(d.meYEvent()->text(), Ui("年度末"));
    EXPECT_EQ(Name(d.mcbYAlarm()), Ui("1時間前"));
    EXPECT_TRUE(d.cbYDel()->isChecked());

    Pick(d.mcbYMonth(), "2月");
    Type(d.meYTime(), "1200");
    Type(d.meYEvent(), "バレンタイン");
    Click(d.cbYDel());
    EXPECT_FALSE(d.cbYDel()->isChecked());
    Click(d.pbYAdd());
    EXPECT_EQ(year.SelectedRow(), 2);  // sorted between 0101 and 0331
    Click(d.pbCancel());
  });
}

TEST_F(EventSetTest, YearlyAddSortsAndUpdateClearsTheDoneMark) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  EventTable& year = host_->Store().year;
  year.SetCell(YearCol::kDone, 2, "x");  // the engine announced it today
  Open(dlg, [&](TdlgEventSet& d) {
    Pick(d.mcbYMonth(), "2月");
    Pick(d.mcbYDate(), "14日");
    Type(d.meYTime(), "1200");
    Type(d.meYEvent(), "バレンタイン");
    Pick(d.mcbYAlarm(), "1日前");
    Click(d.pbYAdd());
    EXPECT_EQ(year.SelectedRow(), 2);
    EXPECT_EQ(Utf8Row(year, 2), (Row{"2月", "14日", "12:00", "バレンタイン", "1日前", "FALSE",
                                     "0214", "13", "", "0214 12:00"}));
    EXPECT_EQ(year.Cell(YearCol::kDone, 3), "x");
    ClickLine(d.gbYear(), 3);
    Click(d.pbYUpd());  // the same inputs, yet the row counts as new
    EXPECT_EQ(year.Cell(YearCol::kDone, 3), "");
    EXPECT_EQ(Utf8Row(year, 3), (Row{"3月", "31日", "18:00", "年度末", "1時間前", "TRUE", "0331",
                                     "08", "", "0331 18:00"}));
    Click(d.pbExec());
  });
}

TEST_F(EventSetTest, DeleteTheLastAndTheOnlyRow) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  const EventTable& week = host_->Store().week;
  const EventTable& year = host_->Store().year;
  Open(dlg, [&](TdlgEventSet& d) {
    ClickLine(d.gbYear(), 2);
    Click(d.pbYDel());
    EXPECT_EQ(year.DataRowCount(), 1);
    EXPECT_EQ(year.SelectedRow(), 1);
    Click(d.pbYDel());
    EXPECT_EQ(year.DataRowCount(), 0);
    Click(d.pbYDel());  // nothing left: nothing happens
    Click(d.pbYUpd());
    EXPECT_EQ(year.DataRowCount(), 0);
    ShowPage(d, d.TabWeek());
    ClickLine(d.gbWeek(), 2);
    Click(d.pbWDel());
    EXPECT_EQ(week.DataRowCount(), 1);
    EXPECT_EQ(sjis::ToUtf8(week.Cell(WeekCol::kText, 1)), "会議");
    Click(d.pbExec());
  });
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(EventSetTest, ClickingAnEmptyListEmptiesTimeAndText) {
  MakeHost(File({}, {}, {}));
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    ShowPage(d, d.TabWeek());
    Pick(d.mcbWType(), "平日");
    Pick(d.mcbWAlarm(), "3時間前");
    Type(d.meWTime(), "0800");
    Type(d.meWEvent(), "通勤");
    ClickLine(d.gbWeek(), 3);
    EXPECT_TRUE(d.meWTime()->text().isEmpty());
    EXPECT_TRUE(d.meWEvent()->text().isEmpty());
    EXPECT_EQ(Name(d.mcbWType()), Ui("平日"));
    EXPECT_EQ(Name(d.mcbWAlarm()), Ui("3時間前"));
    EXPECT_TRUE(d.mcbWDay()->isHidden());
    Click(d.pbCancel());
  });
}

TEST_F(EventSetTest, EmptyInputsAddNothingAndACommaIsRefused) {
  MakeHost(File({}, {}, {}));
  TdlgEventSet dlg(*host_);
  const EventTable& week = host_->Store().week;
  Open(dlg, [&](TdlgEventSet& d) {
    ShowPage(d, d.TabWeek());
    Type(d.meWTime(), "0800");
    Click(d.pbWAdd());  // no text
    Type(d.meWTime(), "");
    Type(d.meWEvent(), "x");
    Click(d.pbWAdd());  // no time
    EXPECT_EQ(week.DataRowCount(), 0);
    EXPECT_TRUE(host_->Notices().empty());

    Type(d.meWTime(), "0800");
    Type(d.meWEvent(), "会議,資料");
    Click(d.pbWAdd());
    EXPECT_EQ(week.DataRowCount(), 0);
    EXPECT_EQ(host_->Notices(), std::vector<std::string>{kCommaNotice});
    EXPECT_TRUE(d.meWEvent()->hasFocus());
    Type(d.meWEvent(), "会議、資料");  // the full-width comma is an ordinary character
    Click(d.pbWAdd());
    EXPECT_EQ(week.DataRowCount(), 1);
    Type(d.meWEvent(), "a,b");
    Click(d.pbWUpd());
    EXPECT_EQ(host_->Notices().size(), 2u);
    EXPECT_EQ(sjis::ToUtf8(week.Cell(WeekCol::kText, 1)), "会議、資料");
    Click(d.pbCancel());
  });
}

TEST_F(EventSetTest, TheNinthRowBringsTheScrollBar) {
  std::vector<std::string> eight;
  for (int i = 1; i <= 8; ++i) eight.push_back("12,0" + std::to_string(i) + ":00,e,01");
  MakeHost(File(eight, {}, {}));
  TdlgEventSet dlg(*host_);
  const EventTable& week = host_->Store().week;
  Open(dlg, [&](TdlgEventSet& d) {
    ShowPage(d, d.TabWeek());
    EXPECT_FALSE(d.gbWeek()->VerticalScrollBar()->isVisible());
    const int narrow = d.gbWeek()->width();
    ClickLine(d.gbWeek(), 8);
    Type(d.meWTime(), "2100");
    Type(d.meWEvent(), "nine");
    Click(d.pbWAdd());
    EXPECT_EQ(week.DataRowCount(), 9);
    EXPECT_EQ(week.SelectedRow(), 9);
    EXPECT_TRUE(d.gbWeek()->VerticalScrollBar()->isVisible());
    EXPECT_EQ(d.gbWeek()->width(), narrow + 16);
    EXPECT_FALSE(d.gbWeek()->CellRect(0, 9).isEmpty());  // scrolled into view
    Click(d.pbCancel());
  });
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

TEST_F(EventSetTest, MenuPreselectsMonthAndDayByPosition) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  const struct {
    int month, day;
    const char *monthName, *dayName;
    int days;
  } cases[] = {{4, 18, "4月", "18日", 30},
               {2, 31, "2月", "29日", 29},
               {12, 31, "12月", "31日", 31},
               {6, 31, "6月", "30日", 30}};
  for (const auto& c : cases) {
    Open(
        dlg,
        [&](TdlgEventSet& d) {
          EXPECT_EQ(Name(d.mcbYMonth()), Ui(c.monthName));
          EXPECT_EQ(Name(d.mcbYDate()), Ui(c.dayName));
          EXPECT_EQ(d.mcbYDate()->count(), c.days);
          Click(d.pbCancel());
        },
        c.month, c.day);
  }
}

TEST_F(EventSetTest, EnterSavesFromTheFieldsAndEscCancels) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  for (int field = 0; field < 3; ++field) {
    host_->saves = 0;
    host_->ticks.clear();
    Open(dlg, [&](TdlgEventSet& d) {
      QWidget* target = field == 0   ? static_cast<QWidget*>(d.meYEvent())
                        : field == 1 ? static_cast<QWidget*>(d.mcbYAlarm())
                                     : static_cast<QWidget*>(d.gbYear());
      target->setFocus(Qt::OtherFocusReason);
      QTest::keyClick(target, Qt::Key_Return);
      EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(host_->saves, 1) << field;
    EXPECT_EQ(host_->ticks, std::vector<int>{100});
    EXPECT_FALSE(host_->State().ClockPaused);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }
  Open(dlg, [&](TdlgEventSet& d) {
    QTest::keyClick(d.meYTime(), Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
  });
  EXPECT_EQ(host_->loads, 1);
  EXPECT_FALSE(host_->State().ClockPaused);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST_F(EventSetTest, CancelDiscardsEditsAndKeepsDoneMarks) {
  MakeHost();
  EventStore& store = host_->Store();
  store.week.SetCell(WeekCol::kDone, 2, "x");
  store.month.SetCell(MonthCol::kDone, 1, "x");
  store.year.SetCell(YearCol::kDone, 1, "x");
  const std::string before = FormatEventFile(store, Settings{});
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    Pick(d.mcbYMonth(), "5月");
    Type(d.meYTime(), "0900");
    Type(d.meYEvent(), "新しい");
    Click(d.pbYAdd());
    ShowPage(d, d.TabWeek());
    ClickLine(d.gbWeek(), 1);
    Click(d.pbWDel());
    EXPECT_EQ(store.week.DataRowCount(), 1);
    Click(d.pbCancel());
  });
  EXPECT_EQ(host_->loads, 1);
  EXPECT_EQ(host_->saves, 0);
  EXPECT_FALSE(host_->State().ClockPaused);
  EXPECT_TRUE(host_->ticks.empty());
  EXPECT_EQ(FormatEventFile(store, Settings{}), before);
  EXPECT_EQ(store.week.Cell(WeekCol::kDone, 2), "x");
  EXPECT_EQ(store.week.Cell(WeekCol::kDone, 1), "");
  EXPECT_EQ(store.month.Cell(MonthCol::kDone, 1), "x");
  EXPECT_EQ(store.year.Cell(YearCol::kDone, 1), "x");
  EXPECT_EQ(store.year.DataRowCount(), 2);
}

TEST_F(EventSetTest, CancelAfterAnEditOnDiskGivesTheMarksToTheirOwnRows) {
  MakeHost();
  EventStore& store = host_->Store();
  store.week.SetCell(WeekCol::kDone, 2, "x20050419+");  // 昼休み, done with for today
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    // Meanwhile a hand puts a new event at the top of the weekly section.
    std::string edited = host_->FileBytes();
    edited.insert(edited.find("\r\n") + 2, Lit("13,09:00,朝会,04\r\n"));
    std::ofstream(host_->FilePath(), std::ios::binary) << edited;
    Click(d.pbCancel());
  });
  ASSERT_EQ(store.week.DataRowCount(), 3);
  EXPECT_EQ(sjis::ToUtf8(store.week.Cell(WeekCol::kText, 3)), "昼休み");
  EXPECT_EQ(store.week.Cell(WeekCol::kDone, 3), "x20050419+");
  EXPECT_EQ(store.week.Cell(WeekCol::kDone, 2), "");
  EXPECT_EQ(store.week.Cell(WeekCol::kDone, 1), "");
}

TEST_F(EventSetTest, CloseRequestIsACancel) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    Type(d.meYTime(), "0900");
    Type(d.meYEvent(), "y");
    Click(d.pbYAdd());
    EXPECT_TRUE(d.close());  // the window goes, through 取消
    EXPECT_FALSE(d.isVisible());
  });
  EXPECT_EQ(host_->loads, 1);
  EXPECT_EQ(host_->Store().year.DataRowCount(), 2);
  EXPECT_FALSE(host_->State().ClockPaused);

  // A window that went away without either button still leaves nothing unconfirmed behind.
  Open(dlg, [&](TdlgEventSet& d) { Click(d.pbYDel()); });
  EXPECT_EQ(host_->loads, 2);
  EXPECT_EQ(host_->Store().year.DataRowCount(), 2);
  EXPECT_FALSE(host_->State().ClockPaused);
}

TEST_F(EventSetTest, FailedSaveKeepsTheDialogOpen) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  const std::string original = host_->FileBytes();
  Open(dlg, [&](TdlgEventSet& d) {
    Type(d.meYTime(), "0900");
    Type(d.meYEvent(), "残す");
    Click(d.pbYAdd());
    host_->RemoveFile();
    Click(d.pbExec());
    EXPECT_EQ(host_->Notices(), std::vector<std::string>{kOpenFailed});
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(host_->State().ClockPaused);
    EXPECT_EQ(host_->Store().year.DataRowCount(), 3);
    host_->RestoreFile();
    Click(d.pbExec());  // once more, now that the file is back
    EXPECT_FALSE(d.isVisible());
  });
  EXPECT_EQ(host_->saves, 2);
  EXPECT_FALSE(host_->State().ClockPaused);
  EXPECT_EQ(host_->ticks, std::vector<int>{100});
  EXPECT_NE(host_->FileBytes(), original);
  EXPECT_NE(host_->FileBytes().find(Lit("残す")), std::string::npos);
}

TEST_F(EventSetTest, FailedReloadStillClosesWithTheTablesAsTheyWere) {
  MakeHost();
  EventStore& store = host_->Store();
  store.week.SetCell(WeekCol::kDone, 1, "x");
  const std::string before = FormatEventFile(store, Settings{});
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    Type(d.meYTime(), "0900");
    Type(d.meYEvent(), "消える");
    Click(d.pbYAdd());
    ShowPage(d, d.TabMonth());
    ClickLine(d.gbMonth(), 2);
    Click(d.pbMDel());
    host_->RemoveFile();
    Click(d.pbExec());  // fails: stays open
    EXPECT_TRUE(d.isVisible());
    Click(d.pbCancel());  // fails to reload, closes anyway
    EXPECT_FALSE(d.isVisible());
  });
  EXPECT_EQ(host_->Notices(), (std::vector<std::string>{kOpenFailed, kOpenFailed}));
  EXPECT_FALSE(host_->State().ClockPaused);
  EXPECT_EQ(FormatEventFile(store, Settings{}), before);
  EXPECT_EQ(store.week.Cell(WeekCol::kDone, 1), "x");
  EXPECT_EQ(store.month.DataRowCount(), 2);
}

TEST_F(EventSetTest, TheLastPageStaysSelected) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    ShowPage(d, d.TabMonth());
    Click(d.pbCancel());
  });
  Open(dlg, [&](TdlgEventSet& d) {
    EXPECT_EQ(d.PageEvent()->currentWidget(), d.TabMonth());
    Click(d.pbCancel());
  });
}

TEST_F(EventSetTest, Panel1AroundTheDeleteBox) {
  MakeHost();
  TdlgEventSet dlg(*host_);
  auto back = [&] { return dlg.Panel1()->palette().color(QPalette::Window); };
  EXPECT_EQ(back(), QColor(Qt::white));
  Open(dlg, [&](TdlgEventSet& d) {
    d.mcbYAlarm()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(d.mcbYAlarm(), Qt::Key_Tab);
    EXPECT_TRUE(d.cbYDel()->hasFocus());
    EXPECT_EQ(back(), QColor(0, 0, 128));
    QTest::keyClick(d.cbYDel(), Qt::Key_Tab);
    EXPECT_EQ(back(), QColor(Qt::white));

    // A click on the white part focuses the box and ticks it; a second one unticks it.
    QTest::mouseClick(d.Panel1(), Qt::LeftButton, {}, QPoint(40, 12));
    EXPECT_TRUE(d.cbYDel()->hasFocus());
    EXPECT_TRUE(d.cbYDel()->isChecked());
    EXPECT_EQ(back(), QColor(0, 0, 128));
    QTest::mouseClick(d.Panel1(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(d.cbYDel()->isChecked());

    // Not while the time field refuses to be left.
    Type(d.meYTime(), "2500");
    QTest::mouseClick(d.Panel1(), Qt::LeftButton, {}, QPoint(40, 12));
    EXPECT_FALSE(d.cbYDel()->isChecked());
    EXPECT_TRUE(d.meYTime()->hasFocus());
    Type(d.meYTime(), "");
    Click(d.pbCancel());
  });
}

// ---------------------------------------------------------------------------------------------
// What 実行 writes

TEST_F(EventSetTest, EveryKindOfEventReachesACleanFile) {
  MakeHost(File({}, {}, {}));
  TdlgEventSet dlg(*host_);
  Open(dlg, [&](TdlgEventSet& d) {
    Pick(d.mcbYMonth(), "12月");
    Pick(d.mcbYDate(), "24日");
    Type(d.meYTime(), "1900");
    Type(d.meYEvent(), "クリスマス会");
    Pick(d.mcbYAlarm(), "2時間前");
    Click(d.cbYDel());
    Click(d.pbYAdd());
    Pick(d.mcbYMonth(), "2月");
    Pick(d.mcbYDate(), "29日");
    Type(d.meYTime(), "0000");
    Type(d.meYEvent(), "閏日");
    Click(d.pbYAdd());

    ShowPage(d, d.TabMonth());
    for (const char* type : {"毎月", "最初の", "最後の", "末日"}) {
      Pick(d.mcbMType(), type);
      if (!d.mcbMDay()->isHidden()) Pick(d.mcbMDay(), "平日");
      if (!d.mcbMDate()->isHidden()) Pick(d.mcbMDate(), "31日");
      Type(d.meMTime(), "1730");
      Type(d.meMEvent(), type);
      Click(d.pbMAdd());
    }

    ShowPage(d, d.TabWeek());
    for (int i = 0; i < d.mcbWType()->count(); ++i) {
      Pick(d.mcbWType(), d.mcbWType()->itemText(i).toUtf8().constData());
      if (!d.mcbWDay()->isHidden()) Pick(d.mcbWDay(), "土曜");
      Type(d.meWTime(), "0615");
      Type(d.meWEvent(), "週の予定");
      Pick(d.mcbWAlarm(), "7日前");
      Click(d.pbWAdd());
    }
    Click(d.pbExec());
  });
  EXPECT_TRUE(host_->Notices().empty());
  EXPECT_TRUE(boxes_.empty());

  // What the file holds reads back into the very rows the dialog built.
  EventStore reread;
  Settings settings;
  ASSERT_TRUE(ParseEventFile(host_->FileBytes(), reread, settings));
  const EventStore& store = host_->Store();
  ASSERT_EQ(store.week.DataRowCount(), 14);
  ASSERT_EQ(store.month.DataRowCount(), 4);
  ASSERT_EQ(store.year.DataRowCount(), 2);
  for (auto [mine, theirs] :
       {std::pair{&store.week, &reread.week}, std::pair{&store.month, &reread.month},
        std::pair{&store.year, &reread.year}}) {
    ASSERT_EQ(mine->DataRowCount(), theirs->DataRowCount());
    for (int r = 1; r <= mine->DataRowCount(); ++r) {
      EXPECT_EQ(Utf8Row(*mine, r), Utf8Row(*theirs, r)) << r;
    }
  }
  EXPECT_EQ(sjis::ToUtf8(store.month.Cell(MonthCol::kTypeCode, 1)), "131");
  EXPECT_EQ(sjis::ToUtf8(store.month.Cell(MonthCol::kTypeCode, 2)), "208");
  EXPECT_EQ(sjis::ToUtf8(store.month.Cell(MonthCol::kTypeCode, 3)), "308");
  EXPECT_EQ(sjis::ToUtf8(store.year.Cell(YearCol::kTypeCode, 1)), "0229");
  EXPECT_EQ(store.year.Cell(YearCol::kDelete, 2), "TRUE");

  test::MemoryStream out, err;
  const int rc =
      cli::Run({"check", "--file", host_->FilePath().string()}, out.File(), err.File(), {});
  EXPECT_EQ(rc, cli::kExitOk) << out.Text() << err.Text();
  EXPECT_EQ(out.Text(), "ok\n");
}

// ---------------------------------------------------------------------------------------------
// Pictures of the three pages for a look by eye, into VESPIN_GALLERY_DIR when it is set.

TEST_F(EventSetTest, Gallery) {
  MakeHost(File(
      {"13,10:00,会議,04", "82,12:00,昼休み,02", "77,08:00,資源ごみ,01", "85,07:00,ジョギング,06"},
      {"101,09:00,月初報告,08", "115,12:00,家賃振込,13", "202,09:30,定例会議,05",
       "308,17:00,経費精算,10", "400,23:00,バックアップ,06"},
      {"0101,00:00,元日,01,FALSE", "0214,12:00,バレンタイン,13,FALSE", "0331,18:00,年度末,08,TRUE",
       "0418,10:00,母の誕生日,14,FALSE", "0505,09:00,こどもの日,01,FALSE",
       "0630,17:00,上期締め,13,TRUE", "0707,20:00,七夕,07,FALSE",
       "0813,10:00,帰省（新幹線の指定席を予約）,15,TRUE", "1224,19:00,クリスマス会,09,TRUE"}));
  TdlgEventSet dlg(*host_);
  const QString dir = qEnvironmentVariable("VESPIN_GALLERY_DIR");
  Open(dlg, [&](TdlgEventSet& d) {
    for (auto [page, name] :
         {std::pair{d.TabYear(), "dialog-yearly"}, std::pair{d.TabMonth(), "dialog-monthly"},
          std::pair{d.TabWeek(), "dialog-weekly"}}) {
      ShowPage(d, page);
      if (page == d.TabYear()) {
        ClickLine(d.gbYear(), 3);
        d.cbYDel()->setFocus(Qt::TabFocusReason);
      } else if (page == d.TabMonth()) {
        ClickLine(d.gbMonth(), 3);
      } else {
        ClickLine(d.gbWeek(), 2);
      }
      const QImage client = d.grab().toImage();
      ASSERT_EQ(client.size(), d.size() * d.devicePixelRatio());
      if (dir.isEmpty()) continue;
      const QImage framed = test::WithCaption(client, d.windowTitle());
      QDir().mkpath(dir);
      EXPECT_TRUE(framed.save(QDir(dir).filePath(QString::fromUtf8(name) + u".png"_s)));
    }
    Click(d.pbCancel());
  });
}

}  // namespace
}  // namespace vespin::ui
