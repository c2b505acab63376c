#pragma once
// vespin-sync: the network helper the panel and the companion run. It reads the subscriptions
// and the publish address from an event file, talks to the servers and leaves what it found in
// the cache folder; it never writes the event file.
//
//   vespin-sync fetch   [--file F] [--password-stdin] [--timeout S] [NAME…]
//   vespin-sync publish [--file F] [--law 2005|current] [--from D] [--until D] [--force]
//                       [--password-stdin] [--timeout S] [URL]
//
// --file defaults to vespin.ini in the current folder, as the companion's does; the companion
// hands its own command lines over unchanged.

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace vespin::sync {

inline constexpr int kExitOk = 0;
inline constexpr int kExitProblem = 1;
inline constexpr int kExitUsage = 2;

struct SyncEnvironment {
  std::FILE* in = stdin;  // where --password-stdin reads its line
  std::time_t now = 0;
  // Requests sent, added up over the run: what a test counts.
  int* requestCount = nullptr;
};

// args[0] is "fetch" or "publish".
int RunSync(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
            const SyncEnvironment& env);

}  // namespace vespin::sync
