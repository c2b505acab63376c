#include "events/ExtensionSection.h"

#include <algorithm>

#include "events/IniFormat.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

constexpr const char* kCurrentLawValue = "現行";

// The header and the keys in Shift_JIS, converted once.
struct Tokens {
  std::string header = sjis::Lit(kExtensionHeader);
  std::string currentLaw = sjis::Lit(kCurrentLawValue);
  std::array<std::string, kExtensionKeys.size()> keys = [] {
    std::array<std::string, kExtensionKeys.size()> sjisKeys;
    for (std::size_t i = 0; i < kExtensionKeys.size(); ++i) {
      sjisKeys[i] = sjis::Lit(kExtensionKeys[i].keyUtf8);
    }
    return sjisKeys;
  }();
};

const Tokens& SectionTokens() {
  static const Tokens tokens;
  return tokens;
}

std::string Quoted(std::string_view sjisText) {
  return "'" + sjis::ToUtf8(sjisText) + "'";
}

}  // namespace

std::string ReadValue(std::string_view value, HolidayLaw& law) {
  if (value == SectionTokens().currentLaw) {
    law = HolidayLaw::kCurrent;
    return {};
  }
  return "holiday rules " + Quoted(value) + " unknown: " + kCurrentLawValue +
         " (the law as amended) is the only choice; the line is dropped";
}

std::vector<std::string> ValueLines(HolidayLaw law) {
  if (law == HolidayLaw::k2005) return {};
  return {SectionTokens().currentLaw};
}

std::string ReadValue(std::string_view value, std::string& text) {
  text = value;
  return {};
}

std::vector<std::string> ValueLines(const std::string& text) {
  if (text.empty()) return {};
  return {text};
}

std::string ReadValue(std::string_view value, std::vector<std::string>& texts) {
  texts.emplace_back(value);
  return {};
}

std::vector<std::string> ValueLines(const std::vector<std::string>& texts) {
  return texts;
}

std::string ReadValue(std::string_view value, bool& on) {
  if (value == ini::kTrue || value == ini::kFalse) {
    on = value == ini::kTrue;
    return {};
  }
  return "switch " + Quoted(value) + " is neither TRUE nor FALSE; the line is dropped";
}

std::vector<std::string> ValueLines(bool on) {
  if (!on) return {};
  return {std::string(ini::kTrue)};
}

namespace {

// The blank-separated words of a value.
std::vector<std::string_view> Words(std::string_view value) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && value[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < value.size() && value[i] != ' ') ++i;
    if (i > start) words.push_back(value.substr(start, i - start));
  }
  return words;
}

bool HasBlankOrControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::string AddressProblem(std::string_view url, std::string_view user) {
  if (url.empty()) return "no address";
  if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://") &&
      !StartsWithNoCase(url, "webcal://")) {
    return "address " + Quoted(url) + " is not an http://, https:// or webcal:// address";
  }
  if (HasBlankOrControl(url)) return "address " + Quoted(url) + " holds a blank";
  if (std::any_of(url.begin(), url.end(),
                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    return "address " + Quoted(url) + " holds characters other than ASCII (write them as %XX)";
  }
  if (HasBlankOrControl(user) || user.find(',') != std::string_view::npos) {
    return "user name " + Quoted(user) + " holds a blank or a comma";
  }
  return {};
}

std::string SubscriptionProblem(const Subscription& subscription) {
  const std::string& name = subscription.name;
  if (name.empty()) return "no name";
  if (HasBlankOrControl(name) || name.find(',') != std::string::npos) {
    return "name " + Quoted(name) + " holds a blank or a comma";
  }
  if (sjis::WholeCharacters(name).size() != name.size()) {
    return "name " + Quoted(name) + " ends in half a character";
  }
  return AddressProblem(subscription.url, subscription.user);
}

std::string ReadValue(std::string_view value, std::vector<Subscription>& subscriptions) {
  const std::vector<std::string_view> words = Words(value);
  if (words.size() < 2 || words.size() > 3) {
    return "subscription " + Quoted(value) + " is not NAME URL [USER]; the line is kept as it is";
  }
  Subscription s{std::string(words[0]), std::string(words[1]),
                 words.size() == 3 ? std::string(words[2]) : std::string()};
  if (std::string problem = SubscriptionProblem(s); !problem.empty()) {
    return "subscription: " + problem + "; the line is kept as it is";
  }
  const auto same = std::find_if(subscriptions.begin(), subscriptions.end(),
                                 [&](const Subscription& o) { return o.name == s.name; });
  if (same != subscriptions.end()) {
    *same = std::move(s);
  } else {
    subscriptions.push_back(std::move(s));
  }
  return {};
}

std::vector<std::string> ValueLines(const std::vector<Subscription>& subscriptions) {
  std::vector<std::string> lines;
  for (const Subscription& s : subscriptions) {
    lines.push_back(s.name + " " + s.url + (s.user.empty() ? "" : " " + s.user));
  }
  return lines;
}

std::string ReadValue(std::string_view value, std::optional<PublishTarget>& target) {
  const std::vector<std::string_view> words = Words(value);
  if (words.empty() || words.size() > 2) {
    return "publish address " + Quoted(value) + " is not URL [USER]; the line is kept as it is";
  }
  PublishTarget t{std::string(words[0]), words.size() == 2 ? std::string(words[1]) : ""};
  if (std::string problem = AddressProblem(t.url, t.user); !problem.empty()) {
    return "publish address: " + problem + "; the line is kept as it is";
  }
  target = std::move(t);
  return {};
}

std::vector<std::string> ValueLines(const std::optional<PublishTarget>& target) {
  if (!target) return {};
  return {target->url + (target->user.empty() ? "" : " " + target->user)};
}

ExtensionSection ReadExtensionSection(std::span<const FileLine> lines) {
  const Tokens& t = SectionTokens();
  ExtensionSection section;
  for (const FileLine& line : lines) {
    if (line.section != FileSection::kVersion || line.text.empty()) continue;
    if (line.text == t.header) {
      // A second header adds nothing; the section already runs to the end of the file.
      if (section.headerLine == 0) section.headerLine = line.number;
      continue;
    }
    if (section.headerLine == 0) continue;  // the version line, or whatever precedes the section

    const auto equals = line.text.find('=');
    const std::string_view key = line.text.substr(0, equals);
    std::size_t k = 0;
    while (k < kExtensionKeys.size() && t.keys[k] != key) ++k;
    if (equals != std::string_view::npos && k < kExtensionKeys.size()) {
      // A value this version cannot read leaves the option as the lines before it set it.
      std::string problem = kExtensionKeys[k].read(line.text.substr(equals + 1), section.values);
      if (!problem.empty()) {
        section.unreadable.push_back({line.number, std::move(problem)});
        if (kExtensionKeys[k].keepsUnreadable) section.values.keptLines.emplace_back(line.text);
      }
      continue;
    }
    section.values.keptLines.emplace_back(line.text);
    section.unreadable.push_back(
        {line.number, "extension line " + Quoted(line.text) +
                          " is unknown to this version; it is kept as it is"});
  }
  return section;
}

std::string FormatExtensionSection(const Extensions& extensions) {
  const Tokens& t = SectionTokens();
  std::string lines;
  for (std::size_t k = 0; k < kExtensionKeys.size(); ++k) {
    for (const std::string& value : kExtensionKeys[k].write(extensions)) {
      lines += t.keys[k] + "=" + value + "\r\n";
    }
  }
  for (const std::string& line : extensions.keptLines) lines += line + "\r\n";
  if (lines.empty()) return {};
  return t.header + "\r\n" + lines;
}

}  // namespace vespin
