#include "events/CodeTables.h"

#include <cstdio>
#include <span>
#include <string>

#include "events/LeadTimes.h"
#include "events/RuleCodes.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

struct Entry {
  const char* code;
  const char* nameUtf8;
};

// The order of each list is the order of the dialog's drop-down lists.
constexpr Entry kDay[] = {
    {"1", "日曜"}, {"2", "月曜"}, {"3", "火曜"}, {"4", "水曜"},
    {"5", "木曜"}, {"6", "金曜"}, {"7", "土曜"}, {"8", "平日"},
};

// Rows with a code and a UTF-8 name from one table after the other.
template <typename... Rows>
TCodeData FromEntries(std::span<const Rows>... entries) {
  TCodeData table(static_cast<int>((entries.size() + ...)));
  int index = 0;
  const auto add = [&](const auto& rows) {
    for (const auto& e : rows) table.SetItem(index++, std::string(e.code), sjis::Lit(e.nameUtf8));
  };
  (add(entries), ...);
  return table;
}

// Codes "01".."count", names "1<suffix>".."count<suffix>".
TCodeData Numbered(int count, const char* suffixUtf8) {
  const std::string suffix = sjis::Lit(suffixUtf8);
  TCodeData table(count);
  for (int n = 1; n <= count; ++n) {
    char code[16];
    std::snprintf(code, sizeof code, "%.2d", n);
    table.SetItem(n - 1, code, std::to_string(n) + suffix);
  }
  return table;
}

CodeTables Build() {
  return CodeTables{
      .cdWType = FromEntries<WeekType, DayPattern>(kWeekTypes, kDayPatterns),
      .cdMType = FromEntries<MonthType>(kMonthTypes),
      .cdDay = FromEntries<Entry>(kDay),
      .cdAlarm = FromEntries<LeadTime>(kLeadTimes),
      .cdMonth = Numbered(12, "月"),
      .cdDate = Numbered(31, "日"),
  };
}

}  // namespace

const CodeTables& Codes() {
  static const CodeTables tables = Build();
  return tables;
}

int DayCount(int month) {
  switch (month) {
    case 2:
      return 29;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    default:
      return 31;
  }
}

}  // namespace vespin
