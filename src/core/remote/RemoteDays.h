#pragma once
// The occurrences of other calendars by local day: what the day listing, the day's underline and
// the event lines ask for. Built once per fetch or day change, then asked each minute, so a
// question costs a binary search, not a walk over every occurrence.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "calendar/DateTime.h"
#include "remote/RemoteOccurrence.h"

namespace vespin::remote {

// The day mask's bit for days with occurrences of other calendars, beside the engine's three
// (kMaskYearly, kMaskMonthly, kMaskWeekly): set only while their underline is on.
inline constexpr int kMaskRemote = 8;

class RemoteDayIndex {
 public:
  RemoteDayIndex() = default;
  // An all-day span is listed on each of its days, clipped to [first, last] when given.
  explicit RemoteDayIndex(std::vector<RemoteOccurrence> occurrences,
                          std::optional<std::pair<sys_days, sys_days>> window = std::nullopt);

  // The occurrences on a day, all-day ones first, then by start (ListedBefore).
  std::vector<const RemoteOccurrence*> On(sys_days day) const;
  bool Any(sys_days day) const;
  // The days from `first` to `last` that have any, in order.
  std::vector<sys_days> DaysWith(sys_days first, sys_days last) const;
  // What the event lines show of a day at `nowMs`: its all-day occurrences, and the timed ones
  // still to come (after `nowMs`, as the engine's own lines).
  // At most `limit` of them, the first in that order.
  std::vector<const RemoteOccurrence*> Coming(sys_days day, std::int64_t nowMs,
                                              std::size_t limit = SIZE_MAX) const;

  const std::vector<RemoteOccurrence>& All() const { return occurrences_; }
  bool Empty() const { return occurrences_.empty(); }

 private:
  struct Entry {
    sys_days day;
    std::uint32_t index;
  };
  std::pair<std::vector<Entry>::const_iterator, std::vector<Entry>::const_iterator> Range(
      sys_days day) const;

  std::vector<RemoteOccurrence> occurrences_;
  std::vector<Entry> entries_;  // by day, then in listing order

 public:
  // Each occurrence that touches the days `first` to `last` once (an all-day span at the first
  // of its days in the range), without building a list: the alarm pass runs every minute.
  template <typename Visit>
  void ForEachTouching(sys_days first, sys_days last, Visit&& visit) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), Entry{first, 0},
                               [](const Entry& a, const Entry& b) { return a.day < b.day; });
    for (; it != entries_.end() && it->day <= last; ++it) {
      const RemoteOccurrence& o = occurrences_[it->index];
      if (it->day == std::max(o.FirstDay(), first)) visit(o);
    }
  }
};

}  // namespace vespin::remote
