// The program as a desktop session runs it: its own process, its own folder, signals from
// outside, and a terminal that stays quiet.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

// Whether process `pid` catches `sig` yet, as the kernel reports it.
bool Catches(qint64 pid, int sig) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) != 0) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    return (mask >> (sig - 1)) & 1;
  }
  return false;
}

TEST(ProgramTest, TheProgramWritesItsFileAndEndsWithZeroOnEachSignal) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    test::TempDir dir;
    // Without a settings line: the close adds one, so a write cannot go unseen.
    const std::string before =
        sjis::Lit("[週間]\r\n13,10:00,定例会議,04\r\n[月間]\r\n[年間]\r\n[設定]\r\n");
    dir.Write("vespin.ini", before);
    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    program.start(QStringLiteral(VESPIN_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    const bool ready = QTest::qWaitFor([&] { return Catches(program.processId(), sig); }, 20000);
    ASSERT_TRUE(ready) << "the program never came to catch signal " << sig;
    ::kill(static_cast<pid_t>(program.processId()), sig);
    ASSERT_TRUE(program.waitForFinished(10000)) << sig;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << sig;
    EXPECT_EQ(program.exitCode(), 0) << sig;
    const std::string after = dir.Read("vespin.ini");
    EXPECT_EQ(after.rfind(before, 0), 0u) << sig;
    EXPECT_NE(after.find("vespin Ver3.2(2005.04.18)\r\n"), std::string::npos) << sig;
  }
}

// Whether process `pid` has loaded a library whose path contains `name`.
bool HasLoaded(qint64 pid, const std::string& name) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find(name) != std::string::npos) return true;
  }
  return false;
}

// A start, a notice with its sound (on a machine that may have no audio device at all) and the
// end: all is well, so nothing may appear on the terminal.
TEST(ProgramTest, AStartWithASoundNoticeSaysNothingOnTheTerminal) {
  test::TempDir dir;
  dir.Write("vespin.ini",
            sjis::Lit("[週間]\r\n81,00:00,真夜中,04\r\n[月間]\r\n[年間]\r\n[設定]\r\n"
                      "0,0,CLEAR,DARK,ＭＳ ゴシック,TRUE,9,0,FALSE,FALSE,FALSE,TRUE,FALSE,1\r\n"));
  std::filesystem::copy_file(VESPIN_SOURCE_DIR "/examples/vespin.wav", dir.File("vespin.wav"));
  QProcess program;
  program.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("XDG_RUNTIME_DIR"));  // as under a bare X session
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(VESPIN_PROGRAM), {});
  ASSERT_TRUE(program.waitForStarted(10000));
  // The overdue notice of the first tick loads the sound module and plays the file.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return HasLoaded(program.processId(), "libvespin_sound"); }, 20000));
  QByteArray said;
  // What the sound back end has to say, it says within moments.
  [[maybe_unused]] const bool spoke = QTest::qWaitFor(
      [&] {
        said += program.readAllStandardError();
        return !said.isEmpty();
      },
      2000);
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(10000));
  said += program.readAllStandardError();
  EXPECT_EQ(said.toStdString(), "");
  EXPECT_EQ(program.readAllStandardOutput().toStdString(), "");
  EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
}  // namespace vespin
