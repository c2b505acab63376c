// Feeds arbitrary bytes to the event file reader. Besides crashes, leaks and undefined
// behaviour, it checks that whatever the reader makes of a file settles after one save:
// load, save, load and save again must give the same bytes and the same settings.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "events/EventFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vespin;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  EventStore store;
  Settings settings;
  ParseEventFile(bytes, store, settings);
  const std::string saved = FormatEventFile(store, settings);

  EventStore again;
  Settings reread;
  ParseEventFile(saved, again, reread);
  if (!(reread == settings)) std::abort();
  if (again.week.DataRowCount() != store.week.DataRowCount() ||
      again.month.DataRowCount() != store.month.DataRowCount() ||
      again.year.DataRowCount() != store.year.DataRowCount()) {
    std::abort();
  }
  if (FormatEventFile(again, reread) != saved) std::abort();
  return 0;
}
