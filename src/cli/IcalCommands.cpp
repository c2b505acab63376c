// export and import: the events and the national holidays as iCalendar (RFC 5545), and events
// of other calendars brought into vespin.ini where one of its rules holds them exactly.

#include "IcalCommands.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Commands.h"
#include "FolderLock.h"
#include "IcalExport.h"
#include "IcalImport.h"
#include "IcalLimits.h"
#include "RemoteCalendar.h"
#include "events/EngineHost.h"
#include "events/EventFile.h"
#include "events/FileLines.h"
#include "events/WholeFile.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::cli {
namespace {

// How far the holiday exceptions reach unless --until says otherwise.
constexpr int kDefaultYears = 2;

// Text from elsewhere as the terminal may show it: control characters (an escape sequence
// would be obeyed, not shown) and bytes that are no UTF-8 become \xNN.
std::string Printable(std::string_view text) {
  std::string out;
  const auto escape = [&](unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02x", c);
    out += buf;
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80                 ? 1
                         : c >= 0xC2 && c <= 0xDF ? 2
                         : c >= 0xE0 && c <= 0xEF ? 3
                         : c >= 0xF0 && c <= 0xF4 ? 4
                                                  : 0;
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        length = 0;
      }
    }
    // C0, DEL, and C1 (U+0080 … U+009F).
    const bool control =
        (length == 1 && (c < 0x20 || c == 0x7F)) ||
        (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0);
    if (length == 0 || control) {
      for (std::size_t k = 0; k < std::max<std::size_t>(length, 1); ++k) {
        escape(static_cast<unsigned char>(text[i + k]));
      }
      i += std::max<std::size_t>(length, 1);
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
  return out;
}

// Why a file is no place to write an export to.
std::string NoPlaceFor(const std::filesystem::path& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    return "is a symbolic link, not a file";
  }
  return FileProblemText(ProblemWith(target));
}

bool WriteOut(const std::string& ics, const std::string& target, std::FILE* out, std::FILE* err) {
  if (target.empty()) {
    Put(out, ics);
    return true;
  }
  // Whole or not at all, and only ever into a regular file of that name.
  switch (CreateOrReplaceWholeFile(target, ics)) {
    case ReplaceResult::kDone:
      return true;
    case ReplaceResult::kNotAFile:
      std::fprintf(err, "%s: %s: nothing written\n", Printable(target).c_str(),
                   NoPlaceFor(target).c_str());
      return false;
    case ReplaceResult::kReadOnly:
      std::fprintf(err, "%s: read-only: nothing written\n", Printable(target).c_str());
      return false;
    case ReplaceResult::kFailed:
    case ReplaceResult::kMoved:  // only a save that checks the old file is told so
      break;
  }
  std::fprintf(err, "%s: cannot write the file\n", Printable(target).c_str());
  return false;
}

int Export(const Args& args, std::FILE* out, std::FILE* err, const Environment& env) {
  std::filesystem::path file = env.workDir / kEventFileName;
  std::optional<TDateTime> from, until;
  std::string target;
  std::optional<HolidayLaw> law;
  bool holidays = false;
  bool floating = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OptionRead lawRead = ReadLawOption(args, i, law);
    if (lawRead == OptionRead::kBad) return kExitUsage;
    if (lawRead == OptionRead::kRead) continue;
    const std::string& a = args[i];
    if (a == "--holidays") {
      holidays = true;
    } else if (a == "--floating") {
      floating = true;
    } else if (a == "--file" || a == "--from" || a == "--until" || a == "-o") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return kExitUsage;
      const std::string& value = args[++i];
      if (a == "--file") {
        file = value;
      } else if (a == "-o") {
        target = value;
      } else if (!((a == "--from" ? from : until) = ParseIsoDayOrYear(value, a == "--until"))) {
        return kExitUsage;
      }
    } else {
      return kExitUsage;
    }
  }
  ical::ExportOptions opt;
  if (holidays) {
    // Whole years: this one and the next.
    const int year = DecodeDate(env.today).year;
    opt.from = from.value_or(EncodeDate(year, 1, 1));
    opt.until = until.value_or(EncodeDate(std::min(year + 1, 9999), 12, 31));
  } else {
    opt.from = from.value_or(env.today);
    opt.until = until.value_or(ical::YearsOn(opt.from, kDefaultYears));
  }
  if (opt.until < opt.from) return kExitUsage;

  if (holidays) {
    if (floating) return kExitUsage;  // all-day dates have no time to float
    // The holidays follow --law, else the file's choice when there is a file.
    EventStore store;
    Settings settings;
    if (!law) {
      // No file is no problem here; a file that is no calendar is.
      FileRead read = ReadEventFileBytes(file);
      if (IsBadContent(read.problem)) {
        std::fprintf(err, "%s: %s\n", file.c_str(), FileProblemText(read.problem));
        return kExitProblem;
      }
      if (read.bytes) ParseEventFile(*read.bytes, store, settings);
    }
    opt.law = law.value_or(settings.extensions.holidayLaw);
    opt.stampUtc = env.nowUtc;
    return WriteOut(ical::ExportHolidays(opt), target, out, err) ? kExitOk : kExitProblem;
  }

  EventStore store;
  Settings settings;
  if (!Load(file, store, settings, err)) return kExitProblem;
  opt.law = law.value_or(settings.extensions.holidayLaw);
  // The file's own last change, so that exporting an unchanged file gives the same bytes.
  opt.stampUtc = ical::ModifiedUtc(file, env.nowUtc);
  if (!floating) {
    opt.zone = ical::LocalZoneName();
    if (opt.zone.empty()) std::fputs("no local time zone known: the times are floating\n", err);
  }
  const ical::ExportResult result = ical::ExportEvents(store, opt);
  for (const ical::LeftOut& row : result.never) {
    std::fprintf(err, "not exported: %s row %d ", KindName(row.kind), row.row);
    Put(err, sjis::ToUtf8(row.text));
    std::fputs(": it never occurs\n", err);
  }
  return WriteOut(result.ics, target, out, err) ? kExitOk : kExitProblem;
}

int Import(const Args& args, std::FILE* out, std::FILE* err, const Environment& env) {
  std::filesystem::path file = env.workDir / kEventFileName;
  std::optional<std::filesystem::path> input;
  bool dryRun = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--file") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return kExitUsage;
      file = args[++i];
    } else if (a == "--dry-run") {
      dryRun = true;
    } else if (!input && !a.empty() && a.front() != '-') {
      input = a;
    } else {
      return kExitUsage;
    }
  }
  if (!input) return kExitUsage;

  const ical::CalendarRead ics = ical::ReadCalendarFile(*input);
  if (!ics.bytes) {
    std::fprintf(err, "%s: cannot read the file (%s)\n", Printable(input->string()).c_str(),
                 ics.problem.c_str());
    return kExitProblem;
  }
  const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
  // A running panel writes all of its tables on its next save, which would undo the import. The
  // lock is held until the import is written, so no panel starts on the folder meanwhile.
  std::optional<FolderLock> lock;
  if (!dryRun && lock.emplace(folder).HeldElsewhere()) {
    std::fprintf(err, "VESPIN is running in %s: close it first, or it will write over the import\n",
                 folder.c_str());
    return kExitProblem;
  }
  EventStore store;
  Settings settings;
  auto bytes = ReadEventFileOrSay(file, err);
  if (!bytes) return kExitProblem;
  ParseEventFile(*bytes, store, settings);

  ical::ImportOptions opt;
  opt.today = env.today;
  opt.law = settings.extensions.holidayLaw;
  opt.zone = ical::LocalZoneName();
  ical::ImportResult read = ical::ReadCalendar(*ics.bytes, opt);
  if (!read.error.empty()) {
    std::fprintf(err, "%s: %s; %s is unchanged\n", Printable(input->string()).c_str(),
                 read.error.c_str(), Printable(file.string()).c_str());
    return kExitProblem;
  }
  const auto added = ical::AddEvents(store, read.events, read.skipped);
  for (const ical::ImportedEvent& e : added) {
    std::fprintf(out, "%s ", KindName(e.kind));
    Put(out, ical::FileLine(e));
    std::fputc('\n', out);
  }
  for (const ical::Note& n : read.notes) {
    std::fprintf(err, "note: %s: %s\n", Printable(n.summary).c_str(), Printable(n.text).c_str());
  }
  for (const ical::Skipped& s : read.skipped) {
    std::fprintf(err, "skipped: %s: %s\n", Printable(s.summary).c_str(),
                 Printable(s.reason).c_str());
  }
  if (dryRun) {
    std::fprintf(err, "%zu to add, %zu skipped (dry run: %s is unchanged)\n", added.size(),
                 read.skipped.size(), file.c_str());
  } else {
    if (!added.empty()) {
      TerminalNotifier notifier(err);
      EventFile events(file, notifier);
      // A hand edit made since the read above is kept: the save carries the import onto it.
      events.SetBase(std::move(*bytes));
      if (!events.IniSave(store, settings)) return kExitProblem;
    }
    std::fprintf(err, "%zu added, %zu skipped\n", added.size(), read.skipped.size());
  }
  return read.skipped.empty() ? kExitOk : kExitProblem;
}

}  // namespace

int RunIcalCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                   const Environment& env) {
  const Args rest(args.begin() + 1, args.end());
  return args.front() == "export" ? Export(rest, out, err, env) : Import(rest, out, err, env);
}

std::optional<std::vector<remote::RemoteOccurrence>> ExpandCachedCalendars(const RemoteQuery& query,
                                                                           std::FILE* err) {
  std::vector<remote::RemoteOccurrence> all;
  for (const std::string& name : query.names) {
    const auto file = remote::SubscriptionFolder(query.cacheFolder, name) / remote::kCalendarFile;
    ical::RemoteExpansion expansion = ical::ReadRemoteCalendar(file, name, query.from, query.to);
    const std::string who = "@" + remote::CleanText(name) + ": ";
    if (!expansion.error.empty()) {
      Put(err, who + expansion.error + "\n");
      continue;
    }
    for (const std::string& problem : expansion.problems) {
      Put(err, who + "left out " + problem + "\n");
    }
    if (expansion.cut) Put(err, who + "too large: not every occurrence is listed\n");
    for (auto& o : expansion.occurrences) all.push_back(std::move(o));
  }
  return all;
}

int RunOccurrencesCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  RemoteQuery query;
  std::optional<TDateTime> from, until;
  bool names = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (names) {
      query.names.push_back(a);
    } else if (a == "--") {
      names = true;
    } else if (a == "--cache" || a == "--from" || a == "--until") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return kExitUsage;
      const std::string& value = args[++i];
      if (a == "--cache") {
        query.cacheFolder = value;
      } else if (!((a == "--from" ? from : until) = ParseIsoDate(value))) {
        return kExitUsage;
      }
    } else if (!a.empty() && a.front() != '-') {
      query.names.push_back(a);
    } else {
      return kExitUsage;
    }
  }
  if (query.cacheFolder.empty() || !from || !until || *until < *from) {
    std::fputs(
        "usage: vespin-ical occurrences --cache DIR --from YYYY-MM-DD --until YYYY-MM-DD "
        "[--] NAME...\n",
        err);
    return kExitUsage;
  }
  query.from = DayOf(*from);
  query.to = DayOf(*until);
  const auto occurrences = ExpandCachedCalendars(query, err);
  for (const remote::RemoteOccurrence& o : *occurrences) {
    Put(out, remote::OccurrenceLine(o));
    std::fputc('\n', out);
  }
  return kExitOk;
}

}  // namespace vespin::cli
