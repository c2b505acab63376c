#pragma once
// What a subscription's folder keeps beside its calendar so that the next fetch asks only for
// what changed: the collection's sync token and ctag (or an .ics file's ETag and date), the
// ETag of every resource, and each resource's text (to rebuild the merged calendar without
// asking the server again).

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vespin::sync {

inline constexpr const char* kStateFile = "state";
inline constexpr const char* kLockFile = "lock";

struct ResourceCopy {
  std::string etag;
  std::string text;  // the resource's iCalendar text as the server gave it
  friend bool operator==(const ResourceCopy&, const ResourceCopy&) = default;
};

struct FetchState {
  std::string url;           // the address this state belongs to; another address starts anew
  std::string kind;          // "caldav" or "ics"; empty: not known yet
  std::string ctag;          // CalDAV
  std::string syncToken;     // CalDAV
  std::string listedOn;      // the day (YYYY-MM-DD, UTC) of the last whole listing
  std::string etag;          // .ics
  std::string lastModified;  // .ics
  std::map<std::string, ResourceCopy> resources;  // by the resource's decoded path
  friend bool operator==(const FetchState&, const FetchState&) = default;
};

std::string FormatState(const FetchState& state);
// nullopt for a damaged file: the next fetch then starts from the beginning.
std::optional<FetchState> ParseState(std::string_view bytes);

// Writes a file whole under a temporary name, syncs it and renames it into place, so a reader
// (and a crash) sees the old file or the new one. false when any step failed.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

}  // namespace vespin::sync
