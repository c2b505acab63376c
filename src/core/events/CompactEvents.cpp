#include "events/CompactEvents.h"

#include "events/EventFile.h"

namespace vespin {

std::optional<std::vector<CompactEvent>> ReadCompactEvents(const std::filesystem::path& path,
                                                           const EventFilter& keep) {
  std::vector<CompactEvent> year, month, week;
  const bool ok = StreamEventFile(path, [&](const FileLine& line) {
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
      case FileSection::kVersion:
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
  year.reserve(year.size() + month.size() + week.size());
  for (auto* part : {&month, &week}) {
    for (auto& e : *part) year.push_back(std::move(e));
  }
  return year;
}

}  // namespace vespin
