#include "app/Keyring.h"

#include <gtest/gtest.h>

#include <QTest>
#include <optional>

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

// A service of its own, so a run never meets the user's real entries.
const QString kService = u"vespin-test"_s;
const QString kUrl = u"https://dav.example.com/calendars/alice/work/"_s;

// The answer of one call: asserted to come later than the call, then waited for.
template <typename Value>
struct Answer {
  std::optional<Value> value;
  auto Callback() {
    return [this](const Value& v) { value = v; };
  }
  bool Wait() {
    return QTest::qWaitFor([this] { return value.has_value(); }, 20000);
  }
};

std::optional<QString> ReadBack(Keyring& keyring, const QString& url, const QString& user) {
  Answer<std::optional<QString>> read;
  keyring.Read(url, user, read.Callback());
  EXPECT_FALSE(read.value) << "answered inside the call";
  EXPECT_TRUE(read.Wait());
  return read.value.value_or(std::nullopt);
}

QString WriteAndWait(Keyring& keyring, const QString& url, const QString& user,
                     const QString& password) {
  Answer<QString> write;
  keyring.Write(url, user, password, write.Callback());
  EXPECT_FALSE(write.value) << "answered inside the call";
  EXPECT_TRUE(write.Wait());
  return write.value.value_or(u"no answer"_s);
}

QString RemoveAndWait(Keyring& keyring, const QString& url, const QString& user) {
  Answer<QString> remove;
  keyring.Remove(url, user, remove.Callback());
  EXPECT_FALSE(remove.value) << "answered inside the call";
  EXPECT_TRUE(remove.Wait());
  return remove.value.value_or(u"no answer"_s);
}

TEST(KeyringTest, KeysTellUsersAndAddressesApart) {
  EXPECT_EQ(Keyring::KeyOf(kUrl, u"alice"_s), u"alice@"_s + kUrl);
  EXPECT_EQ(Keyring::KeyOf(kUrl, {}), kUrl);
  EXPECT_NE(Keyring::KeyOf(kUrl, u"bob"_s), Keyring::KeyOf(kUrl, u"alice"_s));
}

// Run by ctest inside a private D-Bus session with an unlocked gnome-keyring-daemon.
TEST(KeyringTest, RoundTripOnTheSecretService) {
  Keyring keyring(kService);
  ASSERT_EQ(WriteAndWait(keyring, kUrl, u"alice"_s, u"pass wörd 秘密"_s), QString());
  ASSERT_EQ(WriteAndWait(keyring, kUrl, u"bob"_s, u"other"_s), QString());
  EXPECT_EQ(ReadBack(keyring, kUrl, u"alice"_s), u"pass wörd 秘密"_s);
  EXPECT_EQ(ReadBack(keyring, kUrl, u"bob"_s), u"other"_s);
  EXPECT_EQ(ReadBack(keyring, kUrl + u"x"_s, u"alice"_s), std::nullopt);
  // A second write replaces the first.
  ASSERT_EQ(WriteAndWait(keyring, kUrl, u"alice"_s, u"new"_s), QString());
  EXPECT_EQ(ReadBack(keyring, kUrl, u"alice"_s), u"new"_s);

  EXPECT_EQ(RemoveAndWait(keyring, kUrl, u"alice"_s), QString());
  EXPECT_EQ(ReadBack(keyring, kUrl, u"alice"_s), std::nullopt);
  EXPECT_EQ(ReadBack(keyring, kUrl, u"bob"_s), u"other"_s);
  // Forgetting what is not kept is no failure.
  EXPECT_EQ(RemoveAndWait(keyring, kUrl, u"alice"_s), QString());
  EXPECT_EQ(RemoveAndWait(keyring, kUrl, u"bob"_s), QString());
}

// Run by ctest with a session bus address that leads nowhere.
TEST(KeyringTest, NoKeyringIsSaidInPlainWords) {
  Keyring keyring(kService);
  EXPECT_EQ(WriteAndWait(keyring, kUrl, u"alice"_s, u"secret"_s),
            QString::fromUtf8(kNoKeyringWrite));
  EXPECT_EQ(ReadBack(keyring, kUrl, u"alice"_s), std::nullopt);
  EXPECT_EQ(RemoveAndWait(keyring, kUrl, u"alice"_s), QString::fromUtf8(kNoKeyringRemove));
}

// Answers of jobs still running when the keyring goes are dropped, not delivered to a caller
// that may have gone with it.
TEST(KeyringTest, NoAnswerAfterTheKeyringWent) {
  bool answered = false;
  {
    Keyring keyring(kService);
    keyring.Read(kUrl, u"alice"_s, [&](const std::optional<QString>&) { answered = true; });
  }
  QTest::qWait(200);
  EXPECT_FALSE(answered);
}

}  // namespace
}  // namespace vespin::ui
