#include "text/Sjis.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace vespin::sjis {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

std::string Bytes(std::initializer_list<unsigned> bytes) {
  std::string s;
  for (const unsigned b : bytes) s += static_cast<char>(b);
  return s;
}

std::string Utf8(unsigned cp) {
  if (cp < 0x80) return Bytes({cp});
  if (cp < 0x800) return Bytes({0xC0 | cp >> 6, 0x80 | (cp & 0x3F)});
  if (cp < 0x10000) return Bytes({0xE0 | cp >> 12, 0x80 | (cp >> 6 & 0x3F), 0x80 | (cp & 0x3F)});
  return Bytes(
      {0xF0 | cp >> 18, 0x80 | (cp >> 12 & 0x3F), 0x80 | (cp >> 6 & 0x3F), 0x80 | (cp & 0x3F)});
}

// One character of UTF-8 and nothing else.
bool OneCharacter(const std::string& utf8) {
  if (utf8.empty()) return false;
  const auto lead = static_cast<unsigned char>(utf8[0]);
  const std::size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return utf8.size() == size;
}

// The byte tests that cut texts (TruncateBytes, WholeCharacters) read a character's length from
// its first byte; the converter must agree, or a cut splits what it reads as one character. It
// asks for more input after exactly those bytes.
TEST(SjisTest, LeadBytesAreTheOnesTheConverterWaitsAfter) {
  const iconv_t cd = iconv_open("UTF-8", "CP932");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  for (unsigned b = 0; b < 256; ++b) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in = static_cast<char>(b);
    char out[8];
    char* src = &in;
    char* dst = out;
    std::size_t srcLeft = 1, dstLeft = sizeof out;
    const bool waits = iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) &&
                       errno == EINVAL;
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b)), waits) << b;
  }
  iconv_close(cd);
}

// Every byte alone and every pair of bytes: a character, or U+FFFD in place of a byte that
// makes none, after which the reading goes on with the next byte; nothing is lost or doubled.
// Every character read can be written back, and reads again as itself, so a load and a save
// settle.
TEST(SjisTest, EveryByteAndPairReadsWholeOrReplacedAndWritesBack) {
  std::set<std::string> read;
  for (unsigned a = 0; a < 256; ++a) {
    const std::string alone = ToUtf8(Bytes({a}));
    SCOPED_TRACE(a);
    if (IsLeadByte(static_cast<unsigned char>(a))) {
      ASSERT_EQ(alone, kReplacement);  // its second byte is missing
    } else {
      ASSERT_TRUE(OneCharacter(alone));
      if (alone != kReplacement) read.insert(alone);
    }
    for (unsigned b = 0; b < 256; ++b) {
      const std::string pair = ToUtf8(Bytes({a, b}));
      const std::string apart = alone + ToUtf8(Bytes({b}));
      if (!IsLeadByte(static_cast<unsigned char>(a))) {
        ASSERT_EQ(pair, apart) << b;
      } else if (pair != kReplacement + ToUtf8(Bytes({b}))) {
        ASSERT_TRUE(OneCharacter(pair) && pair != kReplacement) << b;
        read.insert(pair);
      }
    }
  }
  EXPECT_GT(read.size(), 9000u);  // the Windows table with its NEC and IBM rows
  int wrong = 0;
  for (const std::string& c : read) {
    const auto bytes = FromUtf8(c);
    if ((!bytes || ToUtf8(*bytes) != c) && ++wrong <= 10) ADD_FAILURE() << c;
  }
  EXPECT_EQ(wrong, 0);
}

// Towards Shift_JIS every character is one or two bytes of its own (two begin with a lead
// byte), or refuses the whole text.
TEST(SjisTest, EveryCharacterWritesAsItsOwnBytesOrRefusesTheText) {
  int written = 0;
  for (unsigned cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    const auto alone = FromUtf8(Utf8(cp));
    const auto within = FromUtf8("A" + Utf8(cp) + "B");
    SCOPED_TRACE(cp);
    if (!alone) {
      ASSERT_EQ(within, std::nullopt);
      continue;
    }
    ++written;
    ASSERT_EQ(within, "A" + *alone + "B");
    ASSERT_TRUE(alone->size() == 1 || alone->size() == 2);
    ASSERT_EQ(alone->size() == 2, IsLeadByte(static_cast<unsigned char>((*alone)[0])));
  }
  EXPECT_GT(written, 9000);
}

TEST(SjisTest, MalformedOrUnrepresentableUtf8IsRefused) {
  const std::string cases[] = {
      Bytes({0xC3}),                          // cut off
      Bytes({0xE3, 0x81}),                    // cut off
      Bytes({0xE3, 0x81, 0x41}),              // a tail byte missing
      Bytes({0x81}),                          // a tail byte alone
      Bytes({0xC0, 0x81}),                    // overlong
      Bytes({0xE0, 0x80, 0x80}),              // overlong
      Bytes({0xE0, 0x9F, 0xBF}),              // overlong
      Bytes({0xF0, 0x80, 0x80, 0x80}),        // overlong
      Bytes({0xED, 0xA0, 0x80}),              // a surrogate
      Bytes({0xED, 0xBF, 0xBF}),              // a surrogate
      Bytes({0xF4, 0x90, 0x80, 0x80}),        // beyond U+10FFFF
      Bytes({0xF8, 0x88, 0x80, 0x80, 0x80}),  // five bytes
      Bytes({0xFF}),
      Utf8(0x10000),
      Utf8(0x1F600),  // an emoji
      Utf8(0x10FFFF),
      "한",  // Hangul
  };
  for (const std::string& bad : cases) {
    EXPECT_EQ(FromUtf8(bad), std::nullopt) << testing::PrintToString(bad);
    EXPECT_EQ(FromUtf8(std::string(3000, 'a') + bad + "b"), std::nullopt)
        << testing::PrintToString(bad);
  }
}

// Texts far longer than the converter's steps, with broken bytes anywhere: the whole reads as
// its parts read alone, and writes as they write.
TEST(SjisTest, LongTextsConvertAsTheirParts) {
  const std::string sjisParts[] = {
      "A",
      Lit("会議"),
      Lit("ｲﾍﾞﾝﾄ"),
      Lit("①髙"),
      "\x80",
      "\xA0",
      "\xFD",
      "\x81\x7F",  // a first byte whose second byte cannot follow it
      "\x85\x40",  // a row without characters
      std::string(1, '\0'),
  };
  const std::string utf8Parts[] = {"A", "会議", "ｲﾍﾞﾝﾄ", "①髙", "¥", std::string(1, '\0')};
  std::mt19937 rnd(42);
  for (int round = 0; round < 20; ++round) {
    std::string sjis, read, utf8, written;
    while (sjis.size() < 20000) {
      const std::string& part = sjisParts[rnd() % std::size(sjisParts)];
      sjis += part;
      read += ToUtf8(part);
    }
    while (utf8.size() < 20000) {
      const std::string& part = utf8Parts[rnd() % std::size(utf8Parts)];
      utf8 += part;
      written += FromUtf8(part).value();
    }
    ASSERT_EQ(ToUtf8(sjis), read);
    ASSERT_EQ(FromUtf8(utf8), written);
  }
}

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

TEST(SjisTest, BrokenBytesBecomeReplacementCharacters) {
  EXPECT_EQ(ToUtf8("A\x93"), "A" + kReplacement);  // lead byte without its trail
  EXPECT_EQ(ToUtf8("\xFD"
                   "B"),
            kReplacement + "B");  // never a character
  EXPECT_EQ(ToUtf8("\x81\x7F\x81\x40"), kReplacement + "\x7F" + "　");
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

}  // namespace
}  // namespace vespin::sjis
