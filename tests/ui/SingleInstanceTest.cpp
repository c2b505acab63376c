#include "app/SingleInstance.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "TempDir.h"
#include "events/PanelLock.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using Claim = PanelGuard::Claim;

QString Q(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

// The companion's check reads what Qt's own lock writes.
TEST(SingleInstanceTest, TheCompanionSeesAPanelExactlyWhileItsLockIsHeld) {
  test::TempDir dir;
  QLockFile lock(Q(dir.Path() / kPanelLockName));
  EXPECT_FALSE(PanelRunsIn(dir.Path()));
  ASSERT_TRUE(lock.tryLock(0));
  EXPECT_TRUE(PanelRunsIn(dir.Path()));
  lock.unlock();
  EXPECT_FALSE(PanelRunsIn(dir.Path()));
}

TEST(SingleInstanceTest, ALaterClaimOnTheSameFolderRaisesTheFirst) {
  test::TempDir dir;
  test::TempDir other;
  PanelGuard first(Q(dir.Path()));
  ASSERT_EQ(first.ClaimFolder(0), Claim::kFirst);
  int raised = 0;
  QObject::connect(&first, &PanelGuard::raiseRequested, [&raised] { ++raised; });

  // Another folder is another panel's business.
  PanelGuard elsewhere(Q(other.Path()));
  EXPECT_EQ(elsewhere.ClaimFolder(0), Claim::kFirst);

  // The later start blocks while it waits for an answer, so it runs on its own thread and the
  // first panel answers from this thread's event loop.
  std::atomic<int> claim{-1};
  std::thread later([&claim, folder = Q(dir.Path())] {
    PanelGuard second(folder);
    claim = static_cast<int>(second.ClaimFolder(5000));
  });
  const bool answered = QTest::qWaitFor([&claim] { return claim != -1; }, 10000);
  later.join();
  ASSERT_TRUE(answered);
  EXPECT_EQ(static_cast<Claim>(claim.load()), Claim::kRaised);
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(PanelGuard::ServerName(Q(dir.Path())),
            PanelGuard::ServerName(Q(dir.Path()) + QStringLiteral("/.")));
  EXPECT_NE(PanelGuard::ServerName(Q(dir.Path())), PanelGuard::ServerName(Q(other.Path())));
}

// What a running panel does with whatever arrives on its socket: only the raise request is
// answered and acted on, and every connection is closed, so nobody can keep one open forever.
TEST(SingleInstanceTest, ThePanelAnswersOnlyTheRaiseRequestAndClosesEveryConnection) {
  struct Case {
    const char* name;
    std::string request;
    int raises;
    std::string reply;
  };
  const Case cases[] = {
      {"the request", "raise\n", 1, "ok\n"},
      {"the request in two pieces", "rai|se\n", 1, "ok\n"},
      {"another line", "hello\n", 0, ""},
      {"the request without its line end", "raise", 0, ""},
      {"nothing", "", 0, ""},
      {"a long line without an end", std::string(200, 'r'), 0, ""},
  };
  test::TempDir dir;
  PanelGuard panel(Q(dir.Path()));
  ASSERT_EQ(panel.ClaimFolder(0), Claim::kFirst);
  int raised = 0;
  QObject::connect(&panel, &PanelGuard::raiseRequested, [&raised] { ++raised; });
  const QByteArray path = QFile::encodeName(PanelGuard::ServerName(Q(dir.Path())));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    raised = 0;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::string request = c.request;
    if (const auto cut = request.find('|'); cut != std::string::npos) {
      ::send(fd, request.data(), cut, MSG_NOSIGNAL);
      QTest::qWait(20);
      request.erase(0, cut + 1);
    }
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    // A client that has said all it will: the panel sees the end of the request.
    if (c.request.back() != '\n' && c.request.size() < 64) ::shutdown(fd, SHUT_WR);
    std::string reply;
    bool closed = false;
    const bool done = QTest::qWaitFor(
        [&] {
          char buf[16];
          const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
          if (got > 0) reply.append(buf, static_cast<std::size_t>(got));
          closed = got == 0;
          return closed;
        },
        5000);
    ::close(fd);
    EXPECT_TRUE(done);
    EXPECT_EQ(reply, c.reply);
    EXPECT_EQ(raised, c.raises);
  }
}

TEST(SingleInstanceTest, AHeldFolderThatDoesNotAnswerIsReportedNotTakenUntilItIsFree) {
  test::TempDir dir;
  auto first = std::make_unique<PanelGuard>(Q(dir.Path()));
  ASSERT_EQ(first->ClaimFolder(0), Claim::kFirst);
  // The first panel's thread is busy (it is this one): nobody answers.
  PanelGuard second(Q(dir.Path()));
  second.BeginClaim();
  EXPECT_TRUE(second.Claiming());
  EXPECT_EQ(second.ClaimFolder(300), Claim::kNoAnswer);
  first.reset();
  EXPECT_EQ(second.ClaimFolder(0), Claim::kFirst);
}

// A lock taken on another machine (a shared folder) cannot be checked from here, and its age
// says nothing either: the panel there may have run for days.
TEST(SingleInstanceTest, AnOldLockFromAnotherMachineIsNotTaken) {
  test::TempDir dir;
  const std::string lock = "4242\nvespin\nelsewhere.invalid\nanother-machine\nanother-boot\n";
  const auto file = dir.Write(kPanelLockName, lock);
  std::filesystem::last_write_time(file,
                                   std::filesystem::last_write_time(file) - std::chrono::hours(48));
  PanelGuard guard(Q(dir.Path()));
  EXPECT_EQ(guard.ClaimFolder(200), Claim::kNoAnswer);
  EXPECT_EQ(dir.Read(kPanelLockName), lock);
}

TEST(SingleInstanceTest, AFolderThatCannotHoldALockRunsUnguarded) {
  test::TempDir dir;
  PanelGuard guard(Q(dir.Path() / "no-such-folder"));
  EXPECT_EQ(guard.ClaimFolder(0), Claim::kUnguarded);
}

#ifdef VESPIN_PROGRAM
// The real program, started the way a user starts it twice, and killed the hard way.
class PanelProcess {
 public:
  PanelProcess(const QString& folder, const QString& runtime) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(folder);
    process_.start(QStringLiteral(VESPIN_PROGRAM), {});
  }
  ~PanelProcess() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }
  PanelProcess(const PanelProcess&) = delete;
  PanelProcess& operator=(const PanelProcess&) = delete;

  QProcess& Process() { return process_; }
  bool Running() const { return process_.state() == QProcess::Running; }

 private:
  QProcess process_;
};

std::string EmptyEventFile() {
  std::string file;
  for (const char* line : {"[週間]", "[月間]", "[年間]", "[設定]"})
    file += sjis::Lit(line) + "\r\n";
  return file;
}

bool HoldsLock(const std::filesystem::path& folder, PanelProcess& panel) {
  const auto lock = ReadPanelLock(folder / kPanelLockName);
  return lock && lock->pid == panel.Process().processId() && PanelRunsIn(folder);
}

TEST(SingleInstanceTest, OnePanelPerFolderAndACrashedPanelDoesNotBlockTheNext) {
  test::TempDir dir;
  test::TempDir runtime;
  dir.Write("vespin.ini", EmptyEventFile());
  const QString folder = Q(dir.Path());

  PanelProcess first(folder, Q(runtime.Path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return HoldsLock(dir.Path(), first); }, 10000));

  PanelProcess second(folder, Q(runtime.Path()));
  ASSERT_TRUE(second.Process().waitForFinished(10000));
  EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.Process().exitCode(), 0);
  EXPECT_TRUE(second.Process().readAllStandardError().contains("brought it to the front"));
  EXPECT_TRUE(first.Running());

  first.Process().kill();  // SIGKILL: no clean-up, the lock and the socket stay behind
  ASSERT_TRUE(first.Process().waitForFinished(5000));
  ASSERT_TRUE(std::filesystem::exists(dir.Path() / kPanelLockName));
  EXPECT_FALSE(PanelRunsIn(dir.Path()));

  PanelProcess third(folder, Q(runtime.Path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return HoldsLock(dir.Path(), third); }, 10000));
  // And it listens where the dead panel's socket was.
  PanelProcess fourth(folder, Q(runtime.Path()));
  ASSERT_TRUE(fourth.Process().waitForFinished(10000));
  EXPECT_EQ(fourth.Process().exitCode(), 0);
  EXPECT_TRUE(third.Running());
}
#endif

}  // namespace
}  // namespace vespin::ui
