#include "IcalRules.h"

#include <array>
#include <initializer_list>

namespace vespin::ical {
namespace {

// Weekday codes 1 (Sunday) … 7 as iCalendar names them.
constexpr std::array<const char*, 7> kDays = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
constexpr const char* kWeekdays = "MO,TU,WE,TH,FR";

int Digit(char c) {
  return c >= '0' && c <= '9' ? c - '0' : -1;
}

// Two digits, or -1.
int Number(std::string_view s) {
  if (s.size() != 2 || Digit(s[0]) < 0 || Digit(s[1]) < 0) return -1;
  return Digit(s[0]) * 10 + Digit(s[1]);
}

std::string Day(int weekday) {
  return kDays[static_cast<std::size_t>(weekday - 1)];
}

std::optional<RuleForm> WeeklyForm(std::string_view code) {
  if (code.size() != 2) return std::nullopt;
  if (code[0] == '8') {
    switch (code[1]) {
      case '1':
        return RuleForm{"FREQ=DAILY"};
      case '2':
        return RuleForm{std::string("FREQ=WEEKLY;BYDAY=") + kWeekdays, true};
      case '3':
        return RuleForm{"FREQ=WEEKLY;BYDAY=MO,WE,FR"};
      case '4':
        return RuleForm{"FREQ=WEEKLY;BYDAY=TU,TH,SA"};
      case '5':
        return RuleForm{"FREQ=WEEKLY;BYDAY=SU,SA"};
      case '6':
        return RuleForm{"", true};
      case '7':
        return RuleForm{"FREQ=WEEKLY;BYDAY=SU,SA", true};
      default:
        return std::nullopt;
    }
  }
  const int type = Digit(code[0]);
  const int w = Digit(code[1]);
  if (type < 1 || type > 7 || w < 1 || w > 7) return std::nullopt;
  const std::string d = Day(w);
  switch (type) {
    case 1:
      return RuleForm{"FREQ=WEEKLY;BYDAY=" + d};
    case 6:
      return RuleForm{"FREQ=MONTHLY;BYDAY=1" + d + ",3" + d};
    case 7:
      return RuleForm{"FREQ=MONTHLY;BYDAY=2" + d + ",4" + d};
    default:  // the first to the fourth
      return RuleForm{"FREQ=MONTHLY;BYDAY=" + std::to_string(type - 1) + d};
  }
}

std::optional<RuleForm> MonthlyForm(std::string_view code) {
  if (code == "400") return RuleForm{"FREQ=MONTHLY;BYMONTHDAY=-1"};
  if (code.size() != 3) return std::nullopt;
  if (code[0] == '1') {
    const int day = Number(code.substr(1));
    if (day < 1 || day > 31) return std::nullopt;
    return RuleForm{"FREQ=MONTHLY;BYMONTHDAY=" + std::to_string(day)};
  }
  if ((code[0] != '2' && code[0] != '3') || code[1] != '0') return std::nullopt;
  const bool first = code[0] == '2';
  const int w = Digit(code[2]);
  if (w == 8) {
    return RuleForm{
        std::string("FREQ=MONTHLY;BYDAY=") + kWeekdays + ";BYSETPOS=" + (first ? "1" : "-1"), true};
  }
  if (w < 1 || w > 7) return std::nullopt;
  // The first weekday of the month reads 1MO as the weekly 第１ does: BYSETPOS is lost on
  // programs that do not know it, which then fire every week. An export tells the two apart.
  return RuleForm{"FREQ=MONTHLY;BYDAY=" + std::string(first ? "1" : "-1") + Day(w)};
}

std::optional<RuleForm> YearlyForm(std::string_view code) {
  if (code.size() != 4) return std::nullopt;
  const int month = Number(code.substr(0, 2));
  const int day = Number(code.substr(2));
  // Any leap year has every date a year can have.
  if (!IsValidDate(2000, month, day)) return std::nullopt;
  return RuleForm{"FREQ=YEARLY;BYMONTH=" + std::to_string(month) +
                  ";BYMONTHDAY=" + std::to_string(day)};
}

std::string TwoDigits(int n) {
  return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

}  // namespace

std::optional<RuleForm> FormOf(EventKind kind, std::string_view code) {
  switch (kind) {
    case EventKind::kYearly:
      return YearlyForm(code);
    case EventKind::kMonthly:
      return MonthlyForm(code);
    case EventKind::kWeekly:
      return WeeklyForm(code);
  }
  return std::nullopt;
}

std::vector<RuleCode> CodesThrough(TDateTime date) {
  const DateParts p = DecodeDate(date);
  const std::string w(1, static_cast<char>('0' + DayOfWeek(date)));
  std::vector<RuleCode> codes;
  codes.push_back({EventKind::kYearly, TwoDigits(p.month) + TwoDigits(p.day)});
  for (const std::string& code : std::initializer_list<std::string>{
           "1" + TwoDigits(p.day), "20" + w, "208", "30" + w, "308", "400"}) {
    codes.push_back({EventKind::kMonthly, code});
  }
  for (char type = '1'; type <= '7'; ++type) codes.push_back({EventKind::kWeekly, type + w});
  for (char pattern = '1'; pattern <= '7'; ++pattern) {
    codes.push_back({EventKind::kWeekly, std::string("8") + pattern});
  }
  return codes;
}

std::vector<std::pair<std::string, std::int64_t>> LeadCodes() {
  std::vector<std::pair<std::string, std::int64_t>> leads;
  for (int n = 2; n <= 15; ++n) {
    const std::string code = TwoDigits(n);
    leads.emplace_back(code, LeadMsecs(code) / 1000);
  }
  return leads;
}

}  // namespace vespin::ical
