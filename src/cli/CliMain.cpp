#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "Cli.h"

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
  return vespin::cli::Main(argc, argv, &RunIcalHelper, &RunSyncHelper);
}
