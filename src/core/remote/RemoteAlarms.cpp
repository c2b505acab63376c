#include "remote/RemoteAlarms.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <tuple>

#include "events/DayRules.h"
#include "events/EventEngine.h"
#include "events/WholeFile.h"

namespace vespin::remote {
namespace {

std::int64_t FloorMinute(std::int64_t ms) {
  return (ms >= 0 ? ms : ms - kMsecsPerMinute + 1) / kMsecsPerMinute;
}

std::int64_t LongestLead() {
  return NearestLead(INT64_MAX / 2);
}

}  // namespace

void MergeRemoteLines(AppState& state, const RemoteDayIndex& index, std::int64_t nowMs) {
  // Only the first five can make it into the lines.
  const auto coming = index.Coming(DayAtMsecs(nowMs), nowMs, state.EventLines.size());
  if (coming.empty()) return;
  const std::int64_t dayMs = MsecsAt(DayAtMsecs(nowMs));
  struct Candidate {
    bool timed;
    std::int64_t ms;
    bool remote;
    EventLine line;
  };
  std::vector<Candidate> all;
  for (const EventLine& line : state.EventLines) {
    if (line.occurrence != 0) all.push_back({true, ToMsecs(line.occurrence), false, line});
  }
  for (const RemoteOccurrence* o : coming) {
    EventLine line;
    line.text = o->summary;
    line.utf8 = true;
    if (o->allDay) {
      line.timeText = kAllDayTimeText;
      line.occurrence = FromMsecs(dayMs);
    } else {
      line.timeText = HourMinuteText(o->startMs - dayMs);
      line.occurrence = FromMsecs(o->startMs);
    }
    all.push_back({!o->allDay, o->allDay ? dayMs : o->startMs, true, std::move(line)});
  }
  // Stable: the engine's own order stands among its lines, and the index's among the others.
  std::stable_sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
    return std::tie(a.timed, a.ms, a.remote) < std::tie(b.timed, b.ms, b.remote);
  });
  ClearEventLines(state);
  for (std::size_t i = 0; i < all.size() && i < state.EventLines.size(); ++i) {
    state.EventLines[i] = std::move(all[i].line);
  }
}

std::string DayListNoticeUtf8(const RemoteOccurrence& o) {
  return o.summary + " " +
         (o.allDay ? std::string(kAllDayTimeText)
                   : HourMinuteText(o.startMs - MsecsAt(o.FirstDay())));
}

const RemoteMark* RemoteDoneMarks::Find(const RemoteOccurrence& o) const {
  const auto it = marks_.find(MarkKey{o.calendar, o.key});
  if (it == marks_.end() || it->second.startMs != o.startMs) return nullptr;
  return &it->second;
}

void RemoteDoneMarks::Set(const RemoteOccurrence& o, RemoteSaid said) {
  const std::int64_t until = o.allDay ? MsecsAt(o.LastDay()) + kMsecsPerDay : o.startMs;
  marks_.insert_or_assign(std::pair(o.calendar, o.key), RemoteMark{o.startMs, until, said});
}

void RemoteDoneMarks::Prune(std::int64_t beforeMs) {
  std::erase_if(marks_, [&](const auto& entry) { return entry.second.untilMs < beforeMs; });
}

void RemoteDoneMarks::RenameCalendar(std::string_view from, std::string_view to) {
  if (from == to) return;
  std::erase_if(marks_, [&](const auto& entry) { return entry.first.first == to; });
  for (auto it = marks_.begin(); it != marks_.end();) {
    if (it->first.first != from) {
      ++it;
      continue;
    }
    auto node = marks_.extract(it++);
    node.key().first = std::string(to);
    marks_.insert(std::move(node));
  }
}

std::string RemoteDoneMarks::Format() const {
  std::string out;
  for (const auto& [key, mark] : marks_) {
    out += std::to_string(mark.untilMs);
    out += '\t';
    out += std::to_string(mark.startMs);
    out += '\t';
    out += static_cast<char>(mark.said);
    out += '\t';
    out += EscapeField(key.first);
    out += '\t';
    out += EscapeField(key.second);
    out += '\n';
  }
  return out;
}

RemoteDoneMarks RemoteDoneMarks::Parse(std::string_view text) {
  RemoteDoneMarks marks;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() != 5) continue;
    RemoteMark mark;
    if (!ReadNumber(fields[0], mark.untilMs) || !ReadNumber(fields[1], mark.startMs)) continue;
    if (fields[2] == "a") {
      mark.said = RemoteSaid::kAnnounced;
    } else if (fields[2] == "f") {
      mark.said = RemoteSaid::kFinished;
    } else {
      continue;
    }
    const auto calendar = UnescapeField(fields[3]);
    const auto key = UnescapeField(fields[4]);
    if (!calendar || !key) continue;
    marks.marks_.insert_or_assign(std::pair(std::move(*calendar), std::move(*key)), mark);
  }
  return marks;
}

RemoteDoneMarks ReadRemoteDone(const std::filesystem::path& file) {
  const auto bytes = ReadWholeFile(file);
  return bytes ? RemoteDoneMarks::Parse(*bytes) : RemoteDoneMarks();
}

bool WriteRemoteDone(const std::filesystem::path& file, const RemoteDoneMarks& marks) {
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  // The replacing write keeps an existing file's mode; a first one is the user's alone.
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  return ReplaceWholeFile(file, marks.Format()) == ReplaceResult::kDone;
}

RemotePass RemoteAlarmPass(std::int64_t nowMs, const RemoteDayIndex& index, RemoteDoneMarks& marks,
                           RemoteAlarmState& state, const RemoteAlarmOptions& options) {
  RemotePass pass;
  // What no pass has looked at yet: since the last pass (however short the step: a tick held
  // back by an open notice skips a minute), back to kCatchUpMsecs at most. Nothing when the
  // clock went back: the marks keep what was said for the time it comes over again.
  std::int64_t gapFromMs = nowMs;
  if (state.lastPassMs && *state.lastPassMs < nowMs) {
    gapFromMs = std::max(*state.lastPassMs, nowMs - kCatchUpMsecs);
  }
  state.lastPassMs = nowMs;
  const sys_days today = DayAtMsecs(nowMs);
  const std::int64_t nowMinute = FloorMinute(nowMs);
  const auto say = [&](const RemoteOccurrence& o, std::string notice, RemoteSaid said) {
    if (!notice.empty()) pass.notices.push_back(std::move(notice));
    marks.Set(o, said);
    pass.marksChanged = true;
  };
  const sys_days first = std::min(DayAtMsecs(gapFromMs), today);
  const sys_days last = DayAtMsecs(nowMs + LongestLead());
  index.ForEachTouching(first, last, [&](const RemoteOccurrence& o) {
    const std::int64_t x = o.startMs;
    // Most occurrences of the days walked are settled by their times alone; only those left
    // look for their mark.
    if (o.allDay) {
      // One notice: in advance when its alarm says so, else on the first pass of its days.
      if (o.leadMs == kNoLead) return;
      const std::int64_t endMs = MsecsAt(o.LastDay()) + kMsecsPerDay;
      if (nowMs < x - o.leadMs || nowMs >= endMs || marks.Find(o)) return;
      say(o, nowMs < x ? AdvanceNoticeUtf8(o.summary, x - nowMs) : TodayNoticeUtf8(o.summary),
          RemoteSaid::kFinished);
      return;
    }
    const bool atItsMinute = FloorMinute(x) == nowMinute;
    // Its minute went by while no pass looked.
    const bool missed = x > gapFromMs && FloorMinute(x) < nowMinute;
    if (o.leadMs == kNoLead) {
      // Without an alarm only the on-time notice is there to give.
      if (!options.onTime || !(atItsMinute || missed)) return;
      const RemoteMark* mark = marks.Find(o);
      if (mark && mark->said == RemoteSaid::kFinished) return;
      say(o, atItsMinute ? OnTimeNoticeUtf8(o.summary) : OverdueNoticeUtf8(o.summary),
          RemoteSaid::kFinished);
      return;
    }
    if (nowMs < x - o.leadMs) return;  // its lead has not come
    const bool pastToday = nowMs > x && DayAtMsecs(x) == today;
    if (nowMs > x && !pastToday && !missed) return;  // gone by before the last pass looked
    const RemoteMark* mark = marks.Find(o);
    if (mark && mark->said == RemoteSaid::kFinished) return;
    if (mark) {
      // After the advance notice, the on-time one is what is left.
      if (atItsMinute) {
        say(o, options.onTime ? OnTimeNoticeUtf8(o.summary) : std::string(), RemoteSaid::kFinished);
      } else if (missed) {
        say(o, options.onTime ? OverdueNoticeUtf8(o.summary) : std::string(),
            RemoteSaid::kFinished);
      }
      return;
    }
    if (nowMs > x) {
      // Never announced: late today, or fallen into a gap, it is said to have gone by.
      say(o, OverdueNoticeUtf8(o.summary), RemoteSaid::kFinished);
    } else {
      say(o, AdvanceNoticeUtf8(o.summary, x - nowMs), RemoteSaid::kAnnounced);
    }
  });
  if (pass.marksChanged) marks.Prune(nowMs - kCatchUpMsecs - kMsecsPerDay);
  return pass;
}

}  // namespace vespin::remote
