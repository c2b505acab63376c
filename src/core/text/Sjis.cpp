#include "text/Sjis.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace vespin::sjis {
namespace {

// kSingle, kPairRow, kPair, kEncodeFrom, kEncodeTo: the C library's CP932 converter, read by the
// build. No converter module is loaded at run time, which a statically linked program could not.
#include "text/SjisTables.inc"

constexpr std::uint16_t kReplacement = 0xFFFD;

// Writes `cp` as UTF-8 at `out`; returns the end.
char* PutUtf8(char* out, std::uint16_t cp) {
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | cp >> 6);
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<char>(0xE0 | cp >> 12);
    *out++ = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// The next character of UTF-8 text at `i` if it lies below U+10000 and is written in its
// shortest form; nothing beyond U+FFFF has a Shift_JIS form anyway, nor has a surrogate.
std::optional<std::uint16_t> NextBmpCharacter(std::string_view s, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const auto tail = [&](std::size_t k) { return k < s.size() && (byte(k) & 0xC0) == 0x80; };
  const unsigned b = byte(i);
  if (b < 0x80) {
    ++i;
    return static_cast<std::uint16_t>(b);
  }
  if (b >= 0xC2 && b <= 0xDF && tail(i + 1)) {
    const unsigned cp = (b & 0x1Fu) << 6 | (byte(i + 1) & 0x3Fu);
    i += 2;
    return static_cast<std::uint16_t>(cp);
  }
  if ((b & 0xF0) == 0xE0 && tail(i + 1) && tail(i + 2)) {
    const unsigned cp = (b & 0x0Fu) << 12 | (byte(i + 1) & 0x3Fu) << 6 | (byte(i + 2) & 0x3Fu);
    if (cp < 0x800) return std::nullopt;  // overlong
    i += 3;
    return static_cast<std::uint16_t>(cp);
  }
  return std::nullopt;
}

}  // namespace

std::string ToUtf8(std::string_view sjis) {
  // No byte gives more than three: a character of one or two bytes, or U+FFFD for one byte.
  std::string out(sjis.size() * 3, '\0');
  char* end = out.data();
  for (std::size_t i = 0; i < sjis.size();) {
    const auto b = static_cast<unsigned char>(sjis[i]);
    std::uint16_t cp = kSingle[b];
    ++i;
    if (cp == kLead) {
      // A first byte at the end has lost its second one; a second byte that does not make a
      // character with it is read afresh.
      if (i == sjis.size()) {
        cp = kNoCharacter;
      } else {
        cp = kPair[kPairRow[b]][static_cast<unsigned char>(sjis[i])];
        if (cp != kNoCharacter) ++i;
      }
    }
    end = PutUtf8(end, cp == kNoCharacter ? kReplacement : cp);
  }
  out.resize(static_cast<std::size_t>(end - out.data()));
  return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto cp = NextBmpCharacter(utf8, i);
    if (!cp) return std::nullopt;
    const auto* at = std::lower_bound(std::begin(kEncodeFrom), std::end(kEncodeFrom), *cp);
    if (at == std::end(kEncodeFrom) || *at != *cp) return std::nullopt;
    const std::uint16_t bytes = kEncodeTo[at - std::begin(kEncodeFrom)];
    if (bytes > 0xFF) out += static_cast<char>(bytes >> 8);
    out += static_cast<char>(bytes & 0xFF);
  }
  return out;
}

std::string Lit(std::string_view utf8) {
  auto s = FromUtf8(utf8);
  if (!s) {
    std::fprintf(stderr, "vespin: text constant not representable in Shift_JIS\n");
    std::abort();
  }
  return *s;
}

namespace {

// The bytes of the whole characters that fit into the first `maxBytes` bytes.
std::size_t WholePrefix(std::string_view sjis, std::size_t maxBytes) {
  std::size_t i = 0;
  while (i < maxBytes) {
    const std::size_t len = IsLeadByte(static_cast<unsigned char>(sjis[i])) ? 2 : 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  return i;
}

}  // namespace

std::string_view TruncateBytes(std::string_view sjis, std::size_t maxBytes) {
  if (sjis.size() <= maxBytes) return sjis;
  return sjis.substr(0, WholePrefix(sjis, maxBytes));
}

std::string_view WholeCharacters(std::string_view sjis) {
  return sjis.substr(0, WholePrefix(sjis, sjis.size()));
}

}  // namespace vespin::sjis
