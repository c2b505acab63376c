#pragma once
// The three event tables (weekly, monthly, yearly) and their fixed column layouts. These
// tables are the program's event store for the whole run: the file reader fills them, the
// engine reads and marks them, the event dialog edits them, the file writer saves them.
//
//   vespin.ini --EventFile--> EventStore --EventEngine--> notices, EventLines, day masks
//                                 ^ edits from the event dialog; saved back by EventFile

#include <span>

#include "events/EventTable.h"

namespace vespin {

// Column indices. Every reader and writer of cells uses these names.
namespace WeekCol {
inline constexpr int kTypeName = 0;   // 種類: name of the weekly type
inline constexpr int kDayName = 1;    // 曜: weekday name, empty for types 81..87
inline constexpr int kTime = 2;       // 時刻: HH:MM
inline constexpr int kText = 3;       // ｲﾍﾞﾝﾄ
inline constexpr int kAlarmName = 4;  // ｱﾗｰﾑ
inline constexpr int kTypeCode = 5;   // hidden: 13, 82 …
inline constexpr int kAlarmCode = 6;  // hidden: 01 … 15
inline constexpr int kDone = 7;  // hidden: the engine's done mark, "" or "x20050419" (DoneMark)
inline constexpr int kCount = 8;
}  // namespace WeekCol

namespace MonthCol {
inline constexpr int kTypeName = 0;
inline constexpr int kDayName = 1;  // day name, weekday name or empty
inline constexpr int kTime = 2;
inline constexpr int kText = 3;
inline constexpr int kAlarmName = 4;
inline constexpr int kTypeCode = 5;  // hidden: 115, 203, 400 …
inline constexpr int kAlarmCode = 6;
inline constexpr int kDone = 7;
inline constexpr int kSortKey = 8;  // hidden: type code, one blank, time
inline constexpr int kCount = 9;
}  // namespace MonthCol

namespace YearCol {
inline constexpr int kMonthName = 0;
inline constexpr int kDayName = 1;
inline constexpr int kTime = 2;
inline constexpr int kText = 3;
inline constexpr int kAlarmName = 4;
inline constexpr int kDelete = 5;     // "TRUE": delete once it has fallen due
inline constexpr int kTypeCode = 6;   // hidden: MMDD
inline constexpr int kAlarmCode = 7;  // hidden
inline constexpr int kDone = 8;       // hidden
inline constexpr int kSortKey = 9;    // hidden
inline constexpr int kCount = 10;
}  // namespace YearCol

// How a list shows a column: alignment codes of the list widget.
inline constexpr int kAlignLeft = 0;
inline constexpr int kAlignCenter = 1;
inline constexpr int kAlignRight = 2;
inline constexpr int kAlignCheckBox = 9;

struct ColumnSpec {
  const char* titleUtf8;  // header text (hidden columns carry their name but show none)
  int width;              // in characters; 0 hides the column
  int align;
};

std::span<const ColumnSpec> WeekColumns();
std::span<const ColumnSpec> MonthColumns();
std::span<const ColumnSpec> YearColumns();

// The event lists show eight lines.
inline constexpr int kEventListLines = 8;

struct EventStore {
  // Three empty tables with the column counts above, eight lines shown, and the header texts
  // of the shown columns (hidden columns have empty headers).
  EventStore();

  EventTable week;
  EventTable month;
  EventTable year;
};

}  // namespace vespin
