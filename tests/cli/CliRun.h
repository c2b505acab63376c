#pragma once
// Runs vespin-cli in-process with string streams, as the tests of its subcommands do.
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
  Outcome o;
  Output out(o.out), err(o.err);
  o.rc = Run(args, out, err, env);
  return o;
}

}  // namespace vespin::cli::capture
