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
    } else if (key == "retry") {
      status.retry = value;
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
  // Only when there is one: older readers and older files stay as they were.
  if (!status.retry.empty()) line("retry", status.retry);
  return out;
}

std::optional<std::time_t> ParseIsoTime(std::string_view text) {
  const auto number = [&text](std::size_t at, std::size_t n) {
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
      v = v * 10 + (text[i] - '0');
    }
    return v;
  };
  // YYYY-MM-DDTHH:MM:SS then Z or +HH:MM / -HH:MM
  if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
  const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
      second > 60) {
    return std::nullopt;
  }
  int offset = 0;
  const std::string_view zone = text.substr(19);
  if (zone == "Z") {
    offset = 0;
  } else if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':') {
    const int h = number(20, 2), m = number(23, 2);
    if (h < 0 || h > 23 || m < 0 || m > 59) return std::nullopt;
    offset = (zone[0] == '-' ? -1 : 1) * (h * 3600 + m * 60);
  } else {
    return std::nullopt;
  }
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return timegm(&tm) - offset;
}

}  // namespace vespin::remote
