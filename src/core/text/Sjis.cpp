#include "text/Sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vespin::sjis {
namespace {

// The C library's CP932 converter, one per direction and thread: a descriptor carries shift
// state and must not be shared between threads (the panel's lock claim converts on a worker
// thread), and opening one costs more than most conversions.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      std::fprintf(stderr, "vespin: the C library cannot convert %s to %s\n", from, to);
      std::abort();
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // All of `in`. A sequence the converter refuses gives `replacement`, and the reading goes on
  // one byte later, so that a first byte whose second one does not fit it is read afresh; a
  // sequence cut off by the end gives it once. Without a replacement such a sequence fails the
  // whole conversion.
  std::optional<std::string> Convert(std::string_view in, const char* replacement) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    char* src = const_cast<char*>(in.data());  // iconv never writes through it
    std::size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      const bool done = iconv(cd_, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1);
      const int error = errno;
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (done || error == E2BIG) continue;
      if (replacement == nullptr) return std::nullopt;
      out += replacement;
      const std::size_t skip = error == EINVAL ? srcLeft : 1;
      src += skip;
      srcLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string ToUtf8(std::string_view sjis) {
  thread_local Converter decoder("UTF-8", "CP932");
  return *decoder.Convert(sjis, "\xEF\xBF\xBD");
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
  thread_local Converter encoder("CP932", "UTF-8");
  return encoder.Convert(utf8, nullptr);
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
