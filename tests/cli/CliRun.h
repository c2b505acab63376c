#pragma once
// Runs vespin-cli in-process with string streams, as the tests of its subcommands do.
#include <sstream>
#include <string>
#include <vector>

#include "Cli.h"
#include "IcalCommands.h"

namespace vespin::cli::capture {

struct Outcome {
  int rc = -1;
  std::string out, err;
};

// export and import run in-process here, as the helper program runs them.
inline Outcome RunCli(const std::vector<std::string>& args, Environment env = {}) {
  if (!env.icalCommands) env.icalCommands = &RunIcalCommand;
  std::ostringstream out, err;
  Outcome o;
  o.rc = Run(args, out, err, env);
  o.out = out.str();
  o.err = err.str();
  return o;
}

}  // namespace vespin::cli::capture
