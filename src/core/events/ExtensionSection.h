#pragma once
// The section after the version line: the options this program offers beyond its first form.
// Older readers stop at the version header and never reach it.
//
//   [バージョン]
//   vespin Ver3.2(2005.04.18)
//   [拡張]          <- from the first such line after the version header to the end of the file
//   祝日=現行
//   購読=仕事 https://example.com/dav/calendars/alice/work/ alice
//   公開=https://example.com/dav/calendars/alice/vespin/ alice
//   他のカレンダーに下線=TRUE
//
// One line per option as key=value. Lines this version does not know are kept and written back
// in their order; a known key with a value it cannot read leaves its option alone.

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "events/FileLines.h"
#include "events/Settings.h"

namespace vespin {

// As UTF-8 (stored as Shift_JIS).
inline constexpr const char* kExtensionHeader = "[拡張]";

// How a value of the section is spelled, by the type of the member that holds it. ReadValue
// takes one line's value (Shift_JIS, after the '='): an empty text when it was read, otherwise
// why not (UTF-8, for the terminal), and the line is dropped. ValueLines gives what a save
// writes, one line each; nothing at the default, so the option off costs no byte.
// The holiday rules: "現行" for the law as amended; the default (2005) is written as nothing.
std::string ReadValue(std::string_view value, HolidayLaw& law);
std::vector<std::string> ValueLines(HolidayLaw law);
// One text, as written; empty is the default.
std::string ReadValue(std::string_view value, std::string& text);
std::vector<std::string> ValueLines(const std::string& text);
// A key that may stand on many lines: each line adds its text, in file order.
std::string ReadValue(std::string_view value, std::vector<std::string>& texts);
std::vector<std::string> ValueLines(const std::vector<std::string>& texts);
// A switch: "TRUE" when on; off is the default and written as nothing.
std::string ReadValue(std::string_view value, bool& on);
std::vector<std::string> ValueLines(bool on);
// Subscriptions, one a line: "NAME URL" or "NAME URL USER". A later line with the same name
// replaces the earlier one.
std::string ReadValue(std::string_view value, std::vector<Subscription>& subscriptions);
std::vector<std::string> ValueLines(const std::vector<Subscription>& subscriptions);
// The publish address: "URL" or "URL USER".
std::string ReadValue(std::string_view value, std::optional<PublishTarget>& target);
std::vector<std::string> ValueLines(const std::optional<PublishTarget>& target);

// Why a subscription cannot be kept as given (UTF-8, for the terminal); empty when it can.
std::string SubscriptionProblem(const Subscription& subscription);
// The same for the publish address.
std::string AddressProblem(std::string_view url, std::string_view user);

// One key of the section and the member of Extensions that holds its value.
struct ExtensionKey {
  const char* keyUtf8;  // before the '='
  // A line whose value cannot be read is kept as it is (and named by check) rather than
  // dropped: what the user typed there is worth more than the option's default.
  bool keepsUnreadable;
  std::string (*read)(std::string_view value, Extensions& into);
  std::vector<std::string> (*write)(const Extensions& from);
  bool (*same)(const Extensions& a, const Extensions& b);
  void (*take)(const Extensions& from, Extensions& into);
};

template <auto Member>
constexpr ExtensionKey KeyOf(const char* keyUtf8, bool keepsUnreadable = false) {
  return {keyUtf8,
          keepsUnreadable,
          [](std::string_view value, Extensions& into) { return ReadValue(value, into.*Member); },
          [](const Extensions& from) { return ValueLines(from.*Member); },
          [](const Extensions& a, const Extensions& b) { return a.*Member == b.*Member; },
          [](const Extensions& from, Extensions& into) { into.*Member = from.*Member; }};
}

// The keys in the order a save writes them. A new option is a member of Extensions and a row
// here (and a ReadValue/ValueLines pair when its type is new).
inline constexpr auto kExtensionKeys = std::to_array<ExtensionKey>({
    KeyOf<&Extensions::holidayLaw>("祝日"),
    KeyOf<&Extensions::subscriptions>("購読", true),
    KeyOf<&Extensions::publish>("公開", true),
    KeyOf<&Extensions::remoteLine>("他のカレンダーに下線"),
});

struct ExtensionIssue {
  int line = 0;         // from 1
  std::string message;  // UTF-8, for the terminal
};

struct ExtensionSection {
  // The line that opens the section: it and every line after it belong to the section. 0 when
  // the file has none.
  int headerLine = 0;
  Extensions values;
  // Lines of the section that this version cannot read, in file order.
  std::vector<ExtensionIssue> unreadable;
};

ExtensionSection ReadExtensionSection(std::span<const FileLine> lines);

// The section with its header, every line ending in CR LF; empty when every option is at its
// default and no line is kept.
std::string FormatExtensionSection(const Extensions& extensions);

}  // namespace vespin
