#include "events/CompactEvents.h"

#include "events/EventFile.h"
#include "events/ExtensionSection.h"

namespace vespin {

std::optional<CompactEvents> ReadCompactEvents(const std::filesystem::path& path,
                                               const EventFilter& keep) {
  std::vector<CompactEvent> year, month, week;
  // The version section is a line or two, and the extension section after it a few more: kept
  // whole for the file reader's own reading of them.
  std::vector<std::string> versionTexts;
  std::vector<FileLine> versionLines;
  const bool ok = StreamEventFile(path, [&](const FileLine& line) {
    if (line.section == FileSection::kVersion) {
      versionTexts.emplace_back(line.text);
      versionLines.push_back(line);
      return;
    }
    if (line.isHeader || line.text.empty()) return;
    EventKind kind = EventKind::kWeekly;
    std::vector<CompactEvent>* into = &week;
    switch (line.section) {
      case FileSection::kWeek:
        break;
      case FileSection::kMonth:
        kind = EventKind::kMonthly;
        into = &month;
        break;
      case FileSection::kYear:
        kind = EventKind::kYearly;
        into = &year;
        break;
      case FileSection::kSettings:
      case FileSection::kVersion:  // read above
        return;
    }
    // The code is the first field whatever else the line holds; most rows stop here.
    if (!keep(kind, line.text.substr(0, line.text.find(',')))) return;
    EventLineFields e = ReadEventLine(line.text, kind == EventKind::kYearly);
    const auto time = RowTimeMsecs(e.time);
    if (!time) return;
    into->push_back({kind, std::move(e.code), *time, std::move(e.text),
                     e.deleteFlag && *e.deleteFlag == "TRUE"});
  });
  if (!ok) return std::nullopt;
  for (std::size_t i = 0; i < versionLines.size(); ++i) versionLines[i].text = versionTexts[i];
  CompactEvents read;
  read.holidayLaw = ReadExtensionSection(versionLines).values.holidayLaw;
  read.events = std::move(year);
  read.events.reserve(read.events.size() + month.size() + week.size());
  for (auto* part : {&month, &week}) {
    for (auto& e : *part) read.events.push_back(std::move(e));
  }
  return read;
}

}  // namespace vespin
