// The companion's export and import, which need libical; vespin-cli hands them over to this
// program with its own command line. It also expands the cached copies of other calendars for
// the companion's day and agenda (a command of its own, not one of the companion's).
#include <cstdio>
#include <string>
#include <vector>

#include "Cli.h"
#include "IcalCommands.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == vespin::cli::kOccurrencesCommand) {
    const int rc = vespin::cli::RunOccurrencesCommand({argv + 1, argv + argc}, stdout, stderr);
    return std::fflush(stdout) == 0 ? rc : vespin::cli::kExitProblem;
  }
  return vespin::cli::Main(argc, argv, &vespin::cli::RunIcalCommand,
                           &vespin::cli::ExpandCachedCalendars);
}
