#pragma once
// Which events fall on a date, and what follows from it: the once-a-minute alarm pass (notices,
// done marks, today's coming events, deletion of flagged yearly rows), the announcement of a
// clicked day, and the day mask the calendar underlines by.
//
//   clock tick --AlarmPass--> EventCheck(kAlarm) --> EventLines, notices, done marks, deletions
//   calendar   --EventCheck(kDayList / kDayMask)---> notices / day mask
//
// Every comparison of moments is made on whole milliseconds, never on raw TDateTime doubles.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/DateTime.h"
#include "events/AppState.h"
#include "events/DayRules.h"
#include "events/EngineHost.h"
#include "events/EventStore.h"
#include "events/LeadTimes.h"

namespace vespin {

// What a call of the engine is about.
enum class CheckMode {
  kAlarm,    // the once-a-minute alarm pass
  kDayList,  // announce every event of a date (calendar click)
  kDayMask,  // which kinds fall on a date: the kMask bits below
};

// What the alarm decision asks of the row it looked at.
enum class AlarmOutcome {
  kLeave,              // nothing announced that counts: the row stays as it is
  kMarkDone,           // announced: the row gets its done mark
  kMarkDoneAndDelete,  // its time has come: marked, and a yearly row flagged for deletion goes
};

inline constexpr int kMaskYearly = 1;
inline constexpr int kMaskMonthly = 2;
inline constexpr int kMaskWeekly = 4;

// One event that falls on a date.
struct DayEvent {
  EventKind kind = EventKind::kYearly;
  int row = 0;               // its row in its table
  std::string timeText;      // the time the engine uses: the row's HH:MM, "00:00" when empty
  std::string text;          // Shift_JIS
  TDateTime occurrence = 0;  // the date plus the time
};

// The done mark of a row: the day of the occurrence it belongs to, and whether that occurrence
// has had its last notice (on time or overdue). Written "x20050419", with a "+" after the date
// once finished. A bare "x" has no day and counts for any day.
struct DoneMark {
  std::optional<sys_days> day;
  bool finished = false;
};
std::optional<DoneMark> ReadDoneMark(std::string_view cell);
std::string DoneMarkText(sys_days day, bool finished);

// A pass announces what fell due since the pass before it, however long ago that was (a suspend,
// a clock put forward, a notice left open), but looks this far back at most.
inline constexpr std::int64_t kCatchUpMsecs = 7 * kMsecsPerDay;

// The advance notice for an event `remainingMsecs` away: あと5分で「…」です。 and its kin.
// Shift_JIS.
std::string AdvanceNotice(std::string_view text, std::int64_t remainingMsecs);
// The same notices in UTF-8, for texts that Shift_JIS may not hold (other calendars'): the
// same words as the engine's own notices, around a UTF-8 text.
std::string AdvanceNoticeUtf8(std::string_view textUtf8, std::int64_t remainingMsecs);
std::string OnTimeNoticeUtf8(std::string_view textUtf8);  // 「…」の時間です。
std::string OverdueNoticeUtf8(std::string_view textUtf8);  // 「…」の時間を過ぎています。
std::string TodayNoticeUtf8(std::string_view textUtf8);  // 今日は「…」です。

// The engine as the windows ask it: one question about a date. Tests answer with a fake.
class EventChecker {
 public:
  virtual ~EventChecker() = default;
  // `date` is a whole day; `time` the time of day of the pass (0 for kDayList and kDayMask).
  // Returns the day mask for kDayMask, 0 otherwise.
  virtual int EventCheck(CheckMode mode, TDateTime date, TDateTime time) = 0;
};

class EventEngine final : public EventChecker {
 public:
  EventEngine(EventStore& store, AppState& state, EngineHost& host);
  EventEngine(const EventEngine&) = delete;
  EventEngine& operator=(const EventEngine&) = delete;

  int EventCheck(CheckMode mode, TDateTime date, TDateTime time) override;

  // What the clock tick asks of the engine at `now`: nothing while ClockPaused is set;
  // otherwise empty the event lines and run the alarm pass for now's date and time.
  void AlarmPass(TDateTime now);

  // The events that fall on a date, in walk order (yearly, monthly, weekly, each in table
  // order). Changes nothing.
  std::vector<DayEvent> EventsOn(TDateTime date) const;
  // The same for any store and holidays, without an engine around it.
  static std::vector<DayEvent> EventsOn(const EventStore& store, TDateTime date, HolidayLaw law);

  // The moments of a day, in milliseconds from its midnight and in no particular order, after
  // which an alarm pass can show a notice or change a row: for each event on the date, the
  // opening of its advance notice (its time less its lead; negative when that lies on an
  // earlier day) and its own time. A pass whose minute holds none of these, other than the
  // first pass of a run or of a day, repeats what the pass before it found.
  std::vector<std::int64_t> DueMoments(sys_days day) const;

 private:
  struct Pass;
  struct Walk;
  struct Occurrence;
  // What a row has had for one occurrence.
  enum class Said { kNothing, kAnnounced, kFinished };

  static std::array<Walk, 3> Walks(EventStore& store);
  static Said SaidFor(std::string_view doneCell, sys_days day);

  void RunAlarm(const Pass& pass);
  void RunDayList(const DayFacts& facts);
  int DayMask(const DayFacts& facts) const;

  // Walks the rows of one table that fall on the day of `facts`, lets `decide` give each
  // occurrence its outcome, and marks and deletes by it. True when a row was deleted.
  template <typename Decide>
  bool AlarmWalk(const Walk& walk, const DayFacts& facts, Decide&& decide);
  void EventLineAdd(const Pass& pass, const std::string& text, std::int64_t xMs);
  AlarmOutcome AlarmCheck(const Pass& pass, const Occurrence& o);
  // An occurrence whose time went by while no pass ran.
  AlarmOutcome Overdue(const Occurrence& o);
  // Holds the clock back while the user reads a notice.
  void Notify(const std::string& text);

  EventStore& store_;
  AppState& state_;
  EngineHost& host_;
};

// The moments at which the program's clock runs the alarm pass over a stretch of time: `from`
// itself (the first pass after start-up), then 10 ms after every full minute later than `from`
// up to and including `to` (the timer lands just after the minute, never on it).
void ForEachAlarmPass(TDateTime from, TDateTime to, const std::function<void(TDateTime)>& pass);

// The same passes, less those that can change nothing: the first one, the first of every later
// day, and the first one at or after each of the engine's due moments. The engine must be the
// one the passes run, so that its deletions shrink the moments of the days that follow.
void ForEachActingAlarmPass(TDateTime from, TDateTime to, const EventEngine& engine,
                            const std::function<void(TDateTime)>& pass);

}  // namespace vespin
