#pragma once
// Brings one subscription's cache up to date: a CalDAV collection (the events of the coming
// months, then only what changed) or an .ics address (a conditional GET). The cache is replaced
// whole or not at all; the status file says how the try went.

#include <ctime>
#include <filesystem>
#include <string>

#include "Http.h"

namespace vespin::sync {

// What went wrong, as the panel names it.
enum class Problem {
  kNone,
  kConnect,
  kAuthentication,  // 401
  kForbidden,       // 403
  kNotFound,        // 404, 410, or an address that is no calendar
  kNoAnswer,        // a time limit
  kServer,          // 5xx, a redirect loop, any other unexpected status
  kCertificate,
  kTooLarge,
  kFormat,   // broken XML, no iCalendar where one was expected
  kAddress,  // not http, https or webcal
  kCache,    // the cache folder cannot be written
};

// A moment as the status file writes it: ISO 8601 with the local offset, "+09:00".
std::string LocalIso(std::time_t t);

// The problem in plain Japanese words for the panel's window (UTF-8); empty for kNone.
const char* PlainWords(Problem problem);

// A collection's events are listed whole, without a time range: servers expand every rule to
// answer a time-range query (Radicale spent 6.8 of 8.6 seconds of a first fetch of 5,000 events
// on it), and the reader expands the events for the days it shows anyway. A whole listing again
// after this many days keeps the cache right where a server's change log misses something.
inline constexpr int kRelistDays = 7;

struct FetchOutcome {
  Problem problem = Problem::kNone;
  std::string detail;    // English, for the terminal
  int events = 0;        // events in the cache after the fetch
  bool changed = false;  // the calendar file was rewritten
  bool unencrypted = false;
};

// Fetches `url` into `folder` (created when missing) and writes the status file there.
FetchOutcome FetchSubscription(HttpClient& http, const std::string& url,
                               const std::filesystem::path& folder, std::time_t now);

}  // namespace vespin::sync
