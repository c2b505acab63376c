#pragma once
// Where a command writes: a string, or a file descriptor written the way the C library's stdio
// writes its standard streams. Not a std::ostream: the first stream of a process builds the whole
// C++ locale, and that alone costs a short command a tenth of its run.

#include <charconv>
#include <concepts>
#include <string>
#include <string_view>

namespace vespin::cli {

class Output {
 public:
  enum class Buffering {
    kBlock,  // in blocks of the file's own size, as stdio buffers a file or a pipe
    kLine,   // up to each line's end, as stdio buffers a terminal
    kNone,   // at once, as stdio writes standard error
  };

  // Appends to `text`.
  explicit Output(std::string& text) : text_(&text) {}
  Output(int fd, Buffering buffering) : fd_(fd), buffering_(buffering) {}
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  Output& operator<<(std::string_view s);
  Output& operator<<(char c) { return *this << std::string_view(&c, 1); }
  template <std::integral T>
  requires(!std::same_as<T, char> && !std::same_as<T, bool>) Output& operator<<(T n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
  }

  // Writes what is buffered.
  void Flush();

  // The errno of the first write that failed (a full disk, say), or 0: the rest is dropped.
  int Error() const { return error_; }

 private:
  void Write(std::string_view s);

  std::string* text_ = nullptr;
  int fd_ = -1;
  Buffering buffering_ = Buffering::kNone;
  std::string buffer_;
  std::size_t block_ = 0;  // the file's block size, looked up at the first write
  int error_ = 0;
};

}  // namespace vespin::cli
