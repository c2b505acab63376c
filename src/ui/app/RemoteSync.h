#pragma once
// What the panel's parts ask of each other about other calendars and publishing:
//
//   window of other calendars --RemoteSyncRunner--> vespin-sync (a child process, never the UI
//                                                   thread) --> cache folder (calendars, status)
//   RemoteSyncRunner, window --PasswordStore------> the desktop's keyring
//
// Passwords are kept by address and user, never by a subscription's name: renaming a
// subscription keeps its password, and the publish address has one the same way.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vespin::ui {

// The end of one run of the network helper: its exit code (0 all well, 1 a server or file
// problem, 2 bad arguments; -1 when it could not be started or was stopped) and what it said on
// stderr, as the terminal would have shown it.
struct SyncRunResult {
  int exitCode = -1;
  QString messages;
};

class RemoteSyncRunner {
 public:
  using Done = std::function<void(const SyncRunResult&)>;
  virtual ~RemoteSyncRunner() = default;

  // Fetches the named subscriptions now (every one when `names` is empty). `done` is called on
  // the UI thread once the helper has ended and the panel has read what it left; not at all
  // when the runner goes first.
  virtual void FetchNow(const QStringList& namesUtf8, Done done) = 0;
  // Makes the publish address hold the file's events now; `force` replaces resources changed
  // on the server by someone else.
  virtual void PublishNow(bool force, Done done) = 0;
};

class PasswordStore {
 public:
  // The password, or nullopt when none is kept (or the keyring cannot be reached).
  using ReadDone = std::function<void(const std::optional<QString>& password)>;
  // An empty error: done; otherwise what went wrong, in plain words for the user.
  using WriteDone = std::function<void(const QString& error)>;
  virtual ~PasswordStore() = default;

  // All three answer on the UI thread, later (never inside the call).
  virtual void Read(const QString& url, const QString& user, ReadDone done) = 0;
  virtual void Write(const QString& url, const QString& user, const QString& password,
                     WriteDone done) = 0;
  virtual void Remove(const QString& url, const QString& user, WriteDone done) = 0;
};

}  // namespace vespin::ui
