#pragma once
// Where the copies of other calendars live: one folder per data folder under the user's cache,
// one folder per subscription inside it. Only the network helper writes the calendars and their
// status; the panel and the companion read them, and keep the done marks of remote occurrences
// beside them. Nothing here ever goes into vespin.ini.
//
//   ${XDG_CACHE_HOME:-~/.cache}/vespin/<folder key>/
//     folder                      the data folder's path, for people looking around
//     calendars/<name>/calendar.ics  the last good copy, one iCalendar file (UTF-8)
//     calendars/<name>/status        the last fetch: when, and what went wrong (SyncStatus.h)
//     remote-done                 occurrences already announced
//     publish                     what VESPIN put on the publish address, and their ETags
//     publish-status              the last publish: when, and what went wrong (SyncStatus.h;
//                                 `events` counts the events the collection holds from VESPIN)

#include <filesystem>
#include <string>
#include <string_view>

namespace vespin::remote {

inline constexpr const char* kFolderNoteFile = "folder";
inline constexpr const char* kCalendarsFolder = "calendars";
inline constexpr const char* kCalendarFile = "calendar.ics";
inline constexpr const char* kStatusFile = "status";
inline constexpr const char* kRemoteDoneFile = "remote-done";
inline constexpr const char* kPublishFile = "publish";
inline constexpr const char* kPublishStatusFile = "publish-status";

// ${XDG_CACHE_HOME:-~/.cache}/vespin (a relative XDG_CACHE_HOME is ignored, as the XDG base
// directory rules ask).
std::filesystem::path CacheRoot();

// The cache of one data folder: the same folder however the data folder is spelled (a trailing
// slash, a symbolic link on the way), and another one for every other data folder.
std::filesystem::path CacheFolder(const std::filesystem::path& dataFolder);

// The folder of one subscription, by its name (UTF-8). Characters a file name cannot hold
// safely ('/', a leading '.', control characters, '%') are written as %XX.
std::filesystem::path SubscriptionFolder(const std::filesystem::path& cacheFolder,
                                         std::string_view nameUtf8);

// The key of a data folder: 16 hexadecimal digits of a hash of its canonical path.
std::string FolderKey(const std::filesystem::path& dataFolder);

}  // namespace vespin::remote
