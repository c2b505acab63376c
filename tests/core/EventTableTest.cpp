#include "events/EventTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace vespin {
namespace {

// A two-column table with rows "a1"/"a2" … whose first cell is the key.
std::vector<std::string> Row(const std::string& key) {
  return {key, key + "!"};
}

std::vector<std::string> Keys(const EventTable& t) {
  std::vector<std::string> keys;
  for (int r = 1; r <= t.DataRowCount(); ++r) keys.emplace_back(t.Cell(0, r));
  return keys;
}

EventTable Filled(std::initializer_list<const char*> keys, int show = 8) {
  EventTable t(2, show);
  int pos = 1;
  for (const char* k : keys) t.InsertRow(pos++, Row(k));
  return t;
}

TEST(EventTableTest, EmptyListGuards) {
  EventTable t(2, 8);
  t.UpdateRow(1, Row("x"));
  t.DeleteRow(1);
  t.SortRows(0, 1);
  EXPECT_EQ(t.DataRowCount(), 0);
  EXPECT_EQ(t.RowCount(), 9);
  EXPECT_EQ(t.SelectedRow(), 1);
  // Any position inserts at row 1 of an empty list.
  t.InsertRow(42, Row("a"));
  EXPECT_EQ(Keys(t), std::vector<std::string>{"a"});
  EXPECT_EQ(t.SelectedRow(), 1);
}

TEST(EventTableTest, RowOperationGuards) {
  EventTable t = Filled({"a", "b"});
  t.InsertRow(4, Row("x"));  // beyond DataRowCount + 1
  t.InsertRow(0, Row("x"));
  t.InsertRow(1, {"only one value"});  // wrong value count
  t.UpdateRow(3, Row("x"));
  t.UpdateRow(1, {"a", "b", "c"});
  t.DeleteRow(0);
  t.DeleteRow(3);
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(t.Cell(1, 1), "a!");
  EXPECT_EQ(t.Cell(5, 1), "");
  EXPECT_EQ(t.Cell(0, 99), "");
}

TEST(EventTableTest, InsertPlacesRowsAndSelectsThem) {
  EventTable t = Filled({"a", "c"});
  t.InsertRow(2, Row("b"));
  t.InsertRow(4, Row("d"));
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(t.SelectedRow(), 4);
  t.UpdateRow(2, Row("B"));
  EXPECT_EQ(t.Cell(1, 2), "B!");
  EXPECT_EQ(t.SelectedRow(), 2);
}

// A new row of the dialog goes directly below the selected one; without a selected data row it
// goes to the end.
TEST(EventTableTest, InsertPositionFollowsTheSelection) {
  const struct {
    int rows;
    int select;  // 0: leave the selection as the rows left it
    bool hasSelected;
    int position;
  } cases[] = {
      {0, 0, false, 1},  {3, 1, true, 2},
      {3, 3, true, 4},   {3, 5, false, 4},  // an empty line below the rows
      {3, -1, false, 4},                    // selection cleared
      {2, 0, true, 3},                      // the last insert is selected
  };
  for (const auto& c : cases) {
    EventTable t(2, 8);
    for (int r = 1; r <= c.rows; ++r) t.InsertRow(r, Row(std::to_string(r)));
    if (c.select != 0) t.SelectRow(c.select);
    SCOPED_TRACE(testing::Message() << t.DataRowCount() << " rows, selected " << t.SelectedRow());
    EXPECT_EQ(t.HasSelectedDataRow(), c.hasSelected);
    EXPECT_EQ(t.InsertPosition(), c.position);
    t.InsertRow(t.InsertPosition(), Row("new"));
    EXPECT_EQ(t.Cell(0, c.position), "new");
  }
}

TEST(EventTableTest, GridGrowsPastTheShownLinesAndShrinksBack) {
  EventTable t = Filled({"1", "2", "3", "4", "5", "6", "7", "8"});
  EXPECT_EQ(t.RowCount(), 9);
  t.InsertRow(9, Row("9"));
  EXPECT_EQ(t.RowCount(), 10);
  EXPECT_EQ(t.TopRow(), 2);  // the new last row is scrolled into view
  t.DeleteRow(9);
  EXPECT_EQ(t.RowCount(), 9);
  EXPECT_EQ(t.SelectedRow(), 8);
  // Rows after the data stay empty.
  EXPECT_EQ(t.Cell(0, 9), "");
  // Into the middle of a list with no empty line left: the rows below move down, whole.
  t.InsertRow(9, Row("9"));
  t.InsertRow(3, Row("x"));
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"1", "2", "x", "3", "4", "5", "6", "7", "8", "9"}));
  EXPECT_EQ(t.Cell(1, 4), "3!");
  EXPECT_EQ(t.RowCount(), 11);
  EXPECT_EQ(t.SelectedRow(), 3);
}

TEST(EventTableTest, DeleteSelectsTheFollowingOrTheNewLastRow) {
  EventTable t = Filled({"a", "b", "c"});
  t.DeleteRow(2);
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(t.SelectedRow(), 2);
  t.DeleteRow(2);
  EXPECT_EQ(t.SelectedRow(), 1);
  t.DeleteRow(1);
  EXPECT_EQ(t.DataRowCount(), 0);
  EXPECT_EQ(t.SelectedRow(), 1);
  EXPECT_EQ(t.Cell(0, 1), "");
}

TEST(EventTableTest, ClearKeepsHeaders) {
  EventTable t = Filled({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"});
  t.SetCell(0, 0, "head");
  t.ClearRows();
  EXPECT_EQ(t.DataRowCount(), 0);
  EXPECT_EQ(t.RowCount(), 9);
  EXPECT_EQ(t.SelectedRow(), 1);
  EXPECT_EQ(t.TopRow(), 1);
  EXPECT_EQ(t.Cell(0, 0), "head");
  EXPECT_EQ(t.Cell(0, 1), "");
}

TEST(EventTableTest, SelectScrollsOnlyWhenOutOfView) {
  EventTable t(2, 3);
  for (int i = 1; i <= 10; ++i) t.InsertRow(i, Row(std::to_string(i)));
  EXPECT_EQ(t.TopRow(), 8);  // last row at the bottom of three lines
  t.SelectRow(9);
  EXPECT_EQ(t.TopRow(), 8);  // visible: no scroll
  t.SelectRow(2);
  EXPECT_EQ(t.TopRow(), 2);
  t.SelectRow(9);  // 9 + 3 > 10: the last row goes to the bottom
  EXPECT_EQ(t.TopRow(), 8);
  t.SelectRow(-1);
  EXPECT_EQ(t.SelectedRow(), -1);
  EXPECT_EQ(t.TopRow(), 1);
}

TEST(EventTableTest, HeaderAndRowsBeyondTheGridCannotBeSelected) {
  EventTable t = Filled({"a", "b", "c"});
  t.SelectRow(2);
  t.SelectRow(0);
  EXPECT_EQ(t.SelectedRow(), 2);
  t.SelectRow(t.RowCount());
  EXPECT_EQ(t.SelectedRow(), 2);
  // An empty line inside the grid can be selected; the list view corrects clicks on it.
  t.SelectRow(5);
  EXPECT_EQ(t.SelectedRow(), 5);
}

TEST(EventTableTest, SortIsTheUnstablePartitionSortAndTheSelectionFollows) {
  EventTable t = Filled({"400 12:00", "115 09:00", "308 18:00", "120 07:00", "203 10:00"});
  t.SelectRow(3);  // "308 18:00"
  t.SortRows(0, 1);
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"115 09:00", "120 07:00", "203 10:00", "308 18:00",
                                               "400 12:00"}));
  EXPECT_EQ(t.Cell(0, t.SelectedRow()), "308 18:00");
  t.SortRows(0, -1);
  EXPECT_EQ(Keys(t), (std::vector<std::string>{"400 12:00", "308 18:00", "203 10:00", "120 07:00",
                                               "115 09:00"}));
  EXPECT_EQ(t.Cell(0, t.SelectedRow()), "308 18:00");
}

TEST(EventTableTest, SortOfEqualKeysMovesRowsLikeThePartitionSort) {
  // Equal keys are exchanged by the partition step: rows with the same key swap places,
  // which a stable sort would never do.
  EventTable t(2, 8);
  t.InsertRow(1, {"k", "first"});
  t.InsertRow(2, {"k", "second"});
  t.InsertRow(3, {"k", "third"});
  t.SelectRow(1);
  t.SortRows(0, 1);
  EXPECT_EQ(t.Cell(1, 1), "third");
  EXPECT_EQ(t.Cell(1, 2), "second");
  EXPECT_EQ(t.Cell(1, 3), "first");
  EXPECT_EQ(t.Cell(1, t.SelectedRow()), "first");
}

TEST(EventTableTest, SortComparesBytesUnsigned) {
  EventTable t(2, 8);
  t.InsertRow(1, {"\x93\xfa", "kanji"});  // lead byte 0x93 sorts after ASCII
  t.InsertRow(2, {"Z", "upper"});
  t.InsertRow(3, {"a", "lower"});
  t.SortRows(0, 1);
  EXPECT_EQ(t.Cell(1, 1), "upper");
  EXPECT_EQ(t.Cell(1, 2), "lower");
  EXPECT_EQ(t.Cell(1, 3), "kanji");
}

TEST(EventTableTest, ColumnSnapshotAndRestore) {
  EventTable t = Filled({"a", "b", "c"});
  t.SetCell(1, 0, "done");
  t.SetCell(1, 2, "x");
  const auto snapshot = t.Column(1);
  ASSERT_EQ(snapshot.size(), 9u);
  EXPECT_EQ(snapshot[0], "done");
  EXPECT_EQ(snapshot[2], "x");
  // Reload with fewer rows: the snapshot goes back only as far as both reach.
  t.ClearRows();
  t.InsertRow(1, Row("a"));
  t.InsertRow(2, Row("b"));
  t.ReplaceColumn(1, snapshot);
  EXPECT_EQ(t.Cell(1, 2), "x");
  EXPECT_EQ(t.Cell(1, 3), "");
  EXPECT_EQ(t.Cell(1, 4), "");
}

TEST(EventTableTest, ChangesAreReported) {
  EventTable t(2, 8);
  int changes = 0;
  t.SetChangeHandler([&] { ++changes; });
  t.InsertRow(1, Row("a"));
  EXPECT_GT(changes, 0);
  const int before = changes;
  t.SetCell(0, 1, "b");
  EXPECT_GT(changes, before);
}

// Thousands of rows in a reserved table, with texts too long to sit inside a string, edited the
// way the dialog edits them: every row keeps its own cells together, in the order of a plain
// list edited alongside, through inserts, deletes, updates, a shrink and a sort.
TEST(EventTableTest, LargeReservedTableKeepsEachRowWhole) {
  constexpr int kRows = 3000;
  EventTable t(3, 8);
  std::vector<std::vector<std::string>> model;
  const auto row = [](int i) {
    const std::string key = std::to_string(i * 7919 % 10007);
    return std::vector<std::string>{key, key + " a text longer than any short string", "#" + key};
  };
  for (int i = 0; i < kRows; ++i) {
    t.InsertRow(t.DataRowCount() + 1, row(i));
    model.push_back(row(i));
  }
  for (int i = 0; i < 200; ++i) {
    const int pos = i * 37 % static_cast<int>(model.size()) + 1;
    switch (i % 3) {
      case 0:
        t.InsertRow(pos, row(kRows + i));
        model.insert(model.begin() + pos - 1, row(kRows + i));
        break;
      case 1:
        t.DeleteRow(pos);
        model.erase(model.begin() + pos - 1);
        break;
      default:
        t.UpdateRow(pos, row(2 * kRows + i));
        model[static_cast<std::size_t>(pos - 1)] = row(2 * kRows + i);
    }
  }
  ASSERT_EQ(t.DataRowCount(), static_cast<int>(model.size()));
  EXPECT_EQ(t.RowCount(), t.DataRowCount() + 1);
  for (int r = 1; r <= t.DataRowCount(); ++r) {
    for (int c = 0; c < 3; ++c) {
      ASSERT_EQ(t.Cell(c, r), model[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c)])
          << "row " << r << " column " << c;
    }
  }
  t.SortRows(0, 1);
  std::vector<std::vector<std::string>> sorted;
  for (int r = 1; r <= t.DataRowCount(); ++r) {
    sorted.push_back(
        {std::string(t.Cell(0, r)), std::string(t.Cell(1, r)), std::string(t.Cell(2, r))});
    if (r > 1) {
      ASSERT_LE(t.Cell(0, r - 1), t.Cell(0, r)) << "row " << r;
    }
  }
  std::sort(model.begin(), model.end());
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, model);
  while (t.DataRowCount() > 0) t.DeleteRow(1);
  EXPECT_EQ(t.RowCount(), 9);
  EXPECT_EQ(t.Cell(1, 1), "");
}

// A copy is a table of its own, and a cell written with a part of its own text takes that part.
TEST(EventTableTest, CopiesAndSelfWritesKeepTheirTexts) {
  const std::string longText(40, 'x');
  auto original = std::make_unique<EventTable>(2, 2);
  for (int i = 0; i < 4; ++i) original->InsertRow(i + 1, {"k" + std::to_string(i), longText});
  const EventTable copy = *original;
  original->SetCell(1, 1, "short");
  original->DeleteRow(2);
  original.reset();
  EXPECT_EQ(copy.Cell(1, 1), longText);
  EXPECT_EQ(copy.Cell(1, 2), longText);
  EXPECT_EQ(copy.Cell(0, 4), "k3");

  struct Overwrite {
    std::string before;
    int from, length;  // the new text is this part of the old one
  };
  for (const Overwrite& o : std::vector<Overwrite>{
           {"abcdef", 2, 3}, {"abcdef", 0, 6}, {"abcdef", 0, 0}, {longText + "yz", 38, 4}}) {
    EventTable t(1, 1);
    t.InsertRow(1, {o.before});
    t.SetCell(0, 1,
              std::string_view(t.Cell(0, 1))
                  .substr(static_cast<std::size_t>(o.from), static_cast<std::size_t>(o.length)));
    EXPECT_EQ(t.Cell(0, 1), o.before.substr(static_cast<std::size_t>(o.from),
                                            static_cast<std::size_t>(o.length)));
  }
}

TEST(EventTableTest, RowCountShowIsAtLeastOne) {
  EventTable t(2, 8);
  t.SetRowCountShow(0);
  EXPECT_EQ(t.RowCountShow(), 1);
  EXPECT_EQ(t.RowCount(), 2);
  t.SetRowCountShow(-4);
  EXPECT_EQ(t.RowCountShow(), 1);
}

}  // namespace
}  // namespace vespin
