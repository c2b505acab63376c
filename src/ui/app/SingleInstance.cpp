#include "app/SingleInstance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <cstring>

#include "events/PanelLock.h"

namespace vespin::ui {
namespace {

constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaiseReply[] = "ok\n";
constexpr qint64 kLongestLine = 64;

// The session's runtime folder is the user's own. Without one, a folder of the user's own in the
// shared temporary folder; made here when missing, never used when someone else made it.
QString SocketFolder() {
  const uid_t user = geteuid();
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (QDir::isAbsolutePath(runtime) && PrivateFolderProblem(runtime, user).isEmpty()) {
    return runtime;
  }
  const QString own = QDir::tempPath() + QStringLiteral("/vespin-") + QString::number(user);
  ::mkdir(QFile::encodeName(own).constData(), S_IRWXU);
  const QString problem = PrivateFolderProblem(own, user);
  if (problem.isEmpty()) return own;
  qWarning("vespin: %s is not used for the panel's socket: %s", qPrintable(own),
           qPrintable(problem));
  return {};
}

void Drop(QLocalSocket* socket) {
  socket->abort();
  socket->deleteLater();
}

}  // namespace

PanelGuard::PanelGuard(const QString& folder, QObject* parent)
    : QObject(parent),
      folder_(QFileInfo(folder).absoluteFilePath()),
      lock_(folder_ + QLatin1Char('/') + QString::fromLatin1(kPanelLockName)) {
  // A panel runs for days: only a dead owner makes the lock stale, never its age.
  lock_.setStaleLockTime(0);
}

// The server and its connections go first, while the list they leave is still there; the lock
// goes only after the socket.
PanelGuard::~PanelGuard() {
  delete server_;
}

QString PanelGuard::ServerName(const QString& folder) {
  QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty()) canonical = QFileInfo(folder).absoluteFilePath();
  const QByteArray hash =
      QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
  const QString socketFolder = SocketFolder();
  if (socketFolder.isEmpty()) return {};
  return socketFolder + QStringLiteral("/vespin-") + QString::fromLatin1(hash);
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
  const QString name = ServerName(folder_);
  if (name.isEmpty()) return;
  // We hold the lock, so a socket left there belongs to a panel that crashed.
  QLocalServer::removeServer(name);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) {
    qWarning("vespin: cannot listen on %s: %s", qPrintable(name),
             qPrintable(server_->errorString()));
    return;
  }
  connect(server_, &QLocalServer::newConnection, this, &PanelGuard::Accept);
}

void PanelGuard::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    if (!PeerIsUser(socket->socketDescriptor(), geteuid())) {
      Drop(socket);
      continue;
    }
    // The newest is the likeliest to be a start waiting for its answer.
    if (open_.size() >= kMostConnections) Drop(open_.takeFirst());
    open_.append(socket);
    connect(socket, &QObject::destroyed, this, [this, socket] { open_.removeOne(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Answer(socket); });
    QTimer::singleShot(kRequestMsecs, socket, [socket] { Drop(socket); });
  }
}

void PanelGuard::Answer(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    if (socket->bytesAvailable() >= kLongestLine) Drop(socket);
    return;
  }
  if (socket->readLine(kLongestLine) == kRaiseRequest) {
    emit raiseRequested();
    socket->write(kRaiseReply);
  }
  socket->disconnectFromServer();
}

bool PanelGuard::AskToRaise(int waitMsecs) {
  const QString name = ServerName(folder_);
  if (name.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(name);
  if (!socket.waitForConnected(waitMsecs)) return false;
  // Only a panel of this user is believed.
  if (!PeerIsUser(socket.socketDescriptor(), geteuid())) return false;
  socket.write(kRaiseRequest);
  if (!socket.waitForBytesWritten(waitMsecs)) return false;
  const QDeadlineTimer replyDeadline(1000);
  while (!socket.canReadLine()) {
    if (socket.bytesAvailable() >= kLongestLine) return false;
    if (!socket.waitForReadyRead(static_cast<int>(replyDeadline.remainingTime()))) return false;
  }
  return socket.readLine(kLongestLine) == kRaiseReply;
}

QString PrivateFolderProblem(const QString& path, uid_t user) {
  struct stat info {};
  if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
    return QString::fromLocal8Bit(std::strerror(errno));
  }
  if (S_ISLNK(info.st_mode)) return QStringLiteral("it is a symbolic link");
  if (!S_ISDIR(info.st_mode)) return QStringLiteral("it is not a folder");
  if (info.st_uid != user) return QStringLiteral("another user owns it");
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) return QStringLiteral("other users may enter it");
  return {};
}

bool PeerIsUser(qintptr descriptor, uid_t user) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (descriptor < 0 ||
      ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    return false;
  }
  return size == sizeof peer && peer.uid == user;
}

void BringToFront(QWidget& window) {
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace vespin::ui
