#include "dialogs/OtherCalendars.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <fstream>
#include <map>
#include <memory>

#include "TempDir.h"
#include "UiText.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "events/EventFile.h"
#include "events/EventStore.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;
using remote::SyncStatus;
using sjis::Lit;
using test::ReadBytes;
using test::TempDir;

// Stands for the panel's runner of the network helper: keeps each call and its answer, which
// the test gives when it likes.
struct RecordingRunner final : RemoteSyncRunner {
  struct Call {
    QString what;  // "fetch" or "publish"
    QStringList names;
    bool force = false;
  };
  std::vector<Call> calls;
  Done pending;

  void FetchNow(const QStringList& names, Done done) override {
    calls.push_back({u"fetch"_s, names, false});
    pending = std::move(done);
  }
  void PublishNow(bool force, Done done) override {
    calls.push_back({u"publish"_s, {}, force});
    pending = std::move(done);
  }
  void Finish(int exitCode, const QString& messages = {}) {
    ASSERT_TRUE(pending);
    auto done = std::exchange(pending, nullptr);
    done({exitCode, messages});
  }
};

// A keyring in memory that answers later, as the real one does.
struct MemoryPasswords final : PasswordStore {
  std::map<std::pair<QString, QString>, QString> kept;
  QStringList log;  // "write url user password", "remove url user", "read url user"

  void Read(const QString& url, const QString& user, ReadDone done) override {
    log << u"read "_s + url + u' ' + user;
    const auto it = kept.find({url, user});
    std::optional<QString> value;
    if (it != kept.end()) value = it->second;
    QTimer::singleShot(0, [done, value] { done(value); });
  }
  void Write(const QString& url, const QString& user, const QString& password,
             WriteDone done) override {
    log << u"write "_s + url + u' ' + user + u' ' + password;
    kept[{url, user}] = password;
    QTimer::singleShot(0, [done] { done({}); });
  }
  void Remove(const QString& url, const QString& user, WriteDone done) override {
    log << u"remove "_s + url + u' ' + user;
    kept.erase({url, user});
    QTimer::singleShot(0, [done] { done({}); });
  }
};

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

const QString kWork = u"https://dav.example.com/calendars/alice/work/"_s;
const QString kOffice = u"https://dav.example.com/calendars/alice/office/"_s;

class OtherCalendarsTest : public ::testing::Test {
 protected:
  // What the forms are given, in order, and what the message boxes said.
  std::deque<AddressInput> inputs;
  QStringList messages;
  int answer = kIdYes;  // to every question
  ScopedModalHandler handler{[this](QDialog& dialog) {
    if (auto* box = dynamic_cast<TMessageForm*>(&dialog)) {
      messages << box->MessageLabel()->text();
      return answer;
    }
    if (inputs.empty()) return static_cast<int>(QDialog::Rejected);
    const AddressInput in = inputs.front();
    inputs.pop_front();
    const auto set = [&](const char* name, const QString& text) {
      auto* edit = dialog.findChild<QLineEdit*>(QLatin1String(name));
      if (edit && !edit->isReadOnly() && !edit->isHidden()) edit->setText(text);
    };
    set("edName", in.name);
    set("edUrl", in.url);
    set("edUser", in.user);
    set("edPassword", in.password);
    dialog.accept();  // refused, with a message, when the input is wrong
    return dialog.result();
  }};

  TempDir dir;
  std::filesystem::path cache = dir.Path() / "cache";
  EventStore store;
  Settings settings;
  int saves = 0;
  bool failSave = false;
  RecordingRunner runner;
  MemoryPasswords passwords;

  std::unique_ptr<OtherCalendarsDialog> Open(bool withRunner = true) {
    return std::make_unique<OtherCalendarsDialog>(
        settings.extensions, cache, withRunner ? &runner : nullptr, &passwords,
        [this] {
          ++saves;
          if (failSave) return false;
          const std::string bytes = FormatEventFile(store, settings);
          dir.Write("vespin.ini", bytes);
          return true;
        },
        nullptr);
  }

  std::string Ini() const { return ReadBytes(dir.File("vespin.ini")); }

  void WriteStatus(const std::string& nameUtf8, const SyncStatus& status,
                   const std::string& calendar = {}) const {
    const auto folder = remote::SubscriptionFolder(cache, nameUtf8);
    std::filesystem::create_directories(folder);
    WriteFile(folder / remote::kStatusFile, remote::FormatSyncStatus(status));
    if (!calendar.empty()) WriteFile(folder / remote::kCalendarFile, calendar);
  }

  static QString Cell(const OtherCalendarsDialog& w, int row, int column) {
    auto* list = w.findChild<QTreeWidget*>(u"lvSubscriptions"_s);
    const QTreeWidgetItem* item = list ? list->topLevelItem(row) : nullptr;
    return item ? item->text(column) : u"(no row)"_s;
  }
  static void Select(OtherCalendarsDialog& w, int row) {
    auto* list = w.findChild<QTreeWidget*>(u"lvSubscriptions"_s);
    list->setCurrentItem(list->topLevelItem(row));
  }
  static QPushButton* ButtonOf(const OtherCalendarsDialog& w, const char* name) {
    return w.findChild<QPushButton*>(QLatin1String(name));
  }
  static QString LabelOf(const OtherCalendarsDialog& w, const char* name) {
    return w.findChild<QLabel*>(QLatin1String(name))->text();
  }
};

struct InputCase {
  const char* what;
  QString name, url, user;
  InputField field;     // kNone: accepted
  const char* message;  // a part of what the user reads
};

TEST(OtherCalendarsInputTest, NamesAddressesAndUsersAreChecked) {
  const QStringList others{u"家族"_s};
  const InputCase cases[] = {
      {"a CalDAV calendar", u"仕事"_s, kWork, u"alice"_s, InputField::kNone, ""},
      {"webcal, capitals, no user",
       u"ｼｺﾞﾄ"_s,
       u"WEBCAL://example.com/f.ics"_s,
       {},
       InputField::kNone,
       ""},
      {"plain http", u"x"_s, u"http://192.0.2.1:5232/a/"_s, {}, InputField::kNone, ""},
      {"no name", {}, kWork, {}, InputField::kName, "名前を入力"},
      {"a blank", u"仕 事"_s, kWork, {}, InputField::kName, "空白"},
      {"a wide blank", u"仕\u3000事"_s, kWork, {}, InputField::kName, "空白"},
      {"a tab", u"仕\t事"_s, kWork, {}, InputField::kName, "空白"},
      {"a comma", u"仕,事"_s, kWork, {}, InputField::kName, "カンマ"},
      {"an emoji", u"仕事😀"_s, kWork, {}, InputField::kName, "使えない文字"},
      {"beyond Shift_JIS", u"𠮷野家"_s, kWork, {}, InputField::kName, "使えない文字"},
      {"taken", u"家族"_s, kWork, {}, InputField::kName, "同じ名前"},
      {"no address", u"仕事"_s, {}, {}, InputField::kUrl, "アドレスを入力"},
      {"no scheme", u"仕事"_s, u"dav.example.com/a/"_s, {}, InputField::kUrl, "http://"},
      {"ftp", u"仕事"_s, u"ftp://example.com/a.ics"_s, {}, InputField::kUrl, "http://"},
      {"a comma in the address",
       u"仕事"_s,
       u"https://example.com/a,b.ics"_s,
       {},
       InputField::kNone,
       ""},
      {"a blank inside", u"仕事"_s, u"https://example.com/a b/"_s, {}, InputField::kUrl, "空白"},
      {"a blank before the address",
       u"仕事"_s,
       u" https://example.com/"_s,
       {},
       InputField::kUrl,
       "空白"},
      {"not ASCII", u"仕事"_s, u"https://例え.jp/cal/"_s, {}, InputField::kUrl, "%XX"},
      {"no host", u"仕事"_s, u"https://"_s, {}, InputField::kUrl, "サーバー名"},
      {"a blank in the user", u"仕事"_s, kWork, u"al ice"_s, InputField::kUser, "空白"},
      {"a comma in the user", u"仕事"_s, kWork, u"a,b"_s, InputField::kUser, "カンマ"},
      {"a user beyond ASCII", u"仕事"_s, kWork, u"アリス"_s, InputField::kUser, "使えない"},
  };
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.what);
    const InputProblem p = CheckSubscriptionInput({c.name, c.url, c.user, {}}, others);
    EXPECT_EQ(p.field, c.field) << p.text.toStdString();
    EXPECT_EQ(p.text.isEmpty(), c.field == InputField::kNone);
    EXPECT_TRUE(p.text.contains(QString::fromUtf8(c.message))) << p.text.toStdString();
    // The publish address takes the same address checks and has no name.
    if (c.field != InputField::kName) {
      EXPECT_EQ(CheckAddressInput({{}, c.url, c.user, {}}).field, c.field);
    }
  }
}

TEST_F(OtherCalendarsTest, EachChangeIsSavedOnceAndTheCopyFollowsTheName) {
  auto w = Open();
  // Added, with a password that goes to the keyring only.
  inputs.push_back({u"仕事"_s, kWork, u"alice"_s, u"s3cret-秘密"_s});
  w->AddSubscription();
  EXPECT_EQ(saves, 1);
  ASSERT_EQ(settings.extensions.subscriptions,
            (std::vector<Subscription>{{Lit("仕事"), kWork.toStdString(), "alice"}}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !passwords.log.isEmpty(); }, 2000));
  EXPECT_EQ(passwords.log, QStringList{u"write "_s + kWork + u" alice s3cret-秘密"_s});
  EXPECT_NE(Ini().find(Lit("購読=仕事 ") + kWork.toStdString() + " alice"), std::string::npos)
      << Ini();
  EXPECT_EQ(Ini().find("s3cret"), std::string::npos);
  EXPECT_EQ(Ini().find(Lit("秘密")), std::string::npos);
  EXPECT_EQ(Cell(*w, 0, kColumnName), u"仕事"_s);
  EXPECT_EQ(Cell(*w, 0, kColumnUser), u"alice"_s);

  // A taken name is refused with a message; nothing is saved.
  inputs.push_back({u"仕事"_s, kOffice, {}, {}});
  w->AddSubscription();
  EXPECT_EQ(saves, 1);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(u"同じ名前"_s)) << messages[0].toStdString();
  EXPECT_EQ(settings.extensions.subscriptions.size(), 1u);

  // Renamed: the copy and its status move with it.
  SyncStatus fetched{kWork.toStdString(),
                     "2026-12-09T10:15:00+09:00",
                     "2026-12-09T10:15:00+09:00",
                     "",
                     "",
                     false,
                     3,
                     ""};
  WriteStatus("仕事", fetched, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
  w->Refresh();
  Select(*w, 0);
  inputs.push_back({u"会社"_s, {}, {}, {}});
  QSignalSpy renamed(w.get(), &OtherCalendarsDialog::SubscriptionRenamed);
  w->RenameSubscription();
  EXPECT_EQ(saves, 2);
  // The panel moves the done marks with it.
  ASSERT_EQ(renamed.count(), 1);
  EXPECT_EQ(renamed.at(0), (QVariantList{u"仕事"_s, u"会社"_s}));
  EXPECT_EQ(settings.extensions.subscriptions.at(0).name, Lit("会社"));
  EXPECT_EQ(ReadBytes(remote::SubscriptionFolder(cache, "会社") / remote::kCalendarFile),
            "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
  EXPECT_FALSE(std::filesystem::exists(remote::SubscriptionFolder(cache, "仕事")));
  EXPECT_EQ(Cell(*w, 0, kColumnFetched), u"2026/12/09 10:15 に取得(3件)"_s);
  EXPECT_NE(Ini().find(Lit("購読=会社 ")), std::string::npos);
  EXPECT_EQ(Ini().find(Lit("購読=仕事 ")), std::string::npos);

  // A new address without a new password: the kept one follows it.
  passwords.log.clear();
  inputs.push_back({{}, kOffice, u"alice"_s, {}});
  w->ChangeSubscription();
  EXPECT_EQ(saves, 3);
  EXPECT_EQ(settings.extensions.subscriptions.at(0).url, kOffice.toStdString());
  EXPECT_TRUE(QTest::qWaitFor([&] { return passwords.log.size() == 3; }, 2000));
  EXPECT_EQ(passwords.log, (QStringList{u"read "_s + kWork + u" alice"_s,
                                        u"write "_s + kOffice + u" alice s3cret-秘密"_s,
                                        u"remove "_s + kWork + u" alice"_s}));

  // Removed only once the user said yes; the copy and the password go with it.
  answer = kIdNo;
  w->DeleteSubscription();
  EXPECT_EQ(saves, 3);
  EXPECT_EQ(settings.extensions.subscriptions.size(), 1u);
  answer = kIdYes;
  w->DeleteSubscription();
  EXPECT_EQ(saves, 4);
  EXPECT_TRUE(settings.extensions.subscriptions.empty());
  EXPECT_FALSE(std::filesystem::exists(remote::SubscriptionFolder(cache, "会社")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return passwords.kept.empty(); }, 2000));
  EXPECT_EQ(Ini().find(Lit("購読=")), std::string::npos);
}

TEST_F(OtherCalendarsTest, APasswordSharedWithAnotherEntryIsKeptOnRemoval) {
  settings.extensions.subscriptions = {{"a", kWork.toStdString(), "alice"},
                                       {"b", kWork.toStdString() + "?x", "alice"}};
  settings.extensions.publish = PublishTarget{kWork.toStdString(), "alice"};
  passwords.kept[{kWork, u"alice"_s}] = u"pw"_s;
  auto w = Open();
  Select(*w, 0);
  w->DeleteSubscription();
  QTest::qWait(50);
  EXPECT_EQ(settings.extensions.subscriptions.size(), 1u);
  EXPECT_TRUE(passwords.kept.count({kWork, u"alice"_s}));
  w->ClearPublishAddress();
  EXPECT_TRUE(QTest::qWaitFor([&] { return passwords.kept.empty(); }, 2000));
  EXPECT_FALSE(settings.extensions.publish);
}

TEST_F(OtherCalendarsTest, AFailedSaveIsSaidAndNothingIsLost) {
  failSave = true;
  auto w = Open();
  inputs.push_back({u"仕事"_s, kWork, {}, {}});
  w->AddSubscription();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(u"保存できません"_s));
  // The window and the panel's settings still hold it.
  EXPECT_EQ(settings.extensions.subscriptions.size(), 1u);
  EXPECT_EQ(Cell(*w, 0, kColumnName), u"仕事"_s);
  // Closing tries once more, and says so again when that fails too.
  w->reject();
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(messages.size(), 2);
  failSave = false;
  auto again = Open();
  inputs.push_back({u"家族"_s, kOffice, {}, {}});
  again->AddSubscription();
  again->accept();
  EXPECT_EQ(saves, 3);  // saved at the change; nothing left for the close
  EXPECT_NE(Ini().find(Lit("購読=仕事 ")), std::string::npos);
  EXPECT_NE(Ini().find(Lit("購読=家族 ")), std::string::npos);
}

struct StatusCase {
  const char* what;
  std::string url;
  std::optional<SyncStatus> status;
  QString fetched;
  QString error;
  QString note;
};

TEST_F(OtherCalendarsTest, TheListShowsWhatTheStatusFilesSay) {
  const std::string ok = "2026-12-09T10:15:00+09:00", later = "2026-12-09T02:00:00Z";
  const QString never = u"まだ取得していません"_s;
  const StatusCase cases[] = {
      {"never fetched", kWork.toStdString(), std::nullopt, never, {}, {}},
      {"fetched",
       kWork.toStdString(),
       SyncStatus{"", ok, ok, "", "", false, 12, ""},
       u"2026/12/09 10:15 に取得(12件)"_s,
       {},
       {}},
      {"failed after a success",
       kWork.toStdString(),
       SyncStatus{"", later, ok, "サーバーに接続できません", "timeout", false, 12, ""},
       u"2026/12/09 10:15 に取得(12件)"_s,
       u"2026/12/09 11:00 の失敗: サーバーに接続できません"_s,
       {}},
      {"never succeeded",
       kWork.toStdString(),
       SyncStatus{"", later, "", "ユーザー名かパスワードが違います", "401", false, 0, ""},
       never,
       u"2026/12/09 11:00 の失敗: ユーザー名かパスワードが違います"_s,
       {}},
      {"plain http elsewhere",
       "http://cal.example.com/f.ics",
       std::nullopt,
       never,
       {},
       u"暗号化なし"_s},
      {"a name that starts like loopback",
       "http://127.example.com/f.ics",
       std::nullopt,
       never,
       {},
       u"暗号化なし"_s},
      {"loopback", "http://127.0.0.1:5232/alice/cal/", std::nullopt, never, {}, {}},
      {"localhost", "http://localhost:5232/alice/cal/", std::nullopt, never, {}, {}},
      {"IPv6 loopback", "http://[::1]:5232/alice/cal/", std::nullopt, never, {}, {}},
  };
  int i = 0;
  for (const StatusCase& c : cases) {
    const std::string name = "c" + std::to_string(i++);
    settings.extensions.subscriptions.push_back({name, c.url, ""});
    if (c.status) WriteStatus(name, *c.status);
  }
  auto w = Open();
  i = 0;
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Cell(*w, i, kColumnFetched), c.fetched);
    EXPECT_EQ(Cell(*w, i, kColumnError), c.error);
    EXPECT_EQ(Cell(*w, i, kColumnNote), c.note);
    ++i;
  }
}

TEST_F(OtherCalendarsTest, TheRunnerIsAskedAndItsOutcomeShown) {
  settings.extensions.subscriptions = {{Lit("仕事"), kWork.toStdString(), "alice"}};
  settings.extensions.publish = PublishTarget{kOffice.toStdString(), "alice"};
  {
    // Without a runner nothing can be fetched or published.
    auto w = Open(false);
    for (const char* b : {"btTest", "btFetch", "btPublish", "btForcePublish"}) {
      EXPECT_FALSE(ButtonOf(*w, b)->isEnabled()) << b;
    }
  }
  auto w = Open();
  EXPECT_EQ(LabelOf(*w, "lbPublishStatus"), u"まだ公開していません"_s);

  // The address tried: one fetch of that calendar; the buttons wait for its end.
  ButtonOf(*w, "btTest")->click();
  ASSERT_EQ(runner.calls.size(), 1u);
  EXPECT_EQ(runner.calls[0].what, u"fetch"_s);
  EXPECT_EQ(runner.calls[0].names, QStringList{u"仕事"_s});
  EXPECT_FALSE(ButtonOf(*w, "btFetch")->isEnabled());
  const std::string ok = "2026-12-09T10:15:00+09:00";
  WriteStatus("仕事", {kWork.toStdString(), ok, ok, "", "", false, 7, ""});
  runner.Finish(0);
  EXPECT_EQ(w->ResultText(), u"「仕事」: 7件の予定を取得しました。"_s);
  EXPECT_EQ(Cell(*w, 0, kColumnFetched), u"2026/12/09 10:15 に取得(7件)"_s);
  EXPECT_TRUE(ButtonOf(*w, "btFetch")->isEnabled());

  const std::string failed = "2026-12-09T10:20:00+09:00";
  ButtonOf(*w, "btTest")->click();
  WriteStatus("仕事",
              {kWork.toStdString(), failed, ok, "サーバーに接続できません", "", false, 7, ""});
  runner.Finish(1, u"仕事: サーバーに接続できません (timeout)\n"_s);
  EXPECT_EQ(w->ResultText(), u"「仕事」: サーバーに接続できません"_s);

  // A status the run did not renew belongs to the try before: what the run said counts, or
  // that it did not run at all.
  ButtonOf(*w, "btTest")->click();
  runner.Finish(2, u"vespin-sync: no subscription named 仕事\n"_s);
  EXPECT_EQ(w->ResultText(), u"「仕事」: vespin-sync: no subscription named 仕事"_s);
  ButtonOf(*w, "btTest")->click();
  runner.Finish(-1);
  EXPECT_TRUE(w->ResultText().contains(u"実行できませんでした"_s)) << w->ResultText().toStdString();

  ButtonOf(*w, "btFetch")->click();
  EXPECT_EQ(runner.calls.back().names, QStringList{});
  runner.Finish(0);

  // Published; a conflict is named, from what the run said.
  ButtonOf(*w, "btPublish")->click();
  EXPECT_EQ(runner.calls.back().what, u"publish"_s);
  EXPECT_FALSE(runner.calls.back().force);
  WriteFile(
      cache / remote::kPublishStatusFile,
      remote::FormatSyncStatus({kOffice.toStdString(), ok, "", "他の機器で変更された予定があります",
                                "1 conflict(s): a.ics: changed", false, 4, ""}));
  runner.Finish(1,
                u"added 3, changed 0, removed 0, unchanged 0\nconflict: a.ics: changed on the "
                "server since VESPIN wrote it; --force replaces it\n"_s);
  EXPECT_EQ(w->ResultText(), u"公開できませんでした: 他の機器で変更された予定があります"_s);
  EXPECT_TRUE(LabelOf(*w, "lbConflicts").contains(u"a.ics: changed on the server"_s));
  EXPECT_TRUE(LabelOf(*w, "lbPublishStatus").contains(u"他の機器で変更された予定があります"_s));

  // Overwriting asks first; a no sends nothing.
  const std::size_t before = runner.calls.size();
  answer = kIdNo;
  ButtonOf(*w, "btForcePublish")->click();
  EXPECT_EQ(runner.calls.size(), before);
  ASSERT_FALSE(messages.isEmpty());
  EXPECT_TRUE(messages.back().contains(u"置き換えます"_s));
  answer = kIdYes;
  ButtonOf(*w, "btForcePublish")->click();
  ASSERT_EQ(runner.calls.size(), before + 1);
  EXPECT_TRUE(runner.calls.back().force);
  WriteFile(cache / remote::kPublishStatusFile,
            remote::FormatSyncStatus({kOffice.toStdString(), ok, ok, "", "", false, 4, ""}));
  runner.Finish(0, u"added 0, changed 1, removed 0, unchanged 3\n"_s);
  EXPECT_EQ(w->ResultText(), u"公開しました。"_s);
  EXPECT_EQ(LabelOf(*w, "lbPublishStatus"), u"最後の公開: 2026/12/09 10:15(4件)"_s);
  EXPECT_TRUE(LabelOf(*w, "lbConflicts").isEmpty());

  // An answer after the window went is dropped.
  ButtonOf(*w, "btFetch")->click();
  w.reset();
  runner.Finish(0);
}

}  // namespace
}  // namespace vespin::ui
