// The companion's export and import, which need libical; vespin-cli hands them over to this
// program with its own command line.
#include <iostream>

#include "Cli.h"
#include "IcalCommands.h"

int main(int argc, char** argv) {
  vespin::cli::Environment env = vespin::cli::ProcessEnvironment();
  env.icalCommands = &vespin::cli::RunIcalCommand;
  return vespin::cli::Run({argv + 1, argv + argc}, std::cout, std::cerr, env);
}
