// vespin-cli check: finds what a hand edit of vespin.ini can break, line by line, before the
// program reads the file and silently makes the best of it.

#include <algorithm>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "calendar/DateTime.h"
#include "calendar/Hizuke.h"
#include "events/CodeTables.h"
#include "events/EventFile.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

constexpr std::size_t kMaxTextBytes = 32;  // what the event dialog lets the user type
constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr int kIntMax = std::numeric_limits<int>::max();

// The section headers the program writes, in their order.
constexpr const char* kSectionsUtf8[] = {"[週間]", "[月間]", "[年間]", "[設定]", "[バージョン]"};
constexpr int kSectionCount = 5;

// A file text for the terminal: UTF-8, control bytes spelled out, in quotes.
std::string Show(std::string_view sjisText) {
  std::string out = "'";
  for (char c : sjis::ToUtf8(sjisText)) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "'";
}

bool Has(const TCodeData& table, std::string_view code) {
  if (code.empty()) return false;
  for (const auto& item : table.Items()) {
    if (item.Code == code) return true;
  }
  return false;
}

// Characters counted from 0; empty where the text is too short.
std::string_view Sub(std::string_view s, std::size_t pos, std::size_t count) {
  return pos < s.size() ? s.substr(pos, count) : std::string_view{};
}

class Checker {
 public:
  Checker(std::string label, std::ostream& out) : label_(std::move(label)), out_(out) {}

  void Run(std::string_view bytes);
  int problems() const { return problems_; }

 private:
  void Report(int line, const std::string& message) {
    out_ << label_ << ':' << line << ": " << message << '\n';
    ++problems_;
  }

  void CheckLineBytes(const FileLine& line);
  void CheckHeader(const FileLine& line, int index);
  void CheckEvent(const FileLine& line);
  void CheckWeekCode(int n, std::string_view code);
  void CheckMonthCode(int n, std::string_view code);
  void CheckYearCode(int n, std::string_view code);
  void CheckSettings(const FileLine& line);
  void CheckBool(int n, std::string_view field, const char* what);

  std::string label_;
  std::ostream& out_;
  int problems_ = 0;
  int settingsLines_ = 0;
};

void Checker::Run(std::string_view bytes) {
  int headers = 0;
  int lastLine = 0;
  for (const FileLine& line : SplitEventFile(bytes)) {
    lastLine = line.number;
    CheckLineBytes(line);
    if (line.text.empty()) continue;
    if (line.isHeader) {
      if (headers < kSectionCount) CheckHeader(line, headers);
      ++headers;
      continue;
    }
    switch (line.section) {
      case FileSection::kWeek:
      case FileSection::kMonth:
      case FileSection::kYear:
        CheckEvent(line);
        break;
      case FileSection::kSettings:
        CheckSettings(line);
        break;
      case FileSection::kVersion:
        break;  // never read
    }
  }
  // The version section may be missing; the others hold what the program keeps.
  for (int i = headers; i < kSectionCount - 1; ++i) {
    Report(std::max(lastLine, 1),
           std::string("file ends without the ") + kSectionsUtf8[i] + " section");
  }
}

void Checker::CheckLineBytes(const FileLine& line) {
  switch (line.end) {
    case LineEnd::kCrLf:
      break;
    case LineEnd::kLf:
      Report(line.number, "line ends with LF, not CR LF");
      break;
    case LineEnd::kCr:
      Report(line.number, "line ends with a lone CR, not CR LF");
      break;
    case LineEnd::kNone:
      Report(line.number, "last line does not end with CR LF");
      break;
  }
  for (char c : line.text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", b);
      Report(line.number, std::string("control byte ") + hex + " in the line");
      break;
    }
  }
}

void Checker::CheckHeader(const FileLine& line, int index) {
  const char* expected = kSectionsUtf8[index];
  if (line.text == sjis::Lit(expected)) return;
  if (index == 0 && line.text.front() != '[') {
    Report(line.number, "first line " + Show(line.text) +
                            " is not a section header; the program skips it unread");
    return;
  }
  Report(line.number, "section header " + Show(line.text) + " stands where " + expected +
                          " belongs; sections are found by position");
}

void Checker::CheckEvent(const FileLine& line) {
  const bool yearly = line.section == FileSection::kYear;
  const int n = line.number;
  const EventLineFields e = ReadEventLine(line.text, yearly);
  const std::size_t expected = yearly ? 5 : 4;
  const char* kind = line.section == FileSection::kWeek    ? "weekly"
                     : line.section == FileSection::kMonth ? "monthly"
                                                           : "yearly";
  const std::string counted = std::string(kind) + " line has " + std::to_string(e.fieldCount) +
                              " fields where " + std::to_string(expected) + " belong";
  if (e.fieldCount > expected) {
    Report(n, counted + ": a comma splits the event text " + Show(e.text));
  } else if (e.fieldCount < expected && !(yearly && e.fieldCount == 4)) {
    Report(n, counted);
  }

  switch (line.section) {
    case FileSection::kWeek:
      CheckWeekCode(n, e.code);
      break;
    case FileSection::kMonth:
      CheckMonthCode(n, e.code);
      break;
    default:
      CheckYearCode(n, e.code);
      break;
  }
  if (!HourMinuteToTime(e.time)) {
    Report(n, "invalid time " + Show(e.time) + ": HH:MM with hours 00-23 and minutes 00-59");
  }
  if (e.text.empty()) {
    Report(n, "empty event text");
  } else if (e.text.size() > kMaxTextBytes) {
    Report(n, "event text " + Show(e.text) + " is " + std::to_string(e.text.size()) +
                  " bytes; the event dialog keeps at most 32");
  } else if (sjis::ToUtf8(e.text).find("\xEF\xBF\xBD") != std::string::npos) {
    Report(n, "event text " + Show(e.text) + " is not valid Shift_JIS");
  }
  if (!Has(Codes().cdAlarm, e.alarm)) {
    Report(n, "unknown lead-time code " + Show(e.alarm) + " (01 to 15)");
  }
  if (e.deleteFlag && *e.deleteFlag != "TRUE" && *e.deleteFlag != "FALSE") {
    Report(n, "delete flag " + Show(*e.deleteFlag) + " is neither TRUE nor FALSE");
  }
}

void Checker::CheckWeekCode(int n, std::string_view code) {
  const auto& codes = Codes();
  if (Sub(code, 0, 1) == "8") {
    if (!Has(codes.cdWType, code)) Report(n, "unknown weekly type code " + Show(code));
    return;
  }
  if (code.size() != 2) {
    Report(n, "unknown weekly type code " + Show(code) +
                  ": a type 1-7 and a weekday 1-8, or 81 to 87");
    return;
  }
  if (!Has(codes.cdWType, Sub(code, 0, 1))) {
    Report(n, "unknown weekly type " + Show(Sub(code, 0, 1)) + " in code " + Show(code));
  }
  if (!Has(codes.cdDay, Sub(code, 1, 1))) {
    Report(n, "unknown weekday " + Show(Sub(code, 1, 1)) + " in weekly code " + Show(code));
  }
}

void Checker::CheckMonthCode(int n, std::string_view code) {
  const auto& codes = Codes();
  const std::string_view kind = Sub(code, 0, 1);
  if (code.size() != 3 || (kind != "1" && kind != "2" && kind != "3" && kind != "4")) {
    Report(n, "unknown monthly type code " + Show(code) + ": 1DD, 20W, 30W or 400");
  } else if (kind == "1") {
    if (!Has(codes.cdDate, Sub(code, 1, 2))) {
      Report(n, "unknown day " + Show(Sub(code, 1, 2)) + " in monthly code " + Show(code));
    }
  } else if (kind == "4") {
    if (code != "400") Report(n, "unknown monthly type code " + Show(code) + ": 400 expected");
  } else {
    if (!Has(codes.cdMType, Sub(code, 0, 2))) {
      Report(n, "unknown monthly type " + Show(Sub(code, 0, 2)) + " in code " + Show(code));
    }
    if (!Has(codes.cdDay, Sub(code, 2, 1))) {
      Report(n, "unknown weekday " + Show(Sub(code, 2, 1)) + " in monthly code " + Show(code));
    }
  }
}

void Checker::CheckYearCode(int n, std::string_view code) {
  const auto& codes = Codes();
  if (code.size() != 4) {
    Report(n, "unknown yearly code " + Show(code) + ": MMDD expected");
    return;
  }
  const std::string_view mm = Sub(code, 0, 2), dd = Sub(code, 2, 2);
  const bool monthOk = Has(codes.cdMonth, mm);
  const bool dayOk = Has(codes.cdDate, dd);
  if (!monthOk) Report(n, "unknown month " + Show(mm) + " in yearly code " + Show(code));
  if (!dayOk) Report(n, "unknown day " + Show(dd) + " in yearly code " + Show(code));
  if (monthOk && dayOk) {
    const int month = (mm[0] - '0') * 10 + (mm[1] - '0');
    const int day = (dd[0] - '0') * 10 + (dd[1] - '0');
    if (day > DaysInMonth(2000, month)) {  // a leap year: 29 February does occur
      Report(n, "yearly code " + Show(code) + " names a day that month never has");
    }
  }
}

void Checker::CheckBool(int n, std::string_view field, const char* what) {
  if (field != "TRUE" && field != "FALSE") {
    Report(n, std::string(what) + " " + Show(field) + " is neither TRUE nor FALSE");
  }
}

void Checker::CheckSettings(const FileLine& line) {
  const int n = line.number;
  if (++settingsLines_ > 1) Report(n, "another settings line; only the last one counts");
  const std::vector<std::string> s = CommaSplit(line.text);
  if (s.size() != 14 && s.size() != 6) {
    Report(n, "settings line has " + std::to_string(s.size()) +
                  " fields where 14 belong (or 6 in the older form)");
  }
  auto field = [&](std::size_t i) { return i < s.size() ? std::string_view(s[i]) : ""; };
  auto isInt = [](std::string_view t, std::int64_t lo, std::int64_t hi) {
    const auto v = ParseDecimal(t);
    return v && *v >= lo && *v <= hi;
  };
  if (!isInt(field(0), kIntMin, kIntMax)) {
    Report(n, "window left " + Show(field(0)) + " is not a whole number");
  }
  if (!isInt(field(1), kIntMin, kIntMax)) {
    Report(n, "window top " + Show(field(1)) + " is not a whole number");
  }
  if (field(2) != "CLEAR" && !isInt(field(2), 0, 0xFFFFFF)) {
    Report(n, "background " + Show(field(2)) + " is neither CLEAR nor a colour value");
  }
  if (field(3) != "BRIGHT" && field(3) != "DARK") {
    Report(n, "text scheme " + Show(field(3)) + " is neither BRIGHT nor DARK");
  }
  if (field(4).empty()) Report(n, "empty font name");
  if (s.size() != 14) return;
  CheckBool(n, field(5), "sound");
  if (!isInt(field(6), 1, kIntMax)) {
    Report(n, "font size " + Show(field(6)) + " is not a positive whole number");
  }
  if (!isInt(field(7), 0, 15)) {
    Report(n, "font style " + Show(field(7)) + " is not a number from 0 to 15");
  }
  CheckBool(n, field(8), "yearly underline");
  CheckBool(n, field(9), "monthly underline");
  CheckBool(n, field(10), "weekly underline");
  CheckBool(n, field(11), "start-up notices");
  CheckBool(n, field(12), "on-time notices");
  if (field(13) != "1" && field(13) != "2" && field(13) != "3") {
    Report(n, "month count " + Show(field(13)) + " is not 1, 2 or 3");
  }
}

}  // namespace

int Check(const Args& args, std::ostream& out, std::ostream& err, const Environment& env) {
  std::filesystem::path file = env.workDir / kEventFileName;
  if (args.size() == 2 && args[0] == "--file" && !args[1].empty()) {
    file = args[1];
  } else if (!args.empty() && args[0] == "--file") {
    return Refuse(err, args.size() > 2 ? Quoted(args[2]) + " is one argument too many"
                                       : "--file needs a file name");
  } else if (!args.empty()) {
    return Refuse(err, Quoted(args[0]) + " is no option of check");
  }
  const std::string label = file.string();
  const auto bytes = ReadEventFileOrSay(file, err);
  if (!bytes) return kExitProblem;
  Checker checker(label, out);
  checker.Run(*bytes);
  if (checker.problems() > 0) return kExitProblem;
  out << "ok\n";
  return kExitOk;
}

}  // namespace vespin::cli
