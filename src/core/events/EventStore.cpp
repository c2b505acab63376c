#include "events/EventStore.h"

#include <array>

#include "text/Sjis.h"

namespace vespin {
namespace {

constexpr std::array<ColumnSpec, WeekCol::kCount> kWeekColumns{{
    {"種類", 12, kAlignLeft},
    {"曜", 8, kAlignCenter},
    {"時刻", 5, kAlignCenter},
    {"ｲﾍﾞﾝﾄ", 20, kAlignLeft},
    {"ｱﾗｰﾑ", 11, kAlignLeft},
    {"種類ｺｰﾄﾞ", 0, kAlignCenter},
    {"ｱﾗｰﾑｺｰﾄﾞ", 0, kAlignCenter},
    {"「済」", 0, kAlignCenter},
}};

constexpr std::array<ColumnSpec, MonthCol::kCount> kMonthColumns{{
    {"種類", 12, kAlignLeft},
    {"日", 8, kAlignCenter},
    {"時刻", 5, kAlignCenter},
    {"ｲﾍﾞﾝﾄ", 20, kAlignLeft},
    {"ｱﾗｰﾑ", 11, kAlignLeft},
    {"種類ｺｰﾄﾞ", 0, kAlignCenter},
    {"ｱﾗｰﾑｺｰﾄﾞ", 0, kAlignCenter},
    {"「済」", 0, kAlignCenter},
    {"月日時分", 0, kAlignCenter},
}};

constexpr std::array<ColumnSpec, YearCol::kCount> kYearColumns{{
    {"月", 12, kAlignCenter},
    {"日", 8, kAlignCenter},
    {"時刻", 5, kAlignCenter},
    {"ｲﾍﾞﾝﾄ", 20, kAlignLeft},
    {"ｱﾗｰﾑ", 11, kAlignLeft},
    {"削除", 5, kAlignCheckBox},
    {"種類ｺｰﾄﾞ", 0, kAlignCenter},
    {"ｱﾗｰﾑｺｰﾄﾞ", 0, kAlignCenter},
    {"「済」", 0, kAlignCenter},
    {"月日時分", 0, kAlignCenter},
}};

void ApplyHeaders(EventTable& table, std::span<const ColumnSpec> columns) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].width > 0)
      table.SetCell(static_cast<int>(c), 0, sjis::Lit(columns[c].titleUtf8));
  }
}

}  // namespace

std::span<const ColumnSpec> WeekColumns() {
  return kWeekColumns;
}
std::span<const ColumnSpec> MonthColumns() {
  return kMonthColumns;
}
std::span<const ColumnSpec> YearColumns() {
  return kYearColumns;
}

EventStore::EventStore()
    : week(WeekCol::kCount, kEventListLines),
      month(MonthCol::kCount, kEventListLines),
      year(YearCol::kCount, kEventListLines) {
  ApplyHeaders(week, kWeekColumns);
  ApplyHeaders(month, kMonthColumns);
  ApplyHeaders(year, kYearColumns);
}

}  // namespace vespin
