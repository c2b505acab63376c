#include "events/RuleCodes.h"

namespace vespin {
namespace {

// What the parsers take for granted of the tables, checked as the program is built.
constexpr bool WeeklyTablesHold() {
  for (std::size_t i = 0; i < kWeekTypes.size(); ++i) {
    const std::string_view code = kWeekTypes[i].code;
    if (code.size() != 1 || code.front() == kDayPatternMark) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (kWeekTypes[j].code == code) return false;
    }
  }
  for (std::size_t i = 0; i < kDayPatterns.size(); ++i) {
    const DayPattern& p = kDayPatterns[i];
    if (p.code.size() != 2 || p.code.front() != kDayPatternMark) return false;
    if (p.weekdays == 0 && p.holidays != HolidayUse::kAdded) return false;  // no day at all
    for (std::size_t j = 0; j < i; ++j) {
      if (kDayPatterns[j].code == p.code) return false;
    }
  }
  return true;
}
static_assert(WeeklyTablesHold(),
              "a weekly type is one character and no pattern's; a day pattern is the mark and "
              "one more, falls on some day, and no two rows share a code");

constexpr bool MonthTypesHold() {
  for (std::size_t i = 0; i < kMonthTypes.size(); ++i) {
    const std::string_view code = kMonthTypes[i].code;
    if (code.empty()) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (kMonthTypes[j].code.front() == code.front()) return false;
    }
  }
  return true;
}
static_assert(MonthTypesHold(), "the first character of a monthly code selects its type");

// The type a monthly code's first character selects; nullptr when none does.
const MonthType* MonthTypeOf(std::string_view monthlyCode) {
  if (monthlyCode.empty()) return nullptr;
  for (const MonthType& t : kMonthTypes) {
    if (t.code.front() == monthlyCode.front()) return &t;
  }
  return nullptr;
}

// The weekday 1 … 7 a one-character part names; 0 for anything else (the business day too).
int WeekdayIn(std::string_view part) {
  const int w = part.size() == 1 ? Digit(part[0]) : -1;
  return w >= 1 && w <= 7 ? w : 0;
}

bool IsWeekdayCode(std::string_view part) {
  return WeekdayIn(part) != 0 || part == kBusinessDayCode;
}

// Hand-edited codes whose first character no type has are laid out as the weekday types are.
constexpr std::size_t kOtherTypeSize = 2;

}  // namespace

WeeklyRule ParseWeekly(std::string_view code) {
  WeeklyRule r;
  if (IsDayPattern(code)) {
    r.typePart = code;
    for (const DayPattern& p : kDayPatterns) {
      if (p.code == code) r.pattern = &p;
    }
    r.meaning = r.pattern ? WeeklyRule::Meaning::kPattern : WeeklyRule::Meaning::kEveryDay;
    r.written = r.pattern != nullptr;
    return r;
  }
  r.typePart = CodePart(code, 0, 1);
  r.weekdayPart = CodePart(code, 1, 1);
  for (const WeekType& t : kWeekTypes) {
    if (t.code == r.typePart) r.type = &t;
  }
  r.weekday = r.type ? WeekdayIn(r.weekdayPart) : 0;
  if (r.weekday != 0) r.meaning = WeeklyRule::Meaning::kWeekday;
  r.written = r.type && code.size() == r.typePart.size() + 1 && IsWeekdayCode(r.weekdayPart);
  return r;
}

std::size_t MonthlyCodeSize(const MonthType& type) {
  switch (type.dayPart) {
    case MonthDayPart::kDate:
      return type.code.size() + 2;
    case MonthDayPart::kWeekday:
      return type.code.size() + 1;
    case MonthDayPart::kNone:
      break;
  }
  return type.code.size();
}

MonthDayPart MonthDayPartOf(std::string_view monthlyCode) {
  const MonthType* type = MonthTypeOf(monthlyCode);
  return type ? type->dayPart : MonthDayPart::kWeekday;
}

MonthlyRule ParseMonthly(std::string_view code) {
  MonthlyRule r;
  r.type = MonthTypeOf(code);
  r.dayKind = MonthDayPartOf(code);
  const std::size_t typeSize = r.type ? r.type->code.size() : kOtherTypeSize;
  switch (r.dayKind) {
    case MonthDayPart::kDate:
      r.typePart = CodePart(code, 0, typeSize);
      r.dayPart = CodePart(code, typeSize, 2);
      break;
    case MonthDayPart::kWeekday:
      r.typePart = CodePart(code, 0, typeSize);
      r.dayPart = CodePart(code, typeSize, 1);
      break;
    case MonthDayPart::kNone:
      r.typePart = code;
      break;
  }
  // No monthly code is shorter than three characters; a shorter one never falls.
  if (code.size() < 3) return r;
  if (!r.type) {
    r.meaning = MonthlyRule::Meaning::kLastDay;
    return r;
  }
  const bool exactType = r.typePart == r.type->code;
  switch (r.type->rule) {
    case MonthType::Rule::kDayOfMonth:
      r.meaning = MonthlyRule::Meaning::kDayOfMonth;
      r.day = r.dayPart.size() == 2 ? TwoDigits(r.dayPart[0], r.dayPart[1]) : -1;
      r.written = code.size() == MonthlyCodeSize(*r.type) && r.day >= 1 && r.day <= 31;
      break;
    case MonthType::Rule::kFirst:
    case MonthType::Rule::kLast:
      r.last = r.type->rule == MonthType::Rule::kLast;
      // The weekday is read whatever stands before it; the business day only after the type
      // itself.
      if (exactType && r.dayPart == kBusinessDayCode) {
        r.meaning = MonthlyRule::Meaning::kBusinessDay;
      } else {
        r.weekday = WeekdayIn(r.dayPart);
        if (r.weekday != 0) r.meaning = MonthlyRule::Meaning::kWeekday;
      }
      r.written = code.size() == MonthlyCodeSize(*r.type) && exactType && IsWeekdayCode(r.dayPart);
      break;
    case MonthType::Rule::kLastDay:
      r.meaning = MonthlyRule::Meaning::kLastDay;
      r.written = exactType;
      break;
  }
  return r;
}

std::string MonthlyForms() {
  std::string forms;
  for (std::size_t i = 0; i < kMonthTypes.size(); ++i) {
    if (i > 0) forms += i + 1 == kMonthTypes.size() ? " or " : ", ";
    const MonthType& t = kMonthTypes[i];
    forms += t.code;
    if (t.dayPart == MonthDayPart::kDate) forms += "DD";
    if (t.dayPart == MonthDayPart::kWeekday) forms += "W";
  }
  return forms;
}

YearlyRule ParseYearly(std::string_view code) {
  YearlyRule r;
  r.monthPart = CodePart(code, 0, 2);
  r.dayPart = CodePart(code, 2, 2);
  if (code.size() >= 4) {
    r.month = TwoDigits(code[0], code[1]);
    r.day = TwoDigits(code[2], code[3]);
  }
  return r;
}

}  // namespace vespin
