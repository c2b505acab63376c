// The panel's iCalendar export as a module of its own. The panel loads it, and with it libical,
// when the user first exports: a panel that never exports starts without either.
#include <string>

#include "IcalExport.h"

// The one entry point; the panel looks it up by this name. Panel and module come from one build,
// so they share the layout of the types passed.
extern "C" __attribute__((visibility("default"))) void VespinIcalExport(
    const vespin::EventStore& store, vespin::HolidayLaw law, const char* eventFile,
    vespin::TDateTime today, std::int64_t nowUtc, std::string& ics);

extern "C" void VespinIcalExport(const vespin::EventStore& store, vespin::HolidayLaw law,
                                 const char* eventFile, vespin::TDateTime today,
                                 std::int64_t nowUtc, std::string& ics) {
  ics = vespin::ical::ExportFromToday(store, law, eventFile, today, nowUtc);
}
