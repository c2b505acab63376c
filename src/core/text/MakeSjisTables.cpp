// Writes the Shift_JIS (code page 932) tables of Sjis.cpp, read from the C library's own CP932
// converter at build time: a statically linked program cannot load the converter's module, and
// the tables give every program the converter's exact answers without loading it.
//
//   vespin_sjis_tables OUT.inc
//
// The build fails here when the converter behaves otherwise than the tables can say (a byte
// sequence that gives two characters, a character beyond U+FFFF, a failure after a byte taken).
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t kLead = 0xFFFE;
constexpr std::uint16_t kNoCharacter = 0xFFFF;

[[noreturn]] void Fail(const char* what, unsigned value) {
  std::fprintf(stderr, "vespin_sjis_tables: %s (0x%X)\n", what, value);
  std::exit(1);
}

iconv_t Open(const char* to, const char* from) {
  const iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) Fail("the C library has no CP932 converter", 0);
  return cd;
}

// What the converter makes of `in`: the output and whether it took all of it, or the errno it
// stopped with. `taken` counts the input bytes it consumed.
struct Conversion {
  std::string out;
  int error = 0;
  std::size_t taken = 0;
};

Conversion Convert(iconv_t cd, const std::string& in) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  Conversion c;
  char buf[16];
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = buf;
  std::size_t dstLeft = sizeof buf;
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) c.error = errno;
  c.out.assign(buf, static_cast<std::size_t>(dst - buf));
  c.taken = in.size() - srcLeft;
  return c;
}

// The one character of a UTF-8 text below U+FFFE, or Fail.
std::uint16_t OneCharacter(const std::string& utf8, unsigned input) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]) & 0x3Fu; };
  unsigned cp = 0;
  const auto lead = utf8.empty() ? 0u : static_cast<unsigned char>(utf8[0]);
  if (utf8.size() == 1 && lead < 0x80) {
    cp = lead;
  } else if (utf8.size() == 2 && (lead & 0xE0) == 0xC0) {
    cp = (lead & 0x1Fu) << 6 | b(1);
  } else if (utf8.size() == 3 && (lead & 0xF0) == 0xE0) {
    cp = (lead & 0x0Fu) << 12 | b(1) << 6 | b(2);
  } else {
    Fail("not one character below U+10000", input);
  }
  if (cp >= kLead) Fail("a noncharacter", input);
  return static_cast<std::uint16_t>(cp);
}

std::string Utf8(unsigned cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | cp >> 6);
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | cp >> 12);
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

void Row(std::FILE* f, const std::uint16_t* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    std::fprintf(f, "%s0x%04X,", i % 12 == 0 ? "\n   " : " ", values[i]);
  }
  std::fputc('\n', f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) Fail("usage: vespin_sjis_tables OUT.inc", 0);
  const iconv_t decode = Open("UTF-8", "CP932");
  const iconv_t encode = Open("CP932", "UTF-8");

  // Every byte alone: a character, the first byte of a pair (the converter asks for more), or
  // nothing.
  std::uint16_t single[256];
  std::vector<unsigned> leads;
  for (unsigned b = 0; b < 256; ++b) {
    const Conversion c = Convert(decode, std::string(1, static_cast<char>(b)));
    if (c.error == 0) {
      single[b] = OneCharacter(c.out, b);
    } else if (c.error == EINVAL && c.taken == 0) {
      single[b] = kLead;
      leads.push_back(b);
    } else if (c.error == EILSEQ && c.taken == 0) {
      single[b] = kNoCharacter;
    } else {
      Fail("an unexpected answer for a single byte", b);
    }
  }
  // Every first byte with every second byte: a character of both, or nothing (the first byte
  // is then refused alone, and the second read afresh).
  std::vector<std::uint16_t> pairs;
  for (const unsigned lead : leads) {
    for (unsigned trail = 0; trail < 256; ++trail) {
      const std::string in{static_cast<char>(lead), static_cast<char>(trail)};
      const Conversion c = Convert(decode, in);
      if (c.error == 0 && c.taken == 2) {
        pairs.push_back(OneCharacter(c.out, lead << 8 | trail));
      } else if (c.error == EILSEQ && c.taken == 0 && c.out.empty()) {
        pairs.push_back(kNoCharacter);
      } else {
        Fail("an unexpected answer for a byte pair", lead << 8 | trail);
      }
    }
  }
  // Every character below U+10000 but the surrogates, towards Shift_JIS.
  std::vector<std::uint16_t> unicode, sjis;
  for (unsigned cp = 0; cp < 0x10000; ++cp) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    const Conversion c = Convert(encode, Utf8(cp));
    if (c.error != 0) continue;
    if (c.out.size() == 1) {
      sjis.push_back(static_cast<unsigned char>(c.out[0]));
    } else if (c.out.size() == 2 && single[static_cast<unsigned char>(c.out[0])] == kLead) {
      sjis.push_back(static_cast<std::uint16_t>(static_cast<unsigned char>(c.out[0]) << 8 |
                                                static_cast<unsigned char>(c.out[1])));
    } else {
      Fail("a character that is not one or two bytes", cp);
    }
    unicode.push_back(static_cast<std::uint16_t>(cp));
  }
  iconv_close(decode);
  iconv_close(encode);

  const std::string tmp = std::string(argv[1]) + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) Fail("cannot write the output", 0);
  std::fprintf(f,
               "// Generated at build time by vespin_sjis_tables from the C library's CP932 "
               "converter.\n"
               "constexpr std::uint16_t kLead = 0x%04X;\n"
               "constexpr std::uint16_t kNoCharacter = 0x%04X;\n"
               "// Each byte alone: a character, kLead or kNoCharacter.\n"
               "constexpr std::uint16_t kSingle[256] = {",
               kLead, kNoCharacter);
  Row(f, single, 256);
  std::fprintf(f, "};\n// The row of kPair of each first byte of a pair.\n");
  std::uint16_t row[256] = {};
  for (std::size_t i = 0; i < leads.size(); ++i) row[leads[i]] = static_cast<std::uint16_t>(i);
  std::fprintf(f, "constexpr std::uint8_t kPairRow[256] = {");
  Row(f, row, 256);
  std::fprintf(f, "};\n// For each first byte of a pair in order, its 256 second bytes.\n");
  std::fprintf(f, "constexpr std::uint16_t kPair[%zu][256] = {", leads.size());
  for (std::size_t i = 0; i < leads.size(); ++i) {
    std::fprintf(f, "\n  {");
    Row(f, pairs.data() + i * 256, 256);
    std::fprintf(f, "  },");
  }
  std::fprintf(f, "\n};\n// From the characters (ascending) to their bytes: above 0xFF two.\n");
  std::fprintf(f, "constexpr std::uint16_t kEncodeFrom[%zu] = {", unicode.size());
  Row(f, unicode.data(), unicode.size());
  std::fprintf(f, "};\nconstexpr std::uint16_t kEncodeTo[%zu] = {", sjis.size());
  Row(f, sjis.data(), sjis.size());
  std::fprintf(f, "};\n");
  if (std::fclose(f) != 0 || std::rename(tmp.c_str(), argv[1]) != 0) {
    Fail("cannot write the output", 0);
  }
  return 0;
}
