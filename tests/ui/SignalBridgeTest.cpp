#include "app/SignalBridge.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

TEST(SignalBridgeTest, EachEndingSignalArrivesLaterOnTheMainThread) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    std::vector<int> seen;
    {
      SignalBridge bridge([&](int s) { seen.push_back(s); });
      std::raise(sig);
      // Nothing runs inside the handler: the call comes from the event loop.
      EXPECT_TRUE(seen.empty()) << sig;
      EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.empty(); }, 5000)) << sig;
    }
    EXPECT_EQ(seen, std::vector<int>{sig});
    // Gone with the bridge: the handler before it is back.
    struct sigaction now {};
    sigaction(sig, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << sig;
  }
}

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

TEST(SignalBridgeTest, TheProgramWritesItsFileAndEndsWithZeroOnEachSignal) {
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

}  // namespace
}  // namespace vespin::ui
