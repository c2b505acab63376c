#pragma once
// The main window's settings, in one typed place with their defaults. The event file's
// settings line is their only store: EventFile reads it into a Settings and writes it back.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "calendar/HolidayLaw.h"

namespace vespin {

// Font style bits as the file stores them.
inline constexpr int kFontBold = 1;
inline constexpr int kFontItalic = 2;
inline constexpr int kFontUnderline = 4;
inline constexpr int kFontStrikeOut = 8;

inline constexpr std::uint32_t kSilver = 0xC0C0C0;  // colour value: red in the low byte

// The font sizes (points) the panel is laid out for.
inline constexpr int kMinFontPoints = 6;
inline constexpr int kMaxFontPoints = 24;
// The size the panel shows for a stored one: a hand-edited size beyond the limits is taken to
// the nearer limit.
constexpr int UsableFontSize(int points) {
  return std::clamp(points, kMinFontPoints, kMaxFontPoints);
}

// What the program offers beyond its first form. The file keeps these in a section after the
// version line, written only when something in it differs from the defaults, so that with
// every option off the file is byte for byte what it always was.
// Another calendar the panel shows, read-only: a CalDAV collection or an .ics address.
struct Subscription {
  std::string name;  // Shift_JIS; no comma, no blank
  std::string url;   // http://, https:// or webcal://; no blank
  std::string user;  // empty: none, or the one ~/.netrc names
  friend bool operator==(const Subscription&, const Subscription&) = default;
};

// A CalDAV collection that VESPIN makes hold its own events.
struct PublishTarget {
  std::string url;
  std::string user;
  friend bool operator==(const PublishTarget&, const PublishTarget&) = default;
};

struct Extensions {
  HolidayLaw holidayLaw = HolidayLaw::k2005;  // the holidays of the calendar and the events
  std::vector<Subscription> subscriptions;    // in the order the user added them
  std::optional<PublishTarget> publish;
  bool remoteLine = false;  // underline days with events of other calendars
  // Lines of the section that this version does not know (Shift_JIS, without line ends),
  // written back in their order.
  std::vector<std::string> keptLines;

  friend bool operator==(const Extensions&, const Extensions&) = default;
};

// The window position of a settings line whose position is no number: placed as a position
// beyond the screen is, at the top right corner.
inline constexpr int kNoPosition = std::numeric_limits<int>::max();

struct Settings {
  int left = 0;  // window position, pixels; kNoPosition when the file holds none
  int top = 0;
  bool backClear = false;             // transparent background; otherwise backColor
  std::uint32_t backColor = kSilver;  // red | green << 8 | blue << 16
  bool figureBright = false;          // bright text scheme; otherwise dark
  std::string fontName;               // Shift_JIS face name; empty until a file sets it
  bool beep = false;                  // play vespin.wav with each notice
  int fontSize = 9;                   // points
  int fontStyle = 0;                  // kFontBold | kFontItalic | …
  bool yearLine = false;              // underline days with yearly events
  bool monthLine = false;             // … monthly events
  bool weekLine = false;              // … weekly events
  bool startUp = true;                // announce today's events at start-up
  bool onTime = false;                // announce again at the event's own minute
  int months = 1;                     // 1, 2 or 3 months shown
  Extensions extensions;

  friend bool operator==(const Settings&, const Settings&) = default;
};

struct WindowPos {
  int left = 0;
  int top = 0;
  friend bool operator==(const WindowPos&, const WindowPos&) = default;
};

// Where the window goes at start-up from a stored position: the stored left unless it lies at
// or beyond the screen's width (then flush right), the stored top unless it lies at or beyond
// the screen's height (then 0).
WindowPos PlaceWindow(int storedLeft, int storedTop, int screenWidth, int screenHeight,
                      int windowWidth);

}  // namespace vespin
