#pragma once
// Passwords of other calendars and of the publish address in the desktop's keyring (the Secret
// Service, through QtKeychain), under the service "vespin" and a key made of the user and the
// address. Nothing is ever written to a plain file: a desktop without a keyring is told to use
// ~/.netrc, which the network helper reads as well.

#include <QObject>
#include <QString>

#include "app/RemoteSync.h"

namespace vespin::ui {

inline constexpr const char* kKeyringService = "vespin";
inline constexpr const char* kNoKeyringWrite =
    "パスワードを保管できません(キーリングがありません)。~/.netrc をお使いください。";
inline constexpr const char* kNoKeyringRemove =
    "パスワードを削除できません(キーリングがありません)。";
inline constexpr const char* kKeyringDeniedWrite =
    "パスワードを保管できません(キーリングが許可しませんでした)。";
inline constexpr const char* kKeyringDeniedRemove =
    "パスワードを削除できません(キーリングが許可しませんでした)。";
inline constexpr const char* kKeyringFailedWrite = "パスワードを保管できません。";
inline constexpr const char* kKeyringFailedRemove = "パスワードを削除できません。";

class Keyring final : public PasswordStore {
 public:
  explicit Keyring(QString service = QString::fromLatin1(kKeyringService));
  Q_DISABLE_COPY_MOVE(Keyring)

  void Read(const QString& url, const QString& user, ReadDone done) override;
  void Write(const QString& url, const QString& user, const QString& password,
             WriteDone done) override;
  void Remove(const QString& url, const QString& user, WriteDone done) override;

  // "user@https://example.com/dav/", or the address alone without a user.
  static QString KeyOf(const QString& url, const QString& user);

 private:
  QString service_;
  // Answers of jobs still running when the keyring object goes are dropped with it.
  QObject guard_;
};

}  // namespace vespin::ui
