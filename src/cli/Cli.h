#pragma once
// vespin-cli: the terminal companion. Run() is the whole program behind main(), so tests can
// drive it with their own streams, date and folder.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "calendar/DateTime.h"

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

struct Environment {
  bool colour = false;                  // output is a terminal: colour instead of markers
  LocalDate today;                      // the local date
  std::int64_t nowUtc = 0;              // seconds since 1970-01-01 00:00 UTC
  std::filesystem::path workDir = ".";  // where vespin.ini is looked up by default
  // The iCalendar commands need libical, which costs every other command its loading time: the
  // companion hands them to a helper program; the helper and the tests run them in-process.
  CommandLineRunner icalCommands = nullptr;
  // The same for the commands that talk to calendar servers or change the subscriptions
  // (subscribe, unsubscribe, fetch, publish): they run in the network helper.
  CommandLineRunner syncCommands = nullptr;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitProblem = 1;  // the command ran and found something wrong
inline constexpr int kExitUsage = 2;

// A program's main(): Run over the arguments with this process's environment and standard
// output and error, `icalCommands` for export and import and `syncCommands` for the network's.
int Main(int argc, char** argv, CommandLineRunner icalCommands,
         CommandLineRunner syncCommands = nullptr);

// args excludes the program name. Output is UTF-8.
int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
        const Environment& env);

}  // namespace vespin::cli
