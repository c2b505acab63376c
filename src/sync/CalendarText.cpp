#include "CalendarText.h"

#include <algorithm>
#include <set>

namespace vespin::sync {
namespace {

constexpr std::string_view kHead =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//VESPIN//vespin-sync//JA\r\n";
constexpr std::string_view kTail = "END:VCALENDAR\r\n";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// The value after the first unquoted ':' of an unfolded line.
std::string_view ValueOf(std::string_view line) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) return line.substr(i + 1);
  }
  return {};
}

// The TZID=… parameter of an unfolded property line, if any.
std::string TzidParameter(std::string_view line) {
  const std::size_t colon = line.find(':');
  const std::string upper = Upper(line.substr(0, colon));
  const std::size_t at = upper.find(";TZID=");
  if (at == std::string::npos) return {};
  std::size_t start = at + 6;
  std::size_t end;
  if (start < line.size() && line[start] == '"') {
    ++start;
    end = line.find('"', start);
  } else {
    end = line.find_first_of(";:", start);
  }
  if (end == std::string_view::npos || end < start) return {};
  return std::string(line.substr(start, end - start));
}

struct Line {
  std::string_view raw;  // the physical lines of this content line, without the last line end
  std::string unfolded;
};

// Content lines with their folded continuations joined; LF or CR LF.
std::vector<Line> ContentLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  // A byte-order mark some servers put in front.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view physical = text.substr(pos, end - pos);
    if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
    const bool continuation = !physical.empty() && (physical[0] == ' ' || physical[0] == '\t');
    if (continuation && !lines.empty()) {
      Line& last = lines.back();
      last.unfolded.append(physical.substr(1));
      last.raw = std::string_view(
          last.raw.data(),
          static_cast<std::size_t>(physical.data() + physical.size() - last.raw.data()));
    } else if (!physical.empty()) {
      lines.push_back({physical, std::string(physical)});
    }
    pos = end + 1;
  }
  return lines;
}

void AppendRaw(std::string& out, std::string_view raw) {
  // Folded lines keep their folds; every line end becomes CR LF.
  std::size_t pos = 0;
  while (pos <= raw.size()) {
    std::size_t end = raw.find('\n', pos);
    if (end == std::string_view::npos) end = raw.size();
    std::string_view piece = raw.substr(pos, end - pos);
    if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    out.append(piece);
    out.append("\r\n");
    pos = end + 1;
  }
}

}  // namespace

std::optional<CalendarParts> SplitCalendar(std::string_view text) {
  const std::vector<Line> lines = ContentLines(text);
  if (lines.empty() || Upper(lines.front().unfolded) != "BEGIN:VCALENDAR") return std::nullopt;
  CalendarParts parts;
  std::vector<std::string> open;  // the names of the components we are in
  std::string current;            // the event or zone being collected; empty kind: none
  std::string currentKind, currentTzid, currentUid;
  std::set<std::string> currentZones;
  bool ended = false;
  for (const Line& line : lines) {
    if (ended) return std::nullopt;  // text after END:VCALENDAR
    const std::string& u = line.unfolded;
    if (StartsWithNoCase(u, "BEGIN:")) {
      const std::string name = Upper(ValueOf(u));
      if ((open.empty()) != (name == "VCALENDAR")) return std::nullopt;
      open.push_back(name);
      if (open.size() == 2 && (name == "VEVENT" || name == "VTIMEZONE")) {
        currentKind = name;
        current.clear();
        currentTzid.clear();
        currentUid.clear();
        currentZones.clear();
      }
      if (!currentKind.empty()) AppendRaw(current, line.raw);
    } else if (StartsWithNoCase(u, "END:")) {
      if (open.empty() || Upper(ValueOf(u)) != open.back()) return std::nullopt;
      if (!currentKind.empty()) AppendRaw(current, line.raw);
      open.pop_back();
      if (open.size() == 1 && currentKind == "VEVENT") {
        parts.events.push_back(std::move(current));
        parts.eventZones.emplace_back(currentZones.begin(), currentZones.end());
        parts.eventUids.push_back(currentUid);
        currentKind.clear();
      } else if (open.size() == 1 && currentKind == "VTIMEZONE") {
        if (!currentTzid.empty()) parts.zones.emplace(currentTzid, std::move(current));
        currentKind.clear();
      }
      ended = open.empty();
    } else if (!currentKind.empty()) {
      AppendRaw(current, line.raw);
      if (open.size() == 2 && currentKind == "VTIMEZONE" && StartsWithNoCase(u, "TZID")) {
        currentTzid = std::string(ValueOf(u));
      } else if (open.size() == 2 && currentKind == "VEVENT" &&
                 (StartsWithNoCase(u, "UID:") || StartsWithNoCase(u, "UID;"))) {
        currentUid = std::string(ValueOf(u));
      }
      if (currentKind == "VEVENT") {
        if (std::string tzid = TzidParameter(u); !tzid.empty()) currentZones.insert(tzid);
      }
    } else if (open.empty()) {
      return std::nullopt;  // a property before BEGIN:VCALENDAR
    }
  }
  if (!ended) return std::nullopt;
  return parts;
}

std::string MergeCalendar(const std::vector<const CalendarParts*>& parts) {
  std::map<std::string, const std::string*> zones;
  std::size_t size = kHead.size() + kTail.size();
  for (const CalendarParts* p : parts) {
    for (std::size_t i = 0; i < p->events.size(); ++i) {
      size += p->events[i].size();
      for (const std::string& tzid : p->eventZones[i]) {
        if (zones.count(tzid)) continue;
        if (const auto z = p->zones.find(tzid); z != p->zones.end()) {
          zones.emplace(tzid, &z->second);
          size += z->second.size();
        }
      }
    }
  }
  std::string out;
  out.reserve(size);
  out.append(kHead);
  for (const auto& [tzid, text] : zones) out.append(*text);
  for (const CalendarParts* p : parts) {
    for (const std::string& event : p->events) out.append(event);
  }
  out.append(kTail);
  return out;
}

std::map<std::string, std::string> CalendarsByUid(const CalendarParts& parts) {
  std::map<std::string, std::vector<std::size_t>> byUid;
  for (std::size_t i = 0; i < parts.events.size(); ++i) {
    if (!parts.eventUids[i].empty()) byUid[parts.eventUids[i]].push_back(i);
  }
  std::map<std::string, std::string> out;
  for (const auto& [uid, indexes] : byUid) {
    std::set<std::string> needed;
    for (const std::size_t i : indexes)
      needed.insert(parts.eventZones[i].begin(), parts.eventZones[i].end());
    std::string text(kHead);
    for (const std::string& tzid : needed) {
      if (const auto z = parts.zones.find(tzid); z != parts.zones.end()) text += z->second;
    }
    for (const std::size_t i : indexes) text += parts.events[i];
    text += kTail;
    out.emplace(uid, std::move(text));
  }
  return out;
}

}  // namespace vespin::sync
