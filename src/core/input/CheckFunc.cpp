#include "input/CheckFunc.h"

#include <cstddef>

#include "calendar/DateTime.h"
#include "calendar/Hizuke.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsAllDigits(std::string_view s) {
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// Two-digit years: 00–69 are this century's, 70–99 the last one's.
std::string_view Century(std::string_view twoDigits) {
  const int yy = (twoDigits[0] - '0') * 10 + (twoDigits[1] - '0');
  return yy < 70 ? "20" : "19";
}

// One field of a date: 1 to 4 digits (longer ones are never a valid year, month or day, and
// refusing them keeps the arithmetic small).
bool ReadField(std::string_view s, int& value) {
  if (s.empty() || s.size() > 4 || !IsAllDigits(s)) return false;
  value = 0;
  for (char c : s) value = value * 10 + (c - '0');
  return true;
}

// Year/month/day separated by '/'. A one- or two-digit year is read with the same century rule
// as the six-digit form, so "05/004/018" is 2005-04-18; three or four digits are the year itself.
bool ReadsAsDate(std::string_view c) {
  const std::size_t first = c.find('/');
  if (first == std::string_view::npos) return false;
  const std::size_t second = c.find('/', first + 1);
  if (second == std::string_view::npos || c.find('/', second + 1) != std::string_view::npos) {
    return false;
  }
  const std::string_view yearText = c.substr(0, first);
  int y = 0;
  int m = 0;
  int d = 0;
  if (!ReadField(yearText, y) || !ReadField(c.substr(first + 1, second - first - 1), m) ||
      !ReadField(c.substr(second + 1), d)) {
    return false;
  }
  if (yearText.size() <= 2) y += y < 70 ? 2000 : 1900;
  return y >= 1 && y <= 9999 && IsValidDate(y, m, d);
}

std::string GroupByThree(std::string_view digits) {
  std::size_t start = 0;
  while (start + 1 < digits.size() && digits[start] == '0') ++start;
  digits.remove_prefix(start);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

bool IsAlphaNum(std::string_view s) {
  for (char c : s) {
    const bool ok = IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!ok) return false;
  }
  return true;
}

std::string CheckNumeric(std::string_view s, bool money) {
  if (s.empty()) return std::string(kCheckNull);
  if (!IsAllDigits(s)) return {};
  if (!money) return std::string(s);
  return GroupByThree(s);
}

std::string DeleteComma(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c != ',') out += c;
  }
  return out;
}

bool IsLeadByte(char b) {
  return sjis::IsLeadByte(static_cast<unsigned char>(b));
}

bool IsZenkaku(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); i += 2) {
    if (!IsLeadByte(s[i])) return false;
  }
  return true;
}

bool IsHankaku(std::string_view s) {
  for (char c : s) {
    if (IsLeadByte(c)) return false;
  }
  return true;
}

std::string ExpandDate6(std::string_view s) {
  if (s.size() != 6 || !IsAllDigits(s)) return {};
  std::string out(Century(s.substr(0, 2)));
  out.append(s.substr(0, 2)).append("/").append(s.substr(2, 2)).append("/").append(s.substr(4, 2));
  return out;
}

std::string ExpandDate8(std::string_view s) {
  if (s.size() != 8) return {};
  if (IsAllDigits(s)) {
    if (s.substr(0, 4) == "0000") return {};
    std::string out(s.substr(0, 4));
    out.append("/").append(s.substr(4, 2)).append("/").append(s.substr(6, 2));
    return out;
  }
  if (!IsAllDigits(s.substr(0, 2)) || !IsAllDigits(s.substr(3, 2)) ||
      !IsAllDigits(s.substr(6, 2))) {
    return {};
  }
  std::string out(Century(s.substr(0, 2)));
  out.append(s);
  return out;
}

std::string CheckDate10(std::string_view s) {
  if (s.size() != 10) return {};
  std::size_t slashes = 0;
  for (char c : s) slashes += c == '/' ? 1 : 0;
  if (slashes != 2 || s.substr(0, 4) == "0000") return {};
  return std::string(s);
}

std::string CheckDate(std::string_view s) {
  if (s.empty()) return std::string(kCheckNull);
  for (char c : s) {
    if (c != '/' && !IsDigit(c)) return {};
  }
  std::string candidate;
  switch (s.size()) {
    case 6:
      candidate = ExpandDate6(s);
      break;
    case 8:
      candidate = ExpandDate8(s);
      break;
    case 10:
      candidate = CheckDate10(s);
      break;
    default:
      return {};
  }
  if (candidate.empty() || !ReadsAsDate(candidate)) return {};
  return candidate;
}

TimeEntry CheckTime(std::string_view s) {
  TimeEntry entry{std::string(s)};
  if (s.size() == 4) {
    if (!IsAllDigits(s)) return entry;
    entry.text = std::string(s.substr(0, 2)) + ":" + std::string(s.substr(2));
  }
  // Stricter than "reads as a time": 12:5 would read as 12:05, yet every reader of a time cell
  // expects two digits on each side.
  entry.valid = HourMinuteToTime(entry.text).has_value();
  return entry;
}

bool KetaCheck(std::string_view s, int maxLength) {
  if (maxLength == 0) return true;
  return maxLength > 0 && s.size() == static_cast<std::size_t>(maxLength);
}

}  // namespace vespin
