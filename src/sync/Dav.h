#pragma once
// The WebDAV and CalDAV bodies this helper sends (RFC 4918, 4791, 6578) and the multistatus
// answers it reads back.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vespin::sync::dav {

// One <response> of a multistatus answer; the properties of its 200 propstat.
struct Resource {
  std::string href;  // as the server wrote it, percent-escapes and all
  int status = 200;  // the response's own status (404 for a resource sync-collection says is gone)
  std::string etag;
  std::string calendarData;
  std::string ctag;
  std::string syncToken;
  bool isCalendar = false;    // resourcetype holds C:calendar
  bool isCollection = false;  // resourcetype holds D:collection
};

struct Multistatus {
  std::vector<Resource> responses;
  std::string syncToken;  // the top-level one a sync-collection report ends with
};

// nullopt when the text is no well-formed multistatus document.
std::optional<Multistatus> ParseMultistatus(std::string_view xml);

// PROPFIND Depth 0: what the address is and whether it changed.
std::string CollectionProbe();
// PROPFIND Depth 1: every resource's ETag.
std::string EtagListing();
// REPORT calendar-query: the ETags of every resource with an event (to-dos and journals left
// out); whole resources follow by multiget.
std::string EventQuery();
// REPORT calendar-multiget of these hrefs, with their data.
std::string Multiget(const std::vector<std::string>& hrefs);
// REPORT sync-collection since `token` (empty: from the start), ETags only.
std::string SyncCollection(std::string_view token);

// The text with &, <, > and quotes escaped for XML.
std::string Escaped(std::string_view text);

}  // namespace vespin::sync::dav
