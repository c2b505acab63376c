#include "events/FileLines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "events/WholeFile.h"

namespace vespin {
namespace {

// Cuts the line that begins at `pos`. While more bytes are to come (`atEnd` false), a line whose
// end is not in sight yet, or that ends in a CR that may be followed by LF, is left uncut.
bool CutLine(std::string_view bytes, std::size_t& pos, bool atEnd, FileLine& line) {
  std::size_t stop = pos;
  while (stop < bytes.size() && bytes[stop] != '\r' && bytes[stop] != '\n') ++stop;
  if (stop == bytes.size()) {
    if (!atEnd) return false;
    line.text = bytes.substr(pos);
    line.end = LineEnd::kNone;
    pos = bytes.size();
    return true;
  }
  if (bytes[stop] == '\r' && stop + 1 == bytes.size() && !atEnd) return false;
  line.text = bytes.substr(pos, stop - pos);
  if (bytes[stop] == '\n') {
    line.end = LineEnd::kLf;
    pos = stop + 1;
  } else if (stop + 1 < bytes.size() && bytes[stop + 1] == '\n') {
    line.end = LineEnd::kCrLf;
    pos = stop + 2;
  } else {
    line.end = LineEnd::kCr;
    pos = stop + 1;
  }
  return true;
}

// Numbers the lines and finds the sections by position.
class SectionTracker {
 public:
  void Place(FileLine& line) {
    line.number = ++number_;
    if (!line.text.empty()) {
      if (!seenFirst_) {
        // The first line opens the weekly section whatever it says.
        seenFirst_ = true;
        line.isHeader = true;
      } else if (line.text.front() == '[') {
        section_ = ini::NextSection(section_);
        line.isHeader = true;
      }
    }
    line.section = section_;
  }

 private:
  FileSection section_ = FileSection::kWeek;
  bool seenFirst_ = false;
  int number_ = 0;
};

}  // namespace

void ForEachEventFileLine(std::string_view bytes,
                          const std::function<void(const FileLine&)>& onLine) {
  SectionTracker tracker;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    FileLine line;
    CutLine(bytes, pos, true, line);
    tracker.Place(line);
    onLine(line);
  }
}

std::vector<FileLine> SplitEventFile(std::string_view bytes) {
  std::vector<FileLine> lines;
  ForEachEventFileLine(bytes, [&lines](const FileLine& line) { lines.push_back(line); });
  return lines;
}

std::optional<EventKind> EventLineKind(const FileLine& line) {
  if (line.isHeader || line.text.empty()) return std::nullopt;
  switch (line.section) {
    case FileSection::kWeek:
      return EventKind::kWeekly;
    case FileSection::kMonth:
      return EventKind::kMonthly;
    case FileSection::kYear:
      return EventKind::kYearly;
    case FileSection::kSettings:
    case FileSection::kVersion:
      break;
  }
  return std::nullopt;
}

bool StreamEventFile(const std::filesystem::path& path,
                     const std::function<void(const FileLine&)>& onLine) {
  // Non-blocking: opening a named pipe for reading would otherwise wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  // A file too large or not text is refused whole (ProblemWith says which), so a reader never
  // holds more than the limit and a piece, nor acts on the lines before a NUL.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxEventFileBytes) {
    ::close(fd);
    return false;
  }
  // One buffer for the whole file: the rest of a line cut by a read moves to its front, and only
  // a line longer than the buffer makes it grow.
  std::vector<char> buffer(kStreamPiece);
  std::size_t size = 0;
  std::size_t pos = 0;
  SectionTracker tracker;
  bool atEnd = false;
  bool ok = true;
  std::int64_t total = 0;
  while (true) {
    FileLine line;
    if (pos < size && CutLine(std::string_view(buffer.data(), size), pos, atEnd, line)) {
      tracker.Place(line);
      onLine(line);
      continue;
    }
    if (atEnd) break;
    std::memmove(buffer.data(), buffer.data() + pos, size - pos);
    size -= pos;
    pos = 0;
    if (size == buffer.size()) buffer.resize(buffer.size() * 2);
    const ssize_t got = ::read(fd, buffer.data() + size, buffer.size() - size);
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    total += got;
    if (total > kMaxEventFileBytes ||
        std::memchr(buffer.data() + size, 0, static_cast<std::size_t>(got))) {
      ok = false;
      break;
    }
    size += static_cast<std::size_t>(got);
    atEnd = got == 0;
  }
  ::close(fd);
  return ok;
}

}  // namespace vespin
