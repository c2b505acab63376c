#pragma once
// The settings line of vespin.ini: fourteen comma-separated fields, read and written by the
// field table of IniFormat.h (kSettingsFields), or the older short form read as far as it goes.

#include <string>
#include <vector>

#include "events/Settings.h"

namespace vespin {

// Applies one split settings line: 14 fields, or the older short form (any other count).
// A field that should be a number but is not, or that is missing, leaves its setting alone.
void ApplySettingsLine(const std::vector<std::string>& fields, Settings& settings);
// The 14-field settings line, without its line end.
std::string SettingsLine(const Settings& settings);

}  // namespace vespin
