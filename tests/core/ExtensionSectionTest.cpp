#include "events/ExtensionSection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/EventFile.h"
#include "events/FileLines.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

using Strings = std::vector<std::string>;

// UTF-8 lines as the file holds them: Shift_JIS, each ended with CR LF.
std::string Lines(const Strings& lines) {
  std::string out;
  for (const auto& l : lines) out += sjis::Lit(l) + "\r\n";
  return out;
}

const std::string kBody = Lines({
    "[週間]",
    "82,12:00,昼休み,02",
    "[月間]",
    "308,15:00,経費精算,11",
    "[年間]",
    "1223,09:00,記念日,13,FALSE",
    "[設定]",
    "1180,20,CLEAR,BRIGHT,ＭＳ ゴシック,TRUE,12,5,TRUE,FALSE,TRUE,FALSE,TRUE,3",
    "[バージョン]",
    "vespin Ver3.2(2005.04.18)",
});

Strings Utf8(const std::vector<std::string>& sjisLines) {
  Strings out;
  for (const auto& l : sjisLines) out.push_back(sjis::ToUtf8(l));
  return out;
}

// What follows the version line, as read and as written back.
TEST(ExtensionSectionTest, ReadAndWrittenBack) {
  const std::string known = Lines({"[拡張]", "祝日=現行"});
  const struct {
    const char* name;
    std::string tail;
    HolidayLaw law;
    Strings kept;
    std::string written;
  } cases[] = {
      {"no section: the file as it always was", "", HolidayLaw::k2005, {}, ""},
      {"the option on", known, HolidayLaw::kCurrent, {}, known},
      {"unknown lines kept in order, after the known ones",
       Lines({"[拡張]", "色=青", "祝日=現行", "予備"}),
       HolidayLaw::kCurrent,
       {"色=青", "予備"},
       Lines({"[拡張]", "祝日=現行", "色=青", "予備"})},
      {"unknown lines keep the section with the option off",
       Lines({"[拡張]", "色=青"}),
       HolidayLaw::k2005,
       {"色=青"},
       Lines({"[拡張]", "色=青"})},
      {"a value this version cannot read leaves the option off and goes",
       Lines({"[拡張]", "祝日=昔"}),
       HolidayLaw::k2005,
       {},
       ""},
      {"the key alone is no value",
       Lines({"[拡張]", "祝日"}),
       HolidayLaw::k2005,
       {"祝日"},
       Lines({"[拡張]", "祝日"})},
      {"empty lines, a repeated header and LF ends",
       sjis::Lit("[拡張]\n\n[拡張]\n祝日=現行"),
       HolidayLaw::kCurrent,
       {},
       known},
      {"the option before the section header is not read",
       Lines({"祝日=現行"}),
       HolidayLaw::k2005,
       {},
       ""},
      {"a hand edit between the version line and the section is not kept",
       Lines({"メモ", "[拡張]", "祝日=現行"}),
       HolidayLaw::kCurrent,
       {},
       known},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EventStore store;
    Settings settings;
    // Left from a file read before: a reload must not keep it.
    settings.extensions = {};
    settings.extensions.holidayLaw = HolidayLaw::kCurrent;
    settings.extensions.keptLines = {sjis::Lit("古い行")};
    ParseEventFile(kBody + c.tail, store, settings);
    EXPECT_EQ(settings.extensions.holidayLaw, c.law);
    EXPECT_EQ(Utf8(settings.extensions.keptLines), c.kept);
    EXPECT_EQ(FormatEventFile(store, settings), kBody + c.written);
  }
}

TEST(ExtensionSectionTest, SwitchingTheOptionWritesTheSectionOnlyWhileItIsOn) {
  EventStore store;
  Settings settings;
  ParseEventFile(kBody, store, settings);
  settings.extensions.holidayLaw = HolidayLaw::kCurrent;
  const std::string on = FormatEventFile(store, settings);
  EXPECT_EQ(on, kBody + Lines({"[拡張]", "祝日=現行"}));

  // The section lies past the version line, where the settings reader never looks: nothing
  // else of the file changes meaning.
  EventStore again;
  Settings reread;
  ParseEventFile(on, again, reread);
  EXPECT_EQ(reread, settings);

  reread.extensions.holidayLaw = HolidayLaw::k2005;
  EXPECT_EQ(FormatEventFile(again, reread), kBody);
}

// The spellings a key's value type gives it: read line by line, written back line by line, and
// nothing at the default.
TEST(ExtensionSectionTest, ValueTypesReadBackWhatTheyWrite) {
  std::string text;
  EXPECT_EQ(ValueLines(text), Strings{});
  EXPECT_EQ(ReadValue(sjis::Lit("https://example.com/公開"), text), "");
  EXPECT_EQ(ReadValue("https://example.com/b", text), "");  // the last line counts
  EXPECT_EQ(ValueLines(text), Strings{"https://example.com/b"});

  std::vector<std::string> texts;
  EXPECT_EQ(ValueLines(texts), Strings{});
  for (const char* line : {"a.ics", "", "a.ics"}) EXPECT_EQ(ReadValue(line, texts), "");
  EXPECT_EQ(ValueLines(texts), (Strings{"a.ics", "", "a.ics"}));  // each line, in order

  HolidayLaw law = HolidayLaw::k2005;
  EXPECT_EQ(ValueLines(law), Strings{});
  EXPECT_NE(ReadValue(sjis::Lit("昔"), law), "");
  EXPECT_EQ(law, HolidayLaw::k2005);
  EXPECT_EQ(ReadValue(sjis::Lit("現行"), law), "");
  EXPECT_EQ(Utf8(ValueLines(law)), Strings{"現行"});

  // Every key reads back what it writes, and a save writes its keys in table order.
  Extensions changed;
  changed.holidayLaw = HolidayLaw::kCurrent;
  changed.subscriptions = {{sjis::Lit("仕事"), "https://example.com/dav/work/", "alice"},
                           {"home", "webcal://example.org/home.ics", ""}};
  changed.publish = PublishTarget{"https://example.com/dav/vespin/", ""};
  changed.remoteLine = true;
  for (const ExtensionKey& key : kExtensionKeys) {
    SCOPED_TRACE(key.keyUtf8);
    EXPECT_FALSE(key.same(Extensions{}, changed));
    Extensions back;
    for (const std::string& value : key.write(changed)) EXPECT_EQ(key.read(value, back), "");
    EXPECT_TRUE(key.same(back, changed));
  }
}

// Subscriptions and the publish address as the user or the companion may have written them: a
// line that cannot be read stays in the file as it was, and is named.
TEST(ExtensionSectionTest, SubscriptionLinesAreReadKeptOrNamed) {
  const struct {
    const char* name;
    std::vector<std::string> section;        // after [拡張]
    std::vector<std::string> subscriptions;  // "name url user"
    std::string publish;
    int unreadable;
    std::vector<std::string> written;  // after [拡張]; empty: the same lines
  } cases[] = {
      {"name, address and user",
       {"購読=仕事 https://example.com/dav/alice/work/ alice"},
       {"仕事 https://example.com/dav/alice/work/ alice"},
       "",
       0,
       {}},
      {"no user; several, in their order; the address of webcal",
       {"購読=b http://127.0.0.1:5232/b/", "購読=a webcal://example.org/a.ics"},
       {"b http://127.0.0.1:5232/b/ ", "a webcal://example.org/a.ics "},
       "",
       0,
       {}},
      {"the same name again replaces the first, in its place",
       {"購読=a https://x/1", "購読=b https://x/2", "購読=a https://x/3 bob"},
       {"a https://x/3 bob", "b https://x/2 "},
       "",
       0,
       {"購読=a https://x/3 bob", "購読=b https://x/2"}},
      {"lines that are no subscription stay as they were",
       {"購読=onlyname", "購読=a ftp://x/", "購読=a https://x/ u extra", "購読=a,b https://x/"},
       {},
       "",
       4,
       {"購読=onlyname", "購読=a ftp://x/", "購読=a https://x/ u extra", "購読=a,b https://x/"}},
      {"the publish address, with and without a user",
       {"公開=https://example.com/dav/vespin/ alice"},
       {},
       "https://example.com/dav/vespin/ alice",
       0,
       {}},
      {"an address with characters other than ASCII is kept as it is",
       {"公開=https://example.com/予定/"},
       {},
       "",
       1,
       {}},
      {"the fourth underline", {"他のカレンダーに下線=TRUE"}, {}, "", 0, {}},
      {"the fourth underline off writes nothing", {"他のカレンダーに下線=FALSE"}, {}, "", 0, {"-"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> section = {"[拡張]"};
    section.insert(section.end(), c.section.begin(), c.section.end());
    const std::string file = kBody + Lines(section);
    EventStore store;
    Settings settings;
    ParseEventFile(file, store, settings);
    std::vector<std::string> subscriptions;
    for (const Subscription& s : settings.extensions.subscriptions) {
      subscriptions.push_back(sjis::ToUtf8(s.name) + " " + s.url + " " + s.user);
    }
    EXPECT_EQ(subscriptions, c.subscriptions);
    const auto& publish = settings.extensions.publish;
    EXPECT_EQ(publish ? publish->url + " " + publish->user : "", c.publish);
    EXPECT_EQ(static_cast<int>(ReadExtensionSection(SplitEventFile(file)).unreadable.size()),
              c.unreadable);
    std::vector<std::string> written = {"[拡張]"};
    if (c.written == std::vector<std::string>{"-"}) {
      EXPECT_EQ(FormatEventFile(store, settings), kBody);
      continue;
    }
    const auto& lines = c.written.empty() ? c.section : c.written;
    written.insert(written.end(), lines.begin(), lines.end());
    EXPECT_EQ(FormatEventFile(store, settings), kBody + Lines(written));
  }
}

TEST(ExtensionSectionTest, NamesTheLinesItCannotRead) {
  const std::string bytes = kBody + Lines({"[拡張]", "祝日=現行", "色=青", "祝日=未来"});
  const auto lines = SplitEventFile(bytes);
  const ExtensionSection section = ReadExtensionSection(lines);
  EXPECT_EQ(section.headerLine, 11);
  ASSERT_EQ(section.unreadable.size(), 2u);
  EXPECT_EQ(section.unreadable[0].line, 13);
  EXPECT_NE(section.unreadable[0].message.find("'色=青'"), std::string::npos);
  EXPECT_EQ(section.unreadable[1].line, 14);
  EXPECT_NE(section.unreadable[1].message.find("'未来'"), std::string::npos);
  // A line it cannot read leaves the option as the lines before it set it.
  EXPECT_EQ(section.values.holidayLaw, HolidayLaw::kCurrent);

  EXPECT_EQ(ReadExtensionSection(SplitEventFile(kBody)).headerLine, 0);
}

}  // namespace
}  // namespace vespin
