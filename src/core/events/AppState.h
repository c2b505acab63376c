#pragma once
// The run-time state shared by the clock tick, the engine and the event dialog. One object,
// owned by the application and passed by reference; nothing here is global.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "calendar/DateTime.h"

namespace vespin {

// One line of today's coming events in the main window.
struct EventLine {
  std::string text;          // Shift_JIS event text
  std::string timeText;      // "hh:nn" of the occurrence
  TDateTime occurrence = 0;  // 0 = the line is empty
  // Another calendar's event: text and timeText are UTF-8 (its texts never pass through
  // Shift_JIS), and an all-day one's time reads 終日.
  bool utf8 = false;
};

inline constexpr int kEventLineCount = 5;

struct AppState {
  // Ticks do nothing while set: the event dialog is open, or the engine shows a notice.
  bool ClockPaused = false;
  // Set at the end of the first alarm pass; never cleared.
  bool StartUpDone = false;
  std::array<EventLine, kEventLineCount> EventLines{};
  // The moment (milliseconds since the epoch of TDateTime) of the last alarm pass: the next pass
  // announces what fell due since, however many ticks were swallowed in between.
  std::optional<std::int64_t> LastAlarmMs;
};

// Holds the clock back for a scope (a notice, the event dialog) and then puts the flag back as
// it was, so that pauses nest: a notice shown while the dialog is open leaves the clock paused.
class ClockPause {
 public:
  explicit ClockPause(AppState& state) : state_(state), wasPaused_(state.ClockPaused) {
    state_.ClockPaused = true;
  }
  ~ClockPause() { state_.ClockPaused = wasPaused_; }
  ClockPause(const ClockPause&) = delete;
  ClockPause& operator=(const ClockPause&) = delete;

 private:
  AppState& state_;
  bool wasPaused_;
};

// Empties all five lines.
inline void ClearEventLines(AppState& state) {
  for (auto& line : state.EventLines) line = EventLine{};
}

}  // namespace vespin
