#include "app/Keyring.h"

#include <qt6keychain/keychain.h>

#include <QMetaObject>
#include <utility>

namespace vespin::ui {
namespace {

enum class Operation { kWrite, kRemove };

// What the user reads when a write or a removal fails. The library's own error strings are
// English and name its internals, so only its error kinds are used.
QString PlainError(QKeychain::Error error, Operation op) {
  const bool write = op == Operation::kWrite;
  switch (error) {
    case QKeychain::NoError:
      return {};
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
    // What the Secret Service backend says when there is no session bus to reach it, or no
    // keyring behind it: the same to the user, who needs ~/.netrc either way.
    case QKeychain::OtherError:
      return QString::fromUtf8(write ? kNoKeyringWrite : kNoKeyringRemove);
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
      return QString::fromUtf8(write ? kKeyringDeniedWrite : kKeyringDeniedRemove);
    case QKeychain::EntryNotFound:
      // Nothing kept: forgetting it is done, and a write cannot end this way.
      return write ? QString::fromUtf8(kKeyringFailedWrite) : QString();
    case QKeychain::CouldNotDeleteEntry:
      break;
  }
  return QString::fromUtf8(write ? kKeyringFailedWrite : kKeyringFailedRemove);
}

// The job answers on the thread that started it; the caller hears of it only after the call
// has returned, whatever the library does inside start().
template <typename Job, typename Answer>
void Start(Job* job, QObject* guard, Answer answer) {
  QObject::connect(job, &QKeychain::Job::finished, guard, [guard, answer](QKeychain::Job* j) {
    QMetaObject::invokeMethod(
        guard, [answer, result = answer.Take(*static_cast<Job*>(j))]() { answer.Give(result); },
        Qt::QueuedConnection);
  });
  job->start();
}

struct ReadAnswer {
  PasswordStore::ReadDone done;
  std::optional<QString> Take(const QKeychain::ReadPasswordJob& job) const {
    if (job.error() != QKeychain::NoError) return std::nullopt;
    return job.textData();
  }
  void Give(const std::optional<QString>& password) const {
    if (done) done(password);
  }
};

struct WriteAnswer {
  PasswordStore::WriteDone done;
  Operation op;
  QString Take(const QKeychain::Job& job) const { return PlainError(job.error(), op); }
  void Give(const QString& error) const {
    if (done) done(error);
  }
};

}  // namespace

Keyring::Keyring(QString service) : service_(std::move(service)) {}

QString Keyring::KeyOf(const QString& url, const QString& user) {
  return user.isEmpty() ? url : user + QLatin1Char('@') + url;
}

void Keyring::Read(const QString& url, const QString& user, ReadDone done) {
  auto* job = new QKeychain::ReadPasswordJob(service_);
  job->setKey(KeyOf(url, user));
  Start(job, &guard_, ReadAnswer{std::move(done)});
}

void Keyring::Write(const QString& url, const QString& user, const QString& password,
                    WriteDone done) {
  auto* job = new QKeychain::WritePasswordJob(service_);
  job->setKey(KeyOf(url, user));
  job->setTextData(password);
  Start(job, &guard_, WriteAnswer{std::move(done), Operation::kWrite});
}

void Keyring::Remove(const QString& url, const QString& user, WriteDone done) {
  auto* job = new QKeychain::DeletePasswordJob(service_);
  job->setKey(KeyOf(url, user));
  Start(job, &guard_, WriteAnswer{std::move(done), Operation::kRemove});
}

}  // namespace vespin::ui
