#include "text/Sjis.h"

#include <gtest/gtest.h>

namespace vespin::sjis {
namespace {

TEST(SjisTest, RoundTripsJapaneseText) {
  const struct {
    const char* utf8;
    const char* sjis;
  } cases[] = {
      {"日付", "\x93\xfa\x95\x74"},
      {"ｲﾍﾞﾝﾄ", "\xb2\xcd\xde\xdd\xc4"},
      {"「済」", "\x81\x75\x8d\xcf\x81\x76"},
      {"ABC 12", "ABC 12"},
      {"①髙", "\x87\x40\xfb\xfc"},  // NEC and IBM extensions of the Windows table
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    ASSERT_EQ(FromUtf8(c.utf8), std::optional<std::string>(c.sjis));
    EXPECT_EQ(ToUtf8(c.sjis), c.utf8);
  }
}

TEST(SjisTest, UnrepresentableCharactersAreRefused) {
  EXPECT_EQ(FromUtf8("会議\xF0\x9F\x98\x80"), std::nullopt);  // an emoji
  EXPECT_EQ(FromUtf8("\xC3"), std::nullopt);                  // broken UTF-8
  EXPECT_EQ(FromUtf8("한"), std::nullopt);                    // Hangul
}

TEST(SjisTest, BrokenBytesBecomeReplacementCharacters) {
  EXPECT_EQ(ToUtf8("A\x93"), "A\xEF\xBF\xBD");  // lead byte without its trail
  EXPECT_EQ(ToUtf8("\xFD"
                   "B"),
            "\xEF\xBF\xBD"
            "B");  // never a character
  EXPECT_EQ(ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(SjisTest, TruncateNeverSplitsACharacter) {
  const std::string text = Lit("会議A室");  // 2+2+1+2 bytes
  EXPECT_EQ(TruncateBytes(text, 7), text);
  EXPECT_EQ(ToUtf8(TruncateBytes(text, 6)), "会議A");
  EXPECT_EQ(ToUtf8(TruncateBytes(text, 5)), "会議A");
  EXPECT_EQ(ToUtf8(TruncateBytes(text, 3)), "会");
  EXPECT_EQ(TruncateBytes(text, 1), "");
  EXPECT_EQ(TruncateBytes(text, 0), "");
}

TEST(SjisTest, AnEndWithoutItsLastByteLosesItsLeadByte) {
  const struct {
    std::string in, out;
  } cases[] = {
      {Lit("会"), Lit("会")},  // 0x89 0xEF: a trail byte that could also lead
      {Lit("会") + "\x82", Lit("会")},
      {Lit("会議") + "\xE0", Lit("会議")},
      {"\x82", ""},
      {"A\x82", "A"},
      {Lit("ソ"), Lit("ソ")},  // 0x83 0x5C
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(WholeCharacters(c.in), c.out) << ToUtf8(c.in);
}

TEST(SjisTest, LeadBytes) {
  for (int b = 0; b < 256; ++b) {
    const bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b)), expected) << b;
  }
}

}  // namespace
}  // namespace vespin::sjis
