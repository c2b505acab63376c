#pragma once
// One panel per folder. Two panels on the same vespin.ini would each rewrite the whole file and
// throw away the other's changes, so the first start takes the folder's lock and listens; a later
// start on the same folder asks it to come to the front and ends.
//
//   Claim: QLockFile(folder/vespin.lock) --taken--> listening local socket (per folder, per user)
//                                        --held---> "raise" over that socket --> running panel

#include <QLockFile>
#include <QObject>
#include <QString>
#include <future>

class QSocketNotifier;
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

  // The path of the local socket of the panel on `folder`: one per folder and user.
  static QString ServerName(const QString& folder);

 signals:
  // A later start on the same folder asked this panel to come to the front.
  void raiseRequested();

 private:
  // Without a socket the panel still owns its folder; it just cannot be brought forward.
  void Listen();
  void AcceptRequests();
  bool AskToRaise(int waitMsecs);

  QString folder_;
  QLockFile lock_;
  std::future<bool> firstAttempt_;  // after lock_: waited for before the lock goes
  int listener_ = -1;
  QString listening_;  // the socket's path while listening
  QSocketNotifier* incoming_ = nullptr;
};

// Brings the panel to the front (a later start asked for it).
void BringToFront(QWidget& window);

}  // namespace vespin::ui
