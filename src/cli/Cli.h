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

struct Environment {
  bool colour = false;                  // output is a terminal: colour instead of markers
  TDateTime today = 0;                  // the local date
  std::int64_t nowUtc = 0;              // seconds since 1970-01-01 00:00 UTC
  std::filesystem::path workDir = ".";  // where vespin.ini is looked up by default
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitProblem = 1;  // the command ran and found something wrong
inline constexpr int kExitUsage = 2;

// args excludes the program name. Output is UTF-8.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& env);

}  // namespace vespin::cli
