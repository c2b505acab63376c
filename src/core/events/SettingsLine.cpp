#include "events/SettingsLine.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "events/IniFormat.h"

namespace vespin {
namespace {

using ini::ParseDecimal;
using ini::SettingsField;
using ini::SettingsFieldDef;
using ini::SettingsType;

bool FitsInt(std::int64_t v) {
  return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

void SetInt(std::string_view text, int& target) {
  if (auto v = ParseDecimal(text); v && FitsInt(*v)) target = static_cast<int>(*v);
}

void ApplyField(const SettingsFieldDef& def, const std::string& text, Settings& settings) {
  switch (def.type) {
    case SettingsType::kInteger:
      break;  // the position, read as a pair by ApplySettingsLine
    case SettingsType::kFontSize:
      SetInt(text, settings.*def.number);
      break;
    case SettingsType::kBackground:
      settings.*def.flag = text == ini::kClear;
      if (settings.*def.flag) {
        settings.*def.colour = kSilver;
      } else if (auto v = ParseDecimal(text); v && *v >= 0 && *v <= 0xFFFFFFFF) {
        settings.*def.colour = static_cast<std::uint32_t>(*v);
      }
      break;
    case SettingsType::kScheme:
      settings.*def.flag = text == ini::kBright;
      break;
    case SettingsType::kText:
      settings.*def.text = text;
      break;
    case SettingsType::kBoolean:
      settings.*def.flag = text == ini::kTrue;
      break;
    case SettingsType::kFontStyle:
      if (auto v = ParseDecimal(text)) settings.*def.number = static_cast<int>(*v & 0xFF);
      break;
    case SettingsType::kMonths:
      if (auto months = ini::MonthsFromToken(text)) settings.*def.number = *months;
      break;
  }
}

std::string FieldText(const SettingsFieldDef& def, const Settings& settings) {
  switch (def.type) {
    case SettingsType::kInteger:
    case SettingsType::kFontSize:
    case SettingsType::kFontStyle:
      return std::to_string(settings.*def.number);
    case SettingsType::kBackground:
      return settings.*def.flag ? std::string(ini::kClear) : std::to_string(settings.*def.colour);
    case SettingsType::kScheme:
      return std::string(settings.*def.flag ? ini::kBright : ini::kDark);
    case SettingsType::kText:
      return settings.*def.text;
    case SettingsType::kBoolean:
      return std::string(ini::BoolToken(settings.*def.flag));
    case SettingsType::kMonths: {
      const int months = settings.*def.number;
      return months >= 1 && months <= 3 ? std::to_string(months) : std::string();
    }
  }
  return {};
}

}  // namespace

void ApplySettingsLine(const std::vector<std::string>& s, Settings& settings) {
  const std::size_t n = s.size();
  // The position is read as a pair. One that is no number is no position: the window goes
  // where it goes without one (the top right corner), not to the top left.
  const std::size_t position = std::min<std::size_t>(n, ini::Index(SettingsField::kTop) + 1);
  bool numbers = true;
  for (std::size_t i = 0; i < position; ++i) {
    numbers = numbers && ini::WellFormed(SettingsType::kInteger, s[i]);
  }
  for (std::size_t i = 0; i < position; ++i) {
    settings.*ini::kSettingsFields[i].number =
        numbers ? static_cast<int>(*ParseDecimal(s[i])) : kNoPosition;
  }
  if (n == ini::kSettingsFieldCount) {
    for (const SettingsFieldDef& def : ini::kSettingsFields) {
      ApplyField(def, s[ini::Index(def.field)], settings);
    }
    return;
  }
  for (std::size_t i = 0; i < n && i < ini::kSharedSettingsFields; ++i) {
    ApplyField(ini::kSettingsFields[i], s[i], settings);
  }
  // The older short line knew only position, colours, font name and sound.
  settings.fontSize = 9;
  settings.fontStyle = 0;
  settings.yearLine = settings.monthLine = settings.weekLine = false;
  settings.startUp = true;
  settings.onTime = false;
  if (const std::size_t sound = ini::Index(SettingsField::kSound); n > sound) {
    settings.beep = s[sound] == ini::kOlderSoundOn;
  }
  settings.months = 1;
}

std::string SettingsLine(const Settings& settings) {
  std::string line;
  bool first = true;
  for (const SettingsFieldDef& def : ini::kSettingsFields) {
    ini::AppendField(line, FieldText(def, settings), first);
    first = false;
  }
  return line;
}

}  // namespace vespin
