// The program as a desktop session runs it: its own process, its own folder, signals from
// outside, and a terminal that stays quiet.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
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

// Whatever the window system: a wrong argument is named before any display is needed.
TEST(ProgramTest, AnUnknownArgumentIsNamedWithoutADisplay) {
  const struct {
    QStringList args;
    const char* named;
  } cases[] = {
      {{QStringLiteral("--bogus")}, "'--bogus'"},
      {{QStringLiteral("--user-folder"), QStringLiteral("somewhere")}, "'somewhere'"},
      {{QStringLiteral("-display"), QStringLiteral(":9"), QStringLiteral("-x")}, "'-x'"},
  };
  for (const auto& c : cases) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      env.remove(QLatin1String(name));
    }
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VESPIN_PROGRAM), c.args);
    ASSERT_TRUE(program.waitForFinished(10000));
    const std::string err = program.readAllStandardError().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << err;
    EXPECT_EQ(program.exitCode(), 2) << err;
    EXPECT_NE(err.find(std::string("unknown argument ") + c.named), std::string::npos) << err;
    EXPECT_NE(err.find("Usage: vespin [--user-folder]\n"), std::string::npos) << err;
  }
}

// Under an X server (the test WindowClassUnderX): the desktop ties the panel's windows to the
// menu entry by the class the entry names.
TEST(ProgramTest, TheWindowsCarryTheClassTheMenuEntryNames) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "no X server";
  const QString xwininfo = QStandardPaths::findExecutable(QStringLiteral("xwininfo"));
  if (xwininfo.isEmpty()) GTEST_SKIP() << "no xwininfo (x11-utils)";
  QFile entry(QStringLiteral(VESPIN_SOURCE_DIR "/packaging/io.github.vespin.Vespin.desktop"));
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  const auto wmClass = QRegularExpression(QStringLiteral("^StartupWMClass=(.+)$"),
                                          QRegularExpression::MultilineOption)
                           .match(QString::fromUtf8(entry.readAll()));
  ASSERT_TRUE(wmClass.hasMatch()) << "the menu entry names no StartupWMClass";

  test::TempDir dir;
  dir.Write("vespin.ini", sjis::Lit("[週間]\r\n[月間]\r\n[年間]\r\n[設定]\r\n"));
  QProcess program;
  program.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(VESPIN_PROGRAM), {});
  ASSERT_TRUE(program.waitForStarted(10000));
  // The panel's window, as xwininfo lists it: 0x… "VESPIN": ("vespin" "Vespin")  185x270+…
  const QString wanted = QStringLiteral("\"VESPIN\": (\"vespin\" \"%1\")").arg(wmClass.captured(1));
  QString windows;
  const bool found = QTest::qWaitFor(
      [&] {
        QProcess list;
        list.start(xwininfo, {QStringLiteral("-root"), QStringLiteral("-tree")});
        list.waitForFinished(5000);
        windows = QString::fromUtf8(list.readAllStandardOutput());
        return windows.contains(wanted);
      },
      20000);
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  program.waitForFinished(10000);
  EXPECT_TRUE(found) << wanted.toStdString() << " not among\n" << windows.toStdString();
}

}  // namespace
}  // namespace vespin
