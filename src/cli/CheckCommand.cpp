// vespin-cli check: finds what a hand edit of vespin.ini can break, line by line, before the
// program reads the file and silently makes the best of it.

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "calendar/DateTime.h"
#include "calendar/Hizuke.h"
#include "events/CodeTables.h"
#include "events/EventFile.h"
#include "events/EventRows.h"
#include "events/ExtensionSection.h"
#include "events/FileLines.h"
#include "events/IniFormat.h"
#include "events/LeadTimes.h"
#include "events/RuleCodes.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

using ini::SettingsFieldDef;
using ini::SettingsType;

std::string TrueOrFalse() {
  return "neither " + std::string(ini::kTrue) + " nor " + std::string(ini::kFalse);
}

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

class Checker {
 public:
  Checker(std::string label, std::FILE* out) : label_(std::move(label)), out_(out) {}

  void Run(std::string_view bytes);
  int problems() const { return problems_; }

 private:
  void Report(int line, const std::string& message) {
    std::fprintf(out_, "%s:%d: ", label_.c_str(), line);
    Put(out_, message);
    std::fputc('\n', out_);
    ++problems_;
  }

  void CheckLineBytes(const FileLine& line);
  void CheckHeader(const FileLine& line, FileSection expected);
  void CheckEvent(const FileLine& line);
  void CheckWeekCode(int n, std::string_view code);
  void CheckMonthCode(int n, std::string_view code);
  void CheckYearCode(int n, std::string_view code);
  void CheckSettings(const FileLine& line);

  std::string label_;
  std::FILE* out_;
  int problems_ = 0;
  int settingsLines_ = 0;
};

void Checker::Run(std::string_view bytes) {
  std::size_t headers = 0;
  int lastLine = 0;
  const std::vector<FileLine> lines = SplitEventFile(bytes);
  const ExtensionSection extension = ReadExtensionSection(lines);
  bool versionLineSeen = false;
  for (const FileLine& line : lines) {
    lastLine = line.number;
    CheckLineBytes(line);
    if (line.text.empty()) continue;
    // After the version header: the version line, then nothing the program reads until its own
    // extension section. Events appended at the end of the file are lost at the next save.
    if (line.section == FileSection::kVersion && headers == ini::kSectionCount) {
      const bool extensionPart = extension.headerLine != 0 && line.number >= extension.headerLine;
      const bool versionLine = !line.isHeader && !versionLineSeen;  // whatever it says
      versionLineSeen = versionLineSeen || versionLine;
      // What every save writes anyway is not lost: the header again, the version line again.
      const bool rewritten =
          line.text == ini::SectionHeader(FileSection::kVersion) || line.text == ini::kVersionLine;
      if (!extensionPart && !versionLine && !rewritten) {
        Report(line.number, "line " + Show(line.text) +
                                " after the version line is never read; the next save drops it");
      }
      continue;
    }
    if (line.isHeader) {
      if (headers < ini::kSectionCount) CheckHeader(line, static_cast<FileSection>(headers));
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
        break;  // the version header's own section: above
    }
  }
  for (const ExtensionIssue& issue : extension.unreadable) {
    Report(issue.line, issue.message);
  }
  // The version section may be missing; the others hold what the program keeps.
  for (auto s = static_cast<FileSection>(std::min(headers, ini::kSectionCount - 1));
       s != FileSection::kVersion; s = ini::NextSection(s)) {
    Report(std::max(lastLine, 1),
           std::string("file ends without the ") + ini::SectionHeaderUtf8(s) + " section");
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

void Checker::CheckHeader(const FileLine& line, FileSection expected) {
  if (line.text == ini::SectionHeader(expected)) return;
  if (expected == FileSection::kWeek && line.text.front() != '[') {
    Report(line.number, "first line " + Show(line.text) +
                            " is not a section header; the program skips it unread");
    return;
  }
  Report(line.number, "section header " + Show(line.text) + " stands where " +
                          ini::SectionHeaderUtf8(expected) +
                          " belongs; sections are found by position");
}

void Checker::CheckEvent(const FileLine& line) {
  const bool yearly = line.section == FileSection::kYear;
  const int n = line.number;
  const EventLineFields e = ReadEventLine(line.text, yearly);
  const std::size_t expected = yearly ? ini::kYearLineFields : ini::kEventLineFields;
  const char* kind = line.section == FileSection::kWeek    ? "weekly"
                     : line.section == FileSection::kMonth ? "monthly"
                                                           : "yearly";
  const std::string counted = std::string(kind) + " line has " + std::to_string(e.fieldCount) +
                              " fields where " + std::to_string(expected) + " belong";
  if (e.trailingComma) {
    Report(n, "trailing comma: the program reads the line without the empty field after it");
  }
  if (e.fieldCount > expected) {
    Report(n, counted + ": a comma splits the event text " + Show(e.text));
  } else if (e.fieldCount < expected && !(yearly && e.fieldCount == ini::kEventLineFields)) {
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
  if (e.cutLeadByte) {
    Report(n, "event text " + Show(e.text) +
                  " ends in half a double-byte character; the program drops that byte");
  }
  if (e.text.empty()) {
    if (!e.cutLeadByte) Report(n, "empty event text");
  } else if (e.text.size() > ini::kEventTextMaxBytes) {
    Report(n, "event text " + Show(e.text) + " is " + std::to_string(e.text.size()) +
                  " bytes; the event dialog keeps at most " +
                  std::to_string(ini::kEventTextMaxBytes));
  } else if (sjis::ToUtf8(e.text).find("\xEF\xBF\xBD") != std::string::npos) {
    Report(n, "event text " + Show(e.text) + " is not valid Shift_JIS");
  }
  if (!FindLead(e.alarm)) {
    Report(n, "unknown lead-time code " + Show(e.alarm) + " (" +
                  std::string(kLeadTimes.front().code) + " to " +
                  std::string(kLeadTimes.back().code) + ")");
  }
  if (e.deleteFlag && !ini::IsBoolToken(*e.deleteFlag)) {
    Report(n, "delete flag " + Show(*e.deleteFlag) + " is " + TrueOrFalse());
  }
}

void Checker::CheckWeekCode(int n, std::string_view code) {
  const WeeklyRule r = ParseWeekly(code);
  if (IsDayPattern(code)) {
    if (!r.pattern) Report(n, "unknown weekly type code " + Show(code));
    return;
  }
  if (code.size() != 2) {
    Report(n, "unknown weekly type code " + Show(code) + ": a type 1-7 and a weekday 1-8, or " +
                  std::string(kDayPatterns.front().code) + " to " +
                  std::string(kDayPatterns.back().code));
    return;
  }
  if (!r.type) Report(n, "unknown weekly type " + Show(r.typePart) + " in code " + Show(code));
  if (!Has(Codes().cdDay, r.weekdayPart)) {
    Report(n, "unknown weekday " + Show(r.weekdayPart) + " in weekly code " + Show(code));
  }
}

void Checker::CheckMonthCode(int n, std::string_view code) {
  const auto& codes = Codes();
  const MonthlyRule r = ParseMonthly(code);
  if (!r.type || code.size() != MonthlyCodeSize(*r.type)) {
    Report(n, "unknown monthly type code " + Show(code) + ": " + MonthlyForms());
    return;
  }
  switch (r.dayKind) {
    case MonthDayPart::kDate:
      if (!Has(codes.cdDate, r.dayPart)) {
        Report(n, "unknown day " + Show(r.dayPart) + " in monthly code " + Show(code));
      }
      break;
    case MonthDayPart::kNone:
      if (code != r.type->code) {
        Report(n, "unknown monthly type code " + Show(code) + ": " + std::string(r.type->code) +
                      " expected");
      }
      break;
    case MonthDayPart::kWeekday:
      if (r.typePart != r.type->code) {
        Report(n, "unknown monthly type " + Show(r.typePart) + " in code " + Show(code));
      }
      if (!Has(codes.cdDay, r.dayPart)) {
        Report(n, "unknown weekday " + Show(r.dayPart) + " in monthly code " + Show(code));
      }
      break;
  }
}

void Checker::CheckYearCode(int n, std::string_view code) {
  const auto& codes = Codes();
  if (code.size() != 4) {
    Report(n, "unknown yearly code " + Show(code) + ": MMDD expected");
    return;
  }
  const YearlyRule r = ParseYearly(code);
  const bool monthOk = Has(codes.cdMonth, r.monthPart);
  const bool dayOk = Has(codes.cdDate, r.dayPart);
  if (!monthOk) Report(n, "unknown month " + Show(r.monthPart) + " in yearly code " + Show(code));
  if (!dayOk) Report(n, "unknown day " + Show(r.dayPart) + " in yearly code " + Show(code));
  // A leap year: 29 February does occur.
  if (monthOk && dayOk && r.day > DaysInMonth(2000, r.month)) {
    Report(n, "yearly code " + Show(code) + " names a day that month never has");
  }
}

// What is wrong with a settings field that is not well formed.
std::string FieldProblem(const SettingsFieldDef& def, std::string_view text) {
  const std::string field = std::string(def.name) + " " + Show(text) + " is ";
  switch (def.type) {
    case SettingsType::kInteger:
      return field + "not a whole number: the window goes to the top right";
    case SettingsType::kBackground:
      return field + "neither " + std::string(ini::kClear) + " nor a colour value";
    case SettingsType::kScheme:
      return field + "neither " + std::string(ini::kBright) + " nor " + std::string(ini::kDark);
    case SettingsType::kText:
      return std::string("empty ") + def.name;
    case SettingsType::kBoolean:
      return field + TrueOrFalse();
    case SettingsType::kFontSize:
      return field + "not a positive whole number";
    case SettingsType::kFontStyle:
      return field + "not a number from 0 to 15";
    case SettingsType::kMonths:
      return field + "not 1, 2 or 3";
  }
  return field + "not understood";
}

void Checker::CheckSettings(const FileLine& line) {
  const int n = line.number;
  if (++settingsLines_ > 1) Report(n, "another settings line; only the last one counts");
  const std::vector<std::string> s = CommaSplit(line.text);
  const bool full = s.size() == ini::kSettingsFieldCount;
  if (!full && s.size() != ini::kOlderSettingsFields) {
    Report(n, "settings line has " + std::to_string(s.size()) + " fields where " +
                  std::to_string(ini::kSettingsFieldCount) + " belong (or " +
                  std::to_string(ini::kOlderSettingsFields) + " in the older form)");
  }
  // Past the shared fields, an older line means other things than today's.
  const std::size_t checked = full ? ini::kSettingsFieldCount : ini::kSharedSettingsFields;
  for (std::size_t i = 0; i < checked; ++i) {
    const SettingsFieldDef& def = ini::kSettingsFields[i];
    const std::string_view text = i < s.size() ? std::string_view(s[i]) : std::string_view();
    if (!ini::WellFormed(def.type, text)) {
      Report(n, FieldProblem(def, text));
    } else if (def.type == SettingsType::kFontSize) {
      const int points = static_cast<int>(*ini::ParseDecimal(text));
      if (UsableFontSize(points) != points) {
        Report(n, std::string(def.name) + " " + Show(text) + " is outside " +
                      std::to_string(kMinFontPoints) + " to " + std::to_string(kMaxFontPoints) +
                      ": the program uses " + std::to_string(UsableFontSize(points)));
      }
    }
  }
  // The older line knew one spelling for its sound: anything else leaves the sound off.
  if (const std::size_t sound = ini::Index(ini::SettingsField::kSound);
      s.size() == ini::kOlderSettingsFields && s[sound] != ini::kOlderSoundOn) {
    Report(n, "sound " + Show(s[sound]) + " of the older six-field line is not " +
                  std::string(ini::kOlderSoundOn) + ": the sound stays off");
  }
}

}  // namespace

int Check(const Args& args, std::FILE* out, std::FILE* err, const Environment& env) {
  std::filesystem::path file = env.workDir / kEventFileName;
  if (args.size() == 2 && args[0] == "--file" && !args[1].empty()) {
    file = args[1];
  } else if (!args.empty() && args[0] == "--file") {
    return args.size() > 2 ? TooMany(err, args[2]) : Refuse(err, "--file needs a file name");
  } else if (!args.empty()) {
    return Refuse(err, Quoted(args[0]) + " is no option of check");
  }
  const std::string label = file.string();
  const auto bytes = ReadEventFileOrSay(file, err);
  if (!bytes) return kExitProblem;
  Checker checker(label, out);
  checker.Run(*bytes);
  if (checker.problems() > 0) return kExitProblem;
  std::fputs("ok\n", out);
  return kExitOk;
}

}  // namespace vespin::cli
