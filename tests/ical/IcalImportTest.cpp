#include "IcalImport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IcalExport.h"
#include "IcalLimits.h"
#include "IcalRules.h"
#include "IcalTestSupport.h"
#include "events/EventFile.h"
#include "events/EventRows.h"
#include "events/FileLines.h"
#include "events/Settings.h"
#include "text/Sjis.h"

namespace vespin::ical {
namespace {

using test::EveryRule;
using test::StoreOf;

constexpr const char* kTokyo = "Asia/Tokyo";

TDateTime D(int y, int m, int d) {
  return EncodeDate(y, m, d);
}

ImportOptions Today(TDateTime today) {
  ImportOptions opt;
  opt.today = today;
  opt.zone = kTokyo;
  return opt;
}

std::string Lines(const ImportResult& r) {
  std::string out;
  for (const ImportedEvent& e : r.events)
    out += std::string(KindName(e.kind)) + " " + FileLine(e) + "\n";
  return out;
}

std::string Reasons(const std::vector<Skipped>& skipped) {
  std::string out;
  for (const Skipped& s : skipped) out += s.summary + ": " + s.reason + "\n";
  return out;
}

// A calendar around VEVENT bodies, with CR LF lines; each gets a UID of its own unless it has one.
std::string Calendar(const std::vector<std::string>& events) {
  std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n";
  for (const std::string& e : events) {
    ics += "BEGIN:VEVENT\r\nDTSTAMP:20250101T000000Z\r\n";
    if (e.find("UID:") == std::string::npos)
      ics += "UID:" + std::to_string(ics.size()) + "@test\r\n";
    std::size_t pos = 0;
    while (pos < e.size()) {
      const std::size_t end = e.find('\n', pos);
      ics += e.substr(pos, end - pos) + "\r\n";
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    ics += "END:VEVENT\r\n";
  }
  return ics + "END:VCALENDAR\r\n";
}

TEST(IcalImportTest, AnExportReadsBackAsTheSameRows) {
  std::vector<test::Line> unflagged;
  for (const test::Line& l : EveryRule()) {
    if (l.flag != "TRUE") unflagged.push_back(l);
  }
  const struct {
    const char* why;
    TDateTime from;
    int untilDays;  // 0: two years
    int importDaysLater;
    const char* zone;
    bool flagged;
    HolidayLaw law = HolidayLaw::k2005;
  } cases[] = {
      {"the default two years", D(2025, 1, 1), 0, 0, kTokyo, true},
      {"from a holiday: dates added before the first start", D(2026, 1, 1), 0, 0, kTokyo, true},
      {"floating times", D(2025, 6, 1), 0, 0, "", true},
      {"holidays listed for three months only", D(2025, 1, 1), 90, 0, kTokyo, true},
      {"imported forty days after the export", D(2025, 1, 1), 0, 40, kTokyo, false},
      {"the current law", D(2025, 1, 1), 0, 0, kTokyo, true, HolidayLaw::kCurrent},
  };
  for (const auto& c : cases) {
    const EventStore source = StoreOf(c.flagged ? EveryRule() : unflagged);
    ExportOptions opt;
    opt.from = c.from;
    opt.until = c.untilDays ? c.from + c.untilDays : YearsOn(c.from, 2);
    opt.zone = c.zone;
    opt.law = c.law;
    ImportOptions importing = Today(c.from + c.importDaysLater);
    importing.law = c.law;
    const ImportResult read = ReadCalendar(ExportEvents(source, opt).ics, importing);
    EXPECT_EQ(read.error, "") << c.why;
    EXPECT_EQ(Reasons(read.skipped), "") << c.why;
    EXPECT_TRUE(read.notes.empty()) << c.why;
    EventStore back;
    std::vector<Skipped> skipped;
    AddEvents(back, read.events, skipped);
    EXPECT_TRUE(skipped.empty()) << c.why;
    EXPECT_EQ(FormatEventFile(back, Settings{}), FormatEventFile(source, Settings{})) << c.why;
  }
}

// As another calendar program writes it: its own zone definition, a weekly meeting, a monthly
// bill, a birthday, a rule no stored one can hold, long lines folded (one inside a character),
// and UTF-8 texts.
constexpr const char* kOtherProgram =
    "BEGIN:VCALENDAR\r\n"
    "PRODID:-//Example Corp//Example Calendar 4.2//EN\r\n"
    "VERSION:2.0\r\n"
    "CALSCALE:GREGORIAN\r\n"
    "METHOD:PUBLISH\r\n"
    "X-WR-CALNAME:仕事\r\n"
    "BEGIN:VTIMEZONE\r\n"
    "TZID:Asia/Tokyo\r\n"
    "BEGIN:STANDARD\r\n"
    "TZOFFSETFROM:+0900\r\n"
    "TZOFFSETTO:+0900\r\n"
    "TZNAME:JST\r\n"
    "DTSTART:19700101T000000\r\n"
    "END:STANDARD\r\n"
    "END:VTIMEZONE\r\n"
    "BEGIN:VEVENT\r\n"
    "DTSTART;TZID=Asia/Tokyo:20240902T100000\r\n"
    "DTEND;TZID=Asia/Tokyo:20240902T110000\r\n"
    "RRULE:FREQ=WEEKLY;WKST=SU;BYDAY=MO\r\n"
    "DTSTAMP:20241120T031502Z\r\n"
    "UID:7kq3b2@example.com\r\n"
    "DESCRIPTION:毎週の定例です。議題は前日までに共有してください。資料は共有フォル\r\n"
    " ダにあります。\r\n"
    "SUMMARY:週次ミーティング\r\n"
    "BEGIN:VALARM\r\n"
    "ACTION:DISPLAY\r\n"
    "DESCRIPTION:This is an event reminder\r\n"
    "TRIGGER:-P0DT0H15M0S\r\n"
    "END:VALARM\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "DTSTART;VALUE=DATE:20240527\r\n"
    "DTEND;VALUE=DATE:20240528\r\n"
    "RRULE:FREQ=MONTHLY;BYMONTHDAY=27\r\n"
    "DTSTAMP:20241120T031502Z\r\n"
    "UID:8bc1@example.com\r\n"
    // "電気料金の引き落とし", folded in the middle of 引 (E5 BC 95).
    "SUMMARY:電気料金の\xE5\r\n"
    " \xBC\x95き落とし\r\n"
    "TRANSP:TRANSPARENT\r\n"
    "BEGIN:VALARM\r\n"
    "ACTION:DISPLAY\r\n"
    "DESCRIPTION:This is an event reminder\r\n"
    "TRIGGER:-PT15H\r\n"
    "END:VALARM\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "DTSTART;VALUE=DATE:19800315\r\n"
    "DTEND;VALUE=DATE:19800316\r\n"
    "RRULE:FREQ=YEARLY\r\n"
    "DTSTAMP:20241120T031502Z\r\n"
    "UID:bd-1980@example.com\r\n"
    "SUMMARY:父の誕生日\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "DTSTART;TZID=Asia/Tokyo:20241204T190000\r\n"
    "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=WE\r\n"
    "DTSTAMP:20241120T031502Z\r\n"
    "UID:gym@example.com\r\n"
    "SUMMARY:ジム\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "DTSTART:20250301T090000Z\r\n"
    "DTSTAMP:20241120T031502Z\r\n"
    "UID:party@example.com\r\n"
    "SUMMARY:送別会\r\n"
    "END:VEVENT\r\n"
    "END:VCALENDAR\r\n";

TEST(IcalImportTest, AnotherProgramsFileImportsWhatTheRulesHoldAndNamesTheRest) {
  const ImportResult r = ReadCalendar(kOtherProgram, Today(D(2025, 1, 1)));
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(Lines(r),
            "weekly 12,10:00,週次ミーティング,06\n"
            "monthly 127,00:00,電気料金の引き落とし,13\n"
            "yearly 0315,00:00,父の誕生日,01,FALSE\n"
            // 09:00 UTC is 18:00 here.
            "yearly 0301,18:00,送別会,01,TRUE\n");
  EXPECT_EQ(Reasons(r.skipped), "ジム: a repetition every 2 (INTERVAL)\n");
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_EQ(r.notes[0].summary, "電気料金の引き落とし");
  EXPECT_EQ(r.notes[0].text, "an alarm 15 hours before becomes 1日前");
}

TEST(IcalImportTest, EachEventIsTakenOnlyWhenARuleHoldsItExactly) {
  const struct {
    const char* why;
    const char* body;
    const char* expect;  // the file line, or "skip: " and the reason
  } cases[] = {
      // Rules another program may spell its own way.
      {"every day but with weekdays named",
       "DTSTART:20250101T073000\nRRULE:FREQ=DAILY;BYDAY=MO,WE,FR\nSUMMARY:x",
       "weekly 83,07:30,x,01"},
      {"the first Tuesday as weekly programs write it",
       "DTSTART:20250107T100000\nRRULE:FREQ=MONTHLY;BYDAY=1TU\nSUMMARY:x", "weekly 23,10:00,x,01"},
      {"the first Tuesday as earlier exports wrote the monthly rule",
       "DTSTART:20250107T100000\nRRULE:FREQ=MONTHLY;BYDAY=TU;BYSETPOS=1\nSUMMARY:x",
       "monthly 203,10:00,x,01"},
      {"the first Tuesday named as the monthly rule",
       "DTSTART:20250107T100000\nRRULE:FREQ=MONTHLY;BYDAY=1TU\nX-VESPIN-RULE:monthly 203\n"
       "SUMMARY:x",
       "monthly 203,10:00,x,01"},
      {"a rule named that does not fit is no rule",
       "DTSTART:20250107T100000\nRRULE:FREQ=WEEKLY;BYDAY=TU\nX-VESPIN-RULE:monthly 107\nSUMMARY:x",
       "weekly 13,10:00,x,01"},
      {"the last Friday", "DTSTART:20250131T170000\nRRULE:FREQ=MONTHLY;BYDAY=-1FR\nSUMMARY:x",
       "monthly 306,17:00,x,01"},
      {"the 31st, skipping short months",
       "DTSTART:20250131T090000\nRRULE:FREQ=MONTHLY;BYMONTHDAY=31\nSUMMARY:x",
       "monthly 131,09:00,x,01"},
      {"29 February, years ahead", "DTSTART:20240229T080000\nRRULE:FREQ=YEARLY\nSUMMARY:x",
       "yearly 0229,08:00,x,01,FALSE"},
      {"a repeating event begun years ago",
       "DTSTART:20150105T090000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nSUMMARY:x", "weekly 12,09:00,x,01"},
      {"UTC times that keep the local time",
       "DTSTART:20250106T010000Z\nRRULE:FREQ=WEEKLY;BYDAY=MO\nSUMMARY:x", "weekly 12,10:00,x,01"},
      // Sunday 23:00 UTC is Monday 08:00 here: the rule is read on the local calendar.
      {"UTC times on another day here",
       "DTSTART:20250105T230000Z\nRRULE:FREQ=WEEKLY;BYDAY=SU\nSUMMARY:x", "weekly 12,08:00,x,01"},
      {"a fixed offset on another day here",
       "DTSTART;TZID=Etc/GMT+5:20250106T200000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nSUMMARY:x",
       "weekly 13,10:00,x,01"},
      // …but the Monday after the first Sunday is not always the first Monday (8 September).
      {"the day after the first Sunday",
       "DTSTART:20250105T230000Z\nRRULE:FREQ=MONTHLY;BYDAY=1SU\nSUMMARY:x",
       "skip: no stored rule falls on the same dates"},
      {"once, as COUNT=1", "DTSTART:20250601T120000\nRRULE:FREQ=DAILY;COUNT=1\nSUMMARY:x",
       "yearly 0601,12:00,x,01,TRUE"},
      {"once, today", "DTSTART:20250101T230000\nSUMMARY:x", "yearly 0101,23:00,x,01,TRUE"},
      // Alarms.
      {"an alarm between two leads is rounded up",
       "DTSTART:20250101T100000\nSUMMARY:x\nBEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:-PT20M\n"
       "END:VALARM",
       "yearly 0101,10:00,x,07,TRUE"},
      {"the earliest of two alarms",
       "DTSTART:20250101T100000\nSUMMARY:x\nBEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:-PT5M\n"
       "END:VALARM\nBEGIN:VALARM\nACTION:AUDIO\nTRIGGER:-PT1H\nEND:VALARM",
       "yearly 0101,10:00,x,08,TRUE"},
      {"an alarm at a moment",
       "DTSTART:20250101T100000Z\nSUMMARY:x\nBEGIN:VALARM\nACTION:DISPLAY\n"
       "TRIGGER;VALUE=DATE-TIME:20250101T070000Z\nEND:VALARM",
       "yearly 0101,19:00,x,10,TRUE"},
      {"an alarm before the end",
       "DTSTART:20250101T100000\nDTEND:20250101T110000\nSUMMARY:x\nBEGIN:VALARM\n"
       "ACTION:DISPLAY\nTRIGGER;RELATED=END:-PT90M\nEND:VALARM",
       "yearly 0101,10:00,x,07,TRUE"},
      {"an alarm after the start is no alarm",
       "DTSTART:20250101T100000\nSUMMARY:x\nBEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:PT10M\n"
       "END:VALARM",
       "yearly 0101,10:00,x,01,TRUE"},
      {"a placeholder alarm of 1976 beside a real one",
       "DTSTART:20250101T100000\nSUMMARY:x\nBEGIN:VALARM\nACTION:NONE\n"
       "TRIGGER;VALUE=DATE-TIME:19760401T005545Z\nEND:VALARM\nBEGIN:VALARM\nACTION:DISPLAY\n"
       "TRIGGER:-PT15M\nEND:VALARM",
       "yearly 0101,10:00,x,06,TRUE"},
      {"a placeholder alarm alone",
       "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY\nSUMMARY:x\nBEGIN:VALARM\nACTION:NONE\n"
       "TRIGGER:-PT1H\nEND:VALARM",
       "weekly 12,10:00,x,01"},
      {"an alarm at a moment already past",
       "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY\nSUMMARY:x\nBEGIN:VALARM\nACTION:AUDIO\n"
       "TRIGGER;VALUE=DATE-TIME:20241231T090000Z\nEND:VALARM",
       "weekly 12,10:00,x,01"},
      // Texts.
      {"32 bytes in Shift_JIS", "DTSTART:20250101T100000\nSUMMARY:あいうえおかきくけこさしすせそた",
       "yearly 0101,10:00,あいうえおかきくけこさしすせそた,01,TRUE"},
      {"33 bytes", "DTSTART:20250101T100000\nSUMMARY:あいうえおかきくけこさしすせそたa",
       "skip: a text of 33 bytes in Shift_JIS (32 at most)"},
      {"a comma", "DTSTART:20250101T100000\nSUMMARY:a\\, b", "skip: a comma in the text"},
      {"a line break", "DTSTART:20250101T100000\nSUMMARY:a\\nb", "skip: a line break in the text"},
      {"a character Shift_JIS lacks", "DTSTART:20250101T100000\nSUMMARY:\xF0\x9F\x8E\x82",
       "skip: a text Shift_JIS cannot hold"},
      {"no text", "DTSTART:20250101T100000", "skip: no text (SUMMARY)"},
      {"an escape sequence", "DTSTART:20250101T100000\nSUMMARY:\x1b[2Jx",
       "skip: a control character in the text"},
      {"a bell", "DTSTART:20250101T100000\nSUMMARY:x\a", "skip: a control character in the text"},
      {"a C1 control", "DTSTART:20250101T100000\nSUMMARY:x\xC2\x9B",
       "skip: a control character in the text"},
      // libical drops what it cannot read, and says so: an empty DESCRIPTION does not matter.
      {"a property dropped that is not read", "DTSTART:20250101T100000\nDESCRIPTION:\nSUMMARY:x",
       "yearly 0101,10:00,x,01,TRUE"},
      // Rules none of the stored ones hold.
      {"hourly", "DTSTART:20250101T100000\nRRULE:FREQ=HOURLY\nSUMMARY:x",
       "skip: a repetition more often than daily (FREQ=HOURLY)"},
      // Dropped by libical, these would leave a single event behind.
      {"an interval of 0", "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY;INTERVAL=0\nSUMMARY:x",
       "skip: an RRULE that cannot be read (FREQ=WEEKLY;INTERVAL=0)"},
      {"a weekday nobody knows", "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY;BYDAY=XX\nSUMMARY:x",
       "skip: an RRULE that cannot be read (FREQ=WEEKLY;BYDAY=XX)"},
      {"a date taken away that is no date",
       "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY\nEXDATE:2025013\nSUMMARY:x",
       "skip: an EXDATE that cannot be read (2025013)"},
      {"30 February",
       "DTSTART:20250106T100000\nRRULE:FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=30\nSUMMARY:x",
       "skip: a rule that never occurs (no month of BYMONTH has a day of BYMONTHDAY)"},
      {"an end date", "DTSTART:20250101T100000\nRRULE:FREQ=DAILY;UNTIL=20250301T000000Z\nSUMMARY:x",
       "skip: an end date (UNTIL)"},
      {"a count", "DTSTART:20250101T100000\nRRULE:FREQ=DAILY;COUNT=3\nSUMMARY:x",
       "skip: an end after 3 times (COUNT)"},
      {"twice a day", "DTSTART:20250101T100000\nRRULE:FREQ=DAILY;BYHOUR=10,18\nSUMMARY:x",
       "skip: several times a day (BYHOUR, BYMINUTE or BYSECOND)"},
      {"two rules",
       "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nRRULE:FREQ=WEEKLY;BYDAY=TU\nSUMMARY:x",
       "skip: more than one RRULE"},
      {"weekdays, holidays included",
       "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR\nSUMMARY:x",
       "skip: no stored rule falls on the same dates"},
      {"a weekly meeting with one date taken away",
       "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nEXDATE:20250203T100000\nSUMMARY:x",
       "skip: single dates taken away or added (EXDATE/RDATE)"},
      {"three dates in a row that all happen to be holidays",
       "DTSTART:20250503T100000\nRDATE:20250504T100000,20250505T100000\nSUMMARY:x",
       "skip: single dates taken away or added (EXDATE/RDATE)"},
      {"a weekly event that begins in June",
       "DTSTART:20250602T100000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nSUMMARY:x",
       "skip: a first date (2025-06-02): a repeating event here has none and would begin at once"},
      {"the 15th every three months",
       "DTSTART:20250115T100000\nRRULE:FREQ=MONTHLY;BYMONTH=1,4,7,10;BYMONTHDAY=15\nSUMMARY:x",
       "skip: no stored rule falls on the same dates"},
      {"a time that moves with summer time",
       "DTSTART;TZID=Europe/London:20250106T090000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nSUMMARY:x",
       "skip: a time of day that changes in the local zone"},
      {"a zone nobody knows",
       "DTSTART;TZID=Nowhere/Atlantis:20250106T090000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nSUMMARY:x",
       "skip: an unknown time zone (TZID=Nowhere/Atlantis)"},
      {"once, yesterday", "DTSTART:20241231T100000\nSUMMARY:x", "skip: in the past (2024-12-31)"},
      {"once, next year", "DTSTART:20260101T100000\nSUMMARY:x",
       "skip: more than a year ahead (2026-01-01)"},
      {"a start with seconds", "DTSTART:20250101T100030\nSUMMARY:x",
       "skip: a start time with seconds"},
      {"a moved occurrence of another event",
       "DTSTART:20250108T100000\nRECURRENCE-ID:20250107T100000\nSUMMARY:x",
       "skip: a changed occurrence of a repeating event (RECURRENCE-ID)"},
      {"cancelled", "DTSTART:20250108T100000\nSTATUS:CANCELLED\nSUMMARY:x", "skip: cancelled"},
  };
  for (const auto& c : cases) {
    const ImportResult r = ReadCalendar(Calendar({c.body}), Today(D(2025, 1, 1)));
    ASSERT_EQ(r.error, "") << c.why;
    std::string got = Lines(r);
    if (!r.skipped.empty()) got += "skip: " + r.skipped[0].reason + "\n";
    EXPECT_EQ(got, std::string(c.expect) + "\n") << c.why;
  }
}

TEST(IcalImportTest, TextThatIsNoCalendarIsAnErrorAndNothingElse) {
  for (const char* text :
       {"", "hello\r\n", "[週間]\r\n13,10:00,会議,04\r\n", "BEGIN:VCARD\r\nEND:VCARD\r\n",
        "\xEF\xBB\xBF  BEGIN:VCALENDAR-ish garbage",
        // Nothing to import is not "nothing skipped".
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:t@test\r\nSUMMARY:x\r\n"
        "END:VTODO\r\nEND:VCALENDAR\r\n",
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n"}) {
    const ImportResult r = ReadCalendar(text, Today(D(2025, 1, 1)));
    EXPECT_NE(r.error, "") << text;
    EXPECT_TRUE(r.events.empty() && r.skipped.empty()) << text;
  }
  // A calendar with a byte-order mark, lower-case keywords and LF lines is still one.
  const ImportResult r = ReadCalendar(
      "\xEF\xBB\xBF"
      "begin:vcalendar\nversion:2.0\nbegin:vevent\ndtstart:20250101T100000\nsummary:x\n"
      "end:vevent\nend:vcalendar\n",
      Today(D(2025, 1, 1)));
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(Lines(r), "yearly 0101,10:00,x,01,TRUE\n");
}

TEST(IcalImportTest, RowsGoWhereTheDialogPutsThemAndStoredOnesAreNotAddedTwice) {
  EventStore store;
  store.week.InsertRow(1, WeekRow("13", "10:00", "a", "04"));
  store.month.InsertRow(1, MonthRow("101", "09:00", "b", "04"));
  store.month.InsertRow(2, MonthRow("125", "09:00", "c", "04"));
  store.year.InsertRow(1, YearRow("1224", "19:00", "d", "04", "FALSE"));
  const std::vector<ImportedEvent> events = {
      {EventKind::kMonthly, "115", "09:00", "new-m", "04", false, "new-m"},
      {EventKind::kMonthly, "400", "23:00", "last-m", "04", false, "last-m"},
      {EventKind::kWeekly, "13", "10:00", "a", "04", false, "a"},  // stored already
      {EventKind::kWeekly, "81", "07:00", "new-w", "01", false, "new-w"},
      {EventKind::kWeekly, "81", "07:00", "new-w", "01", false, "new-w"},  // twice in the file
      {EventKind::kYearly, "0101", "00:00", "new-y", "01", true, "new-y"},
  };
  std::vector<Skipped> skipped;
  const auto added = AddEvents(store, events, skipped);
  EXPECT_EQ(added.size(), 5u);
  EXPECT_EQ(Reasons(skipped), "a: already stored\n");
  const auto column = [](const EventTable& t, int col) {
    std::string out;
    for (int row = 1; row <= t.DataRowCount(); ++row) (out += t.Cell(col, row)) += " ";
    return out;
  };
  EXPECT_EQ(column(store.week, WeekCol::kText), "a new-w new-w ");
  EXPECT_EQ(column(store.month, MonthCol::kText), "b new-m c last-m ");
  EXPECT_EQ(column(store.year, YearCol::kText), "new-y d ");
  EXPECT_EQ(store.year.Cell(YearCol::kDelete, 1), "TRUE");
  EXPECT_EQ(sjis::ToUtf8(store.month.Cell(MonthCol::kDayName, 2)), "15日");
}

// What the other events of a file say about an event: occurrences moved or cancelled elsewhere,
// and the same event twice.
TEST(IcalImportTest, OtherEventsOfTheFileAreTakenIntoAccount) {
  const std::string weekly =
      "UID:w@test\nDTSTART:20240902T100000\nRRULE:FREQ=WEEKLY;BYDAY=MO\nSUMMARY:週次";
  const struct {
    const char* why;
    std::vector<std::string> events;
    const char* expect;  // file lines, then "skip: " and a reason for each event skipped
  } cases[] = {
      {"an occurrence moved to another day and text",
       {weekly, "UID:w@test\nRECURRENCE-ID:20250113T100000\nDTSTART:20250114T100000\nSUMMARY:代替"},
       "skip: 週次: single occurrences moved, changed or cancelled by other events "
       "(RECURRENCE-ID)\n"
       "skip: 代替: a changed occurrence of a repeating event (RECURRENCE-ID)\n"},
      {"an occurrence cancelled",
       {weekly,
        "UID:w@test\nRECURRENCE-ID:20250113T100000\nDTSTART:20250113T100000\n"
        "STATUS:CANCELLED\nSUMMARY:週次"},
       "skip: 週次: single occurrences moved, changed or cancelled by other events "
       "(RECURRENCE-ID)\n"
       "skip: 週次: a changed occurrence of a repeating event (RECURRENCE-ID)\n"},
      {"an occurrence moved last year no longer matters",
       {weekly, "UID:w@test\nRECURRENCE-ID:20240909T100000\nDTSTART:20240910T100000\nSUMMARY:代替"},
       "weekly 12,10:00,週次,01\n"
       "skip: 代替: a changed occurrence of a repeating event (RECURRENCE-ID)\n"},
      {"…unless it changed every later one",
       {weekly,
        "UID:w@test\nRECURRENCE-ID;RANGE=THISANDFUTURE:20240909T100000\n"
        "DTSTART:20240909T110000\nSUMMARY:週次"},
       "skip: 週次: single occurrences moved, changed or cancelled by other events "
       "(RECURRENCE-ID)\n"
       "skip: 週次: a changed occurrence of a repeating event (RECURRENCE-ID)\n"},
      {"an occurrence of another event",
       {weekly,
        "UID:other@test\nRECURRENCE-ID:20250113T100000\nDTSTART:20250114T100000\n"
        "SUMMARY:代替"},
       "weekly 12,10:00,週次,01\n"
       "skip: 代替: a changed occurrence of a repeating event (RECURRENCE-ID)\n"},
      {"the same event twice",
       {weekly, weekly},
       "weekly 12,10:00,週次,01\nskip: 週次: the same UID as an earlier event\n"},
      // Two events alike but for their UID are two events, as two rows alike export.
      {"two events alike",
       {"DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY\nSUMMARY:x",
        "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY\nSUMMARY:x"},
       "weekly 12,10:00,x,01\nweekly 12,10:00,x,01\n"},
  };
  for (const auto& c : cases) {
    const ImportResult r = ReadCalendar(Calendar(c.events), Today(D(2025, 1, 1)));
    ASSERT_EQ(r.error, "") << c.why;
    std::string got = Lines(r);
    for (const Skipped& skipped : r.skipped)
      got += "skip: " + skipped.summary + ": " + skipped.reason + "\n";
    EXPECT_EQ(got, c.expect) << c.why;
  }
}

// Whatever dates an event names, its import costs no more than the horizon allows: the work
// the file can ask for grows with its size, not with its dates.
TEST(IcalImportTest, DatesFarAheadOrBackCostNoMoreThanTheHorizon) {
  std::string manyExdates = "DTSTART:20250101T100000\nRRULE:FREQ=DAILY\nSUMMARY:x";
  for (int day = 2; day <= 3000; ++day) {
    const DateParts p = DecodeDate(D(2025, 1, 1) + day);
    char line[40];
    std::snprintf(line, sizeof line, "\nEXDATE:%04d%02d%02dT100000", p.year, p.month, p.day);
    manyExdates += line;
  }
  const struct {
    const char* why;
    std::string body;
    const char* reason;  // empty: taken
  } cases[] = {
      {"a date taken away in 9999",
       "DTSTART:19000101T100000\nRRULE:FREQ=DAILY\nEXDATE:99991231T100000\nSUMMARY:x",
       "single dates taken away or added more than 10 years ahead (EXDATE/RDATE)"},
      {"a date added in 9999",
       "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY\nRDATE:99991231T100000\nSUMMARY:x",
       "single dates taken away or added more than 10 years ahead (EXDATE/RDATE)"},
      {"holidays said to be listed up to 9999",
       "DTSTART:20250106T100000\nRRULE:FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR\n"
       "X-VESPIN-HOLIDAYS-UNTIL:99991231\nSUMMARY:x",
       "no stored rule falls on the same dates"},
      {"a start in the year 1", "DTSTART:00010101T100000\nRRULE:FREQ=DAILY\nSUMMARY:x", ""},
      {"a rule that never occurs",
       "DTSTART:19000101T100000\nRRULE:FREQ=DAILY;BYMONTH=4,6,9,11;BYMONTHDAY=31\nSUMMARY:x",
       "a rule that never occurs (no month of BYMONTH has a day of BYMONTHDAY)"},
      {"a rule that occurs once in 28 years",
       "DTSTART:20250101T100000\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29;BYDAY=MO\nSUMMARY:x",
       "no occurrence from today on"},
      {"three thousand dates taken away", manyExdates, "no stored rule falls on the same dates"},
  };
  const TDateTime today = D(2025, 1, 1);
  const auto horizonDays = static_cast<std::int64_t>(HorizonEnd(today) - today) + 1;
  // A few expansions over the horizon; each rule of the dialog asked once or twice over it.
  const std::int64_t maxSteps = 4 * horizonDays;
  const auto maxRuleDays = 2 * static_cast<std::int64_t>(CodesThrough(today).size()) * horizonDays;
  for (const auto& c : cases) {
    const ImportResult r = ReadCalendar(Calendar({c.body}), Today(today));
    ASSERT_EQ(r.error, "") << c.why;
    EXPECT_EQ(r.skipped.empty() ? "" : r.skipped[0].reason, c.reason) << c.why;
    EXPECT_EQ(r.events.size(), *c.reason ? 0u : 1u) << c.why;
    EXPECT_LE(r.work.expansionSteps, maxSteps) << c.why;
    EXPECT_LE(r.work.ruleDays, maxRuleDays) << c.why;
  }
  // However many events: once the calendar's days are used up, the rest are not compared.
  ImportOptions small = Today(today);
  small.maxExpandedDays = 2000;
  std::vector<std::string> daily(4, "DTSTART:20250101T100000\nRRULE:FREQ=DAILY\nSUMMARY:x");
  daily.push_back("DTSTART:20250101T100000\nSUMMARY:once");
  const ImportResult r = ReadCalendar(Calendar(daily), small);
  EXPECT_EQ(Lines(r),
            "weekly 81,10:00,x,01\nweekly 81,10:00,x,01\nweekly 81,10:00,x,01\n"
            "yearly 0101,10:00,once,01,TRUE\n");
  EXPECT_EQ(Reasons(r.skipped),
            "x: not compared: the events before it took all the comparing one import does\n");
  EXPECT_LT(r.work.expandedDays, small.maxExpandedDays + 800);
  // Larger than the limit is refused before libical reads any of it.
  std::string huge = Calendar({"DTSTART:20250101T100000\nSUMMARY:x"});
  huge.insert(huge.size() - std::string("END:VCALENDAR\r\n").size(),
              "X-PAD:" + std::string(kMaxCalendarBytes, 'a') + "\r\n");
  EXPECT_EQ(ReadCalendar(huge, Today(today)).error, "larger than 16 MiB");
}

}  // namespace
}  // namespace vespin::ical
