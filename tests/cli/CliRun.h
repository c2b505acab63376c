#pragma once
// Runs vespin-cli in-process with streams kept in memory, as the tests of its subcommands do.
#include <string>
#include <vector>

#include "Cli.h"
#include "IcalCommands.h"
#include "MemoryStream.h"

namespace vespin::cli::capture {

struct Outcome {
  int rc = -1;
  std::string out, err;
};

// export and import, and the other calendars' expansion, run in-process here, as the helper
// program runs them.
inline Outcome RunCli(const std::vector<std::string>& args, Environment env = {}) {
  if (!env.icalCommands) env.icalCommands = &RunIcalCommand;
  if (!env.remoteOccurrences) env.remoteOccurrences = &ExpandCachedCalendars;
  Outcome o;
  test::MemoryStream out, err;
  o.rc = Run(args, out.File(), err.File(), env);
  o.out = out.Text();
  o.err = err.Text();
  return o;
}

}  // namespace vespin::cli::capture
