#pragma once
// Runs vespin-cli in-process with string streams, as the tests of its subcommands do.
#include <sstream>
#include <string>
#include <vector>

#include "Cli.h"

namespace vespin::cli::capture {

struct Outcome {
  int rc = -1;
  std::string out, err;
};

inline Outcome RunCli(const std::vector<std::string>& args, const Environment& env = {}) {
  std::ostringstream out, err;
  Outcome o;
  o.rc = Run(args, out, err, env);
  o.out = out.str();
  o.err = err.str();
  return o;
}

}  // namespace vespin::cli::capture
