#include "events/CompactEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeEngineHost.h"
#include "RandomEventFile.h"
#include "TempDir.h"
#include "events/AppState.h"
#include "events/EventEngine.h"
#include "events/EventFile.h"
#include "events/FileLines.h"

namespace vespin {
namespace {

std::string Describe(const FileLine& l) {
  return std::to_string(l.number) + ":" + std::string(l.text) + "|" +
         std::to_string(static_cast<int>(l.end)) + "|" +
         std::to_string(static_cast<int>(l.section)) + (l.isHeader ? "H" : "");
}

std::vector<std::string> Streamed(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  EXPECT_TRUE(StreamEventFile(file, [&](const FileLine& l) { lines.push_back(Describe(l)); }));
  return lines;
}

std::vector<std::string> Split(const std::string& bytes) {
  std::vector<std::string> lines;
  for (const FileLine& l : SplitEventFile(bytes)) lines.push_back(Describe(l));
  return lines;
}

// The streamed reader reads kStreamPiece bytes at a time: a line end, above all a CR LF, may
// straddle two pieces. Each case puts the given bytes right at the end of the first piece.
TEST(CompactEventsTest, StreamedLinesEqualTheWholeFilesLinesAcrossPieceEdges) {
  constexpr std::size_t kPiece = kStreamPiece;
  const struct {
    const char* atEdge;
    const char* after;
  } cases[] = {
      {"\r", "\n11,10:00,a,04\r\n"},  // CR LF split between the pieces
      {"\r", "[b]\r\n"},              // a lone CR at the edge, a header next
      {"\n", "\n"},                   // LF then an empty line
      {"x", ""},                      // the file ends inside a line, no line end
      {"\r", ""},                     // the file ends with a CR at the edge
      {"[", "next]\r\n"},             // a header cut in half
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    std::string bytes = "[w]\r\n";
    while (bytes.size() < kPiece - 1) bytes += "11,10:00,abc,04\r\n";
    bytes.resize(kPiece - 1);
    bytes.back() = 'z';
    bytes += c.atEdge;
    bytes += c.after;
    const auto file = dir.Write("edge.ini", bytes);
    EXPECT_EQ(Streamed(file), Split(bytes)) << c.atEdge << c.after;
  }
}

TEST(CompactEventsTest, StreamedLinesEqualTheWholeFilesLinesForRandomFiles) {
  test::TempDir dir;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    test::RandomEventFile gen(seed);
    const std::string bytes = gen.Make(seed % 3 == 0 ? 9000 : 40);  // some beyond one piece
    const auto file = dir.Write("r.ini", bytes);
    EXPECT_EQ(Streamed(file), Split(bytes)) << "seed " << seed;
  }
  // A line longer than the reader's whole buffer, between two ordinary ones.
  const std::string longLine = "[w]\r\n11,10:00,a,04\r\n12,10:00," +
                               std::string(2 * kStreamPiece + 7, 'x') + ",04\r\n13,10:00,b,04";
  EXPECT_EQ(Streamed(dir.Write("long.ini", longLine)), Split(longLine));
  EXPECT_FALSE(StreamEventFile(dir.File("missing.ini"), [](const FileLine&) {}));
  EXPECT_FALSE(StreamEventFile(dir.Path(), [](const FileLine&) {}));
}

// The companion's reader must list a day exactly as the engine does over the loaded tables.
TEST(CompactEventsTest, ADaysRowsEqualTheEnginesListingOfTheLoadedFile) {
  test::TempDir dir;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    test::RandomEventFile gen(seed);
    // Odd seeds go by the current law, so the holiday rules are tested under both sets.
    const bool currentLaw = seed % 2 != 0;
    const std::string bytes = gen.Make(300, currentLaw);
    const auto file = dir.Write("r.ini", bytes);
    EventStore store;
    Settings settings;
    ParseEventFile(bytes, store, settings);
    AppState state;
    test::FakeEngineHost host;
    host.holidays = settings.extensions.holidayLaw;
    ASSERT_EQ(host.holidays, currentLaw ? HolidayLaw::kCurrent : HolidayLaw::k2005);
    EventEngine engine(store, state, host);
    for (int i = 0; i < 40; ++i) {
      const TDateTime date = EncodeDate(1990 + gen.Pick(60), 1, 1) + gen.Pick(366);
      std::vector<std::string> want, got;
      for (const DayEvent& e : engine.EventsOn(date)) {
        want.push_back(std::string(KindName(e.kind)) + " " + e.timeText + " " + e.text);
      }
      const DayFacts facts(*EventDay(date), host.holidays);
      const auto rows = ReadCompactEvents(
          file, [&](EventKind kind, std::string_view code) { return facts.Falls(kind, code); });
      ASSERT_TRUE(rows);
      EXPECT_EQ(rows->holidayLaw, host.holidays);
      for (const CompactEvent& e : rows->events) {
        got.push_back(std::string(KindName(e.kind)) + " " + HourMinuteText(e.timeMs) + " " +
                      e.text);
      }
      EXPECT_EQ(got, want) << "seed " << seed << " date " << date;
    }
  }
}

struct SimRun {
  std::vector<std::string> log;  // notices, saves and redraws in order
  std::string fileAfter;
};

template <typename Walk>
SimRun Simulate(const std::string& bytes, TDateTime from, TDateTime to, bool onTime, bool startUp,
                Walk walk) {
  EventStore store;
  Settings settings;
  ParseEventFile(bytes, store, settings);
  AppState state;
  test::FakeEngineHost host;
  host.onTime = onTime;
  host.startUp = startUp;
  EventEngine engine(store, state, host);
  walk(from, to, engine, [&](TDateTime now) {
    host.log.push_back("@" + std::to_string(ToMsecs(now)));
    const std::size_t before = host.log.size();
    engine.AlarmPass(now);
    if (host.log.size() == before) host.log.pop_back();  // a pass that did nothing visible
  });
  return {host.log, FormatEventFile(store, settings)};
}

// Skipping the passes that can do nothing must leave every notice at its minute, every save,
// and the tables (deletions) as the minute-by-minute walk leaves them.
TEST(CompactEventsTest, ActingPassesGiveWhatEveryMinutesPassGives) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    test::RandomEventFile gen(seed);
    const std::string bytes = gen.Make(seed % 4 == 0 ? 120 : 25);
    // Ends on a full minute, or on a moment inside one: the clock's passes land just after
    // the minute, and the end's own minute still has its pass.
    const bool whole = seed % 2 == 0;
    const std::int64_t start = ToMsecs(EncodeDate(2000 + gen.Pick(30), 1, 1) + gen.Pick(365)) +
                               std::int64_t{gen.Pick(24 * 60)} * kMsecsPerMinute +
                               (whole ? 0 : gen.Pick(60000));
    const std::int64_t length =
        std::int64_t{gen.Pick(4 * 24 * 60)} * kMsecsPerMinute + (whole ? 0 : gen.Pick(60000));
    const TDateTime from = FromMsecs(start), to = FromMsecs(start + length);
    const bool onTime = gen.Pick(2) == 0, startUp = gen.Pick(2) == 0;
    const SimRun every = Simulate(
        bytes, from, to, onTime, startUp,
        [](TDateTime f, TDateTime t, EventEngine&, auto pass) { ForEachAlarmPass(f, t, pass); });
    const SimRun acting = Simulate(bytes, from, to, onTime, startUp,
                                   [](TDateTime f, TDateTime t, EventEngine& e, auto pass) {
                                     ForEachActingAlarmPass(f, t, e, pass);
                                   });
    EXPECT_FALSE(every.log.empty() && seed % 4 == 0) << "seed " << seed << ": a dull draw";
    EXPECT_EQ(acting.log, every.log) << "seed " << seed;
    EXPECT_EQ(acting.fileAfter, every.fileAfter) << "seed " << seed;
  }
}

// The edges of a stretch: it may begin or end on the very minute of a notice.
TEST(CompactEventsTest, ActingPassesKeepTheNoticesAtTheEdgesOfTheStretch) {
  const std::string bytes = "[w]\r\n81,10:00,a,04\r\n81,00:00,b,15\r\n[m]\r\n[y]\r\n";
  const TDateTime day = EncodeDate(2005, 4, 19);
  const struct {
    TDateTime from, to;
  } cases[] = {
      {day + EncodeTime(9, 0, 0), day + EncodeTime(10, 0, 0)},   // ends on the event's minute
      {day + EncodeTime(9, 0, 0), day + EncodeTime(9, 55, 0)},   // ends on the advance notice
      {day + EncodeTime(9, 55, 0), day + EncodeTime(9, 55, 0)},  // one pass only
      {day + EncodeTime(10, 0, 0), day + 1},                     // ends on midnight
      {day - 1 + EncodeTime(23, 59, 59), day + EncodeTime(0, 0, 0)},
  };
  for (const auto& c : cases) {
    for (const bool onTime : {false, true}) {
      const auto every = Simulate(
          bytes, c.from, c.to, onTime, true,
          [](TDateTime f, TDateTime t, EventEngine&, auto pass) { ForEachAlarmPass(f, t, pass); });
      const auto acting = Simulate(bytes, c.from, c.to, onTime, true,
                                   [](TDateTime f, TDateTime t, EventEngine& e, auto pass) {
                                     ForEachActingAlarmPass(f, t, e, pass);
                                   });
      EXPECT_FALSE(every.log.empty());
      EXPECT_EQ(acting.log, every.log) << c.from << " " << c.to << " " << onTime;
    }
  }
}

}  // namespace
}  // namespace vespin
