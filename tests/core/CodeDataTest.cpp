#include "events/CodeData.h"

#include <gtest/gtest.h>

namespace vespin {
namespace {

TEST(CodeDataTest, NewTableHasEmptyRows) {
  TCodeData table(3);
  ASSERT_EQ(table.Count(), 3);
  for (const auto& item : table.Items()) {
    EXPECT_EQ(item.Code, "");
    EXPECT_EQ(item.Name, "");
    EXPECT_EQ(item.Extra, "");
  }
  EXPECT_EQ(TCodeData(-4).Count(), 0);
}

TEST(CodeDataTest, SetItemIgnoresIndicesOutsideTheTable) {
  TCodeData table(2);
  table.SetItem(-1, "x", "bad");
  table.SetItem(2, "y", "bad");
  table.SetItem(1, "01", "one", "extra");
  EXPECT_EQ(table.Items()[0].Code, "");
  EXPECT_EQ(table.Items()[1].Code, "01");
  EXPECT_EQ(table.Items()[1].Name, "one");
  EXPECT_EQ(table.Items()[1].Extra, "extra");
}

TEST(CodeDataTest, CodeToNameMatchesExactlyAndTakesTheFirstRow) {
  TCodeData table(4);
  table.SetItem(0, "1", "first");
  table.SetItem(1, "01", "leading zero");
  table.SetItem(2, "1", "duplicate");
  table.SetItem(3, "A", "upper");
  const struct {
    const char* code;
    const char* name;
  } cases[] = {
      {"1", "first"},  // the first of two rows with the same code
      {"01", "leading zero"}, {"001", ""}, {"1 ", ""}, {"a", ""},  // case-sensitive
      {"A", "upper"},         {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(table.CodeToName(c.code), c.name);
  }
}

}  // namespace
}  // namespace vespin
