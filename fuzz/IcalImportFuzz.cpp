// Feeds arbitrary bytes to the iCalendar import. Besides crashes, leaks and undefined behaviour
// (in the import and in libical under it), it checks that whatever the import takes is a row
// the event file holds as it is: a rule code with an iCalendar form, an HH:MM time, a lead, and
// a text of at most 32 bytes without a comma, a line break or any other control character,
// which saving and reading back keeps; and that the work stays within the calendar's bounds.
// A search without end inside libical shows as a timeout.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "IcalImport.h"
#include "IcalLimits.h"
#include "IcalRules.h"
#include "calendar/Hizuke.h"
#include "events/EventFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vespin;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ical::ImportOptions options;
  options.today = EncodeDate(2025, 1, 1);
  options.zone = "Asia/Tokyo";
  const ical::ImportResult result = ical::ReadCalendar(bytes, options);
  if (!result.error.empty() && (!result.events.empty() || !result.skipped.empty())) std::abort();
  for (const ical::ImportedEvent& e : result.events) {
    const bool control = std::any_of(e.text.begin(), e.text.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (!ical::FormOf(e.kind, e.code) || !HourMinuteToTime(e.time) || e.text.empty() ||
        e.text.size() > 32 || e.text.find(',') != std::string::npos || control ||
        e.alarm.size() != 2 || e.alarm < "01" || e.alarm > "15") {
      std::abort();
    }
  }
  // The last expansion may begin just under the limit, and walk from a start in the year 1 to
  // the horizon at most.
  const auto longestWalk =
      static_cast<std::int64_t>(ical::HorizonEnd(options.today) - EncodeDate(1, 1, 1)) + 8;
  if (result.work.expandedDays > options.maxExpandedDays + longestWalk) std::abort();
  EventStore store;
  std::vector<ical::Skipped> skipped;
  const auto added = ical::AddEvents(store, result.events, skipped);
  const std::string saved = FormatEventFile(store, Settings{});
  EventStore again;
  Settings settings;
  ParseEventFile(saved, again, settings);
  if (FormatEventFile(again, settings) != saved ||
      static_cast<std::size_t>(again.week.DataRowCount() + again.month.DataRowCount() +
                               again.year.DataRowCount()) != added.size()) {
    std::abort();
  }
  return 0;
}
