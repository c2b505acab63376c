#pragma once
// Makes a CalDAV collection hold exactly VESPIN's events, one resource per event, and never
// touches what VESPIN did not put there. What it put there (names, ETags, a hash of each text)
// is kept in the cache folder, so that a publish with nothing changed sends only the listing.

#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Fetch.h"
#include "Http.h"

namespace vespin::sync {

struct PublishedCopy {
  std::string etag;  // as the server gave it after VESPIN wrote it
  std::string hash;  // of the text VESPIN wrote, its DTSTAMP left out
  friend bool operator==(const PublishedCopy&, const PublishedCopy&) = default;
};

struct PublishState {
  std::string url;
  std::map<std::string, PublishedCopy> resources;  // by resource name ("<uid>.ics", decoded)
  friend bool operator==(const PublishState&, const PublishState&) = default;
};

std::string FormatPublishState(const PublishState& state);
std::optional<PublishState> ParsePublishState(std::string_view bytes);

struct PublishOutcome {
  Problem problem = Problem::kNone;  // the collection as a whole could not be worked on
  std::string detail;
  int added = 0, changed = 0, removed = 0, unchanged = 0;
  int published = 0;  // resources VESPIN wrote that the collection holds after the run
  // One line per resource left alone or not written: "NAME: why" (English, for the terminal).
  std::vector<std::string> conflicts;
  std::vector<std::string> failures;
  std::time_t retryUntil = 0;  // a 503 or 429 asked to wait until then; 0: no such answer
};

// The resource name of an event: its UID and ".ics" (in the address, what a path segment cannot
// hold is written %XX).
std::string ResourceName(std::string_view uid);

// `calendars`: UID -> the iCalendar text of that event (and its zones). `stateFile` is read
// and rewritten with what the server holds after the run, whatever failed on the way; during
// the run it names the resources being written (with no hash), so that the next run takes them
// for VESPIN's own if this one ends early.
PublishOutcome Publish(HttpClient& http, const std::string& url,
                       const std::map<std::string, std::string>& calendars,
                       const std::filesystem::path& stateFile, bool force, std::time_t now);

}  // namespace vespin::sync
