#pragma once
// The layout of vespin.ini, each fact once: sections and their headers, the fields of an event
// line, the fourteen fields of the settings line with their tokens, and the text limit. The
// reader, the writer (EventFile) and `vespin-cli check` all go by these names, so a change of
// the format is made here.
//
//   section headers, version line  --> written by FormatEventFile, compared only by check
//   event line fields -> table columns --> WeekRow/MonthRow/YearRow, FormatEventFile, check
//   kSettingsFields (type, name, member) --> ApplySettingsLine, SettingsLine, check
//
// The options beyond the fourteen fields live after the version line, as key=value lines of
// their own section: ExtensionSection.h.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "events/EventStore.h"
#include "events/Settings.h"

namespace vespin::ini {

// --- Sections -----------------------------------------------------------------------------

// In file order. The reader finds them by position, never by their header's text.
enum class FileSection { kWeek, kMonth, kYear, kSettings, kVersion };
inline constexpr std::size_t kSectionCount = 5;

// The header that opens a section, as the program writes it: UTF-8 (for messages) and
// Shift_JIS (the file's bytes).
const char* SectionHeaderUtf8(FileSection section);
const std::string& SectionHeader(FileSection section);

// The section after `section`; the version section is the last and stays.
FileSection NextSection(FileSection section);

// The line the version section holds. Written every time, never read.
inline constexpr std::string_view kVersionLine = "vespin Ver3.2(2005.04.18)";

inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr char kFieldSeparator = ',';

// Adds a field to a line being written: after a separator unless it is the line's first.
inline void AppendField(std::string& line, std::string_view field, bool first = false) {
  if (!first) line += kFieldSeparator;
  line += field;
}

// --- Event lines --------------------------------------------------------------------------

// Fields of an event line by position. The yearly line adds the delete flag; an older yearly
// line of four fields has none.
namespace EventField {
inline constexpr std::size_t kCode = 0;  // type code, or MMDD for a yearly event
inline constexpr std::size_t kTime = 1;  // HH:MM
inline constexpr std::size_t kText = 2;
inline constexpr std::size_t kAlarm = 3;       // lead-time code 01 … 15
inline constexpr std::size_t kDeleteFlag = 4;  // yearly only: kTrue or kFalse
}  // namespace EventField
inline constexpr std::size_t kEventLineFields = 4;
inline constexpr std::size_t kYearLineFields = 5;

// The table column each field of a line is written from, in field order.
inline constexpr std::array<int, kEventLineFields> kWeekLineColumns = {
    WeekCol::kTypeCode, WeekCol::kTime, WeekCol::kText, WeekCol::kAlarmCode};
inline constexpr std::array<int, kEventLineFields> kMonthLineColumns = {
    MonthCol::kTypeCode, MonthCol::kTime, MonthCol::kText, MonthCol::kAlarmCode};
inline constexpr std::array<int, kYearLineFields> kYearLineColumns = {
    YearCol::kTypeCode, YearCol::kTime, YearCol::kText, YearCol::kAlarmCode, YearCol::kDelete};

// The longest event text, in Shift_JIS bytes: what the event dialog lets the user type.
inline constexpr std::size_t kEventTextMaxBytes = 32;

// --- Tokens -------------------------------------------------------------------------------

inline constexpr std::string_view kTrue = "TRUE";
inline constexpr std::string_view kFalse = "FALSE";
inline constexpr std::string_view kClear = "CLEAR";    // see-through background
inline constexpr std::string_view kBright = "BRIGHT";  // text colour schemes
inline constexpr std::string_view kDark = "DARK";
// The older short settings line spelled its one Boolean (the sound) this way.
inline constexpr std::string_view kOlderSoundOn = "ON";

inline std::string_view BoolToken(bool value) {
  return value ? kTrue : kFalse;
}
inline bool IsBoolToken(std::string_view text) {
  return text == kTrue || text == kFalse;
}

// A decimal integer as the settings line writes it: an optional sign and 1 to 18 digits,
// nothing else. nullopt for anything else.
std::optional<std::int64_t> ParseDecimal(std::string_view text);

// The largest colour value: blue, green and red bytes.
inline constexpr std::int64_t kMaxColour = 0xFFFFFF;

// The month count as the file spells it: "1", "2" or "3"; nullopt for anything else.
std::optional<int> MonthsFromToken(std::string_view text);

// --- The settings line --------------------------------------------------------------------

// Fields by position. The order is the file's: the sound comes before the font size.
enum class SettingsField : std::size_t {
  kLeft,        // window position, pixels
  kTop,         //
  kBackground,  // kClear, or the colour as a decimal integer
  kScheme,      // kBright or kDark
  kFontName,    //
  kSound,       // Boolean
  kFontSize,    // points
  kFontStyle,   // bit set: kFontBold | kFontItalic | …
  kYearLine,    // Booleans: underline days with yearly, monthly, weekly events
  kMonthLine,   //
  kWeekLine,    //
  kStartUp,     // Boolean: notices at start-up
  kOnTime,      // Boolean: notices at the event's own minute
  kMonths,      // "1", "2" or "3"
};
inline constexpr std::size_t kSettingsFieldCount = 14;
// An older line has some other count; only its first fields mean what they mean today.
inline constexpr std::size_t kSharedSettingsFields = 5;
// The older line as it was written: the shared fields and the sound.
inline constexpr std::size_t kOlderSettingsFields = 6;

constexpr std::size_t Index(SettingsField field) {
  return static_cast<std::size_t>(field);
}

// How a field is spelled, and therefore read, written and checked.
enum class SettingsType {
  kInteger,     // any int
  kBackground,  // kClear, or a colour value 0 … 0xFFFFFF
  kScheme,      // kBright or kDark
  kText,        // not empty
  kBoolean,     // kTrue or kFalse
  kFontSize,    // a positive int
  kFontStyle,   // 0 … 15 (the reader keeps the low eight bits of any number)
  kMonths,      // MonthsFromToken
};

struct SettingsFieldDef {
  SettingsField field;
  SettingsType type;
  const char* name;  // as `check` calls it in its messages
  // Where the value lives, every member it has: `number` for the integer types and the month
  // count; `flag` for Booleans, the scheme (true: bright) and the background (true: clear),
  // whose colour is `colour`; `text` for the font name. The reader, the writer and the merge
  // of a save go by these, so a field with its members here is read, written and kept.
  int Settings::*number = nullptr;
  bool Settings::*flag = nullptr;
  std::uint32_t Settings::*colour = nullptr;
  std::string Settings::*text = nullptr;
};

inline constexpr std::array<SettingsFieldDef, kSettingsFieldCount> kSettingsFields = {{
    {SettingsField::kLeft, SettingsType::kInteger, "window left", &Settings::left},
    {SettingsField::kTop, SettingsType::kInteger, "window top", &Settings::top},
    {SettingsField::kBackground, SettingsType::kBackground, "background", nullptr,
     &Settings::backClear, &Settings::backColor},
    {SettingsField::kScheme, SettingsType::kScheme, "text scheme", nullptr,
     &Settings::figureBright},
    {SettingsField::kFontName, SettingsType::kText, "font name", nullptr, nullptr, nullptr,
     &Settings::fontName},
    {SettingsField::kSound, SettingsType::kBoolean, "sound", nullptr, &Settings::beep},
    {SettingsField::kFontSize, SettingsType::kFontSize, "font size", &Settings::fontSize},
    {SettingsField::kFontStyle, SettingsType::kFontStyle, "font style", &Settings::fontStyle},
    {SettingsField::kYearLine, SettingsType::kBoolean, "yearly underline", nullptr,
     &Settings::yearLine},
    {SettingsField::kMonthLine, SettingsType::kBoolean, "monthly underline", nullptr,
     &Settings::monthLine},
    {SettingsField::kWeekLine, SettingsType::kBoolean, "weekly underline", nullptr,
     &Settings::weekLine},
    {SettingsField::kStartUp, SettingsType::kBoolean, "start-up notices", nullptr,
     &Settings::startUp},
    {SettingsField::kOnTime, SettingsType::kBoolean, "on-time notices", nullptr, &Settings::onTime},
    {SettingsField::kMonths, SettingsType::kMonths, "month count", &Settings::months},
}};

// Whether `text` spells a value of `type` as the program writes it. The reader is more lenient
// (it keeps what it can); `check` holds the file to this.
bool WellFormed(SettingsType type, std::string_view text);

constexpr bool EveryFieldInPlace() {
  for (std::size_t i = 0; i < kSettingsFields.size(); ++i) {
    if (Index(kSettingsFields[i].field) != i) return false;
  }
  return true;
}
static_assert(EveryFieldInPlace(), "kSettingsFields lists the fields in file order");

}  // namespace vespin::ini
