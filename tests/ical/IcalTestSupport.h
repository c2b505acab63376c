#pragma once
// What the iCalendar tests share: a store holding every rule code the event dialog writes, and
// the VEVENTs of an exported text taken apart by their SUMMARY.

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "events/EventRows.h"
#include "events/EventStore.h"
#include "events/LeadTimes.h"
#include "events/RuleCodes.h"

namespace vespin::ical::test {

struct Line {
  char kind;  // 'y', 'm', 'w'
  std::string code, time, text, alarm, flag;
};

// Every weekly and monthly rule code the dialog writes, and yearly dates at the edges of months
// and years, some flagged for deletion; every lead and three times of day spread over them.
// Each text names its row: "w13", "m208", "y0229*" (flagged). The codes come from the tables
// that define them, so a new type or pattern is covered without a change here.
inline std::vector<Line> EveryRule() {
  std::vector<Line> lines;
  std::size_t n = 0;
  const auto add = [&](char kind, std::string code, std::string flag = "") {
    const char* times[] = {"09:30", "00:00", "23:59"};
    const std::string alarm(kLeadTimes[n % kLeadTimes.size()].code);
    std::string text = std::string(1, kind) + code + (flag == "TRUE" ? "*" : "");
    lines.push_back({kind, code, times[n % 3], text, alarm, flag});
    ++n;
  };
  const std::string weekdays[] = {"1", "2", "3", "4", "5", "6", "7"};
  for (const MonthType& type : kMonthTypes) {
    const std::string code(type.code);
    switch (type.dayPart) {
      case MonthDayPart::kDate:
        for (int day = 1; day <= 31; ++day) {
          add('m', code + (day < 10 ? "0" : "") + std::to_string(day));
        }
        break;
      case MonthDayPart::kWeekday:
        for (const std::string& w : weekdays) add('m', code + w);
        add('m', code + std::string(kBusinessDayCode));
        break;
      case MonthDayPart::kNone:
        add('m', code);
        break;
    }
  }
  for (const WeekType& type : kWeekTypes) {
    for (const std::string& w : weekdays) add('w', std::string(type.code) + w);
  }
  for (const DayPattern& pattern : kDayPatterns) add('w', std::string(pattern.code));
  for (const char* date :
       {"0101", "0131", "0228", "0229", "0301", "0430", "0505", "0923", "1231"}) {
    add('y', date, "FALSE");
  }
  for (const char* date : {"0102", "0229", "1224"}) add('y', date, "TRUE");
  return lines;
}

// The tables as the dialog keeps them: monthly and yearly rows sorted by code and time.
inline EventStore StoreOf(const std::vector<Line>& lines) {
  std::vector<Line> week, month, year;
  for (const Line& l : lines) (l.kind == 'y' ? year : l.kind == 'm' ? month : week).push_back(l);
  const auto byKey = [](const Line& a, const Line& b) {
    return a.code + " " + a.time < b.code + " " + b.time;
  };
  std::stable_sort(month.begin(), month.end(), byKey);
  std::stable_sort(year.begin(), year.end(), byKey);
  EventStore store;
  for (const Line& l : year) {
    store.year.InsertRow(store.year.DataRowCount() + 1,
                         YearRow(l.code, l.time, l.text, l.alarm, l.flag));
  }
  for (const Line& l : month) {
    store.month.InsertRow(store.month.DataRowCount() + 1,
                          MonthRow(l.code, l.time, l.text, l.alarm));
  }
  for (const Line& l : week) {
    store.week.InsertRow(store.week.DataRowCount() + 1, WeekRow(l.code, l.time, l.text, l.alarm));
  }
  return store;
}

// The lines of each VEVENT, by SUMMARY (unfolded, as far as the tests need).
inline std::map<std::string, std::vector<std::string>> EventsBySummary(std::string_view ics) {
  std::map<std::string, std::vector<std::string>> events;
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < ics.size()) {
    std::size_t end = ics.find("\r\n", pos);
    if (end == std::string_view::npos) end = ics.size();
    const std::string_view line = ics.substr(pos, end - pos);
    if (!line.empty() && line.front() == ' ' && !lines.empty()) {
      lines.back() += line.substr(1);
    } else {
      lines.emplace_back(line);
    }
    pos = end + 2;
  }
  std::vector<std::string> current;
  bool inEvent = false;
  for (const std::string& line : lines) {
    if (line == "BEGIN:VEVENT") {
      inEvent = true;
      current.clear();
    } else if (line == "END:VEVENT") {
      inEvent = false;
      for (const std::string& l : current) {
        if (l.rfind("SUMMARY:", 0) == 0) events[l.substr(8)] = current;
      }
    } else if (inEvent) {
      current.push_back(line);
    }
  }
  return events;
}

// The lines of an event that begin with a property name ("RRULE", "EXDATE" …).
inline std::vector<std::string> Props(const std::vector<std::string>& event,
                                      std::string_view name) {
  std::vector<std::string> out;
  for (const std::string& l : event) {
    if (l.size() > name.size() && l.compare(0, name.size(), name) == 0 &&
        (l[name.size()] == ':' || l[name.size()] == ';')) {
      out.push_back(l);
    }
  }
  return out;
}

}  // namespace vespin::ical::test
