// Whole-process CPU time and peak resident memory of commands, measured by the kernel
// (wait4's rusage), with the commands interleaved run by run so that a busy neighbour on a
// shared machine slows every side alike. Prints one line per command: median user+system
// milliseconds, median wall milliseconds, median peak RSS in KiB.
//
// Times come from a start by posix_spawn, which shares this harness's memory until the exec: a
// forked child is charged for tearing down its copy of the harness, about half a millisecond on
// a virtual machine, which is no cost of the command. Peak memory needs a child of its own
// (a spawned child reports the harness's), so each run also starts the command by fork.
//
//   RunUsage RUNS CMD1 ARGS... [:: CMD2 ARGS...]...
//
// Standard output of the commands goes to /dev/null; standard error stays.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sample {
  double cpuMs;
  double wallMs;
  long rssKiB;
};

bool Finished(pid_t pid, const char* name, rusage& usage) {
  int status = 0;
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) {
    std::fprintf(stderr, "RunUsage: %s did not run\n", name);
    return false;
  }
  return true;
}

double Ms(const timeval& t) {
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

bool RunOnce(const std::vector<char*>& argv, Sample& sample) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    std::fprintf(stderr, "RunUsage: %s did not run\n", argv[0]);
    return false;
  }
  rusage usage{};
  if (!Finished(pid, argv[0], usage)) return false;
  const auto stop = std::chrono::steady_clock::now();
  sample.cpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
  sample.wallMs = std::chrono::duration<double, std::milli>(stop - start).count();

  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (!Finished(child, argv[0], usage)) return false;
  sample.rssKiB = usage.ru_maxrss;
  return true;
}

template <typename T>
T Median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: RunUsage RUNS CMD ARGS... [:: CMD ARGS...]...\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  std::vector<std::vector<char*>> commands(1);
  for (int i = 2; i < argc; ++i) {
    if (std::string(argv[i]) == "::") {
      commands.emplace_back();
      continue;
    }
    commands.back().push_back(argv[i]);
  }
  for (auto& c : commands) {
    if (c.empty()) return 2;
    c.push_back(nullptr);
  }
  std::vector<std::vector<Sample>> samples(commands.size());
  for (int r = 0; r < runs; ++r) {
    for (std::size_t c = 0; c < commands.size(); ++c) {
      Sample s{};
      if (!RunOnce(commands[c], s)) return 1;
      samples[c].push_back(s);
    }
  }
  for (const auto& list : samples) {
    std::vector<double> cpu, wall;
    std::vector<long> rss;
    for (const Sample& s : list) {
      cpu.push_back(s.cpuMs);
      wall.push_back(s.wallMs);
      rss.push_back(s.rssKiB);
    }
    std::printf("%.2f %.2f %ld\n", Median(cpu), Median(wall), Median(rss));
  }
  return 0;
}
