#pragma once
// export and import, run in this process. Only programs that link libical anyway (the helper the
// companion hands these commands to, and the tests) put this into Environment::icalCommands.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Cli.h"

namespace vespin::cli {

// args[0] is "export" or "import".
int RunIcalCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                   const Environment& env);

// The companion's RemoteReader in this process: each subscription's cached calendar expanded.
// What is wrong with one (never fetched, cut, events that cannot be expanded) is said on `err`
// with the calendar's name; it is never a reason to list none of the others.
std::optional<std::vector<remote::RemoteOccurrence>> ExpandCachedCalendars(const RemoteQuery& query,
                                                                           std::FILE* err);

// The helper's side of it: "occurrences --cache DIR --from YYYY-MM-DD --until YYYY-MM-DD
// [--] NAME…" prints one OccurrenceLine per occurrence. args[0] is "occurrences".
int RunOccurrencesCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
inline constexpr const char* kOccurrencesCommand = "occurrences";

}  // namespace vespin::cli
