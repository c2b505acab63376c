#pragma once
// vespin-cli: the terminal companion. Run() is the whole program behind main(), so tests can
// drive it with their own streams, date and folder.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "calendar/DateTime.h"

namespace vespin::cli {

struct Environment;
// Runs a whole command line whose first word is an iCalendar command (export, import).
using CommandLineRunner = int (*)(const std::vector<std::string>& args, std::ostream& out,
                                  std::ostream& err, const Environment& env);

struct Environment {
  bool colour = false;                  // output is a terminal: colour instead of markers
  TDateTime today = 0;                  // the local date
  std::int64_t nowUtc = 0;              // seconds since 1970-01-01 00:00 UTC
  std::filesystem::path workDir = ".";  // where vespin.ini is looked up by default
  // The iCalendar commands need libical, which costs every other command its loading time: the
  // companion hands them to a helper program; the helper and the tests run them in-process.
  CommandLineRunner icalCommands = nullptr;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitProblem = 1;  // the command ran and found something wrong
inline constexpr int kExitUsage = 2;

// The environment of this process: terminal, local date and time, working folder.
Environment ProcessEnvironment();

// args excludes the program name. Output is UTF-8.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& env);

}  // namespace vespin::cli
