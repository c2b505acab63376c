// The built vespin-cli as a script or a shell runs it: its standard output and error are the C
// library's own streams, so what Run writes must reach them whole, and an answer that cannot be
// written must not pass for one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Cli.h"
#include "CliRun.h"
#include "RandomEventFile.h"
#include "TempDir.h"

namespace vespin::cli {
namespace {

using Strings = std::vector<std::string>;
using capture::ProgramRun;
using capture::RunProgram;

// Answers of every size, from one line to many times what stdio buffers, problems found and
// arguments refused: the program says what Run says in-process, byte for byte.
TEST(CliProcessTest, TheProgramWritesWhatRunWrites) {
  test::TempDir dir;
  const std::string events = dir.Write("r.ini", test::RandomEventFile(7).Make(400)).string();
  const std::string broken = dir.Write("broken.ini", "[x]\r\n13,25:00\r\n").string();
  const Strings cases[] = {
      {"holidays", "2005"},
      {"holidays", "--names", "1948", "2030"},
      {"month", "2005", "5"},
      {"day", "--file", events, "2025-03-03"},
      {"agenda", "--file", events, "2025-01-01", "--days", "365"},
      {"check", "--file", broken},
      {"day", "--file", dir.File("missing.ini").string(), "2025-03-03"},
      {"holidays", "20o5"},
      {"--help"},
  };
  for (const Strings& args : cases) {
    const capture::Outcome inProcess = capture::RunCli(args);
    const ProgramRun program = RunProgram(args, dir);
    EXPECT_EQ(program.rc, inProcess.rc) << args.back();
    EXPECT_EQ(program.out, inProcess.out) << args.back();
    EXPECT_EQ(program.err, inProcess.err) << args.back();
  }
  // The long answer above is long enough to be written in several pieces.
  EXPECT_GT(capture::RunCli(cases[4]).out.size(), 4u * BUFSIZ);
}

// A full disk: the command says so on standard error and fails, whatever it found, whether the
// write that fails is the last one or one in the middle of the answer.
TEST(CliProcessTest, AnAnswerThatCannotBeWrittenIsAFailure) {
  test::TempDir dir;
  const std::string events = dir.Write("r.ini", test::RandomEventFile(3).Make(400)).string();
  const std::string sample = VESPIN_SOURCE_DIR "/examples/vespin.ini";
  const struct {
    Strings args;
    int rc;
  } cases[] = {
      {{"holidays", "2026"}, kExitProblem},
      {{"--help"}, kExitProblem},
      {{"check", "--file", sample}, kExitProblem},  // "ok" when it can be said
      {{"agenda", "--file", events, "2025-01-01", "--days", "365"}, kExitProblem},
      // Nothing to write: only what went wrong, as without the full disk.
      {{"holidays"}, kExitUsage},
  };
  for (const auto& c : cases) {
    const ProgramRun run = RunProgram(c.args, dir, true);
    EXPECT_EQ(run.rc, c.rc) << c.args.front();
    const bool said =
        run.err.find("vespin-cli: cannot write the output: No space left on device\n") !=
        std::string::npos;
    EXPECT_EQ(said, c.rc == kExitProblem) << c.args.front() << ": " << run.err;
  }
}

}  // namespace
}  // namespace vespin::cli
