#include "input/CheckFunc.h"

#include <gtest/gtest.h>

#include <string>

#include "text/Sjis.h"

namespace vespin {
namespace {

using sjis::Lit;

TEST(CheckFuncTest, CharacterClasses) {
  const struct {
    std::string text;
    bool alphaNum, zenkaku, hankaku;
  } cases[] = {
      {"", true, true, true},
      {"abcXYZ09", true, false, true},
      {"ab c", false, false, true},
      {"A-1", false, false, true},
      {Lit("日付"), false, true, false},
      {Lit("日付A"), false, false, false},
      {Lit("A日付"), false, false, false},
      {Lit("ﾌﾟﾛﾊﾟﾃｨ"), false, false, true},  // half-width katakana are single bytes
      {Lit("ＡＢ"), false, true, false},
      // A trail byte that looks like a letter must not count as one: 0x8341 is ア.
      {Lit("ア"), false, true, false},
      {"\x93", false, true, false},  // a lone lead byte at the end passes the full-width walk
      {"\x93\xfa"
       "\x93",
       false, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sjis::ToUtf8(c.text));
    EXPECT_EQ(IsAlphaNum(c.text), c.alphaNum);
    EXPECT_EQ(IsZenkaku(c.text), c.zenkaku);
    EXPECT_EQ(IsHankaku(c.text), c.hankaku);
  }
}

TEST(CheckFuncTest, CheckNumeric) {
  const struct {
    std::string text;
    bool money;
    std::string expected;
  } cases[] = {
      {"", false, "Null"},
      {"", true, "Null"},
      {"0012", false, "0012"},
      {"0012", true, "12"},
      {"1000", true, "1,000"},
      {"1234567", true, "1,234,567"},
      {"123", true, "123"},
      {"0", true, "0"},
      {"0000", true, "0"},
      {"100000", true, "100,000"},
      {"-5", true, ""},
      {"1.5", true, ""},
      {"1,000", true, ""},
      {"1,000", false, ""},
      {"12a", false, ""},
      {Lit("１２"), false, ""},
      // Far beyond any machine number: grouped as text, never overflowing.
      {"123456789012345678901234567890", true, "123,456,789,012,345,678,901,234,567,890"},
      {"000000000000000000000000000001", true, "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + (c.money ? " money" : ""));
    EXPECT_EQ(CheckNumeric(c.text, c.money), c.expected);
  }
  const std::string huge(100000, '9');
  const std::string grouped = CheckNumeric(huge, true);
  EXPECT_EQ(grouped.size(), huge.size() + (huge.size() - 1) / 3);
  EXPECT_EQ(DeleteComma(grouped), huge);
}

TEST(CheckFuncTest, DeleteCommaKeepsDoubleByteCharacters) {
  EXPECT_EQ(DeleteComma("1,234,567"), "1234567");
  EXPECT_EQ(DeleteComma(",,"), "");
  EXPECT_EQ(DeleteComma(Lit("表,示")), Lit("表示"));  // 表 is 0x955C: its trail is not a comma
}

TEST(CheckFuncTest, CheckDate) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"", "Null"},
      {"050418", "2005/04/18"},
      {"700101", "1970/01/01"},
      {"691231", "2069/12/31"},
      {"20050418", "2005/04/18"},
      {"00000418", ""},
      {"05/04/18", "2005/04/18"},
      {"75/04/18", "1975/04/18"},
      {"2005/04/18", "2005/04/18"},
      {"2004/02/29", "2004/02/29"},
      {"2005/02/29", ""},
      {"2000/02/29", "2000/02/29"},
      {"1900/02/29", ""},
      {"2005/02/30", ""},
      {"20051301", ""},
      {"2005/04/31", ""},
      {"9999/12/31", "9999/12/31"},
      {"0000/01/01", ""},
      {"0001/01/01", "0001/01/01"},
      {"2005-04-18", ""},
      {"2005418", ""},  // seven bytes
      {"999999", ""},   // 1999/99/99 is only a candidate
      {"99999999", ""},
      {"99/99/99", ""},
      // Ten bytes with the numbers spread differently stay as typed once they read as a date.
      {"2005/4/018", "2005/4/018"},
      {"05/004/018", "05/004/018"},  // a two-digit year reads as 2005
      {"5/0004/018", "5/0004/018"},
      {"00/002/029", "00/002/029"},  // 2000 is a leap year
      {"70/002/029", ""},            // 1970 is not
      {"2005//0418", ""},
      {"/2005/0418", ""},
      {"2005/0418/", ""},
      {"20050/4/18", ""},  // a five-digit year
      {"2005/04/1/", ""},
      {"05/04/1/8", ""},
      {"0504/18", ""},
      {"05104/18", ""},  // the separators of the eight-byte form must really be '/'
      {"//////////", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CheckDate(c.text), c.expected);
  }
}

TEST(CheckFuncTest, DateHelpersGiveCandidatesOnly) {
  EXPECT_EQ(ExpandDate6("999999"), "1999/99/99");
  EXPECT_EQ(ExpandDate6("05041"), "");
  EXPECT_EQ(ExpandDate6("05/418"), "");
  EXPECT_EQ(ExpandDate8("05x04y18"), "2005x04y18");
  EXPECT_EQ(ExpandDate8("0a/04/18"), "");
  EXPECT_EQ(ExpandDate8("00000101"), "");
  EXPECT_EQ(CheckDate10("0000/01/01"), "");
  EXPECT_EQ(CheckDate10("2005/04/18"), "2005/04/18");
  EXPECT_EQ(CheckDate10("2005/04/1/"), "");
}

TEST(CheckFuncTest, KetaCheck) {
  EXPECT_TRUE(KetaCheck("12:30", 5));
  EXPECT_FALSE(KetaCheck("1230", 5));
  EXPECT_FALSE(KetaCheck("123456", 5));
  EXPECT_TRUE(KetaCheck(Lit("日付A"), 5));  // bytes, not characters
  EXPECT_TRUE(KetaCheck("", 0));
  EXPECT_TRUE(KetaCheck("anything", 0));
  EXPECT_FALSE(KetaCheck("", 5));
}

TEST(CheckFuncTest, CheckTimeTakesHHMMAndHHColonMM) {
  const struct {
    std::string typed;
    std::string text;  // what the field shows afterwards
    bool valid;
  } cases[] = {
      {"0930", "09:30", true},
      {"09:30", "09:30", true},
      {"0000", "00:00", true},
      {"2359", "23:59", true},
      {"2400", "24:00", false},  // rewritten, then refused
      {"1260", "12:60", false},
      {"9:30", "9:30", false},  // four bytes, not all digits: left alone
      {"930", "930", false},
      {"12:5", "12:5", false},
      {"12:5 ", "12:5 ", false},
      {"1230 ", "1230 ", false},
      {"12.30", "12.30", false},
      {"ab:cd", "ab:cd", false},
      {"+930", "+930", false},
      {"", "", false},
      {Lit("１２"), Lit("１２"), false},  // four bytes of full-width digits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sjis::ToUtf8(c.typed));
    const TimeEntry entry = CheckTime(c.typed);
    EXPECT_EQ(entry.text, c.text);
    EXPECT_EQ(entry.valid, c.valid);
  }
}

}  // namespace
}  // namespace vespin
