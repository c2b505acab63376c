// day and simulate: the event engine at the terminal. `day` lists what falls on a date;
// `simulate` runs the alarm passes the program's clock would run over a stretch of time and
// prints every notice they show. Neither ever writes the event file.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "Commands.h"
#include "calendar/DateTime.h"
#include "events/AppState.h"
#include "events/EngineHost.h"
#include "events/EventEngine.h"
#include "events/EventFile.h"
#include "events/EventStore.h"
#include "events/Settings.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

// `count` decimal digits at `pos`, or -1.
int Digits(std::string_view s, std::size_t pos, std::size_t count) {
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return -1;
    value = value * 10 + (s[i] - '0');
  }
  return value;
}

// YYYY-MM-DD, years 1 to 9999.
std::optional<TDateTime> ParseDate(std::string_view s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return std::nullopt;
  const int y = Digits(s, 0, 4), m = Digits(s, 5, 2), d = Digits(s, 8, 2);
  if (y < 1 || m < 0 || d < 0) return std::nullopt;
  return TryEncodeDate(y, m, d);
}

// YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS.
std::optional<TDateTime> ParseDateTime(std::string_view s) {
  if ((s.size() != 16 && s.size() != 19) || s[10] != 'T' || s[13] != ':') return std::nullopt;
  const auto date = ParseDate(s.substr(0, 10));
  const int h = Digits(s, 11, 2), mi = Digits(s, 14, 2);
  int sec = 0;
  if (s.size() == 19) {
    if (s[16] != ':') return std::nullopt;
    sec = Digits(s, 17, 2);
  }
  if (!date || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 59) return std::nullopt;
  return *date + EncodeTime(h, mi, sec);
}

std::optional<bool> ParseOnOff(std::string_view s) {
  if (s == "on") return true;
  if (s == "off") return false;
  return std::nullopt;
}

// "YYYY-MM-DD HH:MM" of a moment.
std::string Minute(TDateTime t) {
  const std::int64_t ms = ToMsecs(t);
  const std::int64_t day = ms / kMsecsPerDay;
  const DateParts d = DecodeDate(static_cast<TDateTime>(day));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d ", d.year, d.month, d.day);
  return buf + TimeText(FromMsecs(ms - day * kMsecsPerDay));
}

// Prints notices as they come, and keeps the file as it is: a deletion stays in memory.
class TerminalHost final : public EngineHost {
 public:
  TerminalHost(std::ostream& out, bool onTime, bool startUp, HolidayLaw holidays)
      : out_(out), onTime_(onTime), startUp_(startUp), holidays_(holidays) {}

  void SetPassTime(TDateTime t) { minute_ = Minute(t); }

  void ShowNotice(const std::string& text) override {
    out_ << minute_ << ' ' << sjis::ToUtf8(text) << '\n';
  }
  bool SaveEventFile() override { return true; }
  void RedrawCalendar() override {}
  bool OnTimeNotices() const override { return onTime_; }
  bool StartUpNotices() const override { return startUp_; }
  HolidayLaw Holidays() const override { return holidays_; }

 private:
  std::ostream& out_;
  bool onTime_;
  bool startUp_;
  HolidayLaw holidays_;
  std::string minute_;
};

// Reads the event file into the tables; false after telling why.
bool Load(const std::filesystem::path& file, EventStore& store, Settings& settings,
          std::ostream& err) {
  const auto bytes = ReadEventFileOrSay(file, err);
  if (!bytes) return false;
  ParseEventFile(*bytes, store, settings);
  return true;
}

constexpr const char* kNeedsFile = "--file needs a file name";

int NotADate(std::ostream& err, std::string_view arg) {
  return Refuse(err, Quoted(arg) + " is not a date YYYY-MM-DD");
}

int NotAMoment(std::ostream& err, std::string_view arg) {
  return Refuse(err, Quoted(arg) + " is not a moment YYYY-MM-DDTHH:MM[:SS]");
}

}  // namespace

int Day(const Args& args, std::ostream& out, std::ostream& err, const Environment& env) {
  std::filesystem::path file = env.workDir / kEventFileName;
  std::optional<TDateTime> date;
  std::optional<HolidayLaw> law;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OptionRead lawRead = ReadLawOption(args, i, law);
    if (lawRead == OptionRead::kBad) return Refuse(err, kLawValues);
    if (lawRead == OptionRead::kRead) continue;
    if (args[i] == "--file") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return Refuse(err, kNeedsFile);
      file = args[++i];
    } else if (!date) {
      date = ParseDate(args[i]);
      if (!date) return NotADate(err, args[i]);
    } else {
      return TooMany(err, args[i]);
    }
  }
  if (!date) return Refuse(err, "a date YYYY-MM-DD is needed");

  EventStore store;
  Settings settings;
  if (!Load(file, store, settings, err)) return kExitProblem;
  AppState state;
  TerminalHost host(out, settings.onTime, settings.startUp,
                    law.value_or(settings.extensions.holidayLaw));
  EventEngine engine(store, state, host);
  for (const DayEvent& e : engine.EventsOn(*date)) {
    out << KindName(e.kind) << ' ' << e.timeText << ' ' << sjis::ToUtf8(e.text) << '\n';
  }
  out << "mask " << engine.EventCheck(CheckMode::kDayMask, *date, 0) << '\n';
  return kExitOk;
}

int Simulate(const Args& args, std::ostream& out, std::ostream& err, const Environment& env) {
  std::filesystem::path file = env.workDir / kEventFileName;
  std::optional<bool> onTime;
  std::optional<bool> startUp;
  std::optional<TDateTime> from;
  std::optional<TDateTime> to;
  std::optional<HolidayLaw> law;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OptionRead lawRead = ReadLawOption(args, i, law);
    if (lawRead == OptionRead::kBad) return Refuse(err, kLawValues);
    if (lawRead == OptionRead::kRead) continue;
    const std::string& a = args[i];
    if (a == "--file" || a == "--on-time" || a == "--start-up") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        return Refuse(err, a == "--file" ? kNeedsFile : a + " needs on or off");
      }
      const std::string& value = args[++i];
      if (a == "--file") {
        file = value;
        continue;
      }
      const auto flag = ParseOnOff(value);
      if (!flag) return Refuse(err, a + " takes on or off, not " + Quoted(value));
      (a == "--on-time" ? onTime : startUp) = flag;
    } else if (!from) {
      if (!(from = ParseDateTime(a))) return NotAMoment(err, a);
    } else if (!to) {
      if (!(to = ParseDateTime(a))) return NotAMoment(err, a);
    } else {
      return TooMany(err, a);
    }
  }
  if (!from || !to) return Refuse(err, "a first and a last moment are needed");
  if (ToMsecs(*to) < ToMsecs(*from)) {
    return Refuse(err, "the last moment comes before the first");
  }

  EventStore store;
  Settings settings;
  if (!Load(file, store, settings, err)) return kExitProblem;
  AppState state;
  TerminalHost host(out, onTime.value_or(settings.onTime), startUp.value_or(settings.startUp),
                    law.value_or(settings.extensions.holidayLaw));
  EventEngine engine(store, state, host);
  ForEachAlarmPass(*from, *to, [&](TDateTime now) {
    host.SetPassTime(now);
    engine.AlarmPass(now);
  });
  return kExitOk;
}

}  // namespace vespin::cli
