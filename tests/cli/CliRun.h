#pragma once
// Runs vespin-cli in-process with streams kept in memory, as the tests of its subcommands do, or
// as the built program, as a script runs it.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Cli.h"
#include "IcalCommands.h"
#include "MemoryStream.h"
#include "TempDir.h"

namespace vespin::cli::capture {

struct Outcome {
  int rc = -1;
  std::string out, err;
};

// export and import, and the other calendars' expansion, run in-process here, as the helper
// program runs them.
inline Outcome RunCli(const std::vector<std::string>& args, Environment env = {}) {
  if (!env.icalCommands) env.icalCommands = &RunIcalCommand;
  if (!env.remoteOccurrences) env.remoteOccurrences = &ExpandCachedCalendars;
  Outcome o;
  test::MemoryStream out, err;
  o.rc = Run(args, out.File(), err.File(), env);
  o.out = out.Text();
  o.err = err.Text();
  return o;
}

struct ProgramRun {
  int rc = -1;
  std::string out, err;
};

#ifdef VESPIN_CLI_PROGRAM
// Runs the built program with standard output and error into files of `dir`, or with standard
// output on a full disk.
inline ProgramRun RunProgram(const std::vector<std::string>& args, const test::TempDir& dir,
                             bool fullDisk = false) {
  const std::string outPath = fullDisk ? "/dev/full" : dir.File("stdout").string();
  const std::string errPath = dir.File("stderr").string();
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(VESPIN_CLI_PROGRAM)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
          fullDisk ? std::string() : test::ReadBytes(outPath), test::ReadBytes(errPath)};
}
#endif

}  // namespace vespin::cli::capture
