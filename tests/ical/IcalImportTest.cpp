#include "IcalImport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IcalExport.h"
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

// A calendar around VEVENT bodies, with CR LF lines.
std::string Calendar(const std::vector<std::string>& events) {
  std::string ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n";
  for (const std::string& e : events) {
    ics += "BEGIN:VEVENT\r\nUID:" + std::to_string(ics.size()) +
           "@test\r\nDTSTAMP:20250101T000000Z\r\n";
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
      {"the first Tuesday as this program writes the monthly rule",
       "DTSTART:20250107T100000\nRRULE:FREQ=MONTHLY;BYDAY=TU;BYSETPOS=1\nSUMMARY:x",
       "monthly 203,10:00,x,01"},
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
      // Rules none of the stored ones hold.
      {"hourly", "DTSTART:20250101T100000\nRRULE:FREQ=HOURLY\nSUMMARY:x",
       "skip: a repetition more often than daily (FREQ=HOURLY)"},
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
        "\xEF\xBB\xBF  BEGIN:VCALENDAR-ish garbage"}) {
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

}  // namespace
}  // namespace vespin::ical
