#include "text/Sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace vespin::sjis {
namespace {

// One converter per direction and thread; iconv descriptors carry shift state and are not
// thread-safe, and opening one costs more than most conversions.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      std::fprintf(stderr, "vespin: iconv cannot convert %s to %s\n", from, to);
      std::abort();
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of `in`. On a byte sequence it cannot take, calls onBad(out) and skips
  // `skip` input bytes when it returns true, or gives up when it returns false.
  template <typename OnBad>
  bool Convert(std::string_view in, std::string& out, OnBad onBad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    out.reserve(in.size() * 3 / 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[256];
    while (srcLeft > 0) {
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end).
      const std::size_t skip = (errno == EINVAL) ? srcLeft : 1;
      if (!onBad(out)) return false;
      src += skip;
      srcLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buf;
    std::size_t dstLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return true;
  }

 private:
  iconv_t cd_;
};

Converter& ToUtf8Converter() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}

Converter& FromUtf8Converter() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}

}  // namespace

std::string ToUtf8(std::string_view sjis) {
  std::string out;
  ToUtf8Converter().Convert(sjis, out, [](std::string& o) {
    o += "\xEF\xBF\xBD";
    return true;
  });
  return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  std::string out;
  if (!FromUtf8Converter().Convert(utf8, out, [](std::string&) { return false; })) {
    return std::nullopt;
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
