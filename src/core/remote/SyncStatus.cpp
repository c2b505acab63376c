#include "remote/SyncStatus.h"

#include <charconv>
#include <string_view>

#include "events/WholeFile.h"

namespace vespin::remote {
namespace {

// One line per value: line ends inside a value would start lines of their own.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

std::optional<SyncStatus> ReadSyncStatus(const std::filesystem::path& file) {
  const auto bytes = ReadWholeFile(file);
  if (!bytes) return std::nullopt;
  SyncStatus status;
  std::string_view rest = *bytes;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, eq);
    const std::string value(line.substr(eq + 1));
    if (key == "url") {
      status.url = value;
    } else if (key == "attempt") {
      status.attempt = value;
    } else if (key == "success") {
      status.success = value;
    } else if (key == "error") {
      status.error = value;
    } else if (key == "detail") {
      status.detail = value;
    } else if (key == "unencrypted") {
      status.unencrypted = value == "yes";
    } else if (key == "events") {
      int n = 0;
      const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
      if (ec == std::errc() && ptr == value.data() + value.size() && n >= 0) status.events = n;
    }
  }
  return status;
}

std::string FormatSyncStatus(const SyncStatus& status) {
  std::string out;
  const auto line = [&out](const char* key, const std::string& value) {
    out += key;
    out += '=';
    out += OneLine(value);
    out += '\n';
  };
  line("url", status.url);
  line("attempt", status.attempt);
  line("success", status.success);
  line("error", status.error);
  line("detail", status.detail);
  line("unencrypted", status.unencrypted ? "yes" : "no");
  line("events", std::to_string(status.events));
  return out;
}

}  // namespace vespin::remote
