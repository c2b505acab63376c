#include "events/IniFormat.h"

#include <limits>

#include "text/Sjis.h"

namespace vespin::ini {
namespace {

constexpr std::array<const char*, kSectionCount> kHeadersUtf8 = {"[週間]", "[月間]", "[年間]",
                                                                 "[設定]", "[バージョン]"};

std::size_t Position(FileSection section) {
  return static_cast<std::size_t>(section);
}

bool InRange(std::string_view text, std::int64_t lo, std::int64_t hi) {
  const auto v = ParseDecimal(text);
  return v && *v >= lo && *v <= hi;
}

}  // namespace

const char* SectionHeaderUtf8(FileSection section) {
  return kHeadersUtf8[Position(section)];
}

const std::string& SectionHeader(FileSection section) {
  static const std::array<std::string, kSectionCount> headers = [] {
    std::array<std::string, kSectionCount> sjis;
    for (std::size_t i = 0; i < kSectionCount; ++i) sjis[i] = sjis::Lit(kHeadersUtf8[i]);
    return sjis;
  }();
  return headers[Position(section)];
}

FileSection NextSection(FileSection section) {
  const std::size_t next = Position(section) + 1;
  return next < kSectionCount ? static_cast<FileSection>(next) : FileSection::kVersion;
}

std::optional<int> MonthsFromToken(std::string_view text) {
  if (text == "1" || text == "2" || text == "3") return text[0] - '0';
  return std::nullopt;
}

std::optional<std::int64_t> ParseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

bool WellFormed(SettingsType type, std::string_view text) {
  constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();
  constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
  switch (type) {
    case SettingsType::kInteger:
      return InRange(text, kIntMin, kIntMax);
    case SettingsType::kBackground:
      return text == kClear || InRange(text, 0, kMaxColour);
    case SettingsType::kScheme:
      return text == kBright || text == kDark;
    case SettingsType::kText:
      return !text.empty();
    case SettingsType::kBoolean:
      return IsBoolToken(text);
    case SettingsType::kFontSize:
      return InRange(text, 1, kIntMax);
    case SettingsType::kFontStyle:
      return InRange(text, 0, kFontBold | kFontItalic | kFontUnderline | kFontStrikeOut);
    case SettingsType::kMonths:
      return MonthsFromToken(text).has_value();
  }
  return false;
}

}  // namespace vespin::ini
