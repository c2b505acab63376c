#pragma once
// The window of other calendars: the subscriptions and the publish address of vespin.ini's
// extension section, their passwords in the keyring, and what the network helper last said
// about each (read from the status files it leaves in the cache folder).
//
//   this window --edits--> Extensions --save--> vespin.ini
//               --RemoteSyncRunner--> vespin-sync --> cache folder --status--> this window
//               --PasswordStore--> keyring

#include <QDialog>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/RemoteSync.h"
#include "events/Settings.h"
#include "remote/SyncStatus.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vespin::ui {

inline constexpr const char* kOtherCalendarsTitle = "他のカレンダー";
inline constexpr const char* kNeverFetched = "まだ取得していません";
inline constexpr const char* kNeverPublished = "まだ公開していません";
inline constexpr const char* kUnencryptedMark = "暗号化なし";
inline constexpr const char* kSaveFailed =
    "設定をファイルに保存できません。\r\n変更はこの画面に残っています。";

// The columns of the list of subscriptions.
enum SubscriptionColumn {
  kColumnName,
  kColumnUrl,
  kColumnNote,
  kColumnUser,
  kColumnFetched,
  kColumnError
};

// What the user typed into the form of a subscription or of the publish address.
struct AddressInput {
  QString name;  // unused for the publish address
  QString url;
  QString user;
  QString password;  // empty: keep what the keyring holds
};

// Which input a problem is about, so the form can put the cursor there.
enum class InputField { kNone, kName, kUrl, kUser };

struct InputProblem {
  InputField field = InputField::kNone;
  QString text;  // for the user; empty when the input can be kept
};

// Checks a subscription's name (against `otherNames`, the names of the other subscriptions)
// and its address and user.
InputProblem CheckSubscriptionInput(const AddressInput& input, const QStringList& otherNames);
// The same for the publish address, which has no name.
InputProblem CheckAddressInput(const AddressInput& input);

// Plain http:// to anything but this machine: what the list marks.
bool IsUnencrypted(const QString& url);

// "2026/12/09 10:15" from the status file's ISO 8601 time; the text itself when it is none.
QString StatusTime(const std::string& iso);
// The last successful fetch of a subscription ("まだ取得していません" when none).
QString FetchText(const std::optional<remote::SyncStatus>& status);
// The last try's error with its time; empty when the last try succeeded.
QString ErrorText(const std::optional<remote::SyncStatus>& status);
// The publish address' last publish, in one or two lines.
QString PublishText(const std::optional<remote::SyncStatus>& status);
// The conflicts a publish run named on its stderr ("conflict: …" lines).
QStringList ConflictLines(const QString& messages);

class OtherCalendarsDialog final : public QDialog {
  Q_OBJECT

 public:
  // `save` writes the settings (and so `extensions`) to vespin.ini; false when it could not.
  // `runner` and `passwords` may be null: what needs them is then disabled.
  OtherCalendarsDialog(Extensions& extensions, std::filesystem::path cacheFolder,
                       RemoteSyncRunner* runner, PasswordStore* passwords,
                       std::function<bool()> save, QWidget* parent = nullptr);
  ~OtherCalendarsDialog() override;
  Q_DISABLE_COPY_MOVE(OtherCalendarsDialog)

  // Reads the status files again and shows them.
  void Refresh();
  // The line below the list: what the last action came to.
  QString ResultText() const;

  void AddSubscription();
  void ChangeSubscription();
  void DeleteSubscription();
  void RenameSubscription();
  void TestSubscription();
  void FetchAll();
  void SetPublishAddress();
  void ClearPublishAddress();
  void Publish(bool force);

 signals:
  // A subscription was renamed (UTF-8 names): what was announced of it goes with the name.
  void SubscriptionRenamed(const QString& from, const QString& to);

 protected:
  void done(int result) override;

 private:
  int CurrentRow() const;
  QStringList NamesExcept(int row) const;
  bool Save();
  void StorePassword(const QString& url, const QString& user, const QString& password);
  // After an address or user changed: the password typed, or the one kept under the old key.
  void MovePassword(const QString& oldUrl, const QString& oldUser, const AddressInput& input);
  // Forgets the password of url+user unless another entry still uses it.
  void ForgetPassword(const QString& url, const QString& user);
  bool KeyInUse(const QString& url, const QString& user) const;
  void SetResult(const QString& text);
  void SetBusy(bool busy);
  void UpdateButtons();

  Extensions& extensions_;
  std::filesystem::path cacheFolder_;
  RemoteSyncRunner* runner_;
  PasswordStore* passwords_;
  std::function<bool()> save_;
  bool unsaved_ = false;
  bool busy_ = false;
  QStringList lastConflicts_;

  QTreeWidget* list_;
  QPushButton* addButton_;
  QPushButton* changeButton_;
  QPushButton* deleteButton_;
  QPushButton* renameButton_;
  QPushButton* testButton_;
  QPushButton* fetchButton_;
  QLabel* publishAddress_;
  QLabel* publishStatus_;
  QLabel* conflicts_;
  QPushButton* publishSetButton_;
  QPushButton* publishClearButton_;
  QPushButton* publishButton_;
  QPushButton* forceButton_;
  QLabel* result_;
  QPushButton* closeButton_;
  // Answers of the runner and the keyring that come after the window has gone are dropped.
  std::shared_ptr<bool> alive_;
};

}  // namespace vespin::ui
