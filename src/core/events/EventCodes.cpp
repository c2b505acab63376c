#include "events/EventCodes.h"

#include <algorithm>
#include <unordered_set>

#include "events/EventEngine.h"
#include "events/EventFile.h"

namespace vespin {

EventCodes ReadEventCodes(std::string_view fileBytes) {
  std::array<std::unordered_set<std::string_view>, 3> seen;
  ForEachEventFileLine(fileBytes, [&seen](const FileLine& line) {
    const std::optional<EventKind> kind = EventLineKind(line);
    if (!kind) return;
    // The reader takes the code and the time from the first two fields, whatever follows.
    const std::string_view text = line.text;
    const std::size_t comma = text.find(',');
    const std::string_view code = text.substr(0, comma);
    std::string_view time;
    if (comma != std::string_view::npos) {
      time = text.substr(comma + 1);
      time = time.substr(0, time.find(','));
    }
    if (RowTimeMsecs(time)) seen[KindIndex(*kind)].insert(code);
  });
  EventCodes codes;
  for (std::size_t k = 0; k < seen.size(); ++k) {
    codes.byKind[k].assign(seen[k].begin(), seen[k].end());
  }
  return codes;
}

int DayMaskOf(const EventCodes& codes, const DayFacts& facts) {
  struct KindBit {
    EventKind kind;
    int bit;
  };
  int mask = 0;
  for (const KindBit k :
       {KindBit{EventKind::kYearly, kMaskYearly}, KindBit{EventKind::kMonthly, kMaskMonthly},
        KindBit{EventKind::kWeekly, kMaskWeekly}}) {
    const auto& list = codes.byKind[KindIndex(k.kind)];
    if (std::any_of(list.begin(), list.end(),
                    [&](const std::string& code) { return facts.Falls(k.kind, code); })) {
      mask |= k.bit;
    }
  }
  return mask;
}

}  // namespace vespin
