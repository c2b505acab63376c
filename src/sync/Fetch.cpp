#include "Fetch.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <set>
#include <system_error>
#include <vector>

#include "CalendarText.h"
#include "Dav.h"
#include "Store.h"
#include "events/WholeFile.h"
#include "remote/CacheFolder.h"
#include "remote/SyncStatus.h"

namespace vespin::sync {
namespace {

// Hrefs asked for in one multiget: a few hundred keep each answer well under the size limit.
constexpr std::size_t kMultigetBatch = 250;

const char* const kXmlType = "Content-Type: application/xml; charset=utf-8";

struct Failure {
  Problem problem = Problem::kNone;
  std::string detail;
};

std::tm Broken(std::time_t t, bool utc) {
  std::tm tm{};
  if (utc) {
    gmtime_r(&t, &tm);
  } else {
    localtime_r(&t, &tm);
  }
  return tm;
}

// A UTC day: "2026-12-09".
std::string UtcDay(std::time_t t) {
  const std::tm tm = Broken(t, true);
  char buffer[32];
  return std::string(buffer, std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &tm));
}

Problem ProblemOfStatus(long status) {
  switch (status) {
    case 401:
      return Problem::kAuthentication;
    case 403:
      return Problem::kForbidden;
    case 404:
    case 410:
      return Problem::kNotFound;
    default:
      return Problem::kServer;
  }
}

Failure FailureOf(const Response& r, const char* what) {
  Failure f;
  switch (r.error) {
    case NetError::kNone: {
      f.problem = ProblemOfStatus(r.status);
      f.detail = std::string(what) + ": HTTP " + std::to_string(r.status);
      if (!r.retryAfter.empty()) f.detail += " (retry after " + r.retryAfter + ")";
      return f;
    }
    case NetError::kConnect:
      f.problem = Problem::kConnect;
      break;
    case NetError::kTimeout:
      f.problem = Problem::kNoAnswer;
      break;
    case NetError::kCertificate:
      f.problem = Problem::kCertificate;
      break;
    case NetError::kTooLarge:
      f.problem = Problem::kTooLarge;
      break;
    case NetError::kRedirects:
      f.problem = Problem::kServer;
      break;
    case NetError::kAddress:
      f.problem = Problem::kAddress;
      break;
    case NetError::kOther:
      f.problem = Problem::kConnect;
      break;
  }
  f.detail = std::string(what) + ": " + r.errorDetail;
  return f;
}

// The path a href names, or the href itself when it cannot be read.
std::string PathOf(const std::string& base, const std::string& href) {
  std::string path = HrefPath(base, href);
  return path.empty() ? href : path;
}

int CountEvents(const CalendarParts& parts) {
  std::set<std::string> uids;
  int withoutUid = 0;
  for (const std::string& uid : parts.eventUids) {
    if (uid.empty()) {
      ++withoutUid;
    } else {
      uids.insert(uid);
    }
  }
  return static_cast<int>(uids.size()) + withoutUid;
}

class Fetcher {
 public:
  Fetcher(HttpClient& http, std::string url, FetchState& state, bool haveCalendar, std::time_t now)
      : http_(http), url_(std::move(url)), state_(state), haveCalendar_(haveCalendar), now_(now) {}

  Failure Run() {
    if (state_.kind == "ics" && haveCalendar_) return FetchIcs();
    Response probe = Send("PROPFIND", url_, dav::CollectionProbe(), "0");
    if (probe.error != NetError::kNone) return FailureOf(probe, "PROPFIND");
    if (probe.status == 207) {
      const auto ms = dav::ParseMultistatus(probe.body);
      if (!ms) return {Problem::kFormat, "PROPFIND: the answer is no WebDAV multistatus"};
      const dav::Resource* self = ms->responses.empty() ? nullptr : &ms->responses.front();
      for (const auto& r : ms->responses) {
        if (PathOf(url_, r.href) == PathOf(url_, url_)) self = &r;
      }
      if (self && self->isCalendar) return FetchCalDav(*self);
      if (self && self->isCollection) {
        return {Problem::kNotFound, "the address is a WebDAV folder, not a calendar collection"};
      }
      return FetchIcs();
    }
    // A plain web server knows no PROPFIND: the address is a file.
    if (probe.status == 400 || probe.status == 405 || probe.status == 501 ||
        (probe.status >= 200 && probe.status < 300)) {
      return FetchIcs();
    }
    return FailureOf(probe, "PROPFIND");
  }

  std::optional<std::string> calendar;  // the new merged calendar, when it changed
  int events = -1;                      // -1: as before
  std::string note;                     // resources passed over, for the detail
  std::time_t retryUntil = 0;           // what the last answer's Retry-After asked for

 private:
  Response Send(const char* method, const std::string& url, std::string body, const char* depth) {
    Request r;
    r.method = method;
    r.url = url;
    r.body = std::move(body);
    if (!r.body.empty()) r.headers.push_back(kXmlType);
    if (depth) r.headers.push_back(std::string("Depth: ") + depth);
    return Heeded(http_.Send(r));
  }

  // Every answer passes here: a failure is returned right after the answer that caused it.
  Response Heeded(Response r) {
    retryUntil = RetryUntil(r, now_);
    return r;
  }

  Failure FetchIcs() {
    Request r;
    r.url = url_;
    if (state_.kind == "ics" && haveCalendar_) {
      if (!state_.etag.empty()) r.headers.push_back("If-None-Match: " + state_.etag);
      if (!state_.lastModified.empty()) {
        r.headers.push_back("If-Modified-Since: " + state_.lastModified);
      }
    }
    r.headers.push_back("Accept: text/calendar, */*;q=0.5");
    Response resp = Heeded(http_.Send(r));
    if (resp.error == NetError::kNone && resp.status == 304) return {};
    if (!resp.ok()) return FailureOf(resp, "GET");
    auto parts = SplitCalendar(resp.body);
    if (!parts) {
      return {Problem::kFormat, "GET: the answer is not iCalendar (Content-Type: " +
                                    (resp.contentType.empty() ? "none" : resp.contentType) + ")"};
    }
    events = CountEvents(*parts);
    calendar = MergeCalendar({&*parts});
    state_.kind = "ics";
    state_.ctag.clear();
    state_.syncToken.clear();
    state_.resources.clear();
    state_.etag = resp.etag;
    state_.lastModified = resp.lastModified;
    return {};
  }

  Failure FetchCalDav(const dav::Resource& self) {
    const std::string today = UtcDay(now_);
    bool relist = state_.kind != "caldav" || !haveCalendar_ || state_.listedOn.empty();
    if (!relist) {
      const std::time_t week = now_ - std::time_t{kRelistDays} * 86400;
      relist = state_.listedOn <= UtcDay(week);
    }
    if (!relist) {
      if (!self.syncToken.empty() ? self.syncToken == state_.syncToken
                                  : !self.ctag.empty() && self.ctag == state_.ctag) {
        return {};
      }
    }
    std::map<std::string, std::string> changed;  // path -> etag
    std::map<std::string, std::string> hrefOf;   // path -> href as the server spells it
    std::set<std::string> removed;
    std::string newToken = self.syncToken;
    bool listed = false;
    if (!relist && !state_.syncToken.empty() && !self.syncToken.empty()) {
      Response r = Send("REPORT", url_, dav::SyncCollection(state_.syncToken), "0");
      if (r.error != NetError::kNone) return FailureOf(r, "REPORT sync-collection");
      if (r.status == 207) {
        const auto ms = dav::ParseMultistatus(r.body);
        if (!ms) return {Problem::kFormat, "REPORT sync-collection: broken multistatus"};
        for (const auto& res : ms->responses) {
          const std::string path = PathOf(url_, res.href);
          if (res.status == 404) {
            removed.insert(path);
          } else if (!res.etag.empty() && !IsSelf(path)) {
            changed[path] = res.etag;
            hrefOf[path] = res.href;
          }
        }
        if (!ms->syncToken.empty()) newToken = ms->syncToken;
        listed = true;
      } else if (r.status == 401) {
        return FailureOf(r, "REPORT sync-collection");
      }
      // Any other answer (an expired token: 403 or 409) falls back to a whole listing.
    }
    bool whole = false;
    if (!listed) {
      std::map<std::string, std::string> listing;
      if (Failure f = List(listing, hrefOf); f.problem != Problem::kNone) return f;
      for (const auto& [path, copy] : state_.resources) {
        if (!listing.count(path)) removed.insert(path);
      }
      changed = std::move(listing);
      whole = true;
    }
    std::vector<std::string> toGet;
    for (const auto& [path, etag] : changed) {
      const auto cached = state_.resources.find(path);
      if (cached == state_.resources.end() || cached->second.etag != etag) toGet.push_back(path);
    }
    bool modified = !haveCalendar_ || state_.kind != "caldav";
    for (const std::string& path : removed) modified |= state_.resources.erase(path) > 0;
    int passedOver = 0;
    for (std::size_t at = 0; at < toGet.size(); at += kMultigetBatch) {
      std::vector<std::string> hrefs;
      for (std::size_t i = at; i < std::min(toGet.size(), at + kMultigetBatch); ++i) {
        hrefs.push_back(hrefOf.count(toGet[i]) ? hrefOf[toGet[i]] : toGet[i]);
      }
      Response r = Send("REPORT", url_, dav::Multiget(hrefs), "1");
      if (r.error != NetError::kNone || r.status != 207) return FailureOf(r, "REPORT multiget");
      const auto ms = dav::ParseMultistatus(r.body);
      if (!ms) return {Problem::kFormat, "REPORT calendar-multiget: broken multistatus"};
      for (const auto& res : ms->responses) {
        if (res.status != 200 && res.status != 0) continue;
        const std::string path = PathOf(url_, res.href);
        const auto parts = SplitCalendar(res.calendarData);
        if (!parts) {
          ++passedOver;
          continue;
        }
        modified = true;
        if (parts->events.empty()) {  // a to-do or a journal in the same collection
          state_.resources.erase(path);
          continue;
        }
        const auto listedEtag = changed.find(path);
        std::string etag = !res.etag.empty()             ? res.etag
                           : listedEtag != changed.end() ? listedEtag->second
                                                         : std::string();
        state_.resources[path] = {std::move(etag), res.calendarData};
      }
    }
    if (passedOver > 0) {
      note = std::to_string(passedOver) + " resource(s) that are not iCalendar passed over";
    }
    state_.kind = "caldav";
    state_.syncToken = newToken;
    state_.ctag = self.ctag;
    state_.etag.clear();
    state_.lastModified.clear();
    if (whole) state_.listedOn = today;
    if (modified) Rebuild();
    return {};
  }

  bool IsSelf(const std::string& path) const {
    const std::string self = PathOf(url_, url_);
    const auto trim = [](std::string p) {
      while (p.size() > 1 && p.back() == '/') p.pop_back();
      return p;
    };
    return trim(path) == trim(self);
  }

  // Every event's resource with its ETag; a server without calendar-query gets a plain listing
  // of every resource.
  Failure List(std::map<std::string, std::string>& listing,
               std::map<std::string, std::string>& hrefOf) {
    Response r = Send("REPORT", url_, dav::EventQuery(), "1");
    if (r.error != NetError::kNone) return FailureOf(r, "REPORT calendar-query");
    if (r.status == 401) return FailureOf(r, "REPORT calendar-query");
    if (r.status != 207) {
      r = Send("PROPFIND", url_, dav::EtagListing(), "1");
      if (!r.ok() || r.status != 207) return FailureOf(r, "PROPFIND");
    }
    const auto ms = dav::ParseMultistatus(r.body);
    if (!ms) return {Problem::kFormat, "REPORT calendar-query: broken multistatus"};
    for (const auto& res : ms->responses) {
      const std::string path = PathOf(url_, res.href);
      if (res.isCollection || IsSelf(path) || res.etag.empty()) continue;
      if (res.status != 200 && res.status != 0) continue;
      listing[path] = res.etag;
      hrefOf[path] = res.href;
    }
    return {};
  }

  void Rebuild() {
    std::vector<CalendarParts> all;
    all.reserve(state_.resources.size());
    for (const auto& [path, copy] : state_.resources) {
      if (auto parts = SplitCalendar(copy.text)) all.push_back(std::move(*parts));
    }
    std::vector<const CalendarParts*> pointers;
    events = 0;
    for (const CalendarParts& p : all) {
      pointers.push_back(&p);
      events += CountEvents(p);
    }
    calendar = MergeCalendar(pointers);
  }

  HttpClient& http_;
  std::string url_;
  FetchState& state_;
  bool haveCalendar_;
  std::time_t now_;
};

// Held while one subscription is fetched: the panel and the companion may start a fetch at the
// same time.
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& file)
      : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

std::string LocalIso(std::time_t t) {
  const std::tm tm = Broken(t, false);
  char buffer[64];
  std::string text(buffer, std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S%z", &tm));
  if (text.size() >= 5) text.insert(text.size() - 2, ":");
  return text;
}

const char* PlainWords(Problem problem) {
  switch (problem) {
    case Problem::kNone:
      return "";
    case Problem::kConnect:
      return "サーバーに接続できません";
    case Problem::kAuthentication:
      return "ユーザー名またはパスワードが違います";
    case Problem::kForbidden:
      return "アクセスが許可されていません";
    case Problem::kNotFound:
      return "カレンダーが見つかりません";
    case Problem::kNoAnswer:
      return "サーバーが応答しません";
    case Problem::kServer:
      return "サーバーのエラーです";
    case Problem::kCertificate:
      return "証明書を確認できません";
    case Problem::kTooLarge:
      return "データが大きすぎます";
    case Problem::kFormat:
      return "カレンダーの形式が正しくありません";
    case Problem::kAddress:
      return "アドレスが正しくありません";
    case Problem::kCache:
      return "キャッシュに書き込めません";
  }
  return "";
}

FetchOutcome FetchSubscription(HttpClient& http, const std::string& url,
                               const std::filesystem::path& folder, std::time_t now) {
  FetchOutcome out;
  const std::string address = HttpUrl(url);
  out.unencrypted = Unencrypted(address);
  const std::filesystem::path statusFile = folder / remote::kStatusFile;
  const std::filesystem::path calendarFile = folder / remote::kCalendarFile;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  FolderLock lock(folder / kLockFile);

  remote::SyncStatus status = remote::ReadSyncStatus(statusFile).value_or(remote::SyncStatus{});
  if (status.url != url) status = {};  // another address: its old successes are not this one's
  status.url = url;
  status.attempt = LocalIso(now);
  status.unencrypted = out.unencrypted;
  status.retry.clear();  // only this try's answer says whether to wait

  Failure failure;
  if (!lock.Held()) {
    failure = {Problem::kCache, folder.string() + ": cannot create the cache folder"};
  } else if (address.empty()) {
    failure = {Problem::kAddress, url + ": only http://, https:// and webcal:// addresses"};
  } else {
    const bool haveCalendar = std::filesystem::is_regular_file(calendarFile, ec);
    FetchState state;
    if (const auto bytes = ReadWholeFile(folder / kStateFile)) {
      state = ParseState(*bytes).value_or(FetchState{});
    }
    if (state.url != url) {
      state = FetchState{};
      state.url = url;
    }
    Fetcher fetcher(http, address, state, haveCalendar, now);
    failure = fetcher.Run();
    if (failure.problem != Problem::kNone && fetcher.retryUntil > 0) {
      status.retry = LocalIso(fetcher.retryUntil);
    }
    // The calendar first, then the state that describes it: a crash between the two costs a
    // whole listing next time, never a state that claims resources the calendar lacks.
    // Many resources each within the bound can still add up beyond what a reader should load.
    if (failure.problem == Problem::kNone && fetcher.calendar &&
        fetcher.calendar->size() > ical::kMaxCalendarBytes) {
      failure = {Problem::kTooLarge,
                 std::string("the calendar would be larger than ") + ical::kMaxCalendarSize};
    }
    if (failure.problem == Problem::kNone && fetcher.calendar) {
      if (!WriteFileAtomically(calendarFile, *fetcher.calendar)) {
        failure = {Problem::kCache, calendarFile.string() + ": cannot write the file"};
      } else {
        out.changed = true;
      }
    }
    if (failure.problem == Problem::kNone &&
        !WriteFileAtomically(folder / kStateFile, FormatState(state))) {
      failure = {Problem::kCache, (folder / kStateFile).string() + ": cannot write the file"};
    }
    if (failure.problem == Problem::kNone) {
      if (fetcher.events >= 0) status.events = fetcher.events;
      failure.detail = fetcher.note;
    }
  }
  out.problem = failure.problem;
  out.detail = failure.detail;
  status.error = PlainWords(failure.problem);
  status.detail = failure.detail;
  if (failure.problem == Problem::kNone) status.success = status.attempt;
  out.events = status.events;
  if (lock.Held()) WriteFileAtomically(statusFile, remote::FormatSyncStatus(status));
  return out;
}

}  // namespace vespin::sync
