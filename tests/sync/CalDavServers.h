#pragma once
// The CalDAV servers the tests run: Debian's Radicale and Xandikos, each in a folder of its own
// on a free loopback port, with an empty calendar collection to fill.

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Http.h"
#include "ServerProcess.h"

namespace vespin::test {

enum class CalDavKind { kRadicale, kXandikos };

struct CalDavServer {
  CalDavKind kind;
  std::unique_ptr<ServerProcess> process;
  std::string base;      // http://127.0.0.1:PORT
  std::string password;  // of the user "alice", when the server asks for one

  // A new, empty calendar collection; its address ends in '/'. Empty (after ADD_FAILURE) when
  // the server refused it.
  std::string NewCollection(std::string_view name) const;
};

const char* NameOf(CalDavKind kind);
// nullptr (after ADD_FAILURE) when the server did not start. With `htpasswd` (Radicale only),
// every request needs the user "alice" with that password.
std::unique_ptr<CalDavServer> StartCalDav(CalDavKind kind, const std::string& htpasswd = "");

// PUT and DELETE as another client would; the HTTP status (0 when nothing came back).
long PutResource(const std::string& url, std::string_view ics, const std::string& extraHeader = "");
long DeleteResource(const std::string& url);

// An iCalendar date `days` after (before, when negative) the UTC day of `now`: "20261209".
std::string DayText(std::time_t now, int days);
// The names of the resources a publish of the event file `file` writes now: its events exported
// over the whole years from this one to the year after next, one resource per UID.
std::vector<std::string> PublishedResourceNames(const std::filesystem::path& file);

}  // namespace vespin::test
