#pragma once
// The menu's iCalendar export: a file name from the user, then every event from today on, in the
// local time zone, with the holidays the rules skip or add listed two years ahead.

#include <filesystem>

#include "calendar/DateTime.h"
#include "events/EngineHost.h"
#include "events/EventStore.h"
#include "events/Settings.h"

class QWidget;

namespace vespin::ui {

inline constexpr const char* kIcalExportTitle = "iCalendarに書き出す";
inline constexpr const char* kIcalWriteFailedNotice =
    "iCalendarファイルに書き込むことができません。";

// False when the user cancelled, or when the file could not be written (the user was told).
bool ExportCalendarDialog(QWidget* parent, const EventStore& store, const Settings& settings,
                          const std::filesystem::path& eventFile, TDateTime today,
                          Notifier& notifier);

}  // namespace vespin::ui
