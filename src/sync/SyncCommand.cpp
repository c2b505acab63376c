#include "SyncCommand.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>

#include "CalendarText.h"
#include "Fetch.h"
#include "Http.h"
#include "IcalExport.h"
#include "Publish.h"
#include "Store.h"
#include "calendar/DateTime.h"
#include "events/EventFile.h"
#include "events/EventStore.h"
#include "events/Settings.h"
#include "events/WholeFile.h"
#include "remote/CacheFolder.h"
#include "remote/SyncStatus.h"
#include "text/Sjis.h"

namespace vespin::sync {
namespace {

void Put(std::FILE* f, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), f);
}

// What is wrong with the arguments; the companion's dispatcher adds the usage line.
int Usage(std::FILE* err, std::string_view problem) {
  Put(err, "vespin-cli: ");
  Put(err, problem);
  Put(err, "\n");
  return kExitUsage;
}

// One line from the panel (its keyring) or a script; the line end is not part of it.
std::string ReadPassword(std::FILE* in) {
  std::string line;
  for (int c; (c = std::fgetc(in)) != EOF && c != '\n';) line.push_back(static_cast<char>(c));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

struct Common {
  std::filesystem::path file;
  bool passwordStdin = false;
  Limits limits;
  std::vector<std::string> rest;
};

// The options every command shares; the others are left in `rest`. An empty text when they
// were read, else what is wrong.
std::string ReadCommon(const std::vector<std::string>& args, Common& c,
                       const std::vector<std::string>& valued) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--password-stdin") {
      c.passwordStdin = true;
    } else if (a == "--file" || a == "--timeout") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return a + " needs a value";
      const std::string& v = args[++i];
      if (a == "--file") {
        c.file = v;
      } else {
        long seconds = 0;
        const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
        if (ec != std::errc() || p != v.data() + v.size() || seconds < 1 || seconds > 3600) {
          return "--timeout takes seconds from 1 to 3600";
        }
        c.limits.totalSeconds = seconds;
        c.limits.connectSeconds = std::min(c.limits.connectSeconds, seconds);
      }
    } else if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
      if (i + 1 >= args.size()) return a + " needs a value";
      c.rest.push_back(a);
      c.rest.push_back(args[++i]);
    } else {
      c.rest.push_back(a);
    }
  }
  if (c.file.empty()) c.file = "vespin.ini";
  return {};
}

// The time a status file's Retry-After asks to wait for, while it lies ahead of `now` and
// belongs to `url`.
std::optional<std::string> WaitingUntil(const std::filesystem::path& statusFile,
                                        const std::string& url, std::time_t now) {
  const auto status = remote::ReadSyncStatus(statusFile);
  if (!status || status->url != url || status->retry.empty()) return std::nullopt;
  const auto until = remote::ParseIsoTime(status->retry);
  // A time beyond the cap was not written by this program (or the clock went back): not heeded.
  if (!until || *until <= now || *until > now + kMaxRetryWait) return std::nullopt;
  return status->retry;
}

bool LoadSettings(const std::filesystem::path& file, Settings& settings, std::FILE* err) {
  FileRead read = ReadEventFileBytes(file);
  if (!read.bytes) {
    std::fprintf(err, "%s: %s\n", file.c_str(), FileProblemText(read.problem));
    return false;
  }
  EventStore store;
  ParseEventFile(*read.bytes, store, settings);
  return true;
}

std::filesystem::path DataFolder(const std::filesystem::path& file) {
  return file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
}

int Fetch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
          const SyncEnvironment& env) {
  Common c;
  if (std::string problem = ReadCommon(args, c, {}); !problem.empty()) return Usage(err, problem);
  for (const std::string& name : c.rest) {
    if (!name.empty() && name.front() == '-') return Usage(err, "unknown option " + name);
  }
  Settings settings;
  if (!LoadSettings(c.file, settings, err)) return kExitProblem;
  std::vector<const Subscription*> chosen;
  for (const std::string& name : c.rest) {
    const Subscription* found = nullptr;
    for (const Subscription& s : settings.extensions.subscriptions) {
      if (sjis::ToUtf8(s.name) == name) found = &s;
    }
    if (!found) {
      std::fprintf(err, "%s: no subscription named %s\n", c.file.c_str(), name.c_str());
      return kExitProblem;
    }
    chosen.push_back(found);
  }
  if (c.rest.empty()) {
    for (const Subscription& s : settings.extensions.subscriptions) chosen.push_back(&s);
  }
  const std::string password = c.passwordStdin ? ReadPassword(env.in) : std::string();
  const std::filesystem::path cache = remote::CacheFolder(DataFolder(c.file));
  int rc = kExitOk;
  int requests = 0;
  for (const Subscription* s : chosen) {
    const std::string name = sjis::ToUtf8(s->name);
    const std::filesystem::path folder = remote::SubscriptionFolder(cache, name);
    // The schedule's run (no names) leaves a server alone that asked for a rest; a name given
    // is the user asking now.
    if (c.rest.empty()) {
      if (const auto until = WaitingUntil(folder / remote::kStatusFile, s->url, env.now)) {
        std::fprintf(out, "%s: not asked before %s, as the server wished\n", name.c_str(),
                     until->c_str());
        continue;
      }
    }
    // Each subscription has a user of its own; the one password goes with the named ones.
    HttpClient http(c.limits, {s->user, password});
    const FetchOutcome o = FetchSubscription(http, s->url, folder, env.now);
    requests += http.RequestCount();
    if (o.problem != Problem::kNone) {
      std::fprintf(err, "%s: %s (%s)\n", name.c_str(), PlainWords(o.problem), o.detail.c_str());
      rc = kExitProblem;
      continue;
    }
    std::fprintf(out, "%s: %d events%s%s\n", name.c_str(), o.events, o.changed ? "" : ", unchanged",
                 o.unencrypted ? " (unencrypted)" : "");
    if (!o.detail.empty()) std::fprintf(err, "%s: %s\n", name.c_str(), o.detail.c_str());
  }
  if (env.requestCount) *env.requestCount += requests;
  return rc;
}

// What the panel's window shows of the last publish: a conflict counts as an error, since the
// collection then does not hold what the file holds.
void WritePublishStatus(const std::filesystem::path& file, const std::string& url,
                        const PublishOutcome& o, std::time_t now) {
  remote::SyncStatus status = remote::ReadSyncStatus(file).value_or(remote::SyncStatus{});
  if (status.url != url) status = {};
  status.url = url;
  status.attempt = LocalIso(now);
  status.unencrypted = Unencrypted(HttpUrl(url));
  status.retry = o.retryUntil > 0 ? LocalIso(o.retryUntil) : std::string();
  if (o.problem != Problem::kNone) {
    status.error = PlainWords(o.problem);
    status.detail = !o.failures.empty() ? o.failures.front() : o.detail;
  } else if (!o.conflicts.empty()) {
    status.error = "他の機器で変更された予定があります";
    status.detail = std::to_string(o.conflicts.size()) + " conflict(s): " + o.conflicts.front();
  } else {
    status.error.clear();
    status.detail.clear();
    status.success = status.attempt;
  }
  status.events = o.published;
  WriteFileAtomically(file, remote::FormatSyncStatus(status));
}

int Publish(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
            const SyncEnvironment& env) {
  Common c;
  if (std::string problem = ReadCommon(args, c, {"--law", "--from", "--until"}); !problem.empty()) {
    return Usage(err, problem);
  }
  std::optional<HolidayLaw> law;
  std::optional<TDateTime> from, until;
  bool force = false;
  std::string url;
  for (std::size_t i = 0; i < c.rest.size(); ++i) {
    const std::string& a = c.rest[i];
    if (a == "--force") {
      force = true;
    } else if (a == "--law") {
      const std::string& v = c.rest[++i];
      if (v != "2005" && v != "current") return Usage(err, "--law takes 2005 or current");
      law = v == "2005" ? HolidayLaw::k2005 : HolidayLaw::kCurrent;
    } else if (a == "--from" || a == "--until") {
      const auto day = ParseIsoDayOrYear(c.rest[++i], a == "--until");
      if (!day) return Usage(err, "'" + c.rest[i] + "' is no date (YYYY-MM-DD or YYYY)");
      (a == "--from" ? from : until) = day;
    } else if (!a.empty() && a.front() != '-' && url.empty()) {
      url = a;
    } else {
      return Usage(err, "'" + a + "' is one argument too many");
    }
  }
  EventStore store;
  Settings settings;
  {
    FileRead read = ReadEventFileBytes(c.file);
    if (!read.bytes) {
      std::fprintf(err, "%s: %s\n", c.file.c_str(), FileProblemText(read.problem));
      return kExitProblem;
    }
    ParseEventFile(*read.bytes, store, settings);
  }
  std::string user;
  const bool configured = url.empty();
  if (url.empty()) {
    if (!settings.extensions.publish) {
      return Usage(err, c.file.string() + " has no publish address: give URL");
    }
    url = settings.extensions.publish->url;
    user = settings.extensions.publish->user;
  } else if (settings.extensions.publish && settings.extensions.publish->url == url) {
    // The file's own address named on the command line (to go at once) keeps its user.
    user = settings.extensions.publish->user;
  }
  // Whole years, from this one to the year after next: the events' first dates and their
  // holiday exceptions then move once a year, not every day, and a publish sends only what the
  // user changed.
  std::tm local{};
  localtime_r(&env.now, &local);
  const int year = local.tm_year + 1900;
  ical::ExportOptions opt;
  opt.from = from.value_or(EncodeDate(year, 1, 1));
  opt.until = until.value_or(EncodeDate(std::min(year + 2, 9999), 12, 31));
  if (opt.until < opt.from) return Usage(err, "--until is before --from");
  opt.law = law.value_or(settings.extensions.holidayLaw);
  opt.stampUtc = ical::ModifiedUtc(c.file, static_cast<std::int64_t>(env.now));
  opt.zone = ical::LocalZoneName();
  const ical::ExportResult exported = ical::ExportEvents(store, opt);
  const auto parts = SplitCalendar(exported.ics);
  if (!parts) {
    std::fputs("vespin-cli: the export gave no calendar\n", err);
    return kExitProblem;
  }
  const std::string password = c.passwordStdin ? ReadPassword(env.in) : std::string();
  const std::filesystem::path cache = remote::CacheFolder(DataFolder(c.file));
  // As with fetch: the configured address (the panel's run) waits for the time the server
  // asked for; an address given on the command line goes now.
  if (configured) {
    if (const auto wait = WaitingUntil(cache / remote::kPublishStatusFile, url, env.now)) {
      std::fprintf(out, "not published before %s, as the server wished\n", wait->c_str());
      return kExitOk;
    }
  }
  HttpClient http(c.limits, {user, password});
  std::error_code ec;
  std::filesystem::create_directories(cache, ec);
  const PublishOutcome o = sync::Publish(http, url, CalendarsByUid(*parts),
                                         cache / remote::kPublishFile, force, env.now);
  if (env.requestCount) *env.requestCount += http.RequestCount();
  WritePublishStatus(cache / remote::kPublishStatusFile, url, o, env.now);
  if (o.problem != Problem::kNone && o.added + o.changed + o.removed + o.unchanged == 0 &&
      o.failures.empty()) {
    std::fprintf(err, "%s: %s (%s)\n", url.c_str(), PlainWords(o.problem), o.detail.c_str());
    return kExitProblem;
  }
  std::fprintf(out, "added %d, changed %d, removed %d, unchanged %d\n", o.added, o.changed,
               o.removed, o.unchanged);
  for (const std::string& line : o.conflicts) std::fprintf(err, "conflict: %s\n", line.c_str());
  for (const std::string& line : o.failures) std::fprintf(err, "failed: %s\n", line.c_str());
  if (o.problem != Problem::kNone) {
    std::fprintf(err, "%s: %s\n", url.c_str(), PlainWords(o.problem));
  }
  return o.problem == Problem::kNone && o.conflicts.empty() && o.failures.empty() ? kExitOk
                                                                                  : kExitProblem;
}

}  // namespace

int RunSync(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
            const SyncEnvironment& env) {
  if (args.empty()) return Usage(err, "no command");
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "fetch") return Fetch(rest, out, err, env);
  if (args[0] == "publish") return Publish(rest, out, err, env);
  return Usage(err, "unknown command " + args[0]);
}

}  // namespace vespin::sync
