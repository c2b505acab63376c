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

// The window of a collection's events that a fetch asks for, around `now`: a month back (an
// event just past is still looked up) and 400 days ahead (the panel's year and a month more).
inline constexpr int kDaysBack = 31;
inline constexpr int kDaysAhead = 400;
// A whole listing again after this many days, so events that moved into the window are seen
// even when the server's change log says nothing happened.
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
