#include "app/SingleInstance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <cerrno>
#include <cstring>
#include <functional>

#include "events/PanelLock.h"

// The exchange is one short line each way over a local stream socket. It is done with the
// system's sockets rather than Qt's network module: loading that module and the libraries it
// pulls in (Kerberos, proxy discovery) cost every start more than the rest of the claim.
namespace vespin::ui {
namespace {

constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaiseReply[] = "ok\n";
constexpr qsizetype kLongestRequest = 64;

bool SocketAddress(const QString& path, sockaddr_un& address) {
  const QByteArray bytes = QFile::encodeName(path);
  std::memset(&address, 0, sizeof address);
  if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) >= sizeof address.sun_path) {
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return true;
}

bool WaitFor(int fd, short events, int msecs) {
  pollfd p{fd, events, 0};
  int ready = 0;
  do {
    ready = ::poll(&p, 1, msecs);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

// One connection to the running panel: a request line, answered, then closed.
class RaiseConnection final : public QObject {
 public:
  RaiseConnection(int fd, std::function<void()> onRaise, QObject* parent)
      : QObject(parent),
        fd_(fd),
        onRaise_(std::move(onRaise)),
        readable_(fd, QSocketNotifier::Read) {
    connect(&readable_, &QSocketNotifier::activated, this, [this] { Read(); });
  }
  ~RaiseConnection() override {
    readable_.setEnabled(false);
    ::close(fd_);
  }
  Q_DISABLE_COPY_MOVE(RaiseConnection)

 private:
  void Read() {
    char buf[kLongestRequest];
    const ssize_t got = ::recv(fd_, buf, sizeof buf, 0);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (got > 0) line_.append(buf, got);
    const qsizetype end = line_.indexOf('\n');
    if (end < 0 && got > 0 && line_.size() < kLongestRequest) return;  // the rest is on its way
    readable_.setEnabled(false);
    if (end >= 0 && line_.first(end + 1) == kRaiseRequest) {
      onRaise_();
      ::send(fd_, kRaiseReply, std::strlen(kRaiseReply), MSG_NOSIGNAL);
    }
    deleteLater();
  }

  int fd_;
  std::function<void()> onRaise_;
  QSocketNotifier readable_;
  QByteArray line_;
};

}  // namespace

PanelGuard::PanelGuard(const QString& folder, QObject* parent)
    : QObject(parent),
      folder_(QFileInfo(folder).absoluteFilePath()),
      lock_(folder_ + QLatin1Char('/') + QString::fromLatin1(kPanelLockName)) {
  // A panel runs for days: only a dead owner makes the lock stale, never its age.
  lock_.setStaleLockTime(0);
}

PanelGuard::~PanelGuard() {
  if (listener_ < 0) return;
  delete incoming_;
  ::close(listener_);
  // Still ours: the lock goes only after this.
  ::unlink(QFile::encodeName(listening_).constData());
}

QString PanelGuard::ServerName(const QString& folder) {
  QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty()) canonical = QFileInfo(folder).absoluteFilePath();
  const QByteArray hash =
      QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
  const QString name = QStringLiteral("vespin-") + QString::fromLatin1(hash);
  // The runtime folder is the user's own; without one Qt's temporary folder is shared, so the
  // user's id goes into the name there.
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (!runtime.isEmpty()) return runtime + QLatin1Char('/') + name;
  return QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(getuid());
}

void PanelGuard::BeginClaim() {
  firstAttempt_ = std::async(std::launch::async, [this] { return lock_.tryLock(0); });
}

PanelGuard::Claim PanelGuard::ClaimFolder(int waitMsecs) {
  const QDeadlineTimer deadline(waitMsecs);
  bool locked = firstAttempt_.valid() ? firstAttempt_.get() : lock_.tryLock(0);
  for (;;) {
    if (locked) {
      Listen();
      return Claim::kFirst;
    }
    if (lock_.error() != QLockFile::LockFailedError) return Claim::kUnguarded;
    if (AskToRaise(200)) return Claim::kRaised;
    if (deadline.hasExpired()) return Claim::kNoAnswer;
    QThread::msleep(100);
    locked = lock_.tryLock(0);
  }
}

void PanelGuard::Listen() {
  const QString path = ServerName(folder_);
  sockaddr_un address{};
  if (!SocketAddress(path, address)) {
    qWarning("vespin: cannot listen on %s: the path is too long", qPrintable(path));
    return;
  }
  // We hold the lock, so a socket left there belongs to a panel that crashed.
  ::unlink(address.sun_path);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    qWarning("vespin: cannot listen on %s: %s", qPrintable(path), std::strerror(errno));
    return;
  }
  const auto* where = reinterpret_cast<const sockaddr*>(&address);
  if (::bind(fd, where, sizeof address) != 0) {
    qWarning("vespin: cannot listen on %s: %s", qPrintable(path), std::strerror(errno));
    ::close(fd);
    return;
  }
  // The user's own: the mode is set before the socket takes connections.
  if (::chmod(address.sun_path, S_IRWXU) != 0 || ::listen(fd, SOMAXCONN) != 0) {
    qWarning("vespin: cannot listen on %s: %s", qPrintable(path), std::strerror(errno));
    ::close(fd);
    ::unlink(address.sun_path);
    return;
  }
  listener_ = fd;
  listening_ = path;
  incoming_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(incoming_, &QSocketNotifier::activated, this, [this] { AcceptRequests(); });
}

void PanelGuard::AcceptRequests() {
  for (;;) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // none waiting
    }
    new RaiseConnection(
        fd, [this] { emit raiseRequested(); }, this);
  }
}

bool PanelGuard::AskToRaise(int waitMsecs) {
  sockaddr_un address{};
  if (!SocketAddress(ServerName(folder_), address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const auto closeIt = qScopeGuard([fd] { ::close(fd); });
  // A local connection is made or refused at once; a full queue counts as no answer.
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return false;
  }
  if (!WaitFor(fd, POLLOUT, waitMsecs)) return false;
  const auto request = static_cast<ssize_t>(std::strlen(kRaiseRequest));
  if (::send(fd, kRaiseRequest, static_cast<std::size_t>(request), MSG_NOSIGNAL) != request) {
    return false;
  }
  QByteArray reply;
  while (!reply.contains('\n')) {
    if (!WaitFor(fd, POLLIN, 1000)) return false;
    char buf[16];
    const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
    if (got == 0) return false;
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return false;
    }
    reply.append(buf, got);
  }
  return reply.first(reply.indexOf('\n') + 1) == kRaiseReply;
}

void BringToFront(QWidget& window) {
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace vespin::ui
