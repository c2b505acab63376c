#include "events/EventRows.h"

#include <span>

#include "events/CodeTables.h"
#include "events/EventStore.h"
#include "events/IniFormat.h"
#include "events/RuleCodes.h"
#include "text/Sjis.h"

namespace vespin {

namespace {

namespace EventField = ini::EventField;

std::string SortKey(std::string_view code, std::string_view time) {
  std::string key(code);
  key += ' ';
  key += time;
  return key;
}

// The fields of a line as views into it; the fields of CommaSplit.
std::vector<std::string_view> FieldViews(std::string_view line) {
  std::vector<std::string_view> fields;
  if (line.empty()) return fields;
  fields.reserve(ini::kEventLineFields + 2);
  for (;;) {
    const auto comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
  return fields;
}

// fields[first..last) with the commas between them: the text of a line whose text held commas.
std::string_view Joined(std::span<const std::string_view> fields, std::size_t first,
                        std::size_t last) {
  const char* begin = fields[first].data();
  return {begin,
          static_cast<std::size_t>(fields[last - 1].data() + fields[last - 1].size() - begin)};
}

// Whether the line a save writes for these fields reads back as the same fields.
bool ReadsBackTheSame(const EventLineFields& e, bool yearly) {
  const std::string flag(yearly ? e.deleteFlag.value_or(std::string(ini::kFalse)) : "");
  std::string line = e.code;
  for (std::string_view field :
       {std::string_view(e.time), std::string_view(e.text), std::string_view(e.alarm)}) {
    ini::AppendField(line, field);
  }
  if (yearly) ini::AppendField(line, flag);
  const EventLineFields back = ReadEventLine(line, yearly);
  return back.code == e.code && back.time == e.time && back.text == e.text &&
         back.alarm == e.alarm && (!yearly || back.deleteFlag.value_or("") == flag);
}

}  // namespace

std::vector<std::string> CommaSplit(std::string_view line) {
  const std::vector<std::string_view> views = FieldViews(line);
  return {views.begin(), views.end()};
}

std::vector<std::string> WeekRow(std::string_view typeCode, std::string_view time,
                                 std::string_view text, std::string_view alarmCode) {
  const auto& codes = Codes();
  std::vector<std::string> row(WeekCol::kCount);
  const WeeklyRule rule = ParseWeekly(typeCode);
  row[WeekCol::kTypeName] = codes.cdWType.CodeToName(rule.typePart);
  row[WeekCol::kDayName] = codes.cdDay.CodeToName(rule.weekdayPart);  // none for a day pattern
  row[WeekCol::kTime] = time;
  row[WeekCol::kText] = text;
  row[WeekCol::kAlarmName] = codes.cdAlarm.CodeToName(alarmCode);
  row[WeekCol::kTypeCode] = typeCode;
  row[WeekCol::kAlarmCode] = alarmCode;
  return row;
}

std::vector<std::string> MonthRow(std::string_view typeCode, std::string_view time,
                                  std::string_view text, std::string_view alarmCode) {
  const auto& codes = Codes();
  std::vector<std::string> row(MonthCol::kCount);
  const MonthlyRule rule = ParseMonthly(typeCode);
  row[MonthCol::kTypeName] = codes.cdMType.CodeToName(rule.typePart);
  switch (rule.dayKind) {
    case MonthDayPart::kDate:
      row[MonthCol::kDayName] = codes.cdDate.CodeToName(rule.dayPart);
      break;
    case MonthDayPart::kWeekday:
      row[MonthCol::kDayName] = codes.cdDay.CodeToName(rule.dayPart);
      break;
    case MonthDayPart::kNone:
      break;
  }
  row[MonthCol::kTime] = time;
  row[MonthCol::kText] = text;
  row[MonthCol::kAlarmName] = codes.cdAlarm.CodeToName(alarmCode);
  row[MonthCol::kTypeCode] = typeCode;
  row[MonthCol::kAlarmCode] = alarmCode;
  row[MonthCol::kSortKey] = SortKey(typeCode, time);
  return row;
}

std::vector<std::string> YearRow(std::string_view code, std::string_view time,
                                 std::string_view text, std::string_view alarmCode,
                                 std::string_view deleteFlag) {
  const auto& codes = Codes();
  std::vector<std::string> row(YearCol::kCount);
  const YearlyRule rule = ParseYearly(code);
  row[YearCol::kMonthName] = codes.cdMonth.CodeToName(rule.monthPart);
  row[YearCol::kDayName] = codes.cdDate.CodeToName(rule.dayPart);
  row[YearCol::kTime] = time;
  row[YearCol::kText] = text;
  row[YearCol::kAlarmName] = codes.cdAlarm.CodeToName(alarmCode);
  row[YearCol::kDelete] = deleteFlag;
  row[YearCol::kTypeCode] = code;
  row[YearCol::kAlarmCode] = alarmCode;
  row[YearCol::kSortKey] = SortKey(code, time);
  return row;
}

EventLineFields ReadEventLine(std::string_view line, bool yearly) {
  // Views until the end: only the fields that are kept become strings.
  std::vector<std::string_view> f = FieldViews(line);
  EventLineFields e;
  const auto isLead = [](std::string_view code) {
    return !Codes().cdAlarm.CodeToName(code).empty();
  };
  if (const std::size_t m = f.size(); m >= 2 && f[m - 1].empty()) {
    const bool afterLead = isLead(f[m - 2]);
    const bool afterFlag = yearly && m >= 3 && ini::IsBoolToken(f[m - 2]) && isLead(f[m - 3]);
    if (afterLead || afterFlag) {
      f.pop_back();
      e.trailingComma = true;
    }
  }
  const std::size_t trailing = yearly ? 1 : 0;
  const std::size_t n = f.size();
  e.fieldCount = n;
  auto at = [&](std::size_t i) { return i < n ? f[i] : std::string_view{}; };
  e.code = at(EventField::kCode);
  e.time = at(EventField::kTime);
  const std::size_t full = ini::kEventLineFields + trailing;
  std::string_view text;
  if (n <= full) {
    text = at(EventField::kText);
    e.alarm = at(EventField::kAlarm);
    if (yearly && n == full) e.deleteFlag = at(EventField::kDeleteFlag);
  } else {
    text = Joined(f, EventField::kText, n - 1 - trailing);
    e.alarm = at(n - 1 - trailing);
    if (yearly) e.deleteFlag = at(n - 1);
  }
  const std::string_view whole = sjis::WholeCharacters(text);
  e.text = whole;
  if (whole.size() < text.size()) {
    // The cut must not change what the saved line reads as: a text left ending in
    // ",<lead code>" before an empty lead (or flag) would hand those bytes to the lead at the
    // next load. Such a text keeps its half character.
    e.cutLeadByte = ReadsBackTheSame(e, yearly);
    if (!e.cutLeadByte) e.text = text;
  }
  return e;
}

}  // namespace vespin
