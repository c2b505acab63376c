#pragma once
// What core needs from its host (the windows, or a test's fake): telling the user something,
// saving the event file, redrawing the calendar, two notice settings and the holiday rules.

#include <string>

#include "calendar/HolidayLaw.h"

namespace vespin {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows one line (Shift_JIS) to the user and returns when the user has acknowledged it.
  virtual void ShowNotice(const std::string& text) = 0;
};

class EngineHost : public Notifier {
 public:
  // Writes the event file (tables and settings); false after the user has been told why not.
  virtual bool SaveEventFile() = 0;
  virtual void RedrawCalendar() = 0;
  virtual bool OnTimeNotices() const = 0;   // also announce at the event's own minute
  virtual bool StartUpNotices() const = 0;  // announce today's events at start-up
  // The holidays that the business-day and holiday rules of the events go by.
  virtual HolidayLaw Holidays() const = 0;
};

}  // namespace vespin
