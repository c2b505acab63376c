#pragma once
// A stdio stream that keeps what is written to it in memory, for code that writes to a FILE*.
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vespin::test {

class MemoryStream {
 public:
  MemoryStream() : file_(open_memstream(&data_, &size_)) {
    if (file_ == nullptr) std::abort();
  }
  ~MemoryStream() {
    std::fclose(file_);
    std::free(data_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  std::FILE* File() const { return file_; }
  // Everything written so far, NUL bytes and all.
  std::string Text() {
    std::fflush(file_);
    return {data_, size_};
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

}  // namespace vespin::test
