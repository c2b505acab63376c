#include "app/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include "events/PanelLock.h"

namespace vespin::ui {
namespace {

constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaiseReply[] = "ok\n";

}  // namespace

PanelGuard::PanelGuard(const QString& folder, QObject* parent)
    : QObject(parent),
      folder_(QFileInfo(folder).absoluteFilePath()),
      lock_(folder_ + QLatin1Char('/') + QString::fromLatin1(kPanelLockName)) {
  // A panel runs for days: only a dead owner makes the lock stale, never its age.
  lock_.setStaleLockTime(0);
}

PanelGuard::~PanelGuard() = default;

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
  return name + QLatin1Char('-') + QString::number(getuid());
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
  // We hold the lock, so a socket left there belongs to a panel that crashed.
  QLocalServer::removeServer(name);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) {
    qWarning("vespin: cannot listen on %s: %s", qPrintable(name),
             qPrintable(server_->errorString()));
    return;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) return;
        if (socket->readLine() == kRaiseRequest) {
          emit raiseRequested();
          socket->write(kRaiseReply);
          socket->flush();
        }
        socket->disconnectFromServer();
      });
    }
  });
}

bool PanelGuard::AskToRaise(int waitMsecs) {
  QLocalSocket socket;
  socket.connectToServer(ServerName(folder_));
  if (!socket.waitForConnected(waitMsecs)) return false;
  socket.write(kRaiseRequest);
  if (!socket.waitForBytesWritten(waitMsecs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(1000)) return false;
  }
  return socket.readLine() == kRaiseReply;
}

void BringToFront(QWidget& window) {
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace vespin::ui
