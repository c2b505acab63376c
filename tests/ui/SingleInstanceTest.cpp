#include "app/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "events/PanelLock.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using Claim = PanelGuard::Claim;

QString Q(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

// Sets an environment variable (or removes it) for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::filesystem::path>& value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) old_ = qgetenv(name);
    if (value) {
      qputenv(name, QFile::encodeName(Q(*value)));
    } else {
      qunsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      qputenv(name_, *old_);
    } else {
      qunsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<QByteArray> old_;
};

// A plain client of the panel's socket: blocking connect, then whatever the test sends.
int Connect(const QString& name) {
  const QByteArray path = QFile::encodeName(name);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
  if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return fd;
  }
  if (fd >= 0) ::close(fd);
  return -1;
}

// Whether the panel has closed its end (nothing is left to read).
bool ClosedByPeer(int fd) {
  char buf[16];
  const ssize_t got = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
  return got == 0 || (got < 0 && errno == ECONNRESET);
}

int OpenDescriptors(const std::filesystem::path& fdFolder) {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(fdFolder)) ++count;
  return count;
}

// Enough descriptors for this process to hold `wanted` connections at once.
bool AllowDescriptors(rlim_t wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  if (limit.rlim_cur >= wanted) return true;
  limit.rlim_cur = std::min(wanted, limit.rlim_max);
  return setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= wanted;
}

// A later start's claim, on a thread of its own: it blocks while it waits for an answer, which
// the first panel gives from this thread's event loop.
Claim ClaimFromAnotherThread(const QString& folder, int waitMsecs) {
  std::atomic<int> claim{-1};
  std::thread later([&claim, folder, waitMsecs] {
    PanelGuard second(folder);
    claim = static_cast<int>(second.ClaimFolder(waitMsecs));
  });
  if (!QTest::qWaitFor([&claim] { return claim != -1; }, waitMsecs + 10000)) {
    ADD_FAILURE() << "the later start did not end";
  }
  later.join();
  return static_cast<Claim>(claim.load());
}

// Every test gets a runtime folder of its own, as a desktop session gives each user one.
class SingleInstanceTest : public ::testing::Test {
 protected:
  test::TempDir runtime;
  ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()};
  test::TempDir dir;
};

TEST_F(SingleInstanceTest, ALaterClaimOnTheSameFolderRaisesTheFirst) {
  test::TempDir other;
  PanelGuard first(Q(dir.Path()));
  ASSERT_EQ(first.ClaimFolder(0), Claim::kFirst);
  int raised = 0;
  QObject::connect(&first, &PanelGuard::raiseRequested, [&raised] { ++raised; });

  // Another folder is another panel's business.
  PanelGuard elsewhere(Q(other.Path()));
  EXPECT_EQ(elsewhere.ClaimFolder(0), Claim::kFirst);

  EXPECT_EQ(ClaimFromAnotherThread(Q(dir.Path()), 5000), Claim::kRaised);
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(PanelGuard::ServerName(Q(dir.Path())),
            PanelGuard::ServerName(Q(dir.Path()) + QStringLiteral("/.")));
  EXPECT_NE(PanelGuard::ServerName(Q(dir.Path())), PanelGuard::ServerName(Q(other.Path())));
}

// What a running panel does with whatever arrives on its socket: only the raise request is
// answered and acted on, and every connection is closed, so nobody can keep one open forever.
TEST_F(SingleInstanceTest, ThePanelAnswersOnlyTheRaiseRequestAndClosesEveryConnection) {
  struct Case {
    const char* name;
    std::string request;
    bool endRequest;  // the client says it has said all
    int raises;
    std::string reply;
  };
  const Case cases[] = {
      {"the request", "raise\n", false, 1, "ok\n"},
      {"the request in two pieces", "rai|se\n", false, 1, "ok\n"},
      {"another line", "hello\n", false, 0, ""},
      {"the request without its line end", "raise", true, 0, ""},
      {"nothing", "", true, 0, ""},
      {"a long line without an end", std::string(200, 'r'), false, 0, ""},
      // Dropped after a while, not kept until the client goes.
      {"nothing, and the connection kept open", "", false, 0, ""},
  };
  PanelGuard panel(Q(dir.Path()));
  ASSERT_EQ(panel.ClaimFolder(0), Claim::kFirst);
  int raised = 0;
  QObject::connect(&panel, &PanelGuard::raiseRequested, [&raised] { ++raised; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    raised = 0;
    const int fd = Connect(PanelGuard::ServerName(Q(dir.Path())));
    ASSERT_GE(fd, 0);
    std::string request = c.request;
    if (const auto cut = request.find('|'); cut != std::string::npos) {
      ::send(fd, request.data(), cut, MSG_NOSIGNAL);
      QTest::qWait(20);
      request.erase(0, cut + 1);
    }
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    if (c.endRequest) ::shutdown(fd, SHUT_WR);
    std::string reply;
    const bool closed = QTest::qWaitFor(
        [&] {
          char buf[16];
          const ssize_t got = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
          if (got > 0) reply.append(buf, static_cast<std::size_t>(got));
          return got == 0 || (got < 0 && errno == ECONNRESET);
        },
        PanelGuard::kRequestMsecs + 3000);
    ::close(fd);
    EXPECT_TRUE(closed);
    EXPECT_EQ(reply, c.reply);
    EXPECT_EQ(raised, c.raises);
  }
}

// Connections beyond the cap push out the oldest at once; the rest go when their time is up; and
// a start that asks meanwhile is still answered.
TEST_F(SingleInstanceTest, IdleConnectionsAreCappedOldestFirstAndDroppedAfterAWhile) {
  constexpr int kExtra = 4;
  PanelGuard panel(Q(dir.Path()));
  ASSERT_EQ(panel.ClaimFolder(0), Claim::kFirst);
  QElapsedTimer clock;
  clock.start();
  std::vector<int> idle;
  for (int i = 0; i < PanelGuard::kMostConnections + kExtra; ++i) {
    idle.push_back(Connect(PanelGuard::ServerName(Q(dir.Path()))));
    ASSERT_GE(idle.back(), 0);
    QTest::qWait(5);  // accepted in this order
  }
  const auto closedCount = [&idle](std::size_t from, std::size_t to) {
    int closed = 0;
    for (std::size_t i = from; i < to; ++i) closed += ClosedByPeer(idle[i]) ? 1 : 0;
    return closed;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return closedCount(0, kExtra) == kExtra; }, 1000));
  if (clock.elapsed() < PanelGuard::kRequestMsecs) {
    EXPECT_EQ(closedCount(kExtra, idle.size()), 0);
  }

  EXPECT_EQ(ClaimFromAnotherThread(Q(dir.Path()), 3000), Claim::kRaised);
  EXPECT_TRUE(QTest::qWaitFor([&] { return closedCount(0, idle.size()) == int(idle.size()); },
                              PanelGuard::kRequestMsecs + 3000));
  for (const int fd : idle) ::close(fd);
}

TEST_F(SingleInstanceTest, AHeldFolderThatDoesNotAnswerIsReportedNotTakenUntilItIsFree) {
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
TEST_F(SingleInstanceTest, AnOldLockFromAnotherMachineIsNotTaken) {
  const std::string lock = "4242\nvespin\nelsewhere.invalid\nanother-machine\nanother-boot\n";
  const auto file = dir.Write(kPanelLockName, lock);
  std::filesystem::last_write_time(file,
                                   std::filesystem::last_write_time(file) - std::chrono::hours(48));
  PanelGuard guard(Q(dir.Path()));
  EXPECT_EQ(guard.ClaimFolder(200), Claim::kNoAnswer);
  EXPECT_EQ(dir.Read(kPanelLockName), lock);
}

TEST_F(SingleInstanceTest, AFolderThatCannotHoldALockRunsUnguarded) {
  PanelGuard guard(Q(dir.Path() / "no-such-folder"));
  EXPECT_EQ(guard.ClaimFolder(0), Claim::kUnguarded);
}

// Root can hand a folder to another user and start a process as one; others cannot.
constexpr uid_t kNobody = 65534;
bool CanActAsAnotherUser() {
  return geteuid() == 0;
}

// Without a session's runtime folder the socket goes into the shared temporary folder, where
// another user could make the folder first, or a link in its place, and answer for the panel.
TEST_F(SingleInstanceTest, TheSocketLivesOnlyInAFolderOfTheUsersOwn) {
  namespace fs = std::filesystem;
  enum class Where { kRuntime, kOwn, kNowhere };
  struct Case {
    const char* what;
    std::optional<fs::perms> runtime;  // none: no runtime folder in the environment
    const char* own;                   // what stands at the user's folder in the temporary folder
    Where where;
    bool root = false;  // only where another owner can be set up
  };
  const Case cases[] = {
      {"the runtime folder", fs::perms::owner_all, "missing", Where::kRuntime},
      {"a runtime folder others may enter", fs::perms::all, "missing", Where::kOwn},
      {"no runtime folder: one is made", std::nullopt, "missing", Where::kOwn},
      {"no runtime folder: the one made before", std::nullopt, "0700", Where::kOwn},
      {"no runtime folder: one open to all", std::nullopt, "0777", Where::kNowhere},
      {"no runtime folder: one others may read", std::nullopt, "0750", Where::kNowhere},
      {"no runtime folder: a link to a folder of the user's", std::nullopt, "link",
       Where::kNowhere},
      {"no runtime folder: a file", std::nullopt, "file", Where::kNowhere},
      {"no runtime folder: one of another user", std::nullopt, "nobody", Where::kNowhere, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.root && !CanActAsAnotherUser()) continue;
    test::TempDir tmp;
    test::TempDir sessionRuntime;
    if (c.runtime) fs::permissions(sessionRuntime.Path(), *c.runtime);
    const fs::path own = tmp.Path() / ("vespin-" + std::to_string(geteuid()));
    const std::string setup = c.own;
    if (setup == "link") {
      fs::create_directory_symlink(sessionRuntime.Path(), own);
    } else if (setup == "file") {
      tmp.Write(own.filename().string(), "");
    } else if (setup != "missing") {
      ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
      ASSERT_EQ(::chmod(own.c_str(), setup == "0777" ? 0777 : setup == "0750" ? 0750 : 0700), 0);
      if (setup == "nobody") {
        ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);
      }
    }
    const ScopedEnv sessionEnv("XDG_RUNTIME_DIR",
                               c.runtime ? std::optional(sessionRuntime.Path()) : std::nullopt);
    const ScopedEnv tmpEnv("TMPDIR", tmp.Path());

    const QString name = PanelGuard::ServerName(Q(dir.Path()));
    const QString folder = name.isEmpty() ? QString() : QFileInfo(name).path();
    switch (c.where) {
      case Where::kRuntime:
        EXPECT_EQ(folder, Q(sessionRuntime.Path()));
        break;
      case Where::kOwn:
        EXPECT_EQ(folder, Q(own));
        EXPECT_EQ(PrivateFolderProblem(Q(own), geteuid()), QString());
        break;
      case Where::kNowhere:
        EXPECT_EQ(name, QString());
        break;
    }
    // A folder of the user's own is still not another user's.
    if (c.where != Where::kNowhere) {
      EXPECT_FALSE(PrivateFolderProblem(folder, geteuid() + 1).isEmpty());
    }
  }
}

// Even when another user has got a server under the panel's name, the later start does not take
// its answer for the panel's: the folder is not used, and the peer's user is checked.
TEST_F(SingleInstanceTest, AServerInAFolderOthersMayEnterIsNotBelieved) {
  test::TempDir tmp;
  const ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
  const ScopedEnv tmpEnv("TMPDIR", tmp.Path());
  const QString name = PanelGuard::ServerName(Q(dir.Path()));
  ASSERT_NE(name, QString());
  // The folder opened to everyone, and a server in it that says yes to anything.
  ASSERT_EQ(::chmod(QFile::encodeName(QFileInfo(name).path()).constData(), 0777), 0);
  QLocalServer squatter;
  ASSERT_TRUE(squatter.listen(name));
  int asked = 0;
  QObject::connect(&squatter, &QLocalServer::newConnection, [&] {
    while (QLocalSocket* socket = squatter.nextPendingConnection()) {
      ++asked;
      socket->write("ok\n");
    }
  });

  PanelGuard first(Q(dir.Path()));
  ASSERT_EQ(first.ClaimFolder(0), Claim::kFirst);
  EXPECT_EQ(ClaimFromAnotherThread(Q(dir.Path()), 500), Claim::kNoAnswer);
  EXPECT_EQ(asked, 0);
  // Nor did the first panel put its socket there, over the other one.
  EXPECT_TRUE(squatter.isListening());
  EXPECT_TRUE(QFileInfo(name).exists());
}

// The user at the other end of a connection: the same on both ends of a pair made here, another
// when a process of another user connects.
TEST_F(SingleInstanceTest, ThePeersUserIsTheOneAtTheOtherEnd) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  EXPECT_TRUE(PeerIsUser(pair[0], geteuid()));
  EXPECT_FALSE(PeerIsUser(pair[0], geteuid() + 1));
  ::close(pair[0]);
  ::close(pair[1]);
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  EXPECT_FALSE(PeerIsUser(pipeEnds[0], geteuid()));  // no socket
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
  EXPECT_FALSE(PeerIsUser(-1, geteuid()));

  if (!CanActAsAnotherUser()) return;
  // A socket everybody may reach, and a child that connects to it as another user.
  std::filesystem::permissions(dir.Path(), std::filesystem::perms::all);
  QLocalServer server;
  server.setSocketOptions(QLocalServer::WorldAccessOption);
  ASSERT_TRUE(server.listen(Q(dir.Path() / "open")));
  const QByteArray path = QFile::encodeName(server.fullServerName());
  const pid_t child = fork();
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) _exit(2);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    _exit(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(server.waitForNewConnection(5000));
  QLocalSocket* fromNobody = server.nextPendingConnection();
  ASSERT_NE(fromNobody, nullptr);
  EXPECT_FALSE(PeerIsUser(fromNobody->socketDescriptor(), geteuid()));
  EXPECT_TRUE(PeerIsUser(fromNobody->socketDescriptor(), kNobody));
}

#ifdef VESPIN_PROGRAM
// The real program, started the way a user starts it twice, and killed the hard way.
class PanelProcess {
 public:
  // `descriptors`: at most so many open at once, as a desktop session commonly allows.
  PanelProcess(const QString& folder, const QString& runtime, rlim_t descriptors = 0) {
    if (descriptors > 0) {
      process_.setChildProcessModifier([descriptors] {
        const rlimit limit{descriptors, descriptors};
        setrlimit(RLIMIT_NOFILE, &limit);
      });
    }
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
  std::filesystem::path FdFolder() {
    return "/proc/" + std::to_string(process_.processId()) + "/fd";
  }

 private:
  QProcess process_;
};

std::string EmptyEventFile() {
  std::string file;
  for (const char* line : {"[週間]", "[月間]", "[年間]", "[設定]"})
    file += sjis::Lit(line) + "\r\n";
  return file;
}

// The panel has claimed the folder and listens.
bool Claimed(const std::filesystem::path& folder, PanelProcess& panel) {
  qint64 pid = 0;
  QString host, app;
  return QLockFile(Q(folder / kPanelLockName)).getLockInfo(&pid, &host, &app) &&
         pid == panel.Process().processId() && QFileInfo::exists(PanelGuard::ServerName(Q(folder)));
}

TEST_F(SingleInstanceTest, OnePanelPerFolderAndACrashedPanelDoesNotBlockTheNext) {
  dir.Write("vespin.ini", EmptyEventFile());
  const QString folder = Q(dir.Path());

  PanelProcess first(folder, Q(runtime.Path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Claimed(dir.Path(), first); }, 10000));

  PanelProcess second(folder, Q(runtime.Path()));
  ASSERT_TRUE(second.Process().waitForFinished(10000));
  EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.Process().exitCode(), 0);
  EXPECT_TRUE(second.Process().readAllStandardError().contains("brought it to the front"));
  EXPECT_TRUE(first.Running());

  first.Process().kill();  // SIGKILL: no clean-up, the lock and the socket stay behind
  ASSERT_TRUE(first.Process().waitForFinished(5000));
  ASSERT_TRUE(std::filesystem::exists(dir.Path() / kPanelLockName));
  ASSERT_TRUE(QFileInfo::exists(PanelGuard::ServerName(folder)));

  PanelProcess third(folder, Q(runtime.Path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Claimed(dir.Path(), third); }, 10000));
  // And it listens where the dead panel's socket was.
  PanelProcess fourth(folder, Q(runtime.Path()));
  ASSERT_TRUE(fourth.Process().waitForFinished(10000));
  EXPECT_EQ(fourth.Process().exitCode(), 0);
  EXPECT_TRUE(third.Running());
}

// Connections that never say anything once made the panel run out of descriptors: it spun on
// them, answered nobody, and could not even save at SIGTERM.
TEST_F(SingleInstanceTest, APanelFloodedWithIdleConnectionsStillAnswersAndEnds) {
  constexpr int kFlood = 1100;
  if (!AllowDescriptors(kFlood + 200)) GTEST_SKIP() << "too few file descriptors allowed";
  dir.Write("vespin.ini", EmptyEventFile());
  const QString folder = Q(dir.Path());
  PanelProcess panel(folder, Q(runtime.Path()), 1024);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Claimed(dir.Path(), panel); }, 10000));
  QTest::qWait(300);  // past the first paint and the work after it
  const int before = OpenDescriptors(panel.FdFolder());

  std::vector<int> idle;
  for (int i = 0; i < kFlood; ++i) {
    idle.push_back(Connect(PanelGuard::ServerName(folder)));
    ASSERT_GE(idle.back(), 0) << i;
  }
  QTest::qWait(200);
  EXPECT_LE(OpenDescriptors(panel.FdFolder()), before + PanelGuard::kMostConnections + 2);

  PanelProcess second(folder, Q(runtime.Path()));
  ASSERT_TRUE(second.Process().waitForFinished(10000));
  EXPECT_EQ(second.Process().exitCode(), 0);
  EXPECT_TRUE(second.Process().readAllStandardError().contains("brought it to the front"));

  const auto allClosed = [&idle] {
    for (const int fd : idle) {
      if (!ClosedByPeer(fd)) return false;
    }
    return true;
  };
  EXPECT_TRUE(QTest::qWaitFor(allClosed, PanelGuard::kRequestMsecs + 5000));
  for (const int fd : idle) ::close(fd);

  // A logout still ends it as the window's close does.
  panel.Process().terminate();
  ASSERT_TRUE(panel.Process().waitForFinished(5000));
  EXPECT_EQ(panel.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(panel.Process().exitCode(), 0);
}

#ifdef VESPIN_CLI_PROGRAM
// An import writes vespin.ini only while no panel runs on it: the running panel would write its
// own tables over it at the next save.
TEST_F(SingleInstanceTest, AnImportWaitsUntilThePanelOnTheFolderIsGone) {
  dir.Write("vespin.ini", EmptyEventFile());
  const auto input = dir.Write("in.ics",
                               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                               "BEGIN:VEVENT\r\nUID:a@test\r\nDTSTAMP:20250101T000000Z\r\n"
                               "DTSTART:20250106T093000\r\nRRULE:FREQ=WEEKLY;BYDAY=MO\r\n"
                               "SUMMARY:morning\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
  const auto import = [&] {
    QProcess cli;
    cli.setWorkingDirectory(Q(dir.Path()));
    cli.start(QStringLiteral(VESPIN_CLI_PROGRAM), {QStringLiteral("import"), Q(input)});
    cli.waitForFinished(10000);
    return std::pair{cli.exitCode(), cli.readAllStandardError()};
  };
  PanelProcess panel(Q(dir.Path()), Q(runtime.Path()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Claimed(dir.Path(), panel); }, 10000));
  const std::string before = dir.Read("vespin.ini");

  const auto [refusedCode, refusedErr] = import();
  EXPECT_EQ(refusedCode, 1);
  EXPECT_TRUE(refusedErr.contains("close it first")) << refusedErr.toStdString();
  EXPECT_EQ(dir.Read("vespin.ini"), before);

  panel.Process().kill();
  ASSERT_TRUE(panel.Process().waitForFinished(5000));
  const auto [code, err] = import();
  EXPECT_EQ(code, 0) << err.toStdString();
  EXPECT_NE(dir.Read("vespin.ini").find("morning"), std::string::npos);
}
#endif
#endif

}  // namespace
}  // namespace vespin::ui
