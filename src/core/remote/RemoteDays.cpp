#include "remote/RemoteDays.h"

#include <algorithm>

namespace vespin::remote {

RemoteDayIndex::RemoteDayIndex(std::vector<RemoteOccurrence> occurrences,
                               std::optional<std::pair<sys_days, sys_days>> window)
    : occurrences_(std::move(occurrences)) {
  for (std::size_t i = 0; i < occurrences_.size(); ++i) {
    const RemoteOccurrence& o = occurrences_[i];
    sys_days first = o.FirstDay();
    sys_days last = o.LastDay();
    if (window) {
      first = std::max(first, window->first);
      last = std::min(last, window->second);
    }
    for (sys_days day = first; day <= last; day += std::chrono::days(1)) {
      entries_.push_back({day, static_cast<std::uint32_t>(i)});
    }
  }
  std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
    if (a.day != b.day) return a.day < b.day;
    return ListedBefore(occurrences_[a.index], occurrences_[b.index]);
  });
}

std::pair<std::vector<RemoteDayIndex::Entry>::const_iterator,
          std::vector<RemoteDayIndex::Entry>::const_iterator>
RemoteDayIndex::Range(sys_days day) const {
  return std::equal_range(entries_.begin(), entries_.end(), Entry{day, 0},
                          [](const Entry& a, const Entry& b) { return a.day < b.day; });
}

std::vector<const RemoteOccurrence*> RemoteDayIndex::On(sys_days day) const {
  std::vector<const RemoteOccurrence*> out;
  const auto [begin, end] = Range(day);
  for (auto it = begin; it != end; ++it) out.push_back(&occurrences_[it->index]);
  return out;
}

bool RemoteDayIndex::Any(sys_days day) const {
  const auto [begin, end] = Range(day);
  return begin != end;
}

std::vector<sys_days> RemoteDayIndex::DaysWith(sys_days first, sys_days last) const {
  std::vector<sys_days> days;
  auto it = std::lower_bound(entries_.begin(), entries_.end(), Entry{first, 0},
                             [](const Entry& a, const Entry& b) { return a.day < b.day; });
  for (; it != entries_.end() && it->day <= last; ++it) {
    if (days.empty() || days.back() != it->day) days.push_back(it->day);
  }
  return days;
}

std::vector<const RemoteOccurrence*> RemoteDayIndex::Coming(sys_days day, std::int64_t nowMs,
                                                            std::size_t limit) const {
  std::vector<const RemoteOccurrence*> out;
  const auto [begin, end] = Range(day);
  for (auto it = begin; it != end && out.size() < limit; ++it) {
    const RemoteOccurrence& o = occurrences_[it->index];
    if (o.allDay || o.startMs > nowMs) out.push_back(&o);
  }
  return out;
}

}  // namespace vespin::remote
