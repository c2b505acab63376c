#include "text/Sjis.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <string>
#include <vector>

namespace vespin::sjis {
namespace {

// The C library's CP932 converter, which the codec's tables were read from.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (Ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // All of `in`, or nullopt at the first sequence the converter refuses.
  std::optional<std::string> Strict(std::string_view in) {
    std::string out;
    return Run(in, out) == 0 ? std::optional(out) : std::nullopt;
  }

  // A sequence the converter refuses gives U+FFFD, and the reading goes on one byte later; an
  // unfinished sequence at the end gives U+FFFD.
  std::string Replacing(std::string_view in) {
    std::string out;
    while (!in.empty()) {
      const int error = Run(in, out);
      if (error == 0) break;
      out += "\xEF\xBF\xBD";
      in.remove_prefix(error == EINVAL ? in.size() : 1);
    }
    return out;
  }

 private:
  // Converts `in` into `out` up to a refused sequence, which stays in `in`; its errno or 0.
  int Run(std::string_view& in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buf[64];
    char* dst = buf;
    std::size_t room = sizeof buf;
    const bool done = iconv(cd_, &src, &left, &dst, &room) != static_cast<std::size_t>(-1);
    const int error = done ? 0 : errno;
    out.append(buf, static_cast<std::size_t>(dst - buf));
    in.remove_prefix(in.size() - left);
    return error;
  }

  iconv_t cd_;
};

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

// Every byte alone and every pair of bytes (a lead byte with every possible trail byte, valid
// or not, and two bytes that are each a character), decoded as the converter decodes them.
TEST(SjisTest, DecodesEveryByteAndPairAsTheConverter) {
  Iconv cp932("UTF-8", "CP932");
  ASSERT_TRUE(cp932.Ok());
  std::vector<std::string> inputs;
  for (unsigned b = 0; b < 256; ++b) inputs.push_back(Bytes({b}));
  for (unsigned b = 0; b < 0x10000; ++b) inputs.push_back(Bytes({b >> 8, b & 0xFF}));
  int wrong = 0;
  for (const std::string& in : inputs) {
    const std::string expected = cp932.Replacing(in);
    if (ToUtf8(in) != expected && ++wrong <= 10) {
      ADD_FAILURE() << testing::PrintToString(in) << " gives " << testing::PrintToString(ToUtf8(in))
                    << ", not " << testing::PrintToString(expected);
    }
  }
  EXPECT_EQ(wrong, 0);
}

// Every character below U+10000 and a few beyond, every pair of bytes as UTF-8 input, and the
// malformed sequences a byte pair cannot show.
TEST(SjisTest, EncodesEveryCharacterAsTheConverter) {
  Iconv cp932("CP932", "UTF-8");
  ASSERT_TRUE(cp932.Ok());
  std::vector<std::string> inputs;
  for (unsigned cp = 0; cp < 0x10000; ++cp) {
    if (cp < 0xD800 || cp >= 0xE000) inputs.push_back(Utf8(cp) + "A");
  }
  for (const unsigned cp : {0x10000u, 0x1F600u, 0x10FFFFu}) inputs.push_back(Utf8(cp));
  for (unsigned b = 0; b < 0x10000; ++b) inputs.push_back(Bytes({b >> 8, b & 0xFF}));
  for (const auto& bad : {Bytes({0xE0, 0x80, 0x80}), Bytes({0xE0, 0x9F, 0xBF}),
                          Bytes({0xED, 0xA0, 0x80}), Bytes({0xED, 0xBF, 0xBF}), Bytes({0xE3, 0x81}),
                          Bytes({0xE3, 0x81, 0x41}), Bytes({0xF0, 0x80, 0x80, 0x80}),
                          Bytes({0xF4, 0x90, 0x80, 0x80}), Bytes({0xF8, 0x88, 0x80, 0x80, 0x80})}) {
    inputs.push_back(bad);
  }
  int wrong = 0;
  for (const std::string& in : inputs) {
    const auto expected = cp932.Strict(in);
    if (FromUtf8(in) != expected && ++wrong <= 10) {
      ADD_FAILURE() << testing::PrintToString(in) << " gives "
                    << testing::PrintToString(FromUtf8(in)) << ", not "
                    << testing::PrintToString(expected);
    }
  }
  EXPECT_EQ(wrong, 0);
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
