#include "events/CodeTables.h"

#include <cstdio>
#include <span>
#include <string>

#include "text/Sjis.h"

namespace vespin {
namespace {

struct Entry {
  const char* code;
  const char* nameUtf8;
};

// The order of each list is the order of the dialog's drop-down lists.
constexpr Entry kWType[] = {
    {"1", "毎週"},    {"2", "第１"},        {"3", "第２"},       {"4", "第３"},
    {"5", "第４"},    {"6", "第１・第３"},  {"7", "第２・第４"}, {"81", "毎日"},
    {"82", "平日"},   {"83", "月水金"},     {"84", "火木土"},    {"85", "土日"},
    {"86", "祝祭日"}, {"87", "土日祝祭日"},
};

constexpr Entry kMType[] = {
    {"1", "毎月"},
    {"20", "最初の"},
    {"30", "最後の"},
    {"400", "末日"},
};

constexpr Entry kDay[] = {
    {"1", "日曜"}, {"2", "月曜"}, {"3", "火曜"}, {"4", "水曜"},
    {"5", "木曜"}, {"6", "金曜"}, {"7", "土曜"}, {"8", "平日"},
};

constexpr Entry kAlarm[] = {
    {"01", "起動時"},  {"02", "1分前"},    {"03", "3分前"},   {"04", "5分前"},   {"05", "10分前"},
    {"06", "15分前"},  {"07", "30分前"},   {"08", "1時間前"}, {"09", "2時間前"}, {"10", "3時間前"},
    {"11", "6時間前"}, {"12", "12時間前"}, {"13", "1日前"},   {"14", "3日前"},   {"15", "7日前"},
};

TCodeData FromEntries(std::span<const Entry> entries) {
  TCodeData table(static_cast<int>(entries.size()));
  int index = 0;
  for (const auto& e : entries) table.SetItem(index++, e.code, sjis::Lit(e.nameUtf8));
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
      .cdWType = FromEntries(kWType),
      .cdMType = FromEntries(kMType),
      .cdDay = FromEntries(kDay),
      .cdAlarm = FromEntries(kAlarm),
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
