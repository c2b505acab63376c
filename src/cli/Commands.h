#pragma once
// The subcommands of vespin-cli. Each gets the arguments after its own name and returns an
// exit code; on kExitUsage the dispatcher prints the one-line usage.

#include <iosfwd>
#include <string>
#include <vector>

#include "Cli.h"

namespace vespin::cli {

using Args = std::vector<std::string>;

int Holidays(const Args& args, std::ostream& out, std::ostream& err, const Environment& env);
int Equinox(const Args& args, std::ostream& out, std::ostream& err, const Environment& env);
int JulianDay(const Args& args, std::ostream& out, std::ostream& err, const Environment& env);
int Month(const Args& args, std::ostream& out, std::ostream& err, const Environment& env);
int Check(const Args& args, std::ostream& out, std::ostream& err, const Environment& env);
int Day(const Args& args, std::ostream& out, std::ostream& err, const Environment& env);
int Agenda(const Args& args, std::ostream& out, std::ostream& err, const Environment& env);
int Simulate(const Args& args, std::ostream& out, std::ostream& err, const Environment& env);

}  // namespace vespin::cli
