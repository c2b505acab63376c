// day, agenda and simulate: the event engine at the terminal. `day` lists what falls on a date,
// `agenda` what falls on every date of a range, and `simulate` runs the alarm passes the
// program's clock would run over a stretch of time and prints every notice they show. None of
// them ever writes the event file.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Commands.h"
#include "agenda/Agenda.h"
#include "calendar/DateTime.h"
#include "events/AppState.h"
#include "events/CompactEvents.h"
#include "events/DayRules.h"
#include "events/EngineHost.h"
#include "events/EventEngine.h"
#include "events/EventFile.h"
#include "events/EventStore.h"
#include "events/Settings.h"
#include "events/WholeFile.h"
#include "remote/CacheFolder.h"
#include "remote/RemoteDays.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

// YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS.
std::optional<TDateTime> ParseDateTime(std::string_view s) {
  if ((s.size() != 16 && s.size() != 19) || s[10] != 'T' || s[13] != ':') return std::nullopt;
  const auto date = ParseIsoDate(s.substr(0, 10));
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
  TerminalHost(std::FILE* out, bool onTime, bool startUp, HolidayLaw holidays)
      : out_(out), onTime_(onTime), startUp_(startUp), holidays_(holidays) {}

  void SetPassTime(TDateTime t) { minute_ = Minute(t); }

  void ShowNotice(const std::string& text) override {
    std::fprintf(out_, "%s ", minute_.c_str());
    Put(out_, sjis::ToUtf8(text));
    std::fputc('\n', out_);
  }
  bool SaveEventFile() override { return true; }
  void RedrawCalendar() override {}
  bool OnTimeNotices() const override { return onTime_; }
  bool StartUpNotices() const override { return startUp_; }
  HolidayLaw Holidays() const override { return holidays_; }

 private:
  std::FILE* out_;
  bool onTime_;
  bool startUp_;
  HolidayLaw holidays_;
  std::string minute_;
};

int CannotRead(const std::filesystem::path& file, std::FILE* err) {
  std::fprintf(err, "%s: %s\n", file.c_str(), FileProblemText(ProblemWith(file)));
  return kExitProblem;
}

int KindMask(EventKind kind) {
  switch (kind) {
    case EventKind::kYearly:
      return kMaskYearly;
    case EventKind::kMonthly:
      return kMaskMonthly;
    case EventKind::kWeekly:
      return kMaskWeekly;
  }
  return 0;
}

// A count of days, 1 to 3,652,059 (the calendar's whole span).
std::optional<std::int64_t> ParseCount(std::string_view s) {
  if (s.empty() || s.size() > 7) return std::nullopt;
  std::int64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > 3'652'059) return std::nullopt;
  return n;
}

// YYYY-MM-DD of a day.
std::string IsoDay(sys_days day) {
  const DateParts d = DecodeDate(day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
  return buf;
}

}  // namespace

// Reads the event file into the tables; false after telling why.
bool Load(const std::filesystem::path& file, EventStore& store, Settings& settings,
          std::FILE* err) {
  const auto bytes = ReadEventFileOrSay(file, err);
  if (!bytes) return false;
  ParseEventFile(*bytes, store, settings);
  return true;
}

int Digits(std::string_view s, std::size_t pos, std::size_t count) {
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return -1;
    value = value * 10 + (s[i] - '0');
  }
  return value;
}

namespace {

constexpr const char* kNeedsFile = "--file needs a file name";

int NotADate(std::FILE* err, std::string_view arg) {
  return Refuse(err, Quoted(arg) + " is not a date YYYY-MM-DD");
}

int NotAMoment(std::FILE* err, std::string_view arg) {
  return Refuse(err, Quoted(arg) + " is not a moment YYYY-MM-DDTHH:MM[:SS]");
}

// The occurrences of the calendars the file subscribes to, from `first` to `last`. Nothing is
// asked (and no helper started) for a file without subscriptions. False when they could not
// be read: what was said about it stands on `err`.
bool ReadRemoteDays(const CompactEvents& read, const std::filesystem::path& file, sys_days first,
                    sys_days last, const Environment& env, std::FILE* err,
                    remote::RemoteDayIndex& days) {
  if (read.subscriptions.empty() || !env.remoteOccurrences) return true;
  RemoteQuery query;
  const std::filesystem::path folder = file.parent_path();
  query.cacheFolder = remote::CacheFolder(folder.empty() ? std::filesystem::path(".") : folder);
  for (const Subscription& s : read.subscriptions) query.names.push_back(sjis::ToUtf8(s.name));
  query.from = first;
  query.to = last;
  auto occurrences = env.remoteOccurrences(query, err);
  if (!occurrences) return false;
  days = remote::RemoteDayIndex(std::move(*occurrences), std::pair(first, last));
  return true;
}

// "@work 10:00 定例会議": the calendar's name as the kind, "--:--" for a whole day.
std::string RemoteLine(const remote::RemoteOccurrence& o) {
  std::string line = "@" + o.calendar + " ";
  line += o.allDay ? "--:--" : HourMinuteText(o.startMs - MsecsAt(o.FirstDay()));
  line += ' ';
  line += o.summary;
  return line;
}

}  // namespace

int Day(const Args& args, std::FILE* out, std::FILE* err, const Environment& env) {
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
      date = ParseIsoDate(args[i]);
      if (!date) return NotADate(err, args[i]);
    } else {
      return TooMany(err, args[i]);
    }
  }
  if (!date) return Refuse(err, "a date YYYY-MM-DD is needed");

  // Only the rows that fall on the date are kept; the rest of the file passes by. The file
  // names its holidays only at its end, so without --law a row stays when either rule set
  // lets it through, and the file's choice settles it afterwards.
  const auto day = EventDay(*date);
  std::optional<DayFacts> older, current;
  if (day) {
    if (law != HolidayLaw::kCurrent) older.emplace(*day, HolidayLaw::k2005);
    if (law != HolidayLaw::k2005) current.emplace(*day, HolidayLaw::kCurrent);
  }
  const auto read = ReadCompactEvents(file, [&](EventKind kind, std::string_view code) {
    return (older && older->Falls(kind, code)) || (current && current->Falls(kind, code));
  });
  if (!read) return CannotRead(file, err);
  int mask = 0;
  remote::RemoteDayIndex remoteDays;
  bool remoteRead = true;
  if (day) {
    ForEachOccurrence(read->events, *day, *day, law.value_or(read->holidayLaw),
                      [&](sys_days, const CompactEvent& e) {
                        std::fprintf(out, "%s %s ", KindName(e.kind),
                                     HourMinuteText(e.timeMs).c_str());
                        Put(out, sjis::ToUtf8(e.text));
                        std::fputc('\n', out);
                        mask |= KindMask(e.kind);
                        return true;
                      });
    remoteRead = ReadRemoteDays(*read, file, *day, *day, env, err, remoteDays);
    for (const remote::RemoteOccurrence* o : remoteDays.On(*day)) {
      Put(out, RemoteLine(*o) + "\n");
    }
    // The panel underlines such days only while their underline is on; the mask says the same.
    if (read->remoteLine && remoteDays.Any(*day)) mask |= remote::kMaskRemote;
  }
  std::fprintf(out, "mask %d\n", mask);
  return remoteRead ? kExitOk : kExitProblem;
}

int Agenda(const Args& args, std::FILE* out, std::FILE* err, const Environment& env) {
  std::filesystem::path file = env.workDir / kEventFileName;
  std::optional<TDateTime> from;
  std::optional<TDateTime> to;
  std::optional<std::int64_t> days;
  std::optional<HolidayLaw> law;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OptionRead lawRead = ReadLawOption(args, i, law);
    if (lawRead == OptionRead::kBad) return kExitUsage;
    if (lawRead == OptionRead::kRead) continue;
    const std::string& a = args[i];
    if (a == "--file" || a == "--days") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return kExitUsage;
      const std::string& value = args[++i];
      if (a == "--file") {
        file = value;
      } else if (!(days = ParseCount(value))) {
        return kExitUsage;
      }
    } else if (!from) {
      if (!(from = ParseIsoDate(a))) return kExitUsage;
    } else if (!to) {
      if (!(to = ParseIsoDate(a))) return kExitUsage;
    } else {
      return kExitUsage;
    }
  }
  if (days && to) return kExitUsage;
  if (!from) {
    if (!days) return kExitUsage;
    from = env.today;
  }
  const auto first = EventDay(*from);
  const auto last = EventDay(days ? *from + static_cast<TDateTime>(*days - 1) : to.value_or(*from));
  if (!first || !last || *last < *first) return kExitUsage;

  const auto read = ReadCompactEvents(file, [](EventKind, std::string_view) { return true; });
  if (!read) return CannotRead(file, err);
  remote::RemoteDayIndex remoteDays;
  const bool remoteRead = ReadRemoteDays(*read, file, *first, *last, env, err, remoteDays);
  // Within a date the other calendars follow the file's own events; these are the days up to
  // `through` whose remote lines have not been listed yet.
  sys_days remoteFrom = *first;
  const auto listRemoteThrough = [&](sys_days through) {
    if (remoteDays.Empty() || through < remoteFrom) return;
    for (const sys_days day : remoteDays.DaysWith(remoteFrom, through)) {
      const std::string dayText = IsoDay(day);
      for (const remote::RemoteOccurrence* o : remoteDays.On(day)) {
        Put(out, dayText + " " + RemoteLine(*o) + "\n");
      }
    }
    remoteFrom = through + std::chrono::days(1);
  };
  std::optional<sys_days> shown;  // the day whose date `date` holds
  std::string date;
  std::string line;
  ForEachOccurrence(read->events, *first, *last, law.value_or(read->holidayLaw),
                    [&](sys_days day, const CompactEvent& e) {
                      if (day != shown) {
                        listRemoteThrough(day - std::chrono::days(1));
                        date = IsoDay(day);
                        shown = day;
                      }
                      line = date;
                      line += ' ';
                      line += KindName(e.kind);
                      line += ' ';
                      line += HourMinuteText(e.timeMs);
                      line += ' ';
                      line += sjis::ToUtf8(e.text);
                      line += '\n';
                      Put(out, line);
                      return true;
                    });
  listRemoteThrough(*last);
  return remoteRead ? kExitOk : kExitProblem;
}

int Simulate(const Args& args, std::FILE* out, std::FILE* err, const Environment& env) {
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
  // Only the passes that can show something run; the others would repeat their predecessor.
  ForEachActingAlarmPass(*from, *to, engine, [&](TDateTime now) {
    host.SetPassTime(now);
    engine.AlarmPass(now);
  });
  return kExitOk;
}

}  // namespace vespin::cli
