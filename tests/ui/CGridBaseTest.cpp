#include "controls/CGridBase.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "UiText.h"
#include "events/EventStore.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

using sjis::Lit;

std::string Rgb(const QColor& c) {
  return std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue());
}

QColor Role(const QWidget& w, QPalette::ColorRole role) {
  return w.palette().color(QPalette::Active, role);
}

void Define(CGridBase& grid, std::span<const ColumnSpec> columns) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    grid.DefineColumn(static_cast<int>(c), Lit(columns[c].titleUtf8), columns[c].width,
                      columns[c].align);
  }
  grid.ResetLayout();
}

// A weekly row; only the first and the text columns matter to the drawing tests.
std::vector<std::string> WeekRow(const char* type, const char* text) {
  return {Lit(type), Lit("月曜"), "09:00", Lit(text), Lit("5分前"), "12", "04", ""};
}

std::vector<std::string> YearRow(const char* text, const char* del) {
  return {Lit("4月"), Lit("18日"), "10:00", Lit(text), Lit("1日前"),
          del,        "0418",      "13",    "",        "0418 10:00"};
}

// A weekly list of eight lines inside a parent whose colour decides the stripes.
struct WeekGrid {
  explicit WeekGrid(QColor parentColor = QColor(192, 192, 192), int rows = 0)
      : table(WeekCol::kCount, kEventListLines) {
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, parentColor);
    parent.setPalette(pal);
    parent.setAutoFillBackground(true);
    grid = new CGridBase(&table, &parent);
    grid->move(8, 8);
    Define(*grid, WeekColumns());
    for (int i = 1; i <= rows; ++i) table.InsertRow(i, WeekRow("毎週", "会議"));
  }
  QImage Render() const { return grid->grab().toImage(); }

  EventTable table;
  QWidget parent;
  CGridBase* grid;
};

// The first and last columns in `cell` holding a pixel other than `back`; -1 when none.
std::pair<int, int> InkSpan(const QImage& img, const QRect& cell, const QColor& back) {
  int first = -1, last = -1;
  for (int x = cell.left(); x <= cell.right(); ++x) {
    for (int y = cell.top() + 1; y < cell.bottom(); ++y) {
      if (img.pixelColor(x, y).rgb() != back.rgb()) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  return {first, last};
}

TEST(CGridBaseTest, EventListSizes) {
  struct Case {
    const char* name;
    std::span<const ColumnSpec> columns;
    int width;  // at w = 8
  };
  const Case cases[] = {{"yearly", YearColumns(), 540},
                        {"monthly", MonthColumns(), 492},
                        {"weekly", WeekColumns(), 492}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    EventTable table(static_cast<int>(k.columns.size()), kEventListLines);
    CGridBase grid(&table);
    grid.SetLetterWidth(8);
    Define(grid, k.columns);
    EXPECT_EQ(grid.width(), k.width);
    EXPECT_EQ(grid.BaseWidth(), k.width);
    EXPECT_EQ(grid.height(), 229);
    const int expected[] = {103, 71, 47, 167, 95};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(grid.ColumnPixelWidth(c), expected[c]);
    for (std::size_t c = 0; c < k.columns.size(); ++c) {
      if (k.columns[c].width == 0) {
        EXPECT_EQ(grid.ColumnPixelWidth(static_cast<int>(c)), 0);
        EXPECT_EQ(table.Cell(static_cast<int>(c), 0), "");
      } else {
        EXPECT_EQ(table.Cell(static_cast<int>(c), 0), Lit(k.columns[c].titleUtf8));
      }
    }

    // With the font's own "w": width × w + 7 only when w is 8, else + 9.
    CGridBase measured(&table);
    const int w = measured.LetterWidth();
    ASSERT_GT(w, 0);
    Define(measured, k.columns);
    int outer = 1 + 3;
    for (const ColumnSpec& col : k.columns) {
      if (col.width > 0) outer += col.width * w + (w == 8 ? 7 : 9) + 1;
    }
    EXPECT_EQ(measured.width(), outer);
  }

  // A grid put over a table that already holds events sizes itself without emptying it.
  {
    EventTable loaded(WeekCol::kCount, kEventListLines);
    for (int i = 1; i <= 9; ++i) loaded.InsertRow(i, WeekRow("毎週", "会議"));
    CGridBase late(&loaded);
    late.SetLetterWidth(8);
    for (std::size_t c = 0; c < WeekColumns().size(); ++c) {
      late.DefineColumn(static_cast<int>(c), Lit(WeekColumns()[c].titleUtf8),
                        WeekColumns()[c].width, WeekColumns()[c].align);
    }
    late.ComputeLayout();
    EXPECT_EQ(loaded.DataRowCount(), 9);
    EXPECT_EQ(late.width(), 492 + 16);
    late.ResetLayout();  // meant for set-up: it empties the table
    EXPECT_EQ(loaded.DataRowCount(), 0);
    EXPECT_EQ(late.width(), 492);
  }

  // Another letter width takes the wider padding.
  EventTable table(2, 3);
  CGridBase grid(&table);
  grid.SetLetterWidth(10);
  grid.DefineColumn(0, "a", 2, 0);
  grid.DefineColumn(1, "b", 3, 0);
  grid.DefineColumn(5, "out of range", 3, 0);
  grid.ResetLayout();
  EXPECT_EQ(grid.ColumnPixelWidth(0), 29);
  EXPECT_EQ(grid.width(), 1 + 30 + 40 + 3);
  EXPECT_EQ(grid.height(), 25 * 4 + 4);
}

TEST(CGridBaseTest, ScrollBarAndExtraWidthComeAndGoWithTheNinthRow) {
  WeekGrid g(QColor(192, 192, 192), 8);
  const int base = g.grid->BaseWidth();
  EXPECT_TRUE(g.grid->VerticalScrollBar()->isHidden());
  EXPECT_EQ(g.grid->width(), base);

  g.table.InsertRow(9, WeekRow("毎日", "九件目"));
  EXPECT_FALSE(g.grid->VerticalScrollBar()->isHidden());
  EXPECT_EQ(g.grid->width(), base + 16);
  EXPECT_EQ(g.grid->height(), 229);
  EXPECT_EQ(g.grid->VerticalScrollBar()->maximum(), 2);
  EXPECT_EQ(g.grid->VerticalScrollBar()->value(), g.table.TopRow());
  EXPECT_EQ(g.grid->VerticalScrollBar()->geometry(), QRect(base - 2, 2, 16, 225));

  g.table.DeleteRow(3);
  EXPECT_TRUE(g.grid->VerticalScrollBar()->isHidden());
  EXPECT_EQ(g.grid->width(), base);
}

TEST(CGridBaseTest, ScrollBarAndWheelMoveTheTopRow) {
  WeekGrid g(QColor(192, 192, 192), 14);
  g.table.SelectRow(1);
  ASSERT_EQ(g.table.TopRow(), 1);
  g.grid->VerticalScrollBar()->setValue(4);
  EXPECT_EQ(g.table.TopRow(), 4);
  EXPECT_EQ(g.table.SelectedRow(), 1);  // scrolling leaves the selection alone
  EXPECT_EQ(g.grid->CellRect(0, 4).top(), 2 + 25);

  const QPointF at(20, 60);
  QWheelEvent down(at, g.grid->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(g.grid, &down);
  EXPECT_EQ(g.table.TopRow(), std::min(4 + QApplication::wheelScrollLines(), 7));
  EXPECT_EQ(g.grid->VerticalScrollBar()->value(), g.table.TopRow());
}

TEST(CGridBaseTest, ClickCorrectsTheSelectionAndNotifies) {
  struct Case {
    const char* name;
    int rows;
    int clickedLine;  // 0 is the header
    int selected;     // expected selection afterwards
    int clicks;
  };
  const Case cases[] = {
      {"data row", 5, 2, 2, 1},
      {"empty line below the data", 3, 6, 3, 1},
      {"empty list", 0, 4, 1, 1},
      {"header", 5, 0, 5, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    WeekGrid g(QColor(192, 192, 192), k.rows);
    QSignalSpy spy(g.grid, &CGridBase::Clicked);
    const QRect cell = g.grid->CellRect(3, k.clickedLine);
    ASSERT_FALSE(cell.isEmpty());
    QTest::mouseClick(g.grid, Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(g.table.SelectedRow(), k.selected);
    EXPECT_EQ(spy.count(), k.clicks);
  }

  CGridBase detached(nullptr);
  QTest::mouseClick(&detached, Qt::LeftButton, {}, QPoint(5, 40));  // nothing to select
}

TEST(CGridBaseTest, CursorKeysMoveTheSelection) {
  WeekGrid g(QColor(192, 192, 192), 12);
  g.table.SelectRow(1);
  QSignalSpy spy(g.grid, &CGridBase::Clicked);
  struct Step {
    Qt::Key key;
    int selected;
    int top;
  };
  const Step steps[] = {{Qt::Key_Down, 2, 1}, {Qt::Key_End, 12, 5},     {Qt::Key_PageUp, 4, 4},
                        {Qt::Key_Home, 1, 1}, {Qt::Key_PageDown, 9, 5}, {Qt::Key_Up, 8, 5}};
  int clicks = 0;
  for (const Step& s : steps) {
    QTest::keyClick(g.grid, s.key);
    EXPECT_EQ(g.table.SelectedRow(), s.selected) << s.key;
    EXPECT_EQ(g.table.TopRow(), s.top) << s.key;
    EXPECT_EQ(spy.count(), ++clicks) << s.key;
  }
  // No move, no notification.
  QTest::keyClick(g.grid, Qt::Key_Home);
  QTest::keyClick(g.grid, Qt::Key_Up);
  EXPECT_EQ(spy.count(), clicks + 1);
  EXPECT_EQ(g.table.SelectedRow(), 1);

  // Stepping onto an empty line is a move; the correction puts the selection back.
  WeekGrid few(QColor(192, 192, 192), 3);
  QSignalSpy fewSpy(few.grid, &CGridBase::Clicked);
  few.table.SelectRow(3);
  QTest::keyClick(few.grid, Qt::Key_Down);
  EXPECT_EQ(few.table.SelectedRow(), 3);
  EXPECT_EQ(fewSpy.count(), 1);
}

TEST(CGridBaseTest, StripesFollowTheParentColour) {
  struct Case {
    QColor parent;
    QColor even;
  };
  const Case cases[] = {{QColor(255, 255, 223), QColor(255, 250, 227)},
                        {QColor(224, 255, 240), QColor(240, 255, 240)},
                        {QColor(239, 255, 255), QColor(228, 241, 254)},
                        {QColor(192, 192, 192), QColor(192, 192, 192)},
                        {QColor(255, 255, 224), QColor(255, 255, 224)}};
  for (const Case& k : cases) {
    SCOPED_TRACE(Rgb(k.parent));
    WeekGrid g(k.parent, 3);
    g.table.SelectRow(-1);
    const QImage img = g.Render();
    // Data rows 2 and 3, then the empty lines 4 and 5 striped the same way.
    const std::pair<int, QColor> rows[] = {
        {2, k.even}, {3, Qt::white}, {4, k.even}, {5, Qt::white}};
    for (const auto& [row, colour] : rows) {
      const QRect cell = g.grid->CellRect(1, row);
      EXPECT_EQ(Rgb(img.pixelColor(cell.left() + 1, cell.top() + 1)), Rgb(colour)) << row;
    }
  }
}

TEST(CGridBaseTest, SelectedRowIsHighlightedAndFollowsTheSort) {
  EventTable table(MonthCol::kCount, kEventListLines);
  CGridBase grid(&table);
  Define(grid, MonthColumns());
  const char* keys[] = {"400 12:00", "115 09:00", "308 18:00", "120 07:00"};
  for (int i = 0; i < 4; ++i) {
    table.InsertRow(i + 1, {Lit("毎月"), Lit("15日"), "09:00", Lit("集金"), Lit("5分前"), "115",
                            "04", "", keys[i]});
  }
  table.SelectRow(1);  // "400 12:00"
  table.SortRows(MonthCol::kSortKey, 1);
  ASSERT_EQ(table.SelectedRow(), 4);

  const QImage img = grid.grab().toImage();
  const QColor highlight = Role(grid, QPalette::Highlight);
  for (int row = 1; row <= 4; ++row) {
    const QRect cell = grid.CellRect(2, row);
    const bool selected = row == 4;
    const QColor back = selected       ? highlight
                        : row % 2 == 1 ? QColor(Qt::white)
                                       : CGridBase::StripeColor(Role(grid, QPalette::Window));
    EXPECT_EQ(Rgb(img.pixelColor(cell.left() + 1, cell.top() + 1)), Rgb(back)) << row;
    // The selected row's lines take the button face, the others stay black.
    const QColor line = selected ? Role(grid, QPalette::Button) : QColor(Qt::black);
    EXPECT_EQ(Rgb(img.pixelColor(cell.left() + 5, cell.bottom() + 1)), Rgb(line)) << row;
    EXPECT_EQ(Rgb(img.pixelColor(cell.right() + 1, cell.top() + 5)), Rgb(line)) << row;
  }
  // The highlighted text is drawn in the highlight text colour (white here, against blue).
  ASSERT_EQ(Rgb(Role(grid, QPalette::HighlightedText)), "255,255,255");
  const QRect text = grid.CellRect(3, 4);
  int inked = 0;
  for (int y = text.top(); y <= text.bottom(); ++y) {
    for (int x = text.left(); x <= text.right(); ++x) {
      const QColor c = img.pixelColor(x, y);
      inked += c.red() > 230 && c.green() > 230 && c.blue() > 230;
    }
  }
  EXPECT_GT(inked, 10);
}

TEST(CGridBaseTest, HeaderIsRaisedAndCentred) {
  WeekGrid g(QColor(192, 192, 192), 1);
  const QImage img = g.Render();
  const QRect head = g.grid->CellRect(0, 0);  // a left-aligned column
  EXPECT_EQ(Rgb(img.pixelColor(head.left(), head.top() + 5)), Rgb(Role(*g.grid, QPalette::Light)));
  EXPECT_EQ(Rgb(img.pixelColor(head.left() + 5, head.top())), Rgb(Role(*g.grid, QPalette::Light)));
  EXPECT_EQ(Rgb(img.pixelColor(head.right(), head.top() + 5)), Rgb(Role(*g.grid, QPalette::Dark)));
  EXPECT_EQ(Rgb(img.pixelColor(head.left() + 5, head.bottom())),
            Rgb(Role(*g.grid, QPalette::Dark)));
  EXPECT_EQ(Rgb(img.pixelColor(head.left() + 2, head.top() + 2)),
            Rgb(Role(*g.grid, QPalette::Button)));
  EXPECT_EQ(Rgb(img.pixelColor(head.left() + 5, head.bottom() + 1)), Rgb(Qt::black));

  const auto [first, last] =
      InkSpan(img, head.adjusted(1, 1, -1, -1), Role(*g.grid, QPalette::Button));
  ASSERT_GE(first, 0);
  EXPECT_NEAR((first + last) / 2.0, head.left() + head.width() / 2.0, 2.0);
}

TEST(CGridBaseTest, AlignmentCodesPlaceTheText) {
  EventTable table(4, 3);
  CGridBase grid(&table);
  for (int c = 0; c < 4; ++c) grid.DefineColumn(c, "h", 10, c == 3 ? 7 : c);
  grid.ResetLayout();
  table.InsertRow(1, {"8888", "8888", "8888", "8888"});
  table.SelectRow(-1);
  const QImage img = grid.grab().toImage();
  const int textWidth = QFontMetrics(CGridBase::CellFont(), &grid).horizontalAdvance(u"8888"_s);
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE(c);
    const QRect cell = grid.CellRect(c, 1);
    const auto [first, last] = InkSpan(img, cell, Qt::white);
    ASSERT_GE(first, 0);
    int left = cell.left() + 4;  // codes 0 and unknown ones
    if (c == 1) left = cell.left() + (cell.width() - textWidth) / 2;
    if (c == 2) left = cell.left() + cell.width() - textWidth - 4;
    // Glyph ink sits a pixel or two inside its advance box.
    EXPECT_GE(first, left);
    EXPECT_LE(first, left + 2);
    EXPECT_LE(last, left + textWidth);
  }
}

TEST(CGridBaseTest, CheckBoxCells) {
  EventTable table(YearCol::kCount, kEventListLines);
  CGridBase grid(&table);
  Define(grid, YearColumns());
  table.InsertRow(1, YearRow("誕生日", "TRUE"));
  table.InsertRow(2, YearRow("記念日", "FALSE"));
  table.InsertRow(3, YearRow("旅行", ""));
  table.InsertRow(4, YearRow("予定", "yes"));
  table.SelectRow(-1);
  const QImage img = grid.grab().toImage();
  const int th = QFontMetrics(CGridBase::CellFont(), &grid).height();
  struct Case {
    int row;
    bool box;
    bool tick;
  };
  for (const Case k :
       {Case{1, true, true}, Case{2, true, false}, Case{3, false, false}, Case{4, true, false}}) {
    SCOPED_TRACE(k.row);
    const QRect cell = grid.CellRect(YearCol::kDelete, k.row);
    const QColor back = img.pixelColor(cell.left() + 1, cell.top() + 1);
    const QPoint box(cell.left() + (cell.width() - 13) / 2, cell.top() + (24 - th) / 2 + 1);
    const QColor edge = img.pixelColor(box.x(), box.y() + 6);
    const QColor middle = img.pixelColor(box.x() + 6, box.y() + 7);
    EXPECT_EQ(Rgb(edge), Rgb(k.box ? Role(grid, QPalette::Dark) : back));
    EXPECT_EQ(Rgb(img.pixelColor(box.x() + 12, box.y() + 6)),
              Rgb(k.box ? Role(grid, QPalette::Light) : back));
    EXPECT_EQ(Rgb(middle), Rgb(k.tick  ? Role(grid, QPalette::Text)
                               : k.box ? Role(grid, QPalette::Base)
                                       : back));
    // Nothing outside the box.
    EXPECT_EQ(Rgb(img.pixelColor(box.x() - 1, box.y() + 6)), Rgb(back));
    EXPECT_EQ(Rgb(img.pixelColor(box.x() + 13, box.y() + 6)), Rgb(back));
  }
}

TEST(CGridBaseTest, RowGroupsDecideDottedOrSolidSeparators) {
  WeekGrid g(QColor(192, 192, 192), 4);
  g.table.SelectRow(-1);
  g.grid->SetRowCountGroup(2);
  QImage img = g.Render();
  for (int row = 1; row <= 4; ++row) {
    const QRect cell = g.grid->CellRect(1, row);
    const int y = cell.bottom() + 1;
    const QColor back = img.pixelColor(cell.left() + 1, cell.top() + 1);
    EXPECT_EQ(Rgb(img.pixelColor(cell.left(), y)), Rgb(Qt::black)) << row;
    EXPECT_EQ(Rgb(img.pixelColor(cell.left() + 4, y)), Rgb(row % 2 ? back : QColor(Qt::black)))
        << row;
  }
  g.grid->SetRowCountGroup(-3);
  EXPECT_EQ(g.grid->RowCountGroup(), 1);

  g.grid->SetRowCountShow(0);
  EXPECT_EQ(g.grid->RowCountShow(), 1);
  EXPECT_EQ(g.table.DataRowCount(), 0);
  EXPECT_EQ(g.grid->height(), 2 * 25 + 4);
}

class CGridBaseHintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g = std::make_unique<WeekGrid>(QColor(192, 192, 192), 0);
    g->table.InsertRow(1, WeekRow("毎週", "会議"));
    g->table.InsertRow(2, WeekRow("毎日", "とても長い予定のテキストで列に入りきらない"));
    g->table.SetCell(WeekCol::kText, 1, Lit("短い"));
    g->table.SetCell(WeekCol::kDayName, 2, "");
    g->parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g->parent));
    QCoreApplication::processEvents();  // no repaint left over to take a new hint down
  }

  void Press(int col, int row) {
    const QRect cell = g->grid->CellRect(col, row);
    ASSERT_FALSE(cell.isEmpty());
    at = cell.center();
    QTest::mousePress(g->grid, Qt::RightButton, {}, at);
  }

  std::unique_ptr<WeekGrid> g;
  QPoint at;
};

TEST_F(CGridBaseHintTest, ShowsTheWholeTextBelowThePointerUntilRelease) {
  struct Case {
    int row;
    bool narrow;
  };
  for (const Case k : {Case{1, true}, Case{2, false}}) {
    SCOPED_TRACE(k.row);
    Press(WeekCol::kText, k.row);
    QWidget* hint = g->grid->HintWindow();
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->isWindow());
    EXPECT_FALSE(hint->isActiveWindow());
    const QFontMetrics fm(hint->font());
    const QString text = FromSjis(g->table.Cell(WeekCol::kText, k.row));
    const QPoint global = g->grid->mapToGlobal(at);
    const int width =
        k.narrow ? g->grid->ColumnPixelWidth(WeekCol::kText) : fm.horizontalAdvance(text) + 4;
    EXPECT_EQ(hint->geometry(), QRect(global.x() + 16, global.y() + 20, width, fm.height() + 4));
    EXPECT_EQ(hint->font().family(), g->grid->font().family());
    EXPECT_EQ(hint->font().pointSize(), g->grid->font().pointSize());
    QTest::mouseRelease(g->grid, Qt::RightButton, {}, at);
    EXPECT_EQ(g->grid->HintWindow(), nullptr);
  }
}

TEST_F(CGridBaseHintTest, NoHintForHeaderEmptyOrLeftButton) {
  struct Case {
    const char* name;
    int col;
    int row;
  };
  for (const Case k : {Case{"header", WeekCol::kText, 0}, Case{"empty line", WeekCol::kText, 5},
                       Case{"empty cell", WeekCol::kDayName, 2}}) {
    SCOPED_TRACE(k.name);
    Press(k.col, k.row);
    EXPECT_EQ(g->grid->HintWindow(), nullptr);
    QTest::mouseRelease(g->grid, Qt::RightButton, {}, at);
  }
  QTest::mousePress(g->grid, Qt::LeftButton, {}, g->grid->CellRect(WeekCol::kText, 1).center());
  EXPECT_EQ(g->grid->HintWindow(), nullptr);
  QTest::mouseRelease(g->grid, Qt::LeftButton, {}, g->grid->CellRect(WeekCol::kText, 1).center());
}

TEST_F(CGridBaseHintTest, RepaintTakesTheHintDown) {
  Press(WeekCol::kText, 2);
  ASSERT_NE(g->grid->HintWindow(), nullptr);
  g->grid->repaint();
  EXPECT_EQ(g->grid->HintWindow(), nullptr);
  QTest::mouseRelease(g->grid, Qt::RightButton, {}, at);
}

// The focus frame goes round the selected row while the keyboard is in use: Tab in or a cursor
// key shows it, a click hides it, and a focus that came with a right-button press leaves the
// cell hint up.
TEST_F(CGridBaseHintTest, FocusFrameForTheKeyboardOnly) {
  g->parent.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&g->parent));
  const auto blackInSelectedRow = [&] {
    QRect row;
    for (int c = 0; c < g->table.ColCount(); ++c)
      row |= g->grid->CellRect(c, g->table.SelectedRow());
    const QImage img = g->Render();
    int n = 0;
    for (int y = row.top(); y <= row.bottom(); ++y) {
      for (int x = row.left(); x <= row.right(); ++x) n += img.pixelColor(x, y) == Qt::black;
    }
    return n;
  };
  g->table.SelectRow(1);
  const int unfocused = blackInSelectedRow();
  EXPECT_EQ(unfocused, 0);

  g->grid->clearFocus();
  g->grid->setFocus(Qt::TabFocusReason);
  const int framed = blackInSelectedRow();
  EXPECT_GT(framed, g->grid->BaseWidth() / 2) << "dots along the row";

  QTest::mouseClick(g->grid, Qt::LeftButton, {}, g->grid->CellRect(WeekCol::kText, 2).center());
  EXPECT_EQ(blackInSelectedRow(), 0);
  QTest::keyClick(g->grid, Qt::Key_Up);
  EXPECT_EQ(g->table.SelectedRow(), 1);
  EXPECT_GT(blackInSelectedRow(), g->grid->BaseWidth() / 2);

  // Focus that arrives with a right-button press repaints nothing, so its hint stays up.
  g->grid->clearFocus();
  QCoreApplication::processEvents();
  Press(WeekCol::kText, 2);
  QCoreApplication::processEvents();
  EXPECT_TRUE(g->grid->hasFocus());
  EXPECT_NE(g->grid->HintWindow(), nullptr);
  QTest::mouseRelease(g->grid, Qt::RightButton, {}, at);
}

}  // namespace
}  // namespace vespin::ui
