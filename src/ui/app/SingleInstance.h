#pragma once
// One panel per folder. Two panels on the same vespin.ini would each rewrite the whole file and
// throw away the other's changes, so the first start takes the folder's lock and listens; a later
// start on the same folder asks it to come to the front and ends.
//
//   Claim: QLockFile(folder/vespin.lock) --taken--> QLocalServer (per folder, in a folder of the
//                                                   user's own)
//                                        --held---> QLocalSocket "raise" --> running panel

#include <sys/types.h>

#include <QList>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <future>

class QLocalServer;
class QLocalSocket;
class QWidget;

namespace vespin::ui {

// Shown by a later start when the panel that holds the folder does not answer.
inline constexpr const char* kAlreadyRunsNotice = "VESPINはこのフォルダで既に起動しています。";

class PanelGuard final : public QObject {
  Q_OBJECT

 public:
  enum class Claim {
    kFirst,      // this start owns the folder
    kRaised,     // a panel runs there and was asked to come to the front
    kNoAnswer,   // a panel holds the folder but did not answer
    kUnguarded,  // the lock cannot be made (a read-only folder): run without it
  };

  // A connection that has not sent its request by then is dropped, and no more than this many
  // are kept open: nobody can use up the panel's file descriptors by connecting and waiting.
  static constexpr int kRequestMsecs = 2000;
  static constexpr int kMostConnections = 8;

  explicit PanelGuard(const QString& folder, QObject* parent = nullptr);
  ~PanelGuard() override;
  Q_DISABLE_COPY_MOVE(PanelGuard)

  // Starts the first attempt at the lock on a worker thread: the lock file is synced to disk,
  // which can take longer than the rest of the claim, and the window can be built meanwhile.
  void BeginClaim();
  bool Claiming() const { return firstAttempt_.valid(); }

  // A crashed panel's lock and socket do not count. A panel that holds the lock but is not
  // listening yet (it is just starting) is asked again until `waitMsecs` have passed.
  Claim ClaimFolder(int waitMsecs = 3000);
  // Whether this panel holds the folder's lock now.
  bool HoldsFolder() const { return lock_.isLocked(); }

  // The local socket of the panel on `folder`: one per folder, in a folder only the user can
  // enter. "" when there is no such folder: the panel then cannot be reached.
  static QString ServerName(const QString& folder);

 signals:
  // A later start on the same folder asked this panel to come to the front.
  void raiseRequested();

 private:
  // Without a socket the panel still owns its folder; it just cannot be brought forward.
  void Listen();
  void Accept();
  void Answer(QLocalSocket* socket);
  bool AskToRaise(int waitMsecs);

  QString folder_;
  QLockFile lock_;
  std::future<bool> firstAttempt_;  // after lock_: waited for before the lock goes
  QLocalServer* server_ = nullptr;
  QList<QLocalSocket*> open_;  // oldest first
};

// Why `path` may not hold the socket: "" when it is a folder (not a symbolic link) that `user`
// owns and nobody else may enter. In a shared folder another user could put their own socket
// under the name and answer for the panel.
QString PrivateFolderProblem(const QString& path, uid_t user);

// Whether the other end of the local socket `descriptor` runs as `user`.
bool PeerIsUser(qintptr descriptor, uid_t user);

// Brings the panel to the front (a later start asked for it).
void BringToFront(QWidget& window);

}  // namespace vespin::ui
