#include "events/EventFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <utility>

#include "events/CodeTables.h"
#include "events/ExtensionSection.h"
#include "text/Sjis.h"

namespace vespin {
namespace {

using ini::CodePart;
namespace EventField = ini::EventField;
using ini::ParseDecimal;
using ini::SettingsField;
using ini::SettingsFieldDef;
using ini::SettingsType;

std::string SortKey(std::string_view code, std::string_view time) {
  std::string key(code);
  key += ' ';
  key += time;
  return key;
}

// The fields of a line as views into it; the fields of CommaSplit.
std::vector<std::string_view> FieldViews(std::string_view line) {
  std::vector<std::string_view> fields;
  if (line.empty()) return fields;
  fields.reserve(ini::kEventLineFields + 2);
  for (;;) {
    const auto comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
  return fields;
}

// fields[first..last) with the commas between them: the text of a line whose text held commas.
std::string_view Joined(std::span<const std::string_view> fields, std::size_t first,
                        std::size_t last) {
  const char* begin = fields[first].data();
  return {begin,
          static_cast<std::size_t>(fields[last - 1].data() + fields[last - 1].size() - begin)};
}

bool FitsInt(std::int64_t v) {
  return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

void SetInt(std::string_view text, int& target) {
  if (auto v = ParseDecimal(text); v && FitsInt(*v)) target = static_cast<int>(*v);
}

void AppendField(std::string& line, std::string_view field, bool first = false) {
  if (!first) line += ini::kFieldSeparator;
  line += field;
}

void AppendLine(std::string& out, std::string_view line) {
  out += line;
  out += ini::kLineEnd;
}

void ApplyField(const SettingsFieldDef& def, const std::string& text, Settings& settings) {
  switch (def.type) {
    case SettingsType::kInteger:
      break;  // the position, read as a pair by ApplySettingsLine
    case SettingsType::kFontSize:
      SetInt(text, settings.*def.number);
      break;
    case SettingsType::kBackground:
      settings.backClear = text == ini::kClear;
      if (settings.backClear) {
        settings.backColor = kSilver;
      } else if (auto v = ParseDecimal(text); v && *v >= 0 && *v <= 0xFFFFFFFF) {
        settings.backColor = static_cast<std::uint32_t>(*v);
      }
      break;
    case SettingsType::kScheme:
      settings.*def.flag = text == ini::kBright;
      break;
    case SettingsType::kText:
      settings.fontName = text;
      break;
    case SettingsType::kBoolean:
      settings.*def.flag = text == ini::kTrue;
      break;
    case SettingsType::kFontStyle:
      if (auto v = ParseDecimal(text)) settings.*def.number = static_cast<int>(*v & 0xFF);
      break;
    case SettingsType::kMonths:
      if (auto months = ini::MonthsFromToken(text)) settings.*def.number = *months;
      break;
  }
}

std::string FieldText(const SettingsFieldDef& def, const Settings& settings) {
  switch (def.type) {
    case SettingsType::kInteger:
    case SettingsType::kFontSize:
    case SettingsType::kFontStyle:
      return std::to_string(settings.*def.number);
    case SettingsType::kBackground:
      return settings.backClear ? std::string(ini::kClear) : std::to_string(settings.backColor);
    case SettingsType::kScheme:
      return std::string(settings.*def.flag ? ini::kBright : ini::kDark);
    case SettingsType::kText:
      return settings.fontName;
    case SettingsType::kBoolean:
      return std::string(ini::BoolToken(settings.*def.flag));
    case SettingsType::kMonths: {
      const int months = settings.*def.number;
      return months >= 1 && months <= 3 ? std::to_string(months) : std::string();
    }
  }
  return {};
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// Replaces `target` by `bytes` so that a reader sees either the old or the new file whole. The
// temporary file has a name of its own, so two programs saving at once never touch each other's.
bool ReplaceAtomically(const std::filesystem::path& target, std::string_view bytes,
                       const struct stat& old) {
  const auto folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // Keep the owner where we may (as root, say); a failure here is no reason to lose the save.
  // The mode follows, as a change of owner may clear some of its bits.
  [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
  bool ok = ::fchmod(fd, old.st_mode & 07777) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; the new file is in place whatever this returns.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

// Whether the user meant the file to be written. Root may write anything, so for root the write
// bits themselves decide: a file nobody may write (chmod 444) stays as it is.
bool UserMayWrite(const std::filesystem::path& file, const struct stat& st) {
  if (::geteuid() == 0) return (st.st_mode & 0222) != 0;
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
}

FileProblem ProblemOfMode(mode_t mode) {
  if (S_ISREG(mode)) return FileProblem::kNone;
  if (S_ISDIR(mode)) return FileProblem::kDirectory;
  if (S_ISFIFO(mode)) return FileProblem::kFifo;
  if (S_ISSOCK(mode)) return FileProblem::kSocket;
  return FileProblem::kDevice;
}

FileProblem ProblemOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return FileProblem::kMissing;
    case EACCES:
    case EPERM:
      return FileProblem::kDenied;
    case ENXIO:  // a socket, or a device without its driver
      return FileProblem::kDevice;
    default:
      return FileProblem::kReadError;
  }
}

// Whether the line a save writes for these fields reads back as the same fields.
bool ReadsBackTheSame(const EventLineFields& e, bool yearly) {
  const std::string flag(yearly ? e.deleteFlag.value_or(std::string(ini::kFalse)) : "");
  std::string line = e.code;
  for (std::string_view field :
       {std::string_view(e.time), std::string_view(e.text), std::string_view(e.alarm)}) {
    AppendField(line, field);
  }
  if (yearly) AppendField(line, flag);
  const EventLineFields back = ReadEventLine(line, yearly);
  return back.code == e.code && back.time == e.time && back.text == e.text &&
         back.alarm == e.alarm && (!yearly || back.deleteFlag.value_or("") == flag);
}

}  // namespace

std::vector<std::string> CommaSplit(std::string_view line) {
  const std::vector<std::string_view> views = FieldViews(line);
  return {views.begin(), views.end()};
}

std::vector<std::string> WeekRow(std::string_view typeCode, std::string_view time,
                                 std::string_view text, std::string_view alarmCode) {
  const auto& codes = Codes();
  std::vector<std::string> row(WeekCol::kCount);
  if (CodePart(typeCode, 0, 1) == "8") {
    row[WeekCol::kTypeName] = codes.cdWType.CodeToName(typeCode);
  } else {
    row[WeekCol::kTypeName] = codes.cdWType.CodeToName(CodePart(typeCode, 0, 1));
    row[WeekCol::kDayName] = codes.cdDay.CodeToName(CodePart(typeCode, 1, 1));
  }
  row[WeekCol::kTime] = time;
  row[WeekCol::kText] = text;
  row[WeekCol::kAlarmName] = codes.cdAlarm.CodeToName(alarmCode);
  row[WeekCol::kTypeCode] = typeCode;
  row[WeekCol::kAlarmCode] = alarmCode;
  return row;
}

std::vector<std::string> MonthRow(std::string_view typeCode, std::string_view time,
                                  std::string_view text, std::string_view alarmCode) {
  const auto& codes = Codes();
  std::vector<std::string> row(MonthCol::kCount);
  const std::string_view kind = CodePart(typeCode, 0, 1);
  if (kind == "1") {
    row[MonthCol::kTypeName] = codes.cdMType.CodeToName(kind);
    row[MonthCol::kDayName] = codes.cdDate.CodeToName(CodePart(typeCode, 1, 2));
  } else if (kind == "4") {
    row[MonthCol::kTypeName] = codes.cdMType.CodeToName(typeCode);
  } else {
    row[MonthCol::kTypeName] = codes.cdMType.CodeToName(CodePart(typeCode, 0, 2));
    row[MonthCol::kDayName] = codes.cdDay.CodeToName(CodePart(typeCode, 2, 1));
  }
  row[MonthCol::kTime] = time;
  row[MonthCol::kText] = text;
  row[MonthCol::kAlarmName] = codes.cdAlarm.CodeToName(alarmCode);
  row[MonthCol::kTypeCode] = typeCode;
  row[MonthCol::kAlarmCode] = alarmCode;
  row[MonthCol::kSortKey] = SortKey(typeCode, time);
  return row;
}

std::vector<std::string> YearRow(std::string_view code, std::string_view time,
                                 std::string_view text, std::string_view alarmCode,
                                 std::string_view deleteFlag) {
  const auto& codes = Codes();
  std::vector<std::string> row(YearCol::kCount);
  row[YearCol::kMonthName] = codes.cdMonth.CodeToName(CodePart(code, 0, 2));
  row[YearCol::kDayName] = codes.cdDate.CodeToName(CodePart(code, 2, 2));
  row[YearCol::kTime] = time;
  row[YearCol::kText] = text;
  row[YearCol::kAlarmName] = codes.cdAlarm.CodeToName(alarmCode);
  row[YearCol::kDelete] = deleteFlag;
  row[YearCol::kTypeCode] = code;
  row[YearCol::kAlarmCode] = alarmCode;
  row[YearCol::kSortKey] = SortKey(code, time);
  return row;
}

EventLineFields ReadEventLine(std::string_view line, bool yearly) {
  // Views until the end: only the fields that are kept become strings.
  std::vector<std::string_view> f = FieldViews(line);
  EventLineFields e;
  const auto isLead = [](std::string_view code) {
    return !Codes().cdAlarm.CodeToName(code).empty();
  };
  if (const std::size_t m = f.size(); m >= 2 && f[m - 1].empty()) {
    const bool afterLead = isLead(f[m - 2]);
    const bool afterFlag = yearly && m >= 3 && ini::IsBoolToken(f[m - 2]) && isLead(f[m - 3]);
    if (afterLead || afterFlag) {
      f.pop_back();
      e.trailingComma = true;
    }
  }
  const std::size_t trailing = yearly ? 1 : 0;
  const std::size_t n = f.size();
  e.fieldCount = n;
  auto at = [&](std::size_t i) { return i < n ? f[i] : std::string_view{}; };
  e.code = at(EventField::kCode);
  e.time = at(EventField::kTime);
  const std::size_t full = ini::kEventLineFields + trailing;
  std::string_view text;
  if (n <= full) {
    text = at(EventField::kText);
    e.alarm = at(EventField::kAlarm);
    if (yearly && n == full) e.deleteFlag = at(EventField::kDeleteFlag);
  } else {
    text = Joined(f, EventField::kText, n - 1 - trailing);
    e.alarm = at(n - 1 - trailing);
    if (yearly) e.deleteFlag = at(n - 1);
  }
  const std::string_view whole = sjis::WholeCharacters(text);
  e.text = whole;
  if (whole.size() < text.size()) {
    // The cut must not change what the saved line reads as: a text left ending in
    // ",<lead code>" before an empty lead (or flag) would hand those bytes to the lead at the
    // next load. Such a text keeps its half character.
    e.cutLeadByte = ReadsBackTheSame(e, yearly);
    if (!e.cutLeadByte) e.text = text;
  }
  return e;
}

void ApplySettingsLine(const std::vector<std::string>& s, Settings& settings) {
  const std::size_t n = s.size();
  // The position is read as a pair. One that is no number is no position: the window goes
  // where it goes without one (the top right corner), not to the top left.
  const std::size_t position = std::min<std::size_t>(n, ini::Index(SettingsField::kTop) + 1);
  bool numbers = true;
  for (std::size_t i = 0; i < position; ++i) {
    numbers = numbers && ini::WellFormed(SettingsType::kInteger, s[i]);
  }
  for (std::size_t i = 0; i < position; ++i) {
    settings.*ini::kSettingsFields[i].number =
        numbers ? static_cast<int>(*ParseDecimal(s[i])) : kNoPosition;
  }
  if (n == ini::kSettingsFieldCount) {
    for (const SettingsFieldDef& def : ini::kSettingsFields) {
      ApplyField(def, s[ini::Index(def.field)], settings);
    }
    return;
  }
  for (std::size_t i = 0; i < n && i < ini::kSharedSettingsFields; ++i) {
    ApplyField(ini::kSettingsFields[i], s[i], settings);
  }
  // The older short line knew only position, colours, font name and sound.
  settings.fontSize = 9;
  settings.fontStyle = 0;
  settings.yearLine = settings.monthLine = settings.weekLine = false;
  settings.startUp = true;
  settings.onTime = false;
  if (const std::size_t sound = ini::Index(SettingsField::kSound); n > sound) {
    settings.beep = s[sound] == ini::kOlderSoundOn;
  }
  settings.months = 1;
}

std::string SettingsLine(const Settings& settings) {
  std::string line;
  bool first = true;
  for (const SettingsFieldDef& def : ini::kSettingsFields) {
    AppendField(line, FieldText(def, settings), first);
    first = false;
  }
  return line;
}

namespace {

// Cuts the line that begins at `pos`. While more bytes are to come (`atEnd` false), a line whose
// end is not in sight yet, or that ends in a CR that may be followed by LF, is left uncut.
bool CutLine(std::string_view bytes, std::size_t& pos, bool atEnd, FileLine& line) {
  // A line ends at CR, at LF or at the pair. A plain scan: find_first_of looks each byte up in
  // the set of line-end bytes with a call of its own, which made cutting the lines most of the
  // reading.
  std::size_t stop = pos;
  while (stop < bytes.size() && bytes[stop] != '\r' && bytes[stop] != '\n') ++stop;
  if (stop == bytes.size()) stop = std::string_view::npos;
  if (stop == std::string_view::npos) {
    if (!atEnd) return false;
    line.text = bytes.substr(pos);
    line.end = LineEnd::kNone;
    pos = bytes.size();
    return true;
  }
  if (bytes[stop] == '\r' && stop + 1 == bytes.size() && !atEnd) return false;
  line.text = bytes.substr(pos, stop - pos);
  if (bytes[stop] == '\n') {
    line.end = LineEnd::kLf;
    pos = stop + 1;
  } else if (stop + 1 < bytes.size() && bytes[stop + 1] == '\n') {
    line.end = LineEnd::kCrLf;
    pos = stop + 2;
  } else {
    line.end = LineEnd::kCr;
    pos = stop + 1;
  }
  return true;
}

// Numbers the lines and finds the sections by position.
class SectionTracker {
 public:
  void Place(FileLine& line) {
    line.number = ++number_;
    if (!line.text.empty()) {
      if (!seenFirst_) {
        // The first line opens the weekly section whatever it says.
        seenFirst_ = true;
        line.isHeader = true;
      } else if (line.text.front() == '[') {
        section_ = ini::NextSection(section_);
        line.isHeader = true;
      }
    }
    line.section = section_;
  }

 private:
  FileSection section_ = FileSection::kWeek;
  bool seenFirst_ = false;
  int number_ = 0;
};

template <typename OnLine>
void ForEachLine(std::string_view bytes, OnLine&& onLine) {
  SectionTracker tracker;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    FileLine line;
    CutLine(bytes, pos, true, line);
    tracker.Place(line);
    onLine(line);
  }
}

}  // namespace

std::vector<FileLine> SplitEventFile(std::string_view bytes) {
  std::vector<FileLine> lines;
  ForEachLine(bytes, [&lines](const FileLine& line) { lines.push_back(line); });
  return lines;
}

std::optional<EventKind> EventLineKind(const FileLine& line) {
  if (line.isHeader || line.text.empty()) return std::nullopt;
  switch (line.section) {
    case FileSection::kWeek:
      return EventKind::kWeekly;
    case FileSection::kMonth:
      return EventKind::kMonthly;
    case FileSection::kYear:
      return EventKind::kYearly;
    case FileSection::kSettings:
    case FileSection::kVersion:
      break;
  }
  return std::nullopt;
}

void ForEachEventFileLine(std::string_view bytes,
                          const std::function<void(const FileLine&)>& onLine) {
  ForEachLine(bytes, onLine);
}

bool StreamEventFile(const std::filesystem::path& path,
                     const std::function<void(const FileLine&)>& onLine) {
  // Non-blocking: opening a named pipe for reading would otherwise wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  // One buffer of a fixed size for the whole file: the rest of a line cut by a read moves to
  // its front, and only a line longer than the buffer makes it grow.
  // Not zeroed: every byte is read into before it is looked at.
  std::size_t capacity = kStreamPiece;
  auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
  std::size_t size = 0;
  std::size_t pos = 0;
  SectionTracker tracker;
  bool atEnd = false;
  bool ok = true;
  while (true) {
    FileLine line;
    if (pos < size && CutLine(std::string_view(buffer.get(), size), pos, atEnd, line)) {
      tracker.Place(line);
      onLine(line);
      continue;
    }
    if (atEnd) break;
    std::memmove(buffer.get(), buffer.get() + pos, size - pos);
    size -= pos;
    pos = 0;
    if (size == capacity) {
      auto wider = std::make_unique_for_overwrite<char[]>(capacity *= 2);
      std::memcpy(wider.get(), buffer.get(), size);
      buffer = std::move(wider);
    }
    const ssize_t got = ::read(fd, buffer.get() + size, capacity - size);
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    size += static_cast<std::size_t>(got);
    atEnd = got == 0;
  }
  ::close(fd);
  return ok;
}

namespace {

// Empties the tables and makes room for the file's events in them. Counted first: each table is
// then allocated once, which a start with thousands of events notices.
void ReserveFor(std::string_view bytes, EventStore& store) {
  store.week.ClearRows();
  store.month.ClearRows();
  store.year.ClearRows();
  std::array<int, ini::kSectionCount> events{};
  std::array<std::size_t, ini::kSectionCount> textBytes{};
  ForEachLine(bytes, [&](const FileLine& line) {
    if (line.isHeader || line.text.empty()) return;
    ++events[static_cast<std::size_t>(line.section)];
    textBytes[static_cast<std::size_t>(line.section)] += line.text.size();
  });
  // A row keeps its line's fields plus display names and a sort key, a few dozen bytes more.
  constexpr std::size_t kRowExtraBytes = 32;
  for (const auto& [section, table] :
       {std::pair{FileSection::kWeek, &store.week}, std::pair{FileSection::kMonth, &store.month},
        std::pair{FileSection::kYear, &store.year}}) {
    const auto i = static_cast<std::size_t>(section);
    table->ReserveRows(events[i],
                       textBytes[i] + kRowExtraBytes * static_cast<std::size_t>(events[i]));
  }
}

// One event line of the file as the row it becomes, after the rows already there.
void AppendRow(EventStore& store, EventKind kind, std::string_view text) {
  switch (kind) {
    case EventKind::kWeekly: {
      const auto e = ReadEventLine(text, false);
      store.week.InsertRow(store.week.DataRowCount() + 1, WeekRow(e.code, e.time, e.text, e.alarm));
      return;
    }
    case EventKind::kMonthly: {
      const auto e = ReadEventLine(text, false);
      store.month.InsertRow(store.month.DataRowCount() + 1,
                            MonthRow(e.code, e.time, e.text, e.alarm));
      return;
    }
    case EventKind::kYearly: {
      const auto e = ReadEventLine(text, true);
      store.year.InsertRow(store.year.DataRowCount() + 1,
                           YearRow(e.code, e.time, e.text, e.alarm,
                                   e.deleteFlag ? *e.deleteFlag : std::string(ini::kFalse)));
      return;
    }
  }
}

// The settings lines and the extension section of a file; with a store, its events too.
bool ParseFile(std::string_view bytes, EventStore* store, Settings& settings) {
  bool settingsRead = false;
  if (store) ReserveFor(bytes, *store);
  std::vector<FileLine> lastSection;  // the version line and the extension section
  ForEachLine(bytes, [&](const FileLine& line) {
    if (line.section == FileSection::kVersion) lastSection.push_back(line);
    if (const auto kind = EventLineKind(line)) {
      if (store) AppendRow(*store, *kind, line.text);
    } else if (line.section == FileSection::kSettings && !line.isHeader && !line.text.empty()) {
      ApplySettingsLine(CommaSplit(line.text), settings);
      settingsRead = true;
    }
  });
  settings.extensions = ReadExtensionSection(lastSection).values;
  if (store) {
    store->week.SelectRow(1);
    store->month.SelectRow(1);
    store->year.SelectRow(1);
  }
  return settingsRead;
}

}  // namespace

bool ParseEventFile(std::string_view bytes, EventStore& store, Settings& settings) {
  return ParseFile(bytes, &store, settings);
}

std::string FormatEventFile(const EventStore& store, const Settings& settings) {
  std::string out;
  out.reserve(64 * static_cast<std::size_t>(store.week.DataRowCount() + store.month.DataRowCount() +
                                            store.year.DataRowCount()) +
              256);
  auto section = [&out](FileSection header, const EventTable& table, std::span<const int> cols) {
    AppendLine(out, ini::SectionHeader(header));
    for (int row = 1; row <= table.DataRowCount(); ++row) {
      bool first = true;
      for (int c : cols) {
        AppendField(out, table.Cell(c, row), first);
        first = false;
      }
      out += ini::kLineEnd;
    }
  };
  section(FileSection::kWeek, store.week, ini::kWeekLineColumns);
  section(FileSection::kMonth, store.month, ini::kMonthLineColumns);
  section(FileSection::kYear, store.year, ini::kYearLineColumns);
  AppendLine(out, ini::SectionHeader(FileSection::kSettings));
  AppendLine(out, SettingsLine(settings));
  AppendLine(out, ini::SectionHeader(FileSection::kVersion));
  AppendLine(out, ini::kVersionLine);
  out += FormatExtensionSection(settings.extensions);
  return out;
}

const char* FileProblemText(FileProblem problem) {
  switch (problem) {
    case FileProblem::kNone:
      return "no problem";
    case FileProblem::kMissing:
      return "no such file";
    case FileProblem::kDirectory:
      return "is a folder, not a file";
    case FileProblem::kFifo:
      return "is a named pipe, not a file";
    case FileProblem::kDevice:
      return "is a device, not a file";
    case FileProblem::kSocket:
      return "is a socket, not a file";
    case FileProblem::kDenied:
      return "permission denied";
    case FileProblem::kReadError:
      break;
  }
  return "read error";
}

FileRead ReadEventFileBytes(const std::filesystem::path& path) {
  FileRead r;
  // Looked at before it is opened: opening a named pipe for reading waits for a writer.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    r.problem = ProblemOfErrno(errno);
    return r;
  }
  if ((r.problem = ProblemOfMode(st.st_mode)) != FileProblem::kNone) return r;
  // Whatever was swapped in since cannot make the open wait, and is looked at again.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    r.problem = ProblemOfErrno(errno);
    return r;
  }
  if (::fstat(fd, &st) != 0) {
    r.problem = FileProblem::kReadError;
  } else if ((r.problem = ProblemOfMode(st.st_mode)) == FileProblem::kNone) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buf, sizeof buf);
      if (got > 0) {
        bytes.append(buf, static_cast<std::size_t>(got));
      } else if (got == 0) {
        r.bytes = std::move(bytes);
        break;
      } else if (errno != EINTR) {
        r.problem = FileProblem::kReadError;
        break;
      }
    }
  }
  ::close(fd);
  return r;
}

FileProblem ProblemWith(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return ProblemOfErrno(errno);
  const FileProblem problem = ProblemOfMode(st.st_mode);
  return problem == FileProblem::kNone ? FileProblem::kReadError : problem;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  return ReadEventFileBytes(path).bytes;
}

EventFile::EventFile(std::filesystem::path path, Notifier& notifier)
    : path_(std::move(path)), notifier_(notifier) {}

LoadResult EventFile::Load(EventStore* store, Settings& settings) {
  auto bytes = ReadWholeFile(path_);
  if (!bytes) {
    notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
    return {};
  }
  const bool settingsRead = ParseFile(*bytes, store, settings);
  baseline_ = std::move(bytes);
  return {.ok = true, .settingsRead = settingsRead};
}

LoadResult EventFile::IniLoad(EventStore& store, Settings& settings) {
  return Load(&store, settings);
}

LoadResult EventFile::IniLoadSettings(Settings& settings) {
  return Load(nullptr, settings);
}

void EventFile::LoadEvents(EventStore& store) const {
  Settings again;  // read once already, and perhaps changed since
  ParseEventFile(Baseline(), store, again);
}

std::string_view EventFile::Baseline() const {
  return baseline_ ? std::string_view(*baseline_) : std::string_view();
}

bool EventFile::IniSave(const EventStore& store, const Settings& settings) {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
    return false;
  }
  if (!UserMayWrite(path_, st)) {
    notifier_.ShowNotice(sjis::Lit(kWriteFailedNotice));
    return false;
  }
  // Through a symbolic link, replace the file it points at and keep the link.
  std::filesystem::path target = path_;
  std::error_code ec;
  if (std::filesystem::is_symlink(path_, ec)) {
    target = std::filesystem::canonical(path_, ec);
    if (ec) {
      notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
      return false;
    }
  }
  std::string bytes = FormatEventFile(store, settings);
  if (!ReplaceAtomically(target, bytes, st)) {
    notifier_.ShowNotice(sjis::Lit(kWriteFailedNotice));
    return false;
  }
  baseline_ = std::move(bytes);
  return true;
}

bool EventFile::ChangedOnDisk() const {
  if (!baseline_) return false;
  // The bytes themselves decide: a touch is no change, and an edit within the same second of
  // the same size still is one.
  const auto now = ReadWholeFile(path_);
  return now && *now != *baseline_;
}

bool EventFile::EventsDiffer(const EventStore& store) const {
  EventStore base;
  Settings unused;
  ParseEventFile(baseline_.value_or(std::string()), base, unused);
  for (const StoreTable& t : StoreTables()) {
    if (!SameEvents(base.*t.table, store.*t.table, t.doneCol)) return true;
  }
  return false;
}

bool EventFile::Rebase(EventStore& store, Settings& settings, RowChanges rows) {
  auto fresh = ReadWholeFile(path_);
  if (!fresh) {
    notifier_.ShowNotice(sjis::Lit(kOpenFailedNotice));
    return false;
  }
  EventStore base;
  Settings baseSettings;
  ParseEventFile(baseline_.value_or(std::string()), base, baseSettings);
  const EventStore mine = store;
  // A file without a settings line leaves the settings as the last one left them.
  Settings theirs = baseSettings;
  ParseEventFile(*fresh, store, theirs);
  for (const StoreTable& t : StoreTables()) {
    if (rows == RowChanges::kKeep) {
      ApplyRowChanges(base.*t.table, mine.*t.table, store.*t.table, t.doneCol, t.sortCol);
    }
    CarryDoneMarks(mine.*t.table, store.*t.table, t.doneCol);
  }
  ApplySettingChanges(baseSettings, settings, theirs);
  settings = theirs;
  baseline_ = std::move(fresh);
  return true;
}

}  // namespace vespin
