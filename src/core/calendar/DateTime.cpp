#include "calendar/DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace vespin {
namespace {

namespace chr = std::chrono;

constexpr sys_days kEpoch = kDateTimeEpoch;

chr::year_month_day ToYmd(int year, int month, int day) {
  return chr::year{year} / chr::month{static_cast<unsigned>(month)} /
         chr::day{static_cast<unsigned>(day)};
}

std::int64_t WholeDays(TDateTime t) {
  return static_cast<std::int64_t>(std::trunc(t));
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  if (year < -32767 || year > 32767 || month < 1 || month > 12 || day < 1 || day > 31) {
    return false;
  }
  return ToYmd(year, month, day).ok();
}

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  const auto last = chr::year_month_day_last{chr::year{year} /
                                             chr::month{static_cast<unsigned>(month)} / chr::last};
  return static_cast<int>(static_cast<unsigned>(last.day()));
}

TDateTime EncodeDate(int year, int month, int day) {
  return ToDateTime(sys_days{ToYmd(year, month, day)});
}

std::optional<TDateTime> TryEncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) return std::nullopt;
  return EncodeDate(year, month, day);
}

namespace {

// The number written by `count` digits at `at`; -1 when any of them is no digit.
int DigitsAt(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::optional<TDateTime> ParseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const int y = DigitsAt(text, 0, 4), m = DigitsAt(text, 5, 2), d = DigitsAt(text, 8, 2);
  if (y < 1 || m < 0 || d < 0) return std::nullopt;
  return TryEncodeDate(y, m, d);
}

std::optional<TDateTime> ParseIsoDayOrYear(std::string_view text, bool end) {
  if (text.size() == 4) {
    const int year = DigitsAt(text, 0, 4);
    if (year < 1) return std::nullopt;
    return end ? EncodeDate(year, 12, 31) : EncodeDate(year, 1, 1);
  }
  return ParseIsoDate(text);
}

DateParts DecodeDate(TDateTime t) {
  return DecodeDate(DayOf(t));
}

DateParts DecodeDate(sys_days day) {
  const chr::year_month_day ymd{day};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

int DayOfWeek(TDateTime t) {
  return DayOfWeek(DayOf(t));
}

int DayOfWeek(sys_days day) {
  return static_cast<int>(chr::weekday{day}.c_encoding()) + 1;
}

sys_days DayOf(TDateTime t) {
  return kEpoch + chr::days{WholeDays(t)};
}

std::optional<sys_days> CalendarDay(TDateTime t) {
  if (!std::isfinite(t)) return std::nullopt;
  const TDateTime day = std::trunc(t);
  if (day < ToDateTime(kFirstCalendarDay) || day > ToDateTime(kLastCalendarDay))
    return std::nullopt;
  return DayOf(day);
}

sys_days DayAtMsecs(std::int64_t msecs) {
  const std::int64_t days = msecs / kMsecsPerDay;
  return kEpoch + chr::days{msecs % kMsecsPerDay < 0 ? days - 1 : days};
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  const std::int64_t ms =
      ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + msec;
  return static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMsecsPerDay);
}

TimeParts DecodeTime(TDateTime t) {
  const double frac = std::fabs(t - std::trunc(t));
  std::int64_t ms = std::llround(frac * static_cast<double>(kMsecsPerDay));
  if (ms >= kMsecsPerDay) ms = kMsecsPerDay - 1;
  TimeParts parts;
  parts.msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  parts.second = static_cast<int>(ms % 60);
  ms /= 60;
  parts.minute = static_cast<int>(ms % 60);
  parts.hour = static_cast<int>(ms / 60);
  return parts;
}

TDateTime DateOf(TDateTime t) {
  return std::trunc(t);
}

TDateTime TimeOf(TDateTime t) {
  return std::fabs(t - std::trunc(t));
}

std::int64_t ToMsecs(TDateTime t) {
  return std::llround(t * static_cast<double>(kMsecsPerDay));
}

TDateTime FromMsecs(std::int64_t msecs) {
  return static_cast<TDateTime>(msecs) / static_cast<TDateTime>(kMsecsPerDay);
}

std::string DateText(TDateTime t, const WeekdayNames& names) {
  const DateParts d = DecodeDate(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d(", d.year, d.month, d.day);
  return buf + names[static_cast<std::size_t>(DayOfWeek(t) - 1)] + ")";
}

std::string TimeText(TDateTime t) {
  const TimeParts p = DecodeTime(t);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d", p.hour, p.minute);
  return buf;
}

}  // namespace vespin
