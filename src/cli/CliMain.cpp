#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Cli.h"
#include "remote/RemoteOccurrence.h"

#ifndef VESPIN_MODULE_DIR_FROM_PROGRAM
#error "VESPIN_MODULE_DIR_FROM_PROGRAM comes from the build"
#endif
#ifndef VESPIN_ICAL_HELPER
#error "VESPIN_ICAL_HELPER comes from the build"
#endif
#ifndef VESPIN_SYNC_HELPER
#error "VESPIN_SYNC_HELPER comes from the build"
#endif

namespace {

// The folder of this program, from the kernel: argv[0] may be a bare name found on PATH.
std::string ProgramDir() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof self) return ".";
  std::string path(self, static_cast<std::size_t>(n));
  return path.substr(0, path.find_last_of('/'));
}

// export and import live in a helper program, which links libical: this one starts without it;
// the commands that talk to servers live in another, which links libcurl. The helper replaces
// this process, so its output, messages and exit code are the command's own. It lies beside
// this program in the build tree and in the program's private folder when installed.
int RunHelper(const char* name, const std::vector<std::string>& args, std::FILE* err) {
  const std::string dir = ProgramDir();
  const std::string candidates[] = {dir + "/" + name,
                                    dir + "/" VESPIN_MODULE_DIR_FROM_PROGRAM "/" + name};
  for (const std::string& helper : candidates) {
    std::vector<char*> argv{const_cast<char*>(helper.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(helper.c_str(), argv.data());
    if (errno != ENOENT) {
      std::fprintf(err, "vespin-cli: cannot run %s: %s\n", helper.c_str(), std::strerror(errno));
      return vespin::cli::kExitProblem;
    }
  }
  std::fprintf(err, "vespin-cli: %s needs %s, which is missing\n", args.front().c_str(),
               candidates[1].c_str());
  return vespin::cli::kExitProblem;
}

std::string IsoDay(std::chrono::sys_days day) {
  const vespin::DateParts d = vespin::DecodeDate(day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

// The occurrences of other calendars, from the same helper: it prints them one a line and says
// itself on the shared standard error what is wrong with a calendar.
std::optional<std::vector<vespin::remote::RemoteOccurrence>> ReadRemote(
    const vespin::cli::RemoteQuery& query, std::FILE* err) {
  const std::string dir = ProgramDir();
  const std::string candidates[] = {
      dir + "/" VESPIN_ICAL_HELPER,
      dir + "/" VESPIN_MODULE_DIR_FROM_PROGRAM "/" VESPIN_ICAL_HELPER};
  std::vector<std::string> args = {
      "occurrences",      "--cache", query.cacheFolder.string(), "--from",
      IsoDay(query.from), "--until", IsoDay(query.to),           "--"};
  args.insert(args.end(), query.names.begin(), query.names.end());
  std::fflush(err);
  for (const std::string& helper : candidates) {
    std::vector<char*> argv{const_cast<char*>(helper.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) break;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (started != 0) {
      close(pipeEnds[0]);
      if (started == ENOENT) continue;
      std::fprintf(err, "vespin-cli: cannot run %s: %s\n", helper.c_str(), std::strerror(started));
      return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
      const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
      if (n > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(err, "vespin-cli: %s could not read the other calendars\n", helper.c_str());
      return std::nullopt;
    }
    std::vector<vespin::remote::RemoteOccurrence> occurrences;
    std::string_view rest = text;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      auto o = vespin::remote::ParseOccurrenceLine(rest.substr(0, end));
      if (!o) {
        std::fprintf(err, "vespin-cli: %s gave a line that is no occurrence\n", helper.c_str());
        return std::nullopt;
      }
      occurrences.push_back(std::move(*o));
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return occurrences;
  }
  std::fprintf(err, "vespin-cli: the other calendars need %s, which is missing\n",
               candidates[1].c_str());
  return std::nullopt;
}

int RunIcalHelper(const std::vector<std::string>& args, std::FILE*, std::FILE* err,
                  const vespin::cli::Environment&) {
  return RunHelper(VESPIN_ICAL_HELPER, args, err);
}

int RunSyncHelper(const std::vector<std::string>& args, std::FILE*, std::FILE* err,
                  const vespin::cli::Environment&) {
  return RunHelper(VESPIN_SYNC_HELPER, args, err);
}

}  // namespace

int main(int argc, char** argv) {
  return vespin::cli::Main(argc, argv, &RunIcalHelper, &ReadRemote, &RunSyncHelper);
}
