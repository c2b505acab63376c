#include "remote/RemoteOccurrence.h"

#include <algorithm>
#include <charconv>
#include <tuple>
#include <vector>

#include "events/LeadTimes.h"

namespace vespin::remote {
namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
}

std::optional<std::string> Unescaped(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out += field[i];
      continue;
    }
    if (++i == field.size()) return std::nullopt;
    switch (field[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

// The length of the UTF-8 sequence at `at`, or 0 when the bytes there are none.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned min = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    min = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  unsigned code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  // Overlong forms, surrogates and anything beyond U+10FFFF are no characters.
  if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

}  // namespace

std::int64_t NearestLead(std::int64_t msecs) {
  if (msecs < 0) return kNoLead;
  std::int64_t longest = kNoLead;
  std::int64_t nearest = kNoLead;
  for (const LeadTime& lead : kLeadTimes) {
    if (lead.atStartUp) continue;
    longest = std::max(longest, lead.msecs);
    if (lead.msecs >= msecs && (nearest == kNoLead || lead.msecs < nearest)) nearest = lead.msecs;
  }
  return nearest == kNoLead ? longest : nearest;
}

std::string CleanText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = Utf8Length(utf8, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c == '\t' || c == '\n' || c == '\r') {
      out += ' ';
    } else if (c < 0x20 || c == 0x7F) {
      // dropped: ESC and BEL would reach the terminal
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      // C1 controls (U+0080 to U+009F): dropped for the same reason
    } else {
      out.append(utf8.substr(i, length));
    }
    i += length;
  }
  return out;
}

std::string OccurrenceLine(const RemoteOccurrence& o) {
  std::string line = std::to_string(o.startMs);
  line += '\t';
  line += o.allDay ? '1' : '0';
  line += '\t';
  line += std::to_string(o.days);
  line += '\t';
  line += std::to_string(o.leadMs);
  for (const std::string* text : {&o.calendar, &o.uid, &o.key, &o.summary}) {
    line += '\t';
    AppendEscaped(line, *text);
  }
  return line;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  while (true) {
    const std::size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return fields;
}

std::optional<RemoteOccurrence> ParseOccurrenceLine(std::string_view line) {
  const std::vector<std::string_view> fields = SplitFields(line);
  if (fields.size() != 8) return std::nullopt;
  RemoteOccurrence o;
  if (!ReadNumber(fields[0], o.startMs) || (fields[1] != "0" && fields[1] != "1") ||
      !ReadNumber(fields[2], o.days) || o.days < 1 || o.days > kMaxAllDaySpan ||
      !ReadNumber(fields[3], o.leadMs) || o.leadMs < kNoLead) {
    return std::nullopt;
  }
  // Only moments of the calendar's years: a day index must be able to hold them.
  if (o.startMs < MsecsAt(kFirstCalendarDay) ||
      o.startMs >= MsecsAt(kLastCalendarDay) + kMsecsPerDay) {
    return std::nullopt;
  }
  o.allDay = fields[1] == "1";
  std::string* texts[] = {&o.calendar, &o.uid, &o.key, &o.summary};
  for (std::size_t i = 0; i < 4; ++i) {
    auto text = Unescaped(fields[4 + i]);
    if (!text) return std::nullopt;
    *texts[i] = std::move(*text);
  }
  return o;
}

std::string EscapeField(std::string_view text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

std::optional<std::string> UnescapeField(std::string_view field) {
  return Unescaped(field);
}

bool ListedBefore(const RemoteOccurrence& a, const RemoteOccurrence& b) {
  return std::tuple(!a.allDay, a.startMs, std::string_view(a.calendar), std::string_view(a.summary),
                    std::string_view(a.key)) <
         std::tuple(!b.allDay, b.startMs, std::string_view(b.calendar), std::string_view(b.summary),
                    std::string_view(b.key));
}

}  // namespace vespin::remote
