#pragma once
// The signals that end a desktop session's programs (SIGTERM at logout or shutdown, SIGHUP when
// the terminal goes, SIGINT from Ctrl+C) turned into an ordinary call on the user-interface
// thread, so that the program can end as its window's close does: write the file, exit 0.
//
//   signal --handler: one byte into a pipe--> QSocketNotifier --> onSignal(signal number)
//
// Nothing but write() runs inside the handler.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace vespin::ui {

class SignalBridge final : public QObject {
  Q_OBJECT

 public:
  // Catches SIGTERM, SIGINT and SIGHUP until destroyed; one bridge at a time.
  explicit SignalBridge(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
  // Puts the handlers back that were there before.
  ~SignalBridge() override;
  Q_DISABLE_COPY_MOVE(SignalBridge)

 private:
  void Drain();

  std::function<void(int)> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vespin::ui
