#include "dialogs/OtherCalendars.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <system_error>
#include <utility>

#include "UiText.h"
#include "WindowFrame.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "events/ExtensionSection.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

// Texts of the window, as UTF-8.
constexpr const char* kSubscriptionsCaption = "購読するカレンダー";
constexpr const char* kPublishCaption = "このパネルの予定の公開先";
constexpr const char* kNameHeader = "名前";
constexpr const char* kUrlHeader = "アドレス";
constexpr const char* kUserHeader = "ユーザー";
constexpr const char* kFetchedHeader = "最後の取得";
constexpr const char* kErrorHeader = "最後のエラー";
constexpr const char* kNoteHeader = "注意";
constexpr const char* kAddCaption = "追加(&A)...";
constexpr const char* kChangeCaption = "変更(&E)...";
constexpr const char* kDeleteCaption = "削除(&D)";
constexpr const char* kRenameCaption = "名前の変更(&R)...";
constexpr const char* kTestCaption = "接続を確認(&T)";
constexpr const char* kFetchCaption = "今すぐ取得(&F)";
constexpr const char* kPublishSetCaption = "設定(&S)...";
constexpr const char* kPublishClearCaption = "解除(&C)";
constexpr const char* kPublishCaptionButton = "今すぐ公開(&P)";
constexpr const char* kForceCaption = "上書きして公開(&O)";
constexpr const char* kCloseCaption = "閉じる";
constexpr const char* kCancelCaption = "取消";
constexpr const char* kOkCaption = "OK";
constexpr const char* kNoPublishAddress = "公開先はありません";
constexpr const char* kPasswordKeep = "(変更しない)";
constexpr const char* kUnencryptedTip =
    "暗号化されていない http:// です。パスワードと予定が読まれるおそれがあります。";

constexpr const char* kAddTitle = "カレンダーの追加";
constexpr const char* kChangeTitle = "カレンダーの変更";
constexpr const char* kRenameTitle = "名前の変更";
constexpr const char* kPublishTitle = "公開先";
constexpr const char* kNameLabel = "名前(&N):";
constexpr const char* kUrlLabel = "アドレス(&U):";
constexpr const char* kUserLabel = "ユーザー(&M):";
constexpr const char* kPasswordLabel = "パスワード(&W):";

constexpr const char* kNoName = "名前を入力して下さい。";
constexpr const char* kNameBlank = "名前にカンマ(,)や空白は使えません。";
constexpr const char* kNameNotSjis = "名前に使えない文字があります。";
constexpr const char* kNameTaken = "同じ名前のカレンダーがあります。";
constexpr const char* kNoUrl = "アドレスを入力して下さい。";
constexpr const char* kUrlScheme = "アドレスは http://、https:// または webcal:// で始めて下さい。";
constexpr const char* kUrlBlank = "アドレスに空白は使えません。";
constexpr const char* kUrlNotAscii = "アドレスに使えない文字があります(%XX の形で書いて下さい)。";
constexpr const char* kUrlNoHost = "アドレスにサーバー名がありません。";
constexpr const char* kUserBlank = "ユーザーにカンマ(,)や空白は使えません。";
constexpr const char* kUserNotAscii = "ユーザーに使えない文字があります。";

constexpr const char* kDeleteQuestion = "「%1」の購読をやめますか?";
constexpr const char* kClearQuestion =
    "公開先を解除しますか?\r\nサーバーの予定はそのまま残ります。";
constexpr const char* kForceQuestion =
    "他の機器で変更された予定も、このパネルの予定で置き換えます。\r\nよろしいですか?";
constexpr const char* kForceYes = "上書き";
constexpr const char* kForceNo = "取消";
constexpr const char* kCacheNotMoved =
    "取得済みのコピーを新しい名前に移せませんでした。次の取得で取り直します。";
constexpr const char* kTesting = "「%1」に接続しています...";
constexpr const char* kTestOk = "「%1」: %2件の予定を取得しました。";
constexpr const char* kTestFailed = "「%1」: %2";
constexpr const char* kFetching = "取得しています...";
constexpr const char* kFetchOk = "すべて取得しました。";
constexpr const char* kFetchFailed = "取得できなかったカレンダーがあります。";
constexpr const char* kPublishing = "公開しています...";
constexpr const char* kPublishOk = "公開しました。";
constexpr const char* kPublishFailed = "公開できませんでした: %1";
constexpr const char* kNotRun = "同期のプログラムを実行できませんでした。";
constexpr const char* kResultName = "結果";
constexpr const char* kPublishStatusName = "最後の公開";
constexpr const char* kConflictsName = "他の機器で変更された予定";
constexpr const char* kFetchedAt = "%1 に取得(%2件)";
constexpr const char* kPublishedAt = "最後の公開: %1(%2件)";
constexpr const char* kLastError = "%1 の失敗: %2";
constexpr const char* kConflicts = "他の機器で変更された予定:";
constexpr const char* kConflictPrefix = "conflict: ";

QString Ui(const char* utf8) {
  return QString::fromUtf8(utf8);
}

std::string Utf8(const QString& text) {
  return text.toUtf8().toStdString();
}

void Tell(char kind, const QString& text) {
  ShowMessageForm(std::string(1, kind) + ' ' + ToSjisLossy(text));
}

// A blank of any width, a control character, or the comma that separates the file's fields.
bool HasBlankOrComma(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) {
    return c.isSpace() || c.category() == QChar::Other_Control || c == u',';
  });
}

bool IsAscii(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

InputProblem CheckAddress(const AddressInput& input) {
  const QString& url = input.url;
  if (url.isEmpty()) return {InputField::kUrl, Ui(kNoUrl)};
  // A comma is at home in an address; only blanks end it.
  if (std::any_of(url.begin(), url.end(),
                  [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; })) {
    return {InputField::kUrl, Ui(kUrlBlank)};
  }
  const bool known = url.startsWith(u"http://", Qt::CaseInsensitive) ||
                     url.startsWith(u"https://", Qt::CaseInsensitive) ||
                     url.startsWith(u"webcal://", Qt::CaseInsensitive);
  if (!known) return {InputField::kUrl, Ui(kUrlScheme)};
  if (!IsAscii(url)) return {InputField::kUrl, Ui(kUrlNotAscii)};
  if (QUrl(url, QUrl::StrictMode).host().isEmpty()) return {InputField::kUrl, Ui(kUrlNoHost)};
  if (HasBlankOrComma(input.user)) return {InputField::kUser, Ui(kUserBlank)};
  if (!IsAscii(input.user)) return {InputField::kUser, Ui(kUserNotAscii)};
  // What the file's reader would refuse must never be written; the checks above say why in
  // the user's words, this one keeps them honest.
  if (!AddressProblem(Utf8(url), Utf8(input.user)).empty()) {
    return {InputField::kUrl, Ui(kUrlScheme)};
  }
  return {};
}

// The small form of one subscription (name, address, user, password), of the publish address
// (no name) or of a new name alone.
enum class FormKind { kSubscription, kChange, kRename, kPublish };

class AddressForm final : public QDialog {
 public:
  AddressForm(FormKind kind, const AddressInput& initial, QStringList otherNames, QWidget* parent)
      : QDialog(parent), kind_(kind), otherNames_(std::move(otherNames)) {
    const char* title = kind == FormKind::kSubscription ? kAddTitle
                        : kind == FormKind::kChange     ? kChangeTitle
                        : kind == FormKind::kRename     ? kRenameTitle
                                                        : kPublishTitle;
    setWindowTitle(Ui(title));
    setObjectName(QStringLiteral("AddressForm"));
    KeepFramed(*this, Frame::kDialog);
    auto* form = new QFormLayout;
    const auto row = [&](const char* label, const char* objectName, const QString& text) {
      auto* edit = new QLineEdit(text, this);
      edit->setObjectName(QLatin1String(objectName));
      auto* caption = new QLabel(Ui(label), this);
      caption->setBuddy(edit);
      // Spoken without the accelerator's mark and colon: "名前".
      edit->setAccessibleName(Ui(label).section(u'(', 0, 0));
      form->addRow(caption, edit);
      return edit;
    };
    name_ = row(kNameLabel, "edName", initial.name);
    name_->setReadOnly(kind == FormKind::kChange);
    if (kind == FormKind::kPublish) name_->hide(), form->labelForField(name_)->hide();
    url_ = row(kUrlLabel, "edUrl", initial.url);
    user_ = row(kUserLabel, "edUser", initial.user);
    password_ = row(kPasswordLabel, "edPassword", {});
    password_->setEchoMode(QLineEdit::Password);
    if (kind != FormKind::kSubscription) password_->setPlaceholderText(Ui(kPasswordKeep));
    if (kind == FormKind::kRename) {
      for (QLineEdit* e : {url_, user_, password_}) e->hide(), form->labelForField(e)->hide();
    }
    url_->setMinimumWidth(QFontMetrics(font()).horizontalAdvance(QLatin1Char('m')) * 48);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Ui(kOkCaption), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(Ui(kCancelCaption), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &AddressForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AddressForm::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    (kind == FormKind::kPublish || kind == FormKind::kChange ? url_ : name_)->setFocus();
  }

  AddressInput Input() const {
    return {name_->text(), url_->text(), user_->text(), password_->text()};
  }

  void accept() override {
    const InputProblem p =
        kind_ == FormKind::kPublish ? CheckAddressInput(Input())
        : kind_ == FormKind::kRename
            ? CheckSubscriptionInput({name_->text(), QStringLiteral("https://x"), {}, {}},
                                     otherNames_)
            : CheckSubscriptionInput(Input(), otherNames_);
    if (!p.text.isEmpty()) {
      Tell('E', p.text);
      QLineEdit* edit = p.field == InputField::kName  ? name_
                        : p.field == InputField::kUrl ? url_
                                                      : user_;
      edit->setFocus();
      edit->selectAll();
      return;
    }
    QDialog::accept();
  }

 private:
  FormKind kind_;
  QStringList otherNames_;
  QLineEdit* name_;
  QLineEdit* url_;
  QLineEdit* user_;
  QLineEdit* password_;
};

// Runs a form; the input when the user confirmed it.
std::optional<AddressInput> AskAddress(FormKind kind, const AddressInput& initial,
                                       const QStringList& otherNames, QWidget* parent) {
  AddressForm form(kind, initial, otherNames, parent);
  if (RunModal(form) != QDialog::Accepted) return std::nullopt;
  return form.Input();
}

QPushButton* Button(const char* caption, const char* objectName, QWidget* parent) {
  auto* b = new QPushButton(Ui(caption), parent);
  b->setObjectName(QLatin1String(objectName));
  b->setAccessibleName(Ui(caption).section(u'(', 0, 0));
  b->setAutoDefault(false);
  return b;
}

QLabel* Label(const char* objectName, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(QLatin1String(objectName));
  l->setWordWrap(true);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  l->setTextFormat(Qt::PlainText);
  return l;
}

// Why a run of the helper failed: the status it left, when it left a new one; otherwise the
// last thing it said; otherwise that it did not run at all. A status older than the run
// belongs to an earlier try and would mislead.
QString WhyFailed(const std::optional<remote::SyncStatus>& status, const std::string& attemptBefore,
                  const SyncRunResult& run) {
  if (run.exitCode >= 0 && status && status->attempt != attemptBefore && !status->error.empty()) {
    return QString::fromStdString(status->error);
  }
  const QString said = run.messages.trimmed();
  return said.isEmpty() ? Ui(kNotRun) : said.section(u'\n', -1);
}

std::string AttemptOf(const std::optional<remote::SyncStatus>& status) {
  return status ? status->attempt : std::string();
}

std::optional<remote::SyncStatus> FetchStatus(const std::filesystem::path& cache,
                                              const Subscription& s) {
  return remote::ReadSyncStatus(remote::SubscriptionFolder(cache, sjis::ToUtf8(s.name)) /
                                remote::kStatusFile);
}

}  // namespace

InputProblem CheckSubscriptionInput(const AddressInput& input, const QStringList& otherNames) {
  const QString& name = input.name;
  if (name.isEmpty()) return {InputField::kName, Ui(kNoName)};
  if (HasBlankOrComma(name)) return {InputField::kName, Ui(kNameBlank)};
  const std::optional<std::string> sjisName = ToSjis(name);
  if (!sjisName) return {InputField::kName, Ui(kNameNotSjis)};
  if (otherNames.contains(name)) return {InputField::kName, Ui(kNameTaken)};
  if (InputProblem p = CheckAddress(input); !p.text.isEmpty()) return p;
  if (!SubscriptionProblem({*sjisName, Utf8(input.url), Utf8(input.user)}).empty()) {
    return {InputField::kName, Ui(kNameNotSjis)};
  }
  return {};
}

InputProblem CheckAddressInput(const AddressInput& input) {
  return CheckAddress(input);
}

bool IsUnencrypted(const QString& url) {
  if (!url.startsWith(u"http://", Qt::CaseInsensitive)) return false;
  const QString host = QUrl(url).host().toLower();
  if (host == u"localhost") return false;
  // Only an address counts: a name such as 127.example.com is anywhere.
  QHostAddress address;
  return !(address.setAddress(host) && address.isLoopback());
}

QString StatusTime(const std::string& iso) {
  const QString text = QString::fromStdString(iso);
  const QDateTime t = QDateTime::fromString(text, Qt::ISODate);
  if (!t.isValid()) return text;
  return t.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

QString FetchText(const std::optional<remote::SyncStatus>& status) {
  if (!status || status->success.empty()) return Ui(kNeverFetched);
  return Ui(kFetchedAt).arg(StatusTime(status->success)).arg(status->events);
}

QString ErrorText(const std::optional<remote::SyncStatus>& status) {
  if (!status || status->error.empty()) return {};
  return Ui(kLastError).arg(StatusTime(status->attempt), QString::fromStdString(status->error));
}

QString PublishText(const std::optional<remote::SyncStatus>& status) {
  if (!status || (status->success.empty() && status->error.empty())) return Ui(kNeverPublished);
  QStringList lines;
  if (!status->success.empty()) {
    lines << Ui(kPublishedAt).arg(StatusTime(status->success)).arg(status->events);
  } else {
    lines << Ui(kNeverPublished);
  }
  if (!status->error.empty()) {
    lines << Ui(kLastError).arg(StatusTime(status->attempt), QString::fromStdString(status->error));
  }
  return lines.join(u'\n');
}

QStringList ConflictLines(const QString& messages) {
  QStringList lines;
  for (const QString& line : messages.split(u'\n', Qt::SkipEmptyParts)) {
    if (line.startsWith(QLatin1String(kConflictPrefix))) {
      lines << line.mid(static_cast<int>(std::char_traits<char>::length(kConflictPrefix)));
    }
  }
  return lines;
}

OtherCalendarsDialog::OtherCalendarsDialog(Extensions& extensions,
                                           std::filesystem::path cacheFolder,
                                           RemoteSyncRunner* runner, PasswordStore* passwords,
                                           std::function<bool()> save, QWidget* parent)
    : QDialog(parent),
      extensions_(extensions),
      cacheFolder_(std::move(cacheFolder)),
      runner_(runner),
      passwords_(passwords),
      save_(std::move(save)),
      list_(new QTreeWidget(this)),
      addButton_(Button(kAddCaption, "btAdd", this)),
      changeButton_(Button(kChangeCaption, "btChange", this)),
      deleteButton_(Button(kDeleteCaption, "btDelete", this)),
      renameButton_(Button(kRenameCaption, "btRename", this)),
      testButton_(Button(kTestCaption, "btTest", this)),
      fetchButton_(Button(kFetchCaption, "btFetch", this)),
      publishAddress_(Label("lbPublishAddress", this)),
      publishStatus_(Label("lbPublishStatus", this)),
      conflicts_(Label("lbConflicts", this)),
      publishSetButton_(Button(kPublishSetCaption, "btPublishSet", this)),
      publishClearButton_(Button(kPublishClearCaption, "btPublishClear", this)),
      publishButton_(Button(kPublishCaptionButton, "btPublish", this)),
      forceButton_(Button(kForceCaption, "btForcePublish", this)),
      result_(Label("lbResult", this)),
      closeButton_(Button(kCloseCaption, "btClose", this)),
      alive_(std::make_shared<bool>(true)) {
  setObjectName(QStringLiteral("OtherCalendars"));
  setWindowTitle(Ui(kOtherCalendarsTitle));
  KeepFramed(*this, Frame::kDialog);
  QFont f(PGothicFace());
  f.setPixelSize(12);
  setFont(f);

  list_->setObjectName(QStringLiteral("lvSubscriptions"));
  list_->setAccessibleName(Ui(kSubscriptionsCaption));
  list_->setRootIsDecorated(false);
  list_->setAllColumnsShowFocus(true);
  list_->setHeaderLabels({Ui(kNameHeader), Ui(kUrlHeader), Ui(kNoteHeader), Ui(kUserHeader),
                          Ui(kFetchedHeader), Ui(kErrorHeader)});
  // Every column as wide as its texts: an address cut short is no address.
  list_->header()->setStretchLastSection(true);
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->setMinimumSize(1000, 160);

  auto* subs = new QGroupBox(Ui(kSubscriptionsCaption), this);
  auto* subsButtons = new QHBoxLayout;
  for (QPushButton* b : {addButton_, changeButton_, deleteButton_, renameButton_}) {
    subsButtons->addWidget(b);
  }
  subsButtons->addStretch();
  subsButtons->addWidget(testButton_);
  subsButtons->addWidget(fetchButton_);
  auto* subsLayout = new QVBoxLayout(subs);
  subsLayout->addWidget(list_);
  subsLayout->addLayout(subsButtons);

  auto* pub = new QGroupBox(Ui(kPublishCaption), this);
  auto* pubButtons = new QHBoxLayout;
  pubButtons->addWidget(publishSetButton_);
  pubButtons->addWidget(publishClearButton_);
  pubButtons->addStretch();
  pubButtons->addWidget(publishButton_);
  pubButtons->addWidget(forceButton_);
  auto* pubLayout = new QVBoxLayout(pub);
  pubLayout->addWidget(publishAddress_);
  pubLayout->addWidget(publishStatus_);
  pubLayout->addWidget(conflicts_);
  pubLayout->addLayout(pubButtons);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(result_, 1);
  bottom->addWidget(closeButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(subs, 1);
  layout->addWidget(pub);
  layout->addLayout(bottom);
  result_->setAccessibleName(Ui(kResultName));
  publishAddress_->setAccessibleName(Ui(kPublishCaption));
  publishStatus_->setAccessibleName(Ui(kPublishStatusName));
  conflicts_->setAccessibleName(Ui(kConflictsName));

  connect(addButton_, &QPushButton::clicked, this, &OtherCalendarsDialog::AddSubscription);
  connect(changeButton_, &QPushButton::clicked, this, &OtherCalendarsDialog::ChangeSubscription);
  connect(deleteButton_, &QPushButton::clicked, this, &OtherCalendarsDialog::DeleteSubscription);
  connect(renameButton_, &QPushButton::clicked, this, &OtherCalendarsDialog::RenameSubscription);
  connect(testButton_, &QPushButton::clicked, this, &OtherCalendarsDialog::TestSubscription);
  connect(fetchButton_, &QPushButton::clicked, this, &OtherCalendarsDialog::FetchAll);
  connect(publishSetButton_, &QPushButton::clicked, this, &OtherCalendarsDialog::SetPublishAddress);
  connect(publishClearButton_, &QPushButton::clicked, this,
          &OtherCalendarsDialog::ClearPublishAddress);
  connect(publishButton_, &QPushButton::clicked, this, [this] { Publish(false); });
  connect(forceButton_, &QPushButton::clicked, this, [this] { Publish(true); });
  connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(list_, &QTreeWidget::currentItemChanged, this, &OtherCalendarsDialog::UpdateButtons);
  connect(list_, &QTreeWidget::itemActivated, this, &OtherCalendarsDialog::ChangeSubscription);
  Refresh();
  list_->setFocus();
}

OtherCalendarsDialog::~OtherCalendarsDialog() {
  *alive_ = false;
}

void OtherCalendarsDialog::Refresh() {
  const int row = std::max(CurrentRow(), 0);
  list_->clear();
  for (const Subscription& s : extensions_.subscriptions) {
    const QString url = QString::fromStdString(s.url);
    auto* item = new QTreeWidgetItem(list_);
    item->setText(kColumnName, FromSjis(s.name));
    item->setText(kColumnUrl, url);
    item->setText(kColumnUser, QString::fromStdString(s.user));
    const auto status = FetchStatus(cacheFolder_, s);
    item->setText(kColumnFetched, FetchText(status));
    item->setText(kColumnError, ErrorText(status));
    // What the server or the library said, for the one who wants to look further.
    if (status && !status->error.empty()) {
      item->setToolTip(kColumnError,
                       ErrorText(status) + u'\n' + QString::fromStdString(status->detail));
    }
    if (IsUnencrypted(url)) {
      item->setText(kColumnNote, Ui(kUnencryptedMark));
      item->setToolTip(kColumnNote, Ui(kUnencryptedTip));
    }
  }
  if (list_->topLevelItemCount() > 0) {
    list_->setCurrentItem(list_->topLevelItem(std::min(row, list_->topLevelItemCount() - 1)));
  }

  if (extensions_.publish) {
    const QString url = QString::fromStdString(extensions_.publish->url);
    QString text = url;
    if (!extensions_.publish->user.empty()) {
      text += QStringLiteral(" (") + QString::fromStdString(extensions_.publish->user) + u')';
    }
    if (IsUnencrypted(url)) text += QStringLiteral("  [") + Ui(kUnencryptedMark) + u']';
    publishAddress_->setText(text);
    const auto status = remote::ReadSyncStatus(cacheFolder_ / remote::kPublishStatusFile);
    // A status of another address says nothing about this one.
    publishStatus_->setText(
        PublishText(status && status->url == extensions_.publish->url ? status : std::nullopt));
    QStringList conflicts = lastConflicts_;
    if (conflicts.isEmpty() && status && status->url == extensions_.publish->url &&
        !status->error.empty() && status->detail.find("conflict") != std::string::npos) {
      conflicts << QString::fromStdString(status->detail);
    }
    conflicts_->setText(conflicts.isEmpty() ? QString()
                                            : Ui(kConflicts) + u'\n' + conflicts.join(u'\n'));
    conflicts_->setVisible(!conflicts.isEmpty());
  } else {
    publishAddress_->setText(Ui(kNoPublishAddress));
    publishStatus_->clear();
    conflicts_->clear();
    conflicts_->hide();
  }
  UpdateButtons();
}

QString OtherCalendarsDialog::ResultText() const {
  return result_->text();
}

int OtherCalendarsDialog::CurrentRow() const {
  QTreeWidgetItem* item = list_->currentItem();
  return item ? list_->indexOfTopLevelItem(item) : -1;
}

QStringList OtherCalendarsDialog::NamesExcept(int row) const {
  QStringList names;
  for (int i = 0; i < static_cast<int>(extensions_.subscriptions.size()); ++i) {
    if (i != row) names << FromSjis(extensions_.subscriptions[static_cast<std::size_t>(i)].name);
  }
  return names;
}

void OtherCalendarsDialog::UpdateButtons() {
  const bool selected = CurrentRow() >= 0;
  changeButton_->setEnabled(selected);
  deleteButton_->setEnabled(selected);
  renameButton_->setEnabled(selected);
  testButton_->setEnabled(selected && runner_ && !busy_);
  fetchButton_->setEnabled(!extensions_.subscriptions.empty() && runner_ && !busy_);
  const bool publish = extensions_.publish.has_value();
  publishClearButton_->setEnabled(publish);
  publishButton_->setEnabled(publish && runner_ && !busy_);
  forceButton_->setEnabled(publish && runner_ && !busy_);
}

void OtherCalendarsDialog::SetBusy(bool busy) {
  busy_ = busy;
  UpdateButtons();
}

void OtherCalendarsDialog::SetResult(const QString& text) {
  result_->setText(text);
}

bool OtherCalendarsDialog::Save() {
  if (!save_ || save_()) {
    unsaved_ = false;
    return true;
  }
  unsaved_ = true;
  Tell('E', Ui(kSaveFailed));
  return false;
}

void OtherCalendarsDialog::done(int result) {
  // A change that could not be written is tried once more; if that fails too the user hears
  // it again, and the panel's settings still hold it for its next save.
  if (unsaved_) Save();
  QDialog::done(result);
}

bool OtherCalendarsDialog::KeyInUse(const QString& url, const QString& user) const {
  const std::string u = Utf8(url), n = Utf8(user);
  const bool bySubscription =
      std::any_of(extensions_.subscriptions.begin(), extensions_.subscriptions.end(),
                  [&](const Subscription& s) { return s.url == u && s.user == n; });
  return bySubscription ||
         (extensions_.publish && extensions_.publish->url == u && extensions_.publish->user == n);
}

void OtherCalendarsDialog::StorePassword(const QString& url, const QString& user,
                                         const QString& password) {
  if (!passwords_ || password.isEmpty()) return;
  passwords_->Write(url, user, password, [alive = alive_, this](const QString& error) {
    if (!*alive || error.isEmpty()) return;
    SetResult(error);
    Tell('E', error);
  });
}

void OtherCalendarsDialog::ForgetPassword(const QString& url, const QString& user) {
  if (!passwords_ || KeyInUse(url, user)) return;
  passwords_->Remove(url, user, [alive = alive_, this](const QString& error) {
    if (*alive && !error.isEmpty()) SetResult(error);
  });
}

void OtherCalendarsDialog::MovePassword(const QString& oldUrl, const QString& oldUser,
                                        const AddressInput& input) {
  if (!passwords_) return;
  if (!input.password.isEmpty()) {
    StorePassword(input.url, input.user, input.password);
    ForgetPassword(oldUrl, oldUser);
    return;
  }
  if (oldUrl == input.url && oldUser == input.user) return;
  // The same password under the new address or user, as the user did not type another.
  passwords_->Read(oldUrl, oldUser,
                   [alive = alive_, this, oldUrl, oldUser, input](const auto& password) {
                     if (!*alive || !password) return;
                     StorePassword(input.url, input.user, *password);
                     ForgetPassword(oldUrl, oldUser);
                   });
}

void OtherCalendarsDialog::AddSubscription() {
  const auto input = AskAddress(FormKind::kSubscription, {}, NamesExcept(-1), this);
  if (!input) return;
  extensions_.subscriptions.push_back({*ToSjis(input->name), Utf8(input->url), Utf8(input->user)});
  Save();
  StorePassword(input->url, input->user, input->password);
  Refresh();
  list_->setCurrentItem(list_->topLevelItem(list_->topLevelItemCount() - 1));
}

void OtherCalendarsDialog::ChangeSubscription() {
  const int row = CurrentRow();
  if (row < 0) return;
  Subscription& s = extensions_.subscriptions[static_cast<std::size_t>(row)];
  const QString oldUrl = QString::fromStdString(s.url);
  const QString oldUser = QString::fromStdString(s.user);
  const auto input = AskAddress(FormKind::kChange, {FromSjis(s.name), oldUrl, oldUser, {}},
                                NamesExcept(row), this);
  if (!input) return;
  s.url = Utf8(input->url);
  s.user = Utf8(input->user);
  Save();
  MovePassword(oldUrl, oldUser, *input);
  Refresh();
}

void OtherCalendarsDialog::DeleteSubscription() {
  const int row = CurrentRow();
  if (row < 0) return;
  const auto it = extensions_.subscriptions.begin() + row;
  const QString name = FromSjis(it->name);
  if (ShowMessageForm("C " + ToSjisLossy(Ui(kDeleteQuestion).arg(name))) != kIdYes) return;
  const QString url = QString::fromStdString(it->url), user = QString::fromStdString(it->user);
  extensions_.subscriptions.erase(it);
  Save();
  // The copy of a calendar nobody subscribes to any more is only in the way; the password goes
  // too unless another entry uses the same address and user.
  std::error_code ec;
  std::filesystem::remove_all(remote::SubscriptionFolder(cacheFolder_, Utf8(name)), ec);
  ForgetPassword(url, user);
  Refresh();
}

void OtherCalendarsDialog::RenameSubscription() {
  const int row = CurrentRow();
  if (row < 0) return;
  Subscription& s = extensions_.subscriptions[static_cast<std::size_t>(row)];
  const QString oldName = FromSjis(s.name);
  const auto input = AskAddress(FormKind::kRename, {oldName, {}, {}, {}}, NamesExcept(row), this);
  if (!input || input->name == oldName) return;
  // The copy and its status follow the name, so the calendar stays on the panel until the next
  // fetch. What lies under the new name belongs to a calendar removed before.
  const auto from = remote::SubscriptionFolder(cacheFolder_, Utf8(oldName));
  const auto to = remote::SubscriptionFolder(cacheFolder_, Utf8(input->name));
  std::error_code ec;
  if (std::filesystem::exists(from, ec)) {
    std::filesystem::remove_all(to, ec);
    std::filesystem::rename(from, to, ec);
    if (ec) SetResult(Ui(kCacheNotMoved));
  }
  s.name = *ToSjis(input->name);
  emit SubscriptionRenamed(oldName, input->name);
  Save();
  Refresh();
}

void OtherCalendarsDialog::TestSubscription() {
  const int row = CurrentRow();
  if (row < 0 || !runner_ || busy_) return;
  const Subscription s = extensions_.subscriptions[static_cast<std::size_t>(row)];
  const QString name = FromSjis(s.name);
  SetResult(Ui(kTesting).arg(name));
  SetBusy(true);
  const std::string before = AttemptOf(FetchStatus(cacheFolder_, s));
  runner_->FetchNow({name}, [alive = alive_, this, s, name, before](const SyncRunResult& run) {
    if (!*alive) return;
    SetBusy(false);
    const auto status = FetchStatus(cacheFolder_, s);
    if (run.exitCode == 0 && status && status->error.empty() && !status->success.empty()) {
      SetResult(Ui(kTestOk).arg(name).arg(status->events));
    } else {
      SetResult(Ui(kTestFailed).arg(name, WhyFailed(status, before, run)));
    }
    Refresh();
  });
}

void OtherCalendarsDialog::FetchAll() {
  if (!runner_ || busy_) return;
  SetResult(Ui(kFetching));
  SetBusy(true);
  runner_->FetchNow({}, [alive = alive_, this](const SyncRunResult& run) {
    if (!*alive) return;
    SetBusy(false);
    SetResult(Ui(run.exitCode == 0 ? kFetchOk : kFetchFailed));
    Refresh();
  });
}

void OtherCalendarsDialog::SetPublishAddress() {
  AddressInput initial;
  if (extensions_.publish) {
    initial.url = QString::fromStdString(extensions_.publish->url);
    initial.user = QString::fromStdString(extensions_.publish->user);
  }
  const auto input = AskAddress(FormKind::kPublish, initial, {}, this);
  if (!input) return;
  const bool had = extensions_.publish.has_value();
  extensions_.publish = PublishTarget{Utf8(input->url), Utf8(input->user)};
  lastConflicts_.clear();
  Save();
  if (had) {
    MovePassword(initial.url, initial.user, *input);
  } else {
    StorePassword(input->url, input->user, input->password);
  }
  Refresh();
}

void OtherCalendarsDialog::ClearPublishAddress() {
  if (!extensions_.publish) return;
  if (ShowMessageForm("C " + ToSjisLossy(Ui(kClearQuestion))) != kIdYes) return;
  const PublishTarget old = *extensions_.publish;
  extensions_.publish.reset();
  lastConflicts_.clear();
  Save();
  ForgetPassword(QString::fromStdString(old.url), QString::fromStdString(old.user));
  Refresh();
}

void OtherCalendarsDialog::Publish(bool force) {
  if (!runner_ || busy_ || !extensions_.publish) return;
  if (force && ShowMessageForm("A " + ToSjisLossy(Ui(kForceQuestion)), Ui(kForceYes),
                               Ui(kForceNo)) != kIdYes) {
    return;
  }
  SetResult(Ui(kPublishing));
  SetBusy(true);
  const std::filesystem::path statusFile = cacheFolder_ / remote::kPublishStatusFile;
  const std::string before = AttemptOf(remote::ReadSyncStatus(statusFile));
  runner_->PublishNow(force, [alive = alive_, this, statusFile, before](const SyncRunResult& run) {
    if (!*alive) return;
    SetBusy(false);
    lastConflicts_ = ConflictLines(run.messages);
    if (run.exitCode == 0) {
      SetResult(Ui(kPublishOk));
    } else {
      SetResult(Ui(kPublishFailed).arg(WhyFailed(remote::ReadSyncStatus(statusFile), before, run)));
    }
    Refresh();
  });
}

}  // namespace vespin::ui
