#include "Output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vespin::cli {

Output& Output::operator<<(std::string_view s) {
  if (text_) {
    text_->append(s);
    return *this;
  }
  switch (buffering_) {
    case Buffering::kNone:
      Write(s);
      break;
    case Buffering::kLine:
      buffer_.append(s);
      if (s.find('\n') != std::string_view::npos) Flush();
      break;
    case Buffering::kBlock: {
      if (block_ == 0) {
        struct stat st {};
        block_ = fstat(fd_, &st) == 0 && st.st_blksize > 0 ? static_cast<std::size_t>(st.st_blksize)
                                                           : BUFSIZ;
        buffer_.reserve(block_);
      }
      // Where stdio would write, so that what goes to standard error falls between the same
      // bytes: fill the buffer, write it when full, then whole blocks at once, keep the rest.
      const std::size_t take = std::min(block_ - buffer_.size(), s.size());
      buffer_.append(s.substr(0, take));
      s.remove_prefix(take);
      if (s.empty()) break;
      Flush();
      const std::size_t whole = s.size() - s.size() % block_;
      Write(s.substr(0, whole));
      buffer_.append(s.substr(whole));
      break;
    }
  }
  return *this;
}

void Output::Flush() {
  if (buffer_.empty()) return;
  Write(buffer_);
  buffer_.clear();
}

void Output::Write(std::string_view s) {
  // After a failed write nothing more is written: the output would have a hole in it.
  while (!s.empty() && error_ == 0) {
    const ssize_t n = ::write(fd_, s.data(), s.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : EIO;
      return;
    }
    s.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace vespin::cli
