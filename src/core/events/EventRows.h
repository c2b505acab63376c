#pragma once
// An event line of vespin.ini and the table row it becomes. The file reader and the event
// dialog both build rows this way, so a row's display names always agree with its codes.
//
//   "13,10:00,会議,04" --ReadEventLine--> EventLineFields --WeekRow--> the weekly table's cells

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vespin {

// The fields of one line, split at every comma; n commas give n + 1 fields, empty ones
// included. An empty line gives no fields.
std::vector<std::string> CommaSplit(std::string_view line);

// Whole table rows (one text per column) built from what the file stores; display names come
// from the code tables and are empty for unknown codes, the done mark is empty.
//   weekly type code: "13", "82" …   monthly: "115", "203", "308", "400" …   yearly: "0418"
std::vector<std::string> WeekRow(std::string_view typeCode, std::string_view time,
                                 std::string_view text, std::string_view alarmCode);
std::vector<std::string> MonthRow(std::string_view typeCode, std::string_view time,
                                  std::string_view text, std::string_view alarmCode);
std::vector<std::string> YearRow(std::string_view code, std::string_view time,
                                 std::string_view text, std::string_view alarmCode,
                                 std::string_view deleteFlag);

// One event line taken apart as the reader takes it. Missing fields are empty. A line with more
// fields than its section has had commas in its text: the text is joined back, and the lead
// (and the yearly delete flag) are the last fields. A yearly line of four fields has no flag.
// Two hand edits are read as they were meant: a comma after the lead code (or the yearly
// delete flag) ends the line with an empty field that is not read, and a text that ends in half
// a double-byte character loses that byte, which would otherwise swallow what follows it.
struct EventLineFields {
  std::string code, time, text, alarm;
  std::optional<std::string> deleteFlag;
  std::size_t fieldCount = 0;  // fields as split at the commas, a trailing empty one aside
  bool trailingComma = false;  // the line ended in a comma after its lead (or flag)
  bool cutLeadByte = false;    // the text ended in half a character, now cut
};
EventLineFields ReadEventLine(std::string_view line, bool yearly);

}  // namespace vespin
