// The pieces of a fetch that need no server: iCalendar split into events and zones and put
// together again, and the state kept between fetches.
#include <gtest/gtest.h>

#include "CalendarText.h"
#include "Dav.h"
#include "Http.h"
#include "Store.h"

namespace vespin::sync {
namespace {

TEST(CalendarTextTest, WhatIsNoCalendarIsRefused) {
  const struct {
    const char* name;
    const char* text;
  } cases[] = {
      {"an HTML page", "<!DOCTYPE html><html><body>Log in</body></html>\n"},
      {"empty", ""},
      {"cut off", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\n"},
      {"ends what is not open",
       "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VTODO\r\nEND:VCALENDAR\r\n"},
      {"text after the end", "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\nBEGIN:VEVENT\r\n"},
      {"a property before the start", "UID:a\r\nBEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"},
      {"two calendars nested",
       "BEGIN:VCALENDAR\r\nBEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"
       "END:VCALENDAR\r\n"},
  };
  for (const auto& c : cases) EXPECT_FALSE(SplitCalendar(c.text)) << c.name;
}

TEST(CalendarTextTest, EventsZonesAndUidsAreFoundWhateverTheLineEnds) {
  // LF line ends, a byte-order mark, a folded summary, a quoted TZID, an alarm inside, a to-do.
  const std::string text =
      "\xEF\xBB\xBF"
      "BEGIN:VCALENDAR\nVERSION:2.0\n"
      "BEGIN:VTIMEZONE\nTZID:Europe/Berlin\nBEGIN:STANDARD\nDTSTART:19701025T030000\n"
      "TZOFFSETFROM:+0200\nTZOFFSETTO:+0100\nEND:STANDARD\nEND:VTIMEZONE\n"
      "BEGIN:VTIMEZONE\nTZID:Unused/Zone\nEND:VTIMEZONE\n"
      "BEGIN:VEVENT\nUID:a\nDTSTART;TZID=\"Europe/Berlin\":20261210T100000\nSUMMARY:long\n"
      " er text\nBEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:-PT5M\nEND:VALARM\nEND:VEVENT\n"
      "BEGIN:VTODO\nUID:t\nEND:VTODO\n"
      "BEGIN:VEVENT\nUID:a\nRECURRENCE-ID:20261217T090000Z\nDTSTART:20261217T100000Z\n"
      "END:VEVENT\n"
      "END:VCALENDAR\n";
  const auto parts = SplitCalendar(text);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->eventUids, (std::vector<std::string>{"a", "a"}));
  EXPECT_EQ(parts->eventZones[0], (std::vector<std::string>{"Europe/Berlin"}));
  EXPECT_TRUE(parts->eventZones[1].empty());
  EXPECT_EQ(parts->zones.size(), 2u);
  EXPECT_NE(parts->events[0].find("SUMMARY:long\r\n er text\r\n"), std::string::npos)
      << "folds kept, line ends made CR LF";
  EXPECT_NE(parts->events[0].find("END:VALARM\r\n"), std::string::npos);

  // Merged: the zone the events name, once, before the events; the unused one left out.
  const auto other = SplitCalendar(text);
  const std::string merged = MergeCalendar({&*parts, &*other});
  EXPECT_EQ(merged.find("TZID:Unused/Zone"), std::string::npos);
  const std::size_t zone = merged.find("TZID:Europe/Berlin");
  ASSERT_NE(zone, std::string::npos);
  EXPECT_EQ(merged.find("TZID:Europe/Berlin", zone + 1), std::string::npos);
  const auto again = SplitCalendar(merged);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->events.size(), 4u);

  // One calendar per UID, the rule with its moved occurrence and the zone it needs.
  const auto byUid = CalendarsByUid(*parts);
  ASSERT_EQ(byUid.size(), 1u);
  const auto single = SplitCalendar(byUid.at("a"));
  ASSERT_TRUE(single);
  EXPECT_EQ(single->events.size(), 2u);
  EXPECT_EQ(single->zones.size(), 1u);
}

TEST(StateTest, TheStateReadsBackAsWrittenAndADamagedOneIsNoState) {
  FetchState s;
  s.url = "https://example.com/dav/work/";
  s.kind = "caldav";
  s.syncToken = "http://example.com/sync/42";
  s.ctag = "\"7\"";
  s.listedOn = "2026-12-09";
  // Texts that look like the frame itself.
  s.resources["/dav/work/a b.ics"] = {"\"1\"", "BEGIN:VCALENDAR\r\n3 4 5\n\nEND:VCALENDAR\r\n"};
  s.resources["/dav/work/ü.ics"] = {"", std::string("\0x\n", 3)};
  const std::string bytes = FormatState(s);
  EXPECT_EQ(ParseState(bytes), s);
  EXPECT_FALSE(ParseState(bytes.substr(0, bytes.size() - 5)));
  EXPECT_FALSE(ParseState("something else\n"));
  EXPECT_FALSE(ParseState(bytes + "99999 1 1\nabc\n"));
}

TEST(DavTest, AMultistatusIsReadAndABrokenOneIsNot) {
  const std::string good =
      "<?xml version=\"1.0\"?><multistatus xmlns=\"DAV:\" "
      "xmlns:C=\"urn:ietf:params:xml:ns:caldav\"><response><href>/c/a%20b.ics</href>"
      "<propstat><prop><getetag>\"e1\"</getetag><C:calendar-data>BEGIN:VCALENDAR&#13;\n"
      "END:VCALENDAR&#13;\n</C:calendar-data></prop><status>HTTP/1.1 200 OK</status></propstat>"
      "<propstat><prop><getctag/></prop><status>HTTP/1.1 404 Not Found</status></propstat>"
      "</response><response><href>/c/gone.ics</href><status>HTTP/1.1 404 Not Found</status>"
      "</response><sync-token>tok-2</sync-token></multistatus>";
  const auto ms = dav::ParseMultistatus(good);
  ASSERT_TRUE(ms);
  ASSERT_EQ(ms->responses.size(), 2u);
  EXPECT_EQ(ms->responses[0].href, "/c/a%20b.ics");
  EXPECT_EQ(ms->responses[0].etag, "\"e1\"");
  EXPECT_EQ(ms->responses[0].calendarData, "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
  EXPECT_EQ(ms->responses[1].status, 404);
  EXPECT_EQ(ms->syncToken, "tok-2");
  for (const std::string& bad :
       {good.substr(0, good.size() - 20), std::string("<html/>"), std::string("not xml at all")}) {
    EXPECT_FALSE(dav::ParseMultistatus(bad)) << bad;
  }
  EXPECT_EQ(dav::Multiget({"/c/<&>.ics"}).find("<&>"), std::string::npos) << "hrefs escaped";
}

}  // namespace
}  // namespace vespin::sync

namespace vespin::sync {
namespace {

TEST(AddressTest, SchemesAndWhatCountsAsUnencrypted) {
  const struct {
    const char* given;
    const char* fetched;  // "" when refused
    bool unencrypted;
  } cases[] = {
      {"https://dav.example.com/a/", "https://dav.example.com/a/", false},
      {"webcal://example.com/h.ics", "https://example.com/h.ics", false},
      {"WEBCAL://example.com/h.ics", "https://example.com/h.ics", false},
      {"http://example.com/h.ics", "http://example.com/h.ics", true},
      {"http://192.168.1.2:5232/a/", "http://192.168.1.2:5232/a/", true},
      {"http://127.0.0.1:5232/a/", "http://127.0.0.1:5232/a/", false},
      {"http://localhost/a/", "http://localhost/a/", false},
      {"http://[::1]:8080/a/", "http://[::1]:8080/a/", false},
      {"http://127.example.com/a/", "http://127.example.com/a/", true},
      {"ftp://example.com/h.ics", "", false},
      {"file:///etc/passwd", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HttpUrl(c.given), c.fetched) << c.given;
    if (*c.fetched) {
      EXPECT_EQ(Unencrypted(HttpUrl(c.given)), c.unencrypted) << c.given;
    }
  }
  EXPECT_EQ(ResolveHref("https://h.example/dav/a/", "/dav/a/x%40y.ics"),
            "https://h.example/dav/a/x%40y.ics");
}

}  // namespace
}  // namespace vespin::sync
