#pragma once
// The alarms of other calendars' events, and their place in the event lines: called by the
// clock tick right after the engine's own pass, with the occurrences of the cached calendars.
//
//   tick --EventEngine::AlarmPass--> local lines and notices
//        --MergeRemoteLines--------> remote ones joined into the five lines
//        --RemoteAlarmPass---------> notices (UTF-8) + done marks --> cache folder/remote-done
//
// Each occurrence is announced once whatever the clock does: its done mark (kept by the
// occurrence's key and start, never in vespin.ini) says how far it got. A mark of an instance
// that has since moved no longer matches, and the moved one is announced at its new time.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "events/AppState.h"
#include "remote/RemoteDays.h"
#include "remote/RemoteOccurrence.h"

namespace vespin::remote {

// Joins today's coming remote occurrences into the lines the engine filled at `nowMs`: all-day
// ones first (終日 as their time), then everything by start, the file's own first at a tie;
// the first five stay. Lines of the file's own events are left byte for byte as they were.
void MergeRemoteLines(AppState& state, const RemoteDayIndex& index, std::int64_t nowMs);

// The time column of an all-day occurrence's line (UTF-8).
inline constexpr const char* kAllDayTimeText = "終日";

// An occurrence as a clicked day announces it, after the file's own events of that day: its
// text and its time as the engine words its own ("定例会議 10:00"; "出張 終日"), UTF-8.
std::string DayListNoticeUtf8(const RemoteOccurrence& o);

enum class RemoteSaid : char {
  kAnnounced = 'a',  // the advance notice was shown
  kFinished = 'f',   // the last notice it gets was shown, or its time went by
};

struct RemoteMark {
  std::int64_t startMs = 0;  // the start it was announced for
  std::int64_t untilMs = 0;  // when it stops mattering: its start, or an all-day span's end
  RemoteSaid said = RemoteSaid::kAnnounced;
  friend bool operator==(const RemoteMark&, const RemoteMark&) = default;
};

class RemoteDoneMarks {
 public:
  // The mark of this occurrence at this start; nullptr when there is none (or one of another
  // start: the instance was moved).
  const RemoteMark* Find(const RemoteOccurrence& o) const;
  void Set(const RemoteOccurrence& o, RemoteSaid said);
  // Forgets marks that stopped mattering before `beforeMs` (the catch-up reaches no further).
  void Prune(std::int64_t beforeMs);
  // A subscription renamed: its marks go with it. Marks already under `to` were left by a
  // calendar of that name removed before, and go.
  void RenameCalendar(std::string_view from, std::string_view to);
  std::size_t Size() const { return marks_.size(); }

  // One mark a line: untilMs, startMs, a|f, calendar, key (tab-separated, escaped). Lines that
  // are no mark are passed over: a damaged file costs at most a repeated notice.
  std::string Format() const;
  static RemoteDoneMarks Parse(std::string_view text);

  friend bool operator==(const RemoteDoneMarks&, const RemoteDoneMarks&) = default;

 private:
  // By calendar and key; looked up without copying either.
  using MarkKey = std::pair<std::string_view, std::string_view>;
  struct KeyOrder {
    using is_transparent = void;
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
      return MarkKey(a.first, a.second) < MarkKey(b.first, b.second);
    }
  };
  std::map<std::pair<std::string, std::string>, RemoteMark, KeyOrder> marks_;
};

// The marks file in the cache folder (CacheFolder.h: kRemoteDoneFile). A missing file is no
// marks; writing replaces it whole and atomically (created with the user's access only).
RemoteDoneMarks ReadRemoteDone(const std::filesystem::path& file);
bool WriteRemoteDone(const std::filesystem::path& file, const RemoteDoneMarks& marks);

struct RemoteAlarmOptions {
  bool onTime = false;  // 予定時刻: also announce at the event's own minute
};

// What the previous pass left for the next one; the panel keeps one per run.
struct RemoteAlarmState {
  std::optional<std::int64_t> lastPassMs;
};

struct RemotePass {
  std::vector<std::string> notices;  // UTF-8, to be shown in this order
  bool marksChanged = false;         // the marks file needs writing
};

// The pass at `nowMs` (local time, milliseconds on the TDateTime epoch), with the same promises
// as the engine's: an occurrence with an alarm gets its advance notice (あと…で「…」です。) once
// its lead has come, then at its minute 「…」の時間です。 when the on-time option is on; one
// that went by unannounced (after a suspend, a clock put forward, or earlier today) gets
// 「…」の時間を過ぎています。 once; a pass more than kGapMsecs after the one before looks back
// at most kCatchUpMsecs. An occurrence without an alarm is announced at its minute only when the
// on-time option is on. An all-day occurrence is announced only when it carries an alarm: once,
// in advance or on its first day (今日は「…」です。).
RemotePass RemoteAlarmPass(std::int64_t nowMs, const RemoteDayIndex& index, RemoteDoneMarks& marks,
                           RemoteAlarmState& state, const RemoteAlarmOptions& options);

}  // namespace vespin::remote
