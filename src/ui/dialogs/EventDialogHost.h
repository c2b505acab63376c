#pragma once
// What the event dialog needs from the application around it: the live event tables, the
// shared run-time state, the file operations (which also carry the main window's settings),
// the clock tick and the notice window. The main window's side implements it; tests fake it.

#include <string>

#include "events/AppState.h"
#include "events/EventStore.h"

namespace vespin::ui {

class EventDialogHost {
 public:
  virtual ~EventDialogHost() = default;
  // The tables the engine works on; the dialog edits them in place.
  virtual EventStore& Store() = 0;
  virtual AppState& State() = 0;
  // Writes tables and settings to vespin.ini; false after the user has been told why not.
  virtual bool IniSave() = 0;
  // Re-reads tables and settings from vespin.ini (not the start-up load: the window does not
  // move); false after the user has been told why not.
  virtual bool IniLoad() = 0;
  // Arms the main window's clock tick to fire after `msec` milliseconds.
  virtual void RestartTick(int msec) = 0;
  // The notice window (one line, OK), with the sound when that option is on.
  virtual void ShowNotice(const std::string& sjisText) = 0;
};

}  // namespace vespin::ui
