#include "events/EventEngine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

#include "calendar/Hizuke.h"
#include "events/DayRules.h"
#include "events/IniFormat.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

// The notice texts, converted to Shift_JIS once.
struct NoticeTexts {
  std::string open = sjis::Lit("「");
  std::string onTime = sjis::Lit("」の時間です。");
  std::string overdue = sjis::Lit("」の時間を過ぎています。");
  std::string todayIs = sjis::Lit("今日は「");
  std::string closeIs = sjis::Lit("」です。");
  std::string inFront = sjis::Lit("あと");
  std::string hours = sjis::Lit("時間");
  std::string minutes = sjis::Lit("分");
  std::string within = sjis::Lit("で");
  std::string soon = sjis::Lit("まもなく");
};

const NoticeTexts& Texts() {
  static const NoticeTexts texts;
  return texts;
}

}  // namespace

struct EventEngine::Pass {
  DayFacts facts;
  std::int64_t dayMs;      // the date D
  std::int64_t nowMs;      // D plus the pass's time T
  std::int64_t gapFromMs;  // nowMs, or the start of the time no pass looked at
};

// One row's occurrence on the day a walk looks at.
struct EventEngine::Occurrence {
  std::string text;  // copies: the host runs a message loop while a notice is open
  std::string alarmCode;
  Said said;
  std::int64_t xMs;
};

// Time and text sit in the same columns of all three tables.
static_assert(WeekCol::kTime == MonthCol::kTime && MonthCol::kTime == YearCol::kTime);
static_assert(WeekCol::kText == MonthCol::kText && MonthCol::kText == YearCol::kText);

// One table as the walk sees it.
struct EventEngine::Walk {
  EventKind kind;
  EventTable& table;
  int typeCode;
  int alarmCode;
  int done;
  int mask;

  // The event's time of day when the row falls on the date.
  std::optional<std::int64_t> Hit(int row, const DayFacts& facts) const {
    if (!facts.Falls(kind, table.Cell(typeCode, row))) return std::nullopt;
    return RowTimeMsecs(table.Cell(WeekCol::kTime, row));
  }
};

// The walk order is the order of the notices and the tie order of the coming events.
std::array<EventEngine::Walk, 3> EventEngine::Walks(EventStore& store) {
  return {{
      {EventKind::kYearly, store.year, YearCol::kTypeCode, YearCol::kAlarmCode, YearCol::kDone,
       kMaskYearly},
      {EventKind::kMonthly, store.month, MonthCol::kTypeCode, MonthCol::kAlarmCode, MonthCol::kDone,
       kMaskMonthly},
      {EventKind::kWeekly, store.week, WeekCol::kTypeCode, WeekCol::kAlarmCode, WeekCol::kDone,
       kMaskWeekly},
  }};
}

std::optional<DoneMark> ReadDoneMark(std::string_view cell) {
  if (cell.empty() || cell[0] != 'x') return std::nullopt;
  DoneMark mark;
  cell.remove_prefix(1);
  if (cell.size() == 9 && cell[8] == '+') {
    mark.finished = true;
    cell.remove_suffix(1);
  }
  if (cell.size() != 8) return mark;  // a bare "x", or one a hand did not write: any day
  int ymd = 0;
  for (char c : cell) {
    const int d = Digit(c);
    if (d < 0) return DoneMark{};
    ymd = ymd * 10 + d;
  }
  const auto date = TryEncodeDate(ymd / 10000, ymd / 100 % 100, ymd % 100);
  if (!date) return DoneMark{};
  mark.day = DayOf(*date);
  return mark;
}

std::string DoneMarkText(sys_days day, bool finished) {
  const DateParts d = DecodeDate(day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "x%04d%02d%02d%s", d.year, d.month, d.day, finished ? "+" : "");
  return buf;
}

std::string AdvanceNotice(std::string_view text, std::int64_t untilMsecs) {
  // The added second lets a tick that lands a few milliseconds after the minute still count
  // the full minutes: 9:55:00.010 before a 10:00 event reads five minutes, not four.
  const std::int64_t r = untilMsecs + kMsecsPerSecond;
  const std::int64_t h = r / kMsecsPerHour;
  const std::int64_t m = (r / kMsecsPerMinute) % 60;
  const NoticeTexts& t = Texts();
  std::string out;
  if (h >= 6 || (h >= 1 && m == 0)) {
    out = t.inFront + std::to_string(h) + t.hours + t.within;
  } else if (h >= 1) {
    out = t.inFront + std::to_string(h) + t.hours + std::to_string(m) + t.minutes + t.within;
  } else if (m >= 1) {
    out = t.inFront + std::to_string(m) + t.minutes + t.within;
  } else {
    out = t.soon;
  }
  out += t.open;
  out += text;
  out += t.closeIs;
  return out;
}

std::string AdvanceNoticeUtf8(std::string_view textUtf8, std::int64_t remainingMsecs) {
  // The words come from the one Shift_JIS form; a control character no text holds marks where
  // the UTF-8 text goes.
  constexpr std::string_view kPlace = "\x01";
  std::string out = sjis::ToUtf8(AdvanceNotice(kPlace, remainingMsecs));
  const std::size_t at = out.find(kPlace);
  if (at != std::string::npos) out.replace(at, kPlace.size(), textUtf8);
  return out;
}

std::string OnTimeNoticeUtf8(std::string_view textUtf8) {
  const NoticeTexts& t = Texts();
  return sjis::ToUtf8(t.open) + std::string(textUtf8) + sjis::ToUtf8(t.onTime);
}

std::string OverdueNoticeUtf8(std::string_view textUtf8) {
  const NoticeTexts& t = Texts();
  return sjis::ToUtf8(t.open) + std::string(textUtf8) + sjis::ToUtf8(t.overdue);
}

std::string TodayNoticeUtf8(std::string_view textUtf8) {
  const NoticeTexts& t = Texts();
  return sjis::ToUtf8(t.todayIs) + std::string(textUtf8) + sjis::ToUtf8(t.closeIs);
}

EventEngine::EventEngine(EventStore& store, AppState& state, EngineHost& host)
    : store_(store), state_(state), host_(host) {}

int EventEngine::EventCheck(CheckMode mode, TDateTime date, TDateTime time) {
  const auto day = EventDay(date);
  if (!day) return 0;
  switch (mode) {
    case CheckMode::kAlarm: {
      std::int64_t timeMs = std::isfinite(time) && std::fabs(time) < 2 ? ToMsecs(time) : 0;
      if (timeMs < 0) timeMs = 0;
      if (timeMs >= kMsecsPerDay) timeMs = kMsecsPerDay - 1;
      const std::int64_t dayMs = MsecsAt(*day);
      const std::int64_t nowMs = dayMs + timeMs;
      // Every pass picks up where the last one left off, however short the time between: a
      // notice left open for a minute swallows the ticks behind it just as a suspend does. A
      // clock put back starts from its new time; what lies ahead was done with.
      std::int64_t gapFromMs = nowMs;
      if (state_.LastAlarmMs && *state_.LastAlarmMs < nowMs) {
        gapFromMs = std::max(*state_.LastAlarmMs, nowMs - kCatchUpMsecs);
      }
      state_.LastAlarmMs = nowMs;
      RunAlarm(Pass{DayFacts(*day, host_.Holidays()), dayMs, nowMs, gapFromMs});
      return 0;
    }
    case CheckMode::kDayList:
      RunDayList(DayFacts(*day, host_.Holidays()));
      return 0;
    case CheckMode::kDayMask:
      return DayMask(DayFacts(*day, host_.Holidays()));
  }
  return 0;
}

void EventEngine::AlarmPass(TDateTime now) {
  if (state_.ClockPaused || !std::isfinite(now)) return;
  ClearEventLines(state_);
  const std::int64_t ms = ToMsecs(now);
  const sys_days day = DayAtMsecs(ms);
  EventCheck(CheckMode::kAlarm, ToDateTime(day), FromMsecs(ms - MsecsAt(day)));
}

std::vector<DayEvent> EventEngine::EventsOn(TDateTime date) const {
  return EventsOn(store_, date, host_.Holidays());
}

std::vector<DayEvent> EventEngine::EventsOn(const EventStore& store, TDateTime date,
                                            HolidayLaw law) {
  std::vector<DayEvent> events;
  const auto day = EventDay(date);
  if (!day) return events;
  const DayFacts facts(*day, law);
  // The walks only read here; they hold mutable tables because the alarm pass writes through
  // the same description.
  const auto walks = Walks(const_cast<EventStore&>(store));
  for (const Walk& walk : walks) {
    for (int row = 1; row <= walk.table.DataRowCount(); ++row) {
      const auto time = walk.Hit(row, facts);
      if (!time) continue;
      const std::int64_t xMs = MsecsAt(facts.date) + *time;
      events.push_back({walk.kind, row, HourMinuteText(*time),
                        std::string(walk.table.Cell(WeekCol::kText, row)), FromMsecs(xMs)});
    }
  }
  return events;
}

std::vector<std::int64_t> EventEngine::DueMoments(sys_days day) const {
  std::vector<std::int64_t> moments;
  if (day < kFirstCalendarDay || day > kLastCalendarDay) return moments;
  const DayFacts facts(day, host_.Holidays());
  const auto walks = Walks(store_);
  for (const Walk& walk : walks) {
    for (int row = 1; row <= walk.table.DataRowCount(); ++row) {
      const auto time = walk.Hit(row, facts);
      if (!time) continue;
      moments.push_back(*time - LeadMsecs(walk.table.Cell(walk.alarmCode, row)));
      moments.push_back(*time);
    }
  }
  return moments;
}

EventEngine::Said EventEngine::SaidFor(std::string_view doneCell, sys_days day) {
  const auto mark = ReadDoneMark(doneCell);
  if (!mark) return Said::kNothing;
  if (!mark->day) return Said::kAnnounced;
  // A mark of a later day: the clock went back over an occurrence that was done with.
  if (*mark->day > day) return Said::kFinished;
  if (*mark->day < day) return Said::kNothing;
  return mark->finished ? Said::kFinished : Said::kAnnounced;
}

template <typename Decide>
bool EventEngine::AlarmWalk(const Walk& walk, const DayFacts& facts, Decide&& decide) {
  bool deleted = false;
  // Rows are counted afresh each time round: a deletion moves the next row up into the same
  // number, which is then examined in its turn.
  for (int row = 1; row <= walk.table.DataRowCount();) {
    const auto time = walk.Hit(row, facts);
    if (!time) {
      ++row;
      continue;
    }
    const Occurrence o{std::string(walk.table.Cell(WeekCol::kText, row)),
                       std::string(walk.table.Cell(walk.alarmCode, row)),
                       SaidFor(walk.table.Cell(walk.done, row), facts.date),
                       MsecsAt(facts.date) + *time};
    const AlarmOutcome outcome = decide(o);
    const bool finished = outcome == AlarmOutcome::kMarkDoneAndDelete;
    if (outcome != AlarmOutcome::kLeave) {
      // A mark of a later occurrence stays: this one is behind it.
      const auto mark = ReadDoneMark(walk.table.Cell(walk.done, row));
      if (!mark || !mark->day || *mark->day <= facts.date) {
        walk.table.SetCell(walk.done, row,
                           DoneMarkText(facts.date, finished || o.said == Said::kFinished));
      }
    }
    if (finished && walk.kind == EventKind::kYearly &&
        walk.table.Cell(YearCol::kDelete, row) == ini::kTrue) {
      walk.table.DeleteRow(row);
      deleted = true;
      continue;
    }
    ++row;
  }
  return deleted;
}

void EventEngine::RunAlarm(const Pass& pass) {
  const auto walks = Walks(store_);
  bool deleted = false;
  // Days slept through first, each in walk order; only what fell after the last pass counts.
  const sys_days firstDay = std::max(DayAtMsecs(pass.gapFromMs), kFirstCalendarDay);
  for (sys_days day = firstDay; day < pass.facts.date; day += std::chrono::days{1}) {
    const DayFacts facts(day, host_.Holidays());
    for (const Walk& walk : walks) {
      deleted |= AlarmWalk(walk, facts, [&](const Occurrence& o) {
        return o.xMs > pass.gapFromMs ? Overdue(o) : AlarmOutcome::kLeave;
      });
    }
  }
  for (const Walk& walk : walks) {
    deleted |= AlarmWalk(walk, pass.facts, [&](const Occurrence& o) {
      EventLineAdd(pass, o.text, o.xMs);
      return AlarmCheck(pass, o);
    });
    if (walk.kind == EventKind::kYearly && deleted) {
      {
        // A failed save tells the user in a notice of its own; hold the clock back for it too.
        const ClockPause pause(state_);
        host_.SaveEventFile();
      }
      host_.RedrawCalendar();
    }
  }
  state_.StartUpDone = true;
}

void EventEngine::RunDayList(const DayFacts& facts) {
  const auto walks = Walks(store_);
  for (const Walk& walk : walks) {
    for (int row = 1; row <= walk.table.DataRowCount(); ++row) {
      const auto time = walk.Hit(row, facts);
      if (!time) continue;
      Notify(std::string(walk.table.Cell(WeekCol::kText, row)) + " " + HourMinuteText(*time));
    }
  }
}

int EventEngine::DayMask(const DayFacts& facts) const {
  const auto walks = Walks(store_);
  int mask = 0;
  for (const Walk& walk : walks) {
    // One event of a kind is enough for its bit.
    for (int row = 1; row <= walk.table.DataRowCount(); ++row) {
      if (walk.Hit(row, facts)) {
        mask |= walk.mask;
        break;
      }
    }
  }
  return mask;
}

void EventEngine::EventLineAdd(const Pass& pass, const std::string& text, std::int64_t xMs) {
  auto& lines = state_.EventLines;
  int slot = 0;
  while (slot < kEventLineCount && lines[static_cast<std::size_t>(slot)].occurrence != 0 &&
         ToMsecs(lines[static_cast<std::size_t>(slot)].occurrence) <= xMs) {
    ++slot;
  }
  if (slot == kEventLineCount) return;  // five events at or before this one already
  if (DayAtMsecs(xMs) != pass.facts.date) return;
  if (xMs <= pass.nowMs) return;  // past, or of the pass's own minute
  for (int i = kEventLineCount - 1; i > slot; --i) {
    lines[static_cast<std::size_t>(i)] = lines[static_cast<std::size_t>(i - 1)];
  }
  lines[static_cast<std::size_t>(slot)] =
      EventLine{text, HourMinuteText(xMs - pass.dayMs), FromMsecs(xMs)};
}

AlarmOutcome EventEngine::AlarmCheck(const Pass& pass, const Occurrence& o) {
  const NoticeTexts& t = Texts();
  const std::string& text = o.text;
  const std::int64_t xMs = o.xMs;
  const bool today = DayAtMsecs(xMs) == pass.facts.date;
  if (o.said == Said::kFinished) return AlarmOutcome::kMarkDone;
  if (o.said == Said::kAnnounced) {
    const std::int64_t minute = FloorDiv(pass.nowMs, kMsecsPerMinute);
    if (today && FloorDiv(xMs, kMsecsPerMinute) == minute) {
      if (host_.OnTimeNotices()) Notify(t.open + text + t.onTime);
      return AlarmOutcome::kMarkDoneAndDelete;
    }
    // Its minute went by while no pass ran.
    if (xMs > pass.gapFromMs && FloorDiv(xMs, kMsecsPerMinute) < minute) return Overdue(o);
    return AlarmOutcome::kMarkDone;
  }
  const std::int64_t lead = LeadMsecs(o.alarmCode);
  if (pass.nowMs > xMs) {
    Notify(t.open + text + t.overdue);
    return AlarmOutcome::kMarkDoneAndDelete;
  }
  if (pass.nowMs >= xMs - lead) {
    Notify(AdvanceNotice(text, xMs - pass.nowMs));
    return AlarmOutcome::kMarkDone;
  }
  if (!state_.StartUpDone && today) {
    if (IsStartUpLead(o.alarmCode)) {
      Notify(t.todayIs + text + t.closeIs);
      return AlarmOutcome::kMarkDone;
    }
    if (host_.StartUpNotices()) Notify(t.todayIs + text + t.closeIs);
    return AlarmOutcome::kLeave;
  }
  return AlarmOutcome::kLeave;
}

AlarmOutcome EventEngine::Overdue(const Occurrence& o) {
  const NoticeTexts& t = Texts();
  switch (o.said) {
    case Said::kNothing:
      Notify(t.open + o.text + t.overdue);
      return AlarmOutcome::kMarkDoneAndDelete;
    case Said::kAnnounced:
      // Announced in advance: the on-time notice it missed comes now, if the user wants those.
      if (host_.OnTimeNotices()) Notify(t.open + o.text + t.overdue);
      return AlarmOutcome::kMarkDoneAndDelete;
    case Said::kFinished:
      break;
  }
  return AlarmOutcome::kMarkDone;
}

void EventEngine::Notify(const std::string& text) {
  // While the user reads a notice the message loop runs on; a tick must not start another
  // pass under this one.
  const ClockPause pause(state_);
  host_.ShowNotice(text);
}

void ForEachAlarmPass(TDateTime from, TDateTime to, const std::function<void(TDateTime)>& pass) {
  if (!std::isfinite(from) || !std::isfinite(to)) return;
  const std::int64_t fromMs = ToMsecs(from);
  const std::int64_t toMs = ToMsecs(to);
  if (toMs < fromMs) return;
  pass(FromMsecs(fromMs));
  for (std::int64_t minute = (FloorDiv(fromMs, kMsecsPerMinute) + 1) * kMsecsPerMinute;
       minute <= toMs; minute += kMsecsPerMinute) {
    pass(FromMsecs(minute + 10));
  }
}

void ForEachActingAlarmPass(TDateTime from, TDateTime to, const EventEngine& engine,
                            const std::function<void(TDateTime)>& pass) {
  if (!std::isfinite(from) || !std::isfinite(to)) return;
  const std::int64_t fromMs = ToMsecs(from);
  const std::int64_t toMs = ToMsecs(to);
  if (toMs < fromMs) return;
  pass(FromMsecs(fromMs));
  // The clock's later passes land 10 ms after each full minute past the first pass.
  constexpr std::int64_t kLanding = 10;
  const std::int64_t firstMinute = FloorDiv(fromMs, kMsecsPerMinute) + 1;
  auto passAtOrAfter = [&](std::int64_t ms) {
    const std::int64_t minute =
        std::max(firstMinute, FloorDiv(ms - kLanding + kMsecsPerMinute - 1, kMsecsPerMinute));
    return minute * kMsecsPerMinute + kLanding;
  };
  std::vector<std::int64_t> passes;
  for (sys_days day = DayAtMsecs(fromMs); MsecsAt(day) <= toMs; day += std::chrono::days{1}) {
    const std::int64_t dayMs = MsecsAt(day);
    passes.clear();
    if (dayMs > fromMs) passes.push_back(passAtOrAfter(dayMs));
    for (const std::int64_t moment : engine.DueMoments(day)) {
      // A notice that opens on an earlier day opens at this day's first pass.
      const std::int64_t at = dayMs + std::max<std::int64_t>(moment, 0);
      if (at > fromMs) passes.push_back(passAtOrAfter(at));
    }
    std::sort(passes.begin(), passes.end());
    passes.erase(std::unique(passes.begin(), passes.end()), passes.end());
    for (const std::int64_t ms : passes) {
      if (ms - kLanding > toMs) break;  // the pass of the end's own minute still runs
      pass(FromMsecs(ms));
    }
  }
}

}  // namespace vespin
