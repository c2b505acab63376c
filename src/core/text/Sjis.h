#pragma once
// Shift_JIS (code page 932) helpers. Texts in core are Shift_JIS bytes held in std::string;
// conversion to and from UTF-8 happens only at the edges (windows, terminal output, constants
// written in this source code).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vespin::sjis {

// 0x81–0x9F and 0xE0–0xFC begin a double-byte character.
constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Shift_JIS bytes to UTF-8. Bytes that do not form a character become U+FFFD; never fails.
std::string ToUtf8(std::string_view sjis);

// UTF-8 to Shift_JIS bytes; nullopt when the input is not UTF-8 or holds a character that
// Shift_JIS cannot represent (an emoji, say).
std::optional<std::string> FromUtf8(std::string_view utf8);

// For texts written in this source code, which are all representable. Aborts otherwise, since
// that is a programming error, not bad input.
std::string Lit(std::string_view utf8);

// The longest prefix of `sjis` of at most `maxBytes` bytes that does not end in the middle
// of a double-byte character.
std::string_view TruncateBytes(std::string_view sjis, std::size_t maxBytes);

// `sjis` without a lead byte at its end that has lost the byte after it.
std::string_view WholeCharacters(std::string_view sjis);

}  // namespace vespin::sjis
