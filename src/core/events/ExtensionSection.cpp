#include "events/ExtensionSection.h"

#include "text/Sjis.h"

namespace vespin {
namespace {

struct Tokens {
  std::string header = sjis::Lit(kExtensionHeader);
  std::string holidayLaw = sjis::Lit(kHolidayLawKey);
  std::string currentLaw = sjis::Lit(kCurrentLawValue);
};

const Tokens& SectionTokens() {
  static const Tokens tokens;
  return tokens;
}

std::string Quoted(std::string_view sjisText) {
  return "'" + sjis::ToUtf8(sjisText) + "'";
}

}  // namespace

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
    if (equals != std::string_view::npos && key == t.holidayLaw) {
      const std::string_view value = line.text.substr(equals + 1);
      if (value == t.currentLaw) {
        section.values.holidayLaw = HolidayLaw::kCurrent;
      } else {
        section.unreadable.push_back(
            {line.number, "holiday rules " + Quoted(value) + " unknown: " + kCurrentLawValue +
                              " (the law as amended) is the only choice; the line is dropped"});
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
  const bool currentLaw = extensions.holidayLaw == HolidayLaw::kCurrent;
  if (!currentLaw && extensions.keptLines.empty()) return {};
  const Tokens& t = SectionTokens();
  std::string out = t.header + "\r\n";
  if (currentLaw) out += t.holidayLaw + "=" + t.currentLaw + "\r\n";
  for (const std::string& line : extensions.keptLines) out += line + "\r\n";
  return out;
}

}  // namespace vespin
