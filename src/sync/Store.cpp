#include "Store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>

namespace vespin::sync {
namespace {

constexpr std::string_view kMagic = "vespin-sync state 1\n";

bool HasLineEnd(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

bool ReadNumber(std::string_view& rest, std::size_t& n, char after) {
  const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), n);
  if (ec != std::errc() || ptr == rest.data() + rest.size() || *ptr != after) return false;
  rest.remove_prefix(static_cast<std::size_t>(ptr - rest.data()) + 1);
  return true;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

// A few key=value lines, a blank line, then each resource as
//   <path length> <etag length> <text length>\n<path><etag><text>\n
// so that no byte of a server's text can be taken for the frame.
std::string FormatState(const FetchState& s) {
  std::string out(kMagic);
  const auto line = [&out](const char* key, const std::string& value) {
    if (HasLineEnd(value)) return;
    out += key;
    out += '=';
    out += value;
    out += '\n';
  };
  line("url", s.url);
  line("kind", s.kind);
  line("ctag", s.ctag);
  line("sync-token", s.syncToken);
  line("listed-on", s.listedOn);
  line("etag", s.etag);
  line("last-modified", s.lastModified);
  out += '\n';
  for (const auto& [path, copy] : s.resources) {
    out += std::to_string(path.size()) + ' ' + std::to_string(copy.etag.size()) + ' ' +
           std::to_string(copy.text.size()) + '\n';
    out += path;
    out += copy.etag;
    out += copy.text;
    out += '\n';
  }
  return out;
}

std::optional<FetchState> ParseState(std::string_view rest) {
  if (rest.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  rest.remove_prefix(kMagic.size());
  FetchState s;
  while (true) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    if (line.empty()) break;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, eq);
    std::string value(line.substr(eq + 1));
    if (key == "url") s.url = std::move(value);
    if (key == "kind") s.kind = std::move(value);
    if (key == "ctag") s.ctag = std::move(value);
    if (key == "sync-token") s.syncToken = std::move(value);
    if (key == "listed-on") s.listedOn = std::move(value);
    if (key == "etag") s.etag = std::move(value);
    if (key == "last-modified") s.lastModified = std::move(value);
  }
  while (!rest.empty()) {
    std::size_t pathSize = 0, etagSize = 0, textSize = 0;
    if (!ReadNumber(rest, pathSize, ' ') || !ReadNumber(rest, etagSize, ' ') ||
        !ReadNumber(rest, textSize, '\n')) {
      return std::nullopt;
    }
    const std::size_t total = pathSize + etagSize + textSize;
    if (total < pathSize || rest.size() < total + 1 || rest[total] != '\n') return std::nullopt;
    ResourceCopy copy{std::string(rest.substr(pathSize, etagSize)),
                      std::string(rest.substr(pathSize + etagSize, textSize))};
    s.resources.emplace(std::string(rest.substr(0, pathSize)), std::move(copy));
    rest.remove_prefix(total + 1);
  }
  return s;
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
  std::string temp = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  const int dir = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace vespin::sync
