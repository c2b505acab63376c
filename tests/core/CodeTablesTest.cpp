#include "events/CodeTables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/Sjis.h"

namespace vespin {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;  // code, UTF-8 name

Pairs Contents(const TCodeData& table) {
  Pairs out;
  for (const auto& item : table.Items()) {
    EXPECT_EQ(item.Extra, "") << item.Code;
    out.emplace_back(item.Code, sjis::ToUtf8(item.Name));
  }
  return out;
}

TEST(CodeTablesTest, FixedTablesInDropDownOrder) {
  const CodeTables& c = Codes();
  EXPECT_EQ(Contents(c.cdWType), (Pairs{{"1", "毎週"},
                                        {"2", "第１"},
                                        {"3", "第２"},
                                        {"4", "第３"},
                                        {"5", "第４"},
                                        {"6", "第１・第３"},
                                        {"7", "第２・第４"},
                                        {"81", "毎日"},
                                        {"82", "平日"},
                                        {"83", "月水金"},
                                        {"84", "火木土"},
                                        {"85", "土日"},
                                        {"86", "祝祭日"},
                                        {"87", "土日祝祭日"}}));
  EXPECT_EQ(Contents(c.cdMType),
            (Pairs{{"1", "毎月"}, {"20", "最初の"}, {"30", "最後の"}, {"400", "末日"}}));
  EXPECT_EQ(Contents(c.cdDay), (Pairs{{"1", "日曜"},
                                      {"2", "月曜"},
                                      {"3", "火曜"},
                                      {"4", "水曜"},
                                      {"5", "木曜"},
                                      {"6", "金曜"},
                                      {"7", "土曜"},
                                      {"8", "平日"}}));
  EXPECT_EQ(Contents(c.cdAlarm), (Pairs{{"01", "起動時"},
                                        {"02", "1分前"},
                                        {"03", "3分前"},
                                        {"04", "5分前"},
                                        {"05", "10分前"},
                                        {"06", "15分前"},
                                        {"07", "30分前"},
                                        {"08", "1時間前"},
                                        {"09", "2時間前"},
                                        {"10", "3時間前"},
                                        {"11", "6時間前"},
                                        {"12", "12時間前"},
                                        {"13", "1日前"},
                                        {"14", "3日前"},
                                        {"15", "7日前"}}));
}

TEST(CodeTablesTest, MonthsAndDaysAreNumberedWithTwoDigitCodes) {
  const CodeTables& c = Codes();
  ASSERT_EQ(c.cdMonth.Count(), 12);
  ASSERT_EQ(c.cdDate.Count(), 31);
  for (int n = 1; n <= 31; ++n) {
    const std::string code = (n < 10 ? "0" : "") + std::to_string(n);
    SCOPED_TRACE(code);
    EXPECT_EQ(c.cdDate.Items()[static_cast<std::size_t>(n - 1)].Code, code);
    EXPECT_EQ(sjis::ToUtf8(c.cdDate.CodeToName(code)), std::to_string(n) + "日");
    if (n <= 12) {
      EXPECT_EQ(c.cdMonth.Items()[static_cast<std::size_t>(n - 1)].Code, code);
      EXPECT_EQ(sjis::ToUtf8(c.cdMonth.CodeToName(code)), std::to_string(n) + "月");
    }
  }
  // Lookups are by the stored code only: no leading zero, no room for out-of-range numbers.
  EXPECT_EQ(c.cdMonth.CodeToName("4"), "");
  EXPECT_EQ(c.cdMonth.CodeToName("13"), "");
  EXPECT_EQ(c.cdDate.CodeToName("00"), "");
  EXPECT_EQ(c.cdDate.CodeToName("32"), "");
}

TEST(CodeTablesTest, DayCountOffersTheTwentyNinthOfFebruary) {
  const int expected[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(DayCount(month), expected[month - 1]) << month;
    EXPECT_LE(DayCount(month), Codes().cdDate.Count());
  }
  // No month selected (its code reads as 0) offers the whole list.
  EXPECT_EQ(DayCount(0), 31);
}

TEST(CodeTablesTest, BuiltOnce) {
  EXPECT_EQ(&Codes(), &Codes());
}

}  // namespace
}  // namespace vespin
