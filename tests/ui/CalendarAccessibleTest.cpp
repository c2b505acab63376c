// The main window as assistive tools see it through Qt's accessibility interfaces.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <memory>
#include <string>

#include "FakeClock.h"
#include "QtWidgetTestSupport.h"
#include "app/Main.h"
#include "controls/CMultiEdit.h"
#include "events/EventEngine.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using test::CellOfDay;
using test::JapaneseWeekdays;

std::string Utf8(const QString& s) {
  return s.toStdString();
}

QAccessibleInterface* Accessible(QObject* object) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
  EXPECT_NE(iface, nullptr);
  return iface;
}

// Days with events: every Wednesday (weekly) and the 1st (monthly).
struct DayMasks final : EventChecker {
  int EventCheck(CheckMode mode, TDateTime date, TDateTime) override {
    if (mode == CheckMode::kDayList) announced.push_back(date);
    if (mode != CheckMode::kDayMask) return 0;
    return (DayOfWeek(date) == 4 ? 4 : 0) | (DecodeDate(date).day == 1 ? 2 : 0);
  }
  std::vector<TDateTime> announced;
};

class CalendarAccessibleTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterFontSubstitutions(); }

  std::unique_ptr<TfrmMain> Make(int months) {
    settings.months = months;
    auto w = std::make_unique<TfrmMain>(clock, state, settings, JapaneseWeekdays());
    w->SetEventChecker(&engine);
    w->ApplySettings();
    test::Settle();
    return w;
  }

  test::FakeClock clock{EncodeDate(2005, 4, 18) + EncodeTime(10, 0)};
  AppState state;
  Settings settings;
  DayMasks engine;
};

TEST_F(CalendarAccessibleTest, EveryControlOfTheWindowHasARoleAndAName) {
  auto w = Make(1);
  state.EventLines[0] = {sjis::Lit("会議"), "10:30", EncodeDate(2005, 4, 18) + EncodeTime(10, 30)};
  w->ShowEventLines();
  w->FormDblClick();  // the year-month box exists from navigation mode on
  const struct {
    QWidget* control;
    QAccessible::Role role;
    const char* name;
  } controls[] = {
      {w->Calendar(), QAccessible::Table, "カレンダー"},
      {w->lDate(), QAccessible::StaticText, "2005/04/18(月)"},
      {w->lTime(), QAccessible::StaticText, "10:00"},
      {w->lEvent(0), QAccessible::StaticText, "会議"},
      {w->lTimeN(0), QAccessible::StaticText, "10:30"},
      {w->SpinY(), QAccessible::Grouping, "年"},
      {w->SpinM(), QAccessible::Grouping, "月"},
      {w->EditYm(), QAccessible::EditableText, "年月"},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.name);
    QAccessibleInterface* iface = Accessible(c.control);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), c.role);
    EXPECT_EQ(Utf8(iface->text(QAccessible::Name)), c.name);
  }
  // The spin buttons' halves are buttons that step the months.
  const struct {
    SpinButton* spin;
    int child;
    const char* name;
    YearMonth after;
  } halves[] = {
      {w->SpinY(), 0, "前の年", {2004, 4}},
      {w->SpinY(), 1, "次の年", {2005, 4}},
      {w->SpinM(), 0, "前の月", {2005, 3}},
      {w->SpinM(), 1, "次の月", {2005, 4}},
  };
  for (const auto& h : halves) {
    SCOPED_TRACE(h.name);
    QAccessibleInterface* spin = Accessible(h.spin);
    ASSERT_EQ(spin->childCount(), 2);
    QAccessibleInterface* half = spin->child(h.child);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->role(), QAccessible::Button);
    EXPECT_EQ(Utf8(half->text(QAccessible::Name)), h.name);
    EXPECT_EQ(half->parent(), spin);
    EXPECT_EQ(spin->indexOfChild(half), h.child);
    ASSERT_NE(half->actionInterface(), nullptr);
    half->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    test::Settle();
    EXPECT_EQ(w->Shown(), h.after);
  }
}

// Seven headers, then 42 cells for each shown month, blank cells included; a day is named by
// its date and weekday, then its holiday, today and whether it has events.
TEST_F(CalendarAccessibleTest, TheCalendarIsATableOfTheShownDays) {
  const struct {
    int block;
    DateParts date;
    const char* name;
  } days[] = {
      {0, {2005, 4, 18}, "2005年4月18日 月曜日、今日"},
      {0, {2005, 4, 29}, "2005年4月29日 金曜日、みどりの日"},
      {0, {2005, 4, 20}, "2005年4月20日 水曜日、ｲﾍﾞﾝﾄあり"},
      {0, {2005, 4, 1}, "2005年4月1日 金曜日、ｲﾍﾞﾝﾄあり"},
      {1, {2005, 5, 4}, "2005年5月4日 水曜日、国民の休日、ｲﾍﾞﾝﾄあり"},
      {2, {2005, 6, 30}, "2005年6月30日 木曜日"},
  };
  for (int months : {1, 2, 3}) {
    SCOPED_TRACE(months);
    auto w = Make(months);
    CalendarView* cal = w->Calendar();
    QAccessibleInterface* table = Accessible(cal);
    ASSERT_EQ(table->childCount(), 7 + 42 * months);
    EXPECT_EQ(Utf8(table->text(QAccessible::Description)), months == 1   ? "2005年4月"
                                                           : months == 2 ? "2005年4月～2005年5月"
                                                                         : "2005年4月～2005年6月");
    const char* weekdays[] = {"日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"};
    for (int c = 0; c < 7; ++c) {
      QAccessibleInterface* header = table->child(c);
      ASSERT_NE(header, nullptr);
      EXPECT_EQ(header->role(), QAccessible::ColumnHeader);
      EXPECT_EQ(Utf8(header->text(QAccessible::Name)), weekdays[c]);
      EXPECT_EQ(header->rect(),
                QRect(cal->mapToGlobal(cal->HeaderRect(c).topLeft()), cal->HeaderRect(c).size()));
    }
    // April 2005 begins on a Friday: its first five cells are blank.
    EXPECT_EQ(table->child(7)->role(), QAccessible::Cell);
    EXPECT_TRUE(table->child(7)->text(QAccessible::Name).isEmpty());

    QAccessibleTableInterface* grid = table->tableInterface();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->columnCount(), 7);
    EXPECT_EQ(grid->rowCount(), 6 * months);
    EXPECT_EQ(Utf8(grid->columnDescription(3)), "水曜日");
    for (const auto& d : days) {
      if (d.block >= months) continue;
      SCOPED_TRACE(d.name);
      const int k = CellOfDay(*w, d.block, d.date.day);
      ASSERT_GE(k, 0);
      QAccessibleInterface* day = table->child(7 + 42 * d.block + k);
      ASSERT_NE(day, nullptr);
      EXPECT_EQ(Utf8(day->text(QAccessible::Name)), d.name);
      EXPECT_EQ(day->parent(), table);
      EXPECT_EQ(table->indexOfChild(day), 7 + 42 * d.block + k);
      const QRect r = cal->DayRect(d.block, k);
      EXPECT_EQ(day->rect(), QRect(cal->mapToGlobal(r.topLeft()), r.size()));
      EXPECT_EQ(table->childAt(day->rect().center().x(), day->rect().center().y()), day);
      // Its place in the table, under its weekday's header.
      QAccessibleTableCellInterface* cell = day->tableCellInterface();
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(cell->rowIndex(), 6 * d.block + k / 7);
      EXPECT_EQ(cell->columnIndex(), k % 7);
      EXPECT_EQ(grid->cellAt(cell->rowIndex(), cell->columnIndex()), day);
      ASSERT_EQ(cell->columnHeaderCells().size(), 1);
      EXPECT_EQ(cell->columnHeaderCells()[0], table->child(k % 7));
    }
    EXPECT_EQ(grid->cellAt(6 * months, 0), nullptr);
  }
}

// The focused day is the table's selection and, while the calendar has the focus, its focused
// cell; pressing a day announces it as a click does.
TEST_F(CalendarAccessibleTest, TheFocusedDayIsSelectedAndADayCanBePressed) {
  auto w = Make(2);
  CalendarView* cal = w->Calendar();
  QAccessibleInterface* table = Accessible(cal);
  ASSERT_EQ(table->childCount(), 7 + 42 * 2);
  ASSERT_NE(table->tableInterface(), nullptr);
  const int today = 7 + CellOfDay(*w, 0, 18);
  const int tomorrow = today + 1;

  EXPECT_TRUE(table->child(today)->state().selected);
  EXPECT_FALSE(table->child(today)->state().focused);
  ASSERT_EQ(table->tableInterface()->selectedCells().size(), 1);
  EXPECT_EQ(table->tableInterface()->selectedCells()[0], table->child(today));

  w->show();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
  ASSERT_TRUE(cal->hasFocus());
  EXPECT_TRUE(table->state().focused);
  EXPECT_TRUE(table->child(today)->state().focused);
  EXPECT_EQ(table->focusChild(), table->child(today));
  QTest::keyClick(cal, Qt::Key_Right);
  EXPECT_FALSE(table->child(today)->state().selected);
  EXPECT_TRUE(table->child(tomorrow)->state().focused);
  EXPECT_EQ(table->focusChild(), table->child(tomorrow));

  // A day of the second month, pressed by an assistive tool.
  QAccessibleInterface* may5 = table->child(7 + 42 + CellOfDay(*w, 1, 5));
  ASSERT_NE(may5->actionInterface(), nullptr);
  EXPECT_EQ(may5->actionInterface()->actionNames(),
            QStringList{QAccessibleActionInterface::pressAction()});
  may5->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  ASSERT_EQ(engine.announced.size(), 1u);
  EXPECT_EQ(engine.announced.back(), EncodeDate(2005, 5, 5));
  EXPECT_TRUE(may5->state().selected);
  // A blank cell has nothing to press.
  EXPECT_TRUE(table->child(7)->actionInterface()->actionNames().isEmpty());

  // One month fewer: the cells of the second month are gone, and the focus went back to April.
  settings.months = 1;
  w->FontSet();
  test::Settle();
  EXPECT_EQ(table->childCount(), 7 + 42);
  EXPECT_FALSE(may5->isValid());
  EXPECT_TRUE(table->child(today)->state().focused);
}

}  // namespace
}  // namespace vespin::ui
