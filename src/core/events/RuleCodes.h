#pragma once
// What the rule codes of the three event tables mean, each fact once: the weekly types, the day
// patterns, the monthly types, and how a code is taken apart. The code tables (names), the
// engine (DayFacts), the row builder (display names), iCalendar (RRULE), `vespin-cli check` and
// the event dialog all read these, so a new day pattern is one row of kDayPatterns.
//
//   kWeekTypes + kDayPatterns --> cdWType        kMonthTypes --> cdMType
//   code --ParseWeekly / ParseMonthly / ParseYearly--> parts (names, checks) + meaning (dates)
//
// A code the dialog writes has every part known. A hand edit may leave any text; each parser
// gives such a code the meaning the engine has always given it, documented at each field.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vespin {

// The value of a decimal digit, or -1 for any other character.
constexpr int Digit(char c) {
  return c >= '0' && c <= '9' ? c - '0' : -1;
}

// Two digits from the text, or -1 when they are not digits.
constexpr int TwoDigits(char tens, char units) {
  if (Digit(tens) < 0 || Digit(units) < 0) return -1;
  return Digit(tens) * 10 + Digit(units);
}

// Characters of a code counted from 0; empty where the code is too short. Codes pack their
// parts by position ("33": type 3, weekday 3; "0418": month 04, day 18).
constexpr std::string_view CodePart(std::string_view code, std::size_t pos, std::size_t count) {
  return pos < code.size() ? code.substr(pos, count) : std::string_view{};
}

// Weekdays as the codes number them: 1 = Sunday … 7 = Saturday; bit w - 1 stands for weekday w.
constexpr std::uint8_t WeekdayBit(int weekday) {
  return static_cast<std::uint8_t>(1u << (weekday - 1));
}
inline constexpr std::uint8_t kSunday = WeekdayBit(1);
inline constexpr std::uint8_t kMonday = WeekdayBit(2);
inline constexpr std::uint8_t kTuesday = WeekdayBit(3);
inline constexpr std::uint8_t kWednesday = WeekdayBit(4);
inline constexpr std::uint8_t kThursday = WeekdayBit(5);
inline constexpr std::uint8_t kFriday = WeekdayBit(6);
inline constexpr std::uint8_t kSaturday = WeekdayBit(7);
inline constexpr std::uint8_t kMondayToFriday =
    kMonday | kTuesday | kWednesday | kThursday | kFriday;
inline constexpr std::uint8_t kEveryWeekday = kMondayToFriday | kSaturday | kSunday;

// The weekday code of a business day (Monday to Friday, no holiday); it means something only
// after a monthly first or last.
inline constexpr std::string_view kBusinessDayCode = "8";

// Weeks of the month: days 1–7 are week 1, … days 29–31 week 5; bit n - 1 stands for week n.
constexpr std::uint8_t WeekBit(int week) {
  return static_cast<std::uint8_t>(1u << (week - 1));
}
inline constexpr std::uint8_t kEveryWeek = 0x1F;

// --- Weekly -------------------------------------------------------------------------------

// A weekly type that goes with a weekday: the code is the type, then the weekday ("13").
struct WeekType {
  std::string_view code;
  const char* nameUtf8;
  std::uint8_t weeks;  // the weeks of the month in which the weekday counts
};

// In the order of the dialog's list.
inline constexpr auto kWeekTypes = std::to_array<WeekType>({
    {"1", "毎週", kEveryWeek},
    {"2", "第１", WeekBit(1)},
    {"3", "第２", WeekBit(2)},
    {"4", "第３", WeekBit(3)},
    {"5", "第４", WeekBit(4)},
    {"6", "第１・第３", WeekBit(1) | WeekBit(3)},
    {"7", "第２・第４", WeekBit(2) | WeekBit(4)},
});

// How a day pattern treats national holidays.
enum class HolidayUse {
  kLikeAnyDay,  // a holiday counts by its weekday
  kExcluded,    // never on a holiday
  kAdded,       // on every holiday as well
};

// A weekly type that is a whole set of days and carries no weekday. Its code starts with
// kDayPatternMark.
struct DayPattern {
  std::string_view code;
  const char* nameUtf8;
  std::uint8_t weekdays;  // WeekdayBit of each weekday it falls on
  HolidayUse holidays;
};

inline constexpr char kDayPatternMark = '8';

// In the order of the dialog's list, after kWeekTypes.
inline constexpr auto kDayPatterns = std::to_array<DayPattern>({
    {"81", "毎日", kEveryWeekday, HolidayUse::kLikeAnyDay},
    {"82", "平日", kMondayToFriday, HolidayUse::kExcluded},
    {"83", "月水金", kMonday | kWednesday | kFriday, HolidayUse::kLikeAnyDay},
    {"84", "火木土", kTuesday | kThursday | kSaturday, HolidayUse::kLikeAnyDay},
    {"85", "土日", kSaturday | kSunday, HolidayUse::kLikeAnyDay},
    {"86", "祝祭日", 0, HolidayUse::kAdded},
    {"87", "土日祝祭日", kSaturday | kSunday, HolidayUse::kAdded},
});

// Whether a weekly code (or the type chosen in the dialog) is a day pattern, which takes no
// weekday.
constexpr bool IsDayPattern(std::string_view weeklyCode) {
  return !weeklyCode.empty() && weeklyCode.front() == kDayPatternMark;
}

// A weekly code taken apart.
struct WeeklyRule {
  enum class Meaning {
    kNever,     // no type, or no weekday 1–7 after it (the business day 8 included)
    kWeekday,   // `weekday` in the weeks of `type`
    kPattern,   // the days of `pattern`
    kEveryDay,  // a code of kDayPatternMark that no pattern has
  };
  // Where the names are: a day pattern is its whole code; any other code has the type in its
  // first character and the weekday in its second.
  std::string_view typePart;
  std::string_view weekdayPart;
  Meaning meaning = Meaning::kNever;
  const WeekType* type = nullptr;
  const DayPattern* pattern = nullptr;
  int weekday = 0;  // kWeekday: 1 … 7
  // Every part known and nothing after them: a code the dialog writes.
  bool written = false;
};
WeeklyRule ParseWeekly(std::string_view code);

// --- Monthly ------------------------------------------------------------------------------

// What follows the type in a monthly code.
enum class MonthDayPart {
  kDate,     // two digits, the day of the month ("115")
  kWeekday,  // one weekday code, kBusinessDayCode included ("203", "308")
  kNone,     // nothing ("400")
};

struct MonthType {
  enum class Rule { kDayOfMonth, kFirst, kLast, kLastDay };
  std::string_view code;
  const char* nameUtf8;
  MonthDayPart dayPart;
  Rule rule;
};

// In the order of the dialog's list. The first character of a code selects the type.
inline constexpr auto kMonthTypes = std::to_array<MonthType>({
    {"1", "毎月", MonthDayPart::kDate, MonthType::Rule::kDayOfMonth},
    {"20", "最初の", MonthDayPart::kWeekday, MonthType::Rule::kFirst},
    {"30", "最後の", MonthDayPart::kWeekday, MonthType::Rule::kLast},
    {"400", "末日", MonthDayPart::kNone, MonthType::Rule::kLastDay},
});

// How many characters a code of the type has: the type, then its day.
std::size_t MonthlyCodeSize(const MonthType& type);

// What the dialog asks for after a monthly type (or shows for a stored code): the day of a
// kDate type, nothing for kNone, and a weekday for every other first character.
MonthDayPart MonthDayPartOf(std::string_view monthlyCode);

// A monthly code taken apart.
struct MonthlyRule {
  enum class Meaning {
    kNever,        // shorter than any monthly code, or no weekday 1–7 where one belongs
    kDayOfMonth,   // the day `day` of each month (a month without it has none)
    kWeekday,      // the first or last `weekday` of the month
    kBusinessDay,  // the first or last business day of the month
    kLastDay,      // the last day of the month: also any first character no type has
  };
  // Where the names are: the type and the day as MonthDayPartOf lays them out.
  std::string_view typePart;
  std::string_view dayPart;
  MonthDayPart dayKind = MonthDayPart::kWeekday;
  Meaning meaning = Meaning::kNever;
  const MonthType* type = nullptr;  // the type the first character selects
  bool last = false;                // kWeekday, kBusinessDay: the last rather than the first
  int day = 0;                      // kDayOfMonth: the two digits, -1 when they are none
  int weekday = 0;                  // kWeekday: 1 … 7
  bool written = false;             // as the dialog writes it
};
MonthlyRule ParseMonthly(std::string_view code);

// "1DD, 20W, 30W or 400": the forms of the monthly codes, for messages.
std::string MonthlyForms();

// --- Yearly -------------------------------------------------------------------------------

// A yearly code MMDD taken apart.
struct YearlyRule {
  std::string_view monthPart;
  std::string_view dayPart;
  int month = -1;  // -1 when the code is shorter than four or the digits are none
  int day = -1;    // (what follows the fourth character is not read)
};
YearlyRule ParseYearly(std::string_view code);

}  // namespace vespin
