#pragma once
// export and import, run in this process. Only programs that link libical anyway (the helper the
// companion hands these commands to, and the tests) put this into Environment::icalCommands.

#include <cstdio>
#include <string>
#include <vector>

#include "Cli.h"

namespace vespin::cli {

// args[0] is "export" or "import".
int RunIcalCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                   const Environment& env);

}  // namespace vespin::cli
