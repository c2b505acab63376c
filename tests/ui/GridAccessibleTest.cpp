// The event dialog and its lists as assistive tools see them through Qt's accessibility
// interfaces.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QCheckBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <string>
#include <vector>

#include "QtFakeDialogHost.h"
#include "QtWidgetTestSupport.h"
#include "controls/CGridBase.h"
#include "controls/CMemMultiCombo.h"
#include "controls/CMultiEdit.h"
#include "dialogs/EventSet.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using sjis::Lit;

std::string Utf8(const QString& s) {
  return s.toStdString();
}

QAccessibleInterface* Accessible(QObject* object) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
  EXPECT_NE(iface, nullptr);
  return iface;
}

std::string EventFile(bool withYearly) {
  std::string bytes = "[週間]\r\n13,10:00,会議,04\r\n82,12:00,昼休み,02\r\n[月間]\r\n[年間]\r\n";
  if (withYearly) bytes += "0101,00:00,元日,01,FALSE\r\n0331,18:00,年度末,08,TRUE\r\n";
  bytes += "[設定]\r\n0,0,CLEAR,BRIGHT,ＭＳ ゴシック,TRUE,9,0,TRUE,TRUE,TRUE,TRUE,FALSE,1\r\n";
  return Lit(bytes);
}

class GridAccessibleTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterFontSubstitutions(); }
};

TEST_F(GridAccessibleTest, EveryControlOfTheDialogHasARoleAndAName) {
  test::FakeDialogHost host(EventFile(true));
  TdlgEventSet dlg(host);
  const struct {
    QWidget* control;
    QAccessible::Role role;
    const char* name;
  } controls[] = {
      {&dlg, QAccessible::Dialog, "ｲﾍﾞﾝﾄ"},
      {dlg.PageEvent()->tabBar(), QAccessible::PageTabList, ""},
      {dlg.TabYear(), QAccessible::Client, "年間"},
      {dlg.mcbYMonth(), QAccessible::ComboBox, "月"},
      {dlg.mcbYDate(), QAccessible::ComboBox, "日"},
      {dlg.meYTime(), QAccessible::EditableText, "時刻"},
      {dlg.meYEvent(), QAccessible::EditableText, "ｲﾍﾞﾝﾄ"},
      {dlg.mcbYAlarm(), QAccessible::ComboBox, "ｱﾗｰﾑ"},
      {dlg.cbYDel(), QAccessible::CheckBox, "削除"},
      {dlg.gbYear(), QAccessible::Table, "年間ｲﾍﾞﾝﾄ"},
      {dlg.pbYAdd(), QAccessible::Button, "追加"},
      {dlg.pbYUpd(), QAccessible::Button, "更新"},
      {dlg.pbYDel(), QAccessible::Button, "削除"},
      {dlg.mcbMType(), QAccessible::ComboBox, "種類"},
      {dlg.mcbMDate(), QAccessible::ComboBox, "日"},
      {dlg.mcbMDay(), QAccessible::ComboBox, "曜"},
      {dlg.meMTime(), QAccessible::EditableText, "時刻"},
      {dlg.meMEvent(), QAccessible::EditableText, "ｲﾍﾞﾝﾄ"},
      {dlg.mcbMAlarm(), QAccessible::ComboBox, "ｱﾗｰﾑ"},
      {dlg.gbMonth(), QAccessible::Table, "月間ｲﾍﾞﾝﾄ"},
      {dlg.mcbWType(), QAccessible::ComboBox, "種類"},
      {dlg.mcbWDay(), QAccessible::ComboBox, "曜"},
      {dlg.meWTime(), QAccessible::EditableText, "時刻"},
      {dlg.meWEvent(), QAccessible::EditableText, "ｲﾍﾞﾝﾄ"},
      {dlg.mcbWAlarm(), QAccessible::ComboBox, "ｱﾗｰﾑ"},
      {dlg.gbWeek(), QAccessible::Table, "週間ｲﾍﾞﾝﾄ"},
      {dlg.pbExec(), QAccessible::Button, "実行"},
      {dlg.pbCancel(), QAccessible::Button, "取消"},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.control->objectName().toStdString() + " " + c.name);
    QAccessibleInterface* iface = Accessible(c.control);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), c.role);
    if (*c.name) {
      EXPECT_EQ(Utf8(iface->text(QAccessible::Name)), c.name);
    }
  }
  // The page tabs carry their captions.
  QAccessibleInterface* tabs = Accessible(dlg.PageEvent()->tabBar());
  std::vector<std::string> captions;
  for (int i = 0; i < tabs->childCount(); ++i) {
    if (tabs->child(i)->role() == QAccessible::PageTab) {
      captions.push_back(Utf8(tabs->child(i)->text(QAccessible::Name)));
    }
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"年  間", "月  間", "週  間"}));
}

// The visible columns' headers, then the data rows' cells; the hidden code columns stay out. A
// delete cell is a check box that says what it is for and whether it is ticked.
TEST_F(GridAccessibleTest, AListIsATableOfItsVisibleCells) {
  test::FakeDialogHost host(EventFile(true));
  TdlgEventSet dlg(host);
  QAccessibleInterface* table = Accessible(dlg.gbYear());
  ASSERT_EQ(table->childCount(), 6 * 3);
  const struct {
    int child;
    QAccessible::Role role;
    const char* name;
  } cells[] = {
      {0, QAccessible::ColumnHeader, "月"},   {3, QAccessible::ColumnHeader, "ｲﾍﾞﾝﾄ"},
      {5, QAccessible::ColumnHeader, "削除"}, {6, QAccessible::Cell, "1月"},
      {7, QAccessible::Cell, "1日"},          {8, QAccessible::Cell, "00:00"},
      {9, QAccessible::Cell, "元日"},         {10, QAccessible::Cell, "起動時"},
      {11, QAccessible::CheckBox, "削除"},    {15, QAccessible::Cell, "年度末"},
      {16, QAccessible::Cell, "1時間前"},     {17, QAccessible::CheckBox, "削除"},
  };
  for (const auto& c : cells) {
    SCOPED_TRACE(c.child);
    QAccessibleInterface* cell = table->child(c.child);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->role(), c.role);
    EXPECT_EQ(Utf8(cell->text(QAccessible::Name)), c.name);
    EXPECT_EQ(cell->parent(), table);
    EXPECT_EQ(table->indexOfChild(cell), c.child);
  }
  EXPECT_TRUE(table->child(11)->state().checkable);
  EXPECT_FALSE(table->child(11)->state().checked);
  EXPECT_TRUE(table->child(17)->state().checked);

  QAccessibleTableInterface* grid = table->tableInterface();
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->rowCount(), 2);
  EXPECT_EQ(grid->columnCount(), 6);
  EXPECT_EQ(Utf8(grid->columnDescription(4)), "ｱﾗｰﾑ");
  EXPECT_EQ(grid->cellAt(1, 3), table->child(15));
  EXPECT_EQ(grid->cellAt(2, 0), nullptr);
  QAccessibleTableCellInterface* cell = table->child(15)->tableCellInterface();
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->rowIndex(), 1);
  EXPECT_EQ(cell->columnIndex(), 3);
  ASSERT_EQ(cell->columnHeaderCells().size(), 1);
  EXPECT_EQ(cell->columnHeaderCells()[0], table->child(3));

  // A row that scrolled out of view is off screen; one in view stands where it is drawn.
  const QRect drawn = dlg.gbYear()->CellRect(3, 2);
  EXPECT_EQ(table->child(15)->rect(),
            QRect(dlg.gbYear()->mapToGlobal(drawn.topLeft()), drawn.size()));
  EXPECT_FALSE(table->child(15)->state().offscreen);

  // An empty list shows only its headers.
  EXPECT_EQ(Accessible(dlg.gbMonth())->childCount(), 5);
  EXPECT_EQ(Accessible(dlg.gbMonth())->tableInterface()->rowCount(), 0);
}

// The selected row is the selection; choosing another row, by an assistive tool, does what a
// click does: the row comes into the inputs.
TEST_F(GridAccessibleTest, ARowIsChosenAsAClickChoosesIt) {
  test::FakeDialogHost host(EventFile(false));
  TdlgEventSet dlg(host);
  CGridBase* list = dlg.gbWeek();
  QAccessibleInterface* table = Accessible(list);
  QAccessibleTableInterface* grid = table->tableInterface();
  ASSERT_NE(grid, nullptr);
  ASSERT_EQ(grid->rowCount(), 2);
  list->Table()->SelectRow(1);
  EXPECT_EQ(grid->selectedRows(), QList<int>{0});
  EXPECT_TRUE(grid->cellAt(0, 3)->state().selected);
  EXPECT_FALSE(grid->cellAt(1, 3)->state().selected);
  EXPECT_EQ(grid->selectedCellCount(), 5);

  QAccessibleInterface* lunch = grid->cellAt(1, 3);
  ASSERT_NE(lunch->actionInterface(), nullptr);
  lunch->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(list->Table()->SelectedRow(), 2);
  EXPECT_EQ(Utf8(dlg.meWEvent()->text()), "昼休み");
  EXPECT_TRUE(lunch->state().selected);

  ASSERT_TRUE(grid->selectRow(0));
  EXPECT_EQ(Utf8(dlg.meWEvent()->text()), "会議");
  EXPECT_FALSE(grid->selectRow(2));

  // Deleted rows take their cells with them.
  list->Table()->DeleteRow(2);
  EXPECT_EQ(table->childCount(), 5 * 2);
  EXPECT_FALSE(lunch->isValid());
}

}  // namespace
}  // namespace vespin::ui
