// holidays, equinox, jd and month: the calendar arithmetic at the terminal.

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "Commands.h"
#include "calendar/DateTime.h"
#include "calendar/Hizuke.h"
#include "calendar/Julius.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

constexpr std::int64_t kFirstYear = 1;
constexpr std::int64_t kLastYear = 9999;

// Plain decimal digits (a leading minus where lo is negative), nothing else, within lo..hi.
std::optional<std::int64_t> ParseNumber(std::string_view text, std::int64_t lo, std::int64_t hi) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  if (text.front() == '-' && lo >= 0) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (value < lo || value > hi) return std::nullopt;
  return value;
}

// Years before 1 keep their sign in front of four digits: -4712-01-01, -0001-12-31.
std::string IsoDate(const CivilDate& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%04d-%02d-%02d", d.year < 0 ? "-" : "",
                d.year < 0 ? -d.year : d.year, d.month, d.day);
  return buf;
}

std::string IsoDate(TDateTime t) {
  const DateParts p = DecodeDate(t);
  return IsoDate(CivilDate{p.year, p.month, p.day});
}

// The terminal's own colours, as close as it gets to the panel's red and blue.
constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kBlue = "\x1b[34m";
constexpr std::string_view kReverse = "\x1b[7m";  // today, like the panel's white box
constexpr std::string_view kReset = "\x1b[0m";

// Each day takes four columns: a blank, two digits and the marker column, so that a marked
// day never runs into the next number; the two-column weekday names sit over the digits.
constexpr const char* kWeekdayHeader = " 日  月  火  水  木  金  土";
constexpr int kCellWidth = 4;
constexpr int kGridWidth = 7 * kCellWidth - 1;

void TrimRight(std::string& line) {
  while (!line.empty() && line.back() == ' ') line.pop_back();
}

int NotAYear(std::FILE* err, std::string_view arg) {
  return Refuse(err, Quoted(arg) + " is not a year from 1 to 9999");
}

// The one argument of holidays, equinox and jd; nullopt after saying what is wrong.
std::optional<std::int64_t> OneNumber(const Args& args, std::int64_t lo, std::int64_t hi,
                                      const char* what, std::FILE* err) {
  if (args.size() != 1) {
    if (args.empty()) {
      Refuse(err, std::string(what) + " is needed");
    } else {
      TooMany(err, args[1]);
    }
    return std::nullopt;
  }
  const auto n = ParseNumber(args[0], lo, hi);
  if (!n) {
    Refuse(err, Quoted(args[0]) + " is not " + what + " from " + std::to_string(lo) + " to " +
                    std::to_string(hi));
  }
  return n;
}

}  // namespace

int Holidays(const Args& args, std::FILE* out, std::FILE* err, const Environment& /*env*/) {
  std::optional<HolidayLaw> law;
  bool names = false;
  std::optional<std::int64_t> first;
  std::optional<std::int64_t> last;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OptionRead lawRead = ReadLawOption(args, i, law);
    if (lawRead == OptionRead::kBad) return Refuse(err, kLawValues);
    if (lawRead == OptionRead::kRead) continue;
    if (args[i] == "--names") {
      names = true;
    } else if (!first) {
      first = ParseNumber(args[i], kFirstYear, kLastYear);
      if (!first) return NotAYear(err, args[i]);
    } else if (!last) {
      last = ParseNumber(args[i], kFirstYear, kLastYear);
      if (!last) return NotAYear(err, args[i]);
    } else {
      return TooMany(err, args[i]);
    }
  }
  if (!first) return Refuse(err, "a year is needed");
  if (!last) last = first;
  if (*last < *first) {
    return Refuse(
        err, Quoted(std::to_string(*last)) + " comes before " + Quoted(std::to_string(*first)));
  }
  for (TDateTime t = EncodeDate(static_cast<int>(*first), 1, 1),
                 end = EncodeDate(static_cast<int>(*last), 12, 31);
       t <= end; t += 1) {
    const auto name = HolidayName(DayOf(t), law.value_or(HolidayLaw::k2005));
    if (!name) continue;
    Put(out, IsoDate(t));
    if (names) {
      std::fputc(' ', out);
      Put(out, sjis::ToUtf8(*name));
    }
    std::fputc('\n', out);
  }
  return kExitOk;
}

int Equinox(const Args& args, std::FILE* out, std::FILE* err, const Environment& /*env*/) {
  const auto year = OneNumber(args, kFirstYear, kLastYear, "a year", err);
  if (!year) return kExitUsage;
  const auto y = static_cast<std::int32_t>(*year);
  const struct {
    const char* name;
    std::uint32_t day;
  } lines[] = {{"vernal", VernalEquinoxDay(y)}, {"autumnal", AutumnalEquinoxDay(y)}};
  for (const auto& line : lines) {
    const auto date = JulianDayToDate(line.day);
    if (!date) {
      std::fprintf(err, "vespin-cli: day number %u has no date\n", line.day);
      return kExitProblem;
    }
    std::fprintf(out, "%s %u %s\n", line.name, line.day, IsoDate(*date).c_str());
  }
  return kExitOk;
}

int JulianDay(const Args& args, std::FILE* out, std::FILE* err, const Environment& /*env*/) {
  const auto n = OneNumber(args, 0, UINT32_MAX, "a day number", err);
  if (!n) return kExitUsage;
  const auto date = JulianDayToDate(static_cast<std::uint32_t>(*n));
  if (!date) {
    std::fprintf(err, "vespin-cli: day number %lld has no date\n", static_cast<long long>(*n));
    return kExitProblem;
  }
  std::fprintf(out, "%s\n", IsoDate(*date).c_str());
  return kExitOk;
}

int Month(const Args& allArgs, std::FILE* out, std::FILE* err, const Environment& env) {
  std::optional<HolidayLaw> law;
  Args args;
  for (std::size_t i = 0; i < allArgs.size(); ++i) {
    const OptionRead lawRead = ReadLawOption(allArgs, i, law);
    if (lawRead == OptionRead::kBad) return Refuse(err, kLawValues);
    if (lawRead == OptionRead::kNotThis) args.push_back(allArgs[i]);
  }
  int year = 0;
  int month = 0;
  if (args.empty()) {
    const DateParts today = DecodeDate(env.today);
    year = today.year;
    month = today.month;
  } else if (args.size() == 2) {
    const auto y = ParseNumber(args[0], kFirstYear, kLastYear);
    if (!y) return NotAYear(err, args[0]);
    const auto m = ParseNumber(args[1], 1, 12);
    if (!m) return Refuse(err, Quoted(args[1]) + " is not a month from 1 to 12");
    year = static_cast<int>(*y);
    month = static_cast<int>(*m);
  } else {
    return Refuse(err, args.size() == 1 ? "a year goes with a month"
                                        : Quoted(args[2]) + " is one argument too many");
  }
  // A clock beyond the calendar.
  if (year < kFirstYear || year > kLastYear) return NotAYear(err, std::to_string(year));

  const std::string title = std::to_string(year) + "年" + std::to_string(month) + "月";
  const int titleWidth =
      static_cast<int>(std::to_string(year).size() + std::to_string(month).size()) +
      4;  // 年 and 月 are wide
  std::fprintf(out, "%*s%s\n%s\n", (kGridWidth - titleWidth) / 2, "", title.c_str(),
               kWeekdayHeader);

  const TDateTime first = EncodeDate(year, month, 1);
  const int days = DaysInMonth(year, month);
  const int firstColumn = DayOfWeek(first) - 1;
  const TDateTime today = DateOf(env.today);
  std::string line(static_cast<std::size_t>(firstColumn * kCellWidth), ' ');
  for (int day = 1; day <= days; ++day) {
    const TDateTime date = first + (day - 1);
    const int weekday = DayOfWeek(date);
    const bool red = weekday == 1 || IsHoliday(DayOf(date), law.value_or(HolidayLaw::k2005));
    char number[12];
    std::snprintf(number, sizeof number, "%2d", day);
    line += ' ';
    if (env.colour) {
      std::string_view colour;
      if (date == today) {
        colour = kReverse;
      } else if (red) {
        colour = kRed;
      } else if (weekday == 7) {
        colour = kBlue;
      }
      if (colour.empty()) {
        line += number;
      } else {
        line.append(colour).append(number).append(kReset);
      }
      line += ' ';
    } else {
      line += number;
      line += red ? '*' : ' ';
    }
    if (weekday == 7 || day == days) {
      TrimRight(line);
      line += '\n';
      Put(out, line);
      line.clear();
    }
  }
  return kExitOk;
}

}  // namespace vespin::cli
