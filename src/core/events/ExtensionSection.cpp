#include "events/ExtensionSection.h"

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
      if (!problem.empty()) section.unreadable.push_back({line.number, std::move(problem)});
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
