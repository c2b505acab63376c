#pragma once
// vespin-cli: the terminal companion. Run() is the whole program behind main(), so tests can
// drive it with their own streams, date and folder.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "calendar/DateTime.h"
#include "remote/RemoteOccurrence.h"

namespace vespin::cli {

struct Environment;
// Runs a whole command line whose first word is an iCalendar command (export, import).
using CommandLineRunner = int (*)(const std::vector<std::string>& args, std::FILE* out,
                                  std::FILE* err, const Environment& env);

// A date given, or the local date read from the system when it is first asked for: reading the
// time zone costs a short command a tenth of its run, and most commands never ask.
class LocalDate {
 public:
  LocalDate(TDateTime date = 0) : date_(date) {}  // NOLINT: a date is a LocalDate
  static LocalDate OfSystem();
  operator TDateTime() const;  // NOLINT: used as the date it is

 private:
  mutable bool known_ = true;
  mutable TDateTime date_ = 0;
};

// What day and agenda ask of the cached copies of other calendars.
struct RemoteQuery {
  std::filesystem::path cacheFolder;  // the data folder's (remote/CacheFolder.h)
  std::vector<std::string> names;     // the subscriptions, UTF-8, in the file's order
  sys_days from{};
  sys_days to{};
};
// Their occurrences over the query's days (a calendar never fetched has none; that is said on
// `err`), or nullopt after saying on `err` why none could be read.
using RemoteReader = std::optional<std::vector<remote::RemoteOccurrence>> (*)(
    const RemoteQuery& query, std::FILE* err);

struct Environment {
  bool colour = false;                  // output is a terminal: colour instead of markers
  LocalDate today;                      // the local date
  std::int64_t nowUtc = 0;              // seconds since 1970-01-01 00:00 UTC
  std::filesystem::path workDir = ".";  // where vespin.ini is looked up by default
  // The iCalendar commands need libical, which costs every other command its loading time: the
  // companion hands them to a helper program; the helper and the tests run them in-process.
  CommandLineRunner icalCommands = nullptr;
  // Expanding the other calendars needs libical too: the companion asks its helper, only when
  // the file subscribes to any. Without a reader they are not listed.
  RemoteReader remoteOccurrences = nullptr;
  // The commands that talk to calendar servers or change the subscriptions (subscribe,
  // unsubscribe, fetch, publish) run in the network helper.
  CommandLineRunner syncCommands = nullptr;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitProblem = 1;  // the command ran and found something wrong
inline constexpr int kExitUsage = 2;

// A program's main(): Run over the arguments with this process's environment and standard
// output and error, `icalCommands` for export and import, `remoteOccurrences` for the other
// calendars' occurrences and `syncCommands` for the network's commands.
int Main(int argc, char** argv, CommandLineRunner icalCommands,
         RemoteReader remoteOccurrences = nullptr, CommandLineRunner syncCommands = nullptr);

// args excludes the program name. Output is UTF-8.
int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
        const Environment& env);

}  // namespace vespin::cli
