#include "remote/RemoteOccurrence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remote/RemoteDays.h"

namespace vespin::remote {
namespace {

using std::chrono::days;

sys_days Day(int y, int m, int d) {
  return std::chrono::year{y} / m / d;
}

TEST(RemoteOccurrenceTest, NearestLeadRoundsUpToTheTable) {
  const struct {
    std::int64_t in, out;
  } cases[] = {
      {-1, kNoLead},
      {0, kMsecsPerMinute},
      {kMsecsPerMinute, kMsecsPerMinute},
      {kMsecsPerMinute + 1, 3 * kMsecsPerMinute},
      {20 * kMsecsPerMinute, 30 * kMsecsPerMinute},
      {45 * kMsecsPerMinute, kMsecsPerHour},
      {13 * kMsecsPerHour, kMsecsPerDay},
      {2 * kMsecsPerDay, 3 * kMsecsPerDay},
      {7 * kMsecsPerDay, 7 * kMsecsPerDay},
      {50LL * 365 * kMsecsPerDay, 7 * kMsecsPerDay},
  };
  for (const auto& c : cases) EXPECT_EQ(NearestLead(c.in), c.out) << c.in;
}

TEST(RemoteOccurrenceTest, CleanTextKeepsCharactersAndDropsControls) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"定例会議", "定例会議"},
      {"🎉 𠮷野家", "🎉 𠮷野家"},
      {"a\tb\nc\r\nd", "a b c  d"},
      {"\x1B[31mred\x07", "[31mred"},
      {"del\x7F", "del"},
      {"c1\xC2\x85x\xC2\xA0y", "c1x\xC2\xA0y"},
      {"bad\xFF\xC3", "bad\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong\xC0\xAF", "overlong\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate\xED\xA0\x80", "surrogate\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) EXPECT_EQ(CleanText(c.in), c.out) << c.in;
}

TEST(RemoteOccurrenceTest, LinesCarryEveryFieldAndRefuseOthers) {
  RemoteOccurrence o;
  o.calendar = "仕事 \\ tab\there";
  o.uid = "uid\nwith line";
  o.key = "uid/20261208T010000Z";
  o.startMs = MsecsAt(Day(2026, 12, 8)) + 10 * kMsecsPerHour;
  o.allDay = true;
  o.days = 3;
  o.summary = "会議\\n🎉";
  o.leadMs = 15 * kMsecsPerMinute;
  const std::string line = OccurrenceLine(o);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(ParseOccurrenceLine(line), o);
  for (const std::string bad :
       {"", "1\t0\t1\t-1\tw\tu\tk", "x\t0\t1\t-1\tw\tu\tk\ts", "1\t2\t1\t-1\tw\tu\tk\ts",
        "1\t0\t0\t-1\tw\tu\tk\ts", "1\t0\t1\t-2\tw\tu\tk\ts", "1\t0\t1\t-1\tw\\\tu\tk\ts",
        "1\t0\t1\t-1\tw\tu\tk\ts\\q", "999999999999999999\t0\t1\t-1\tw\tu\tk\ts",
        "1\t0\t1\t-1\tw\tu\tk\ts\textra"}) {
    EXPECT_EQ(ParseOccurrenceLine(bad), std::nullopt) << bad;
  }
}

RemoteOccurrence At(sys_days day, int hour, std::string summary, bool allDay = false,
                    int span = 1) {
  RemoteOccurrence o;
  o.calendar = "w";
  o.key = summary;
  o.startMs = MsecsAt(day) + (allDay ? 0 : hour * kMsecsPerHour);
  o.allDay = allDay;
  o.days = span;
  o.summary = std::move(summary);
  return o;
}

std::vector<std::string> Summaries(const std::vector<const RemoteOccurrence*>& list) {
  std::vector<std::string> out;
  for (const RemoteOccurrence* o : list) out.push_back(o->summary);
  return out;
}

TEST(RemoteDayIndexTest, ListsEachDayAllDayFirstThenByTime) {
  const sys_days d = Day(2026, 12, 8);
  const RemoteDayIndex index({At(d, 15, "late"), At(d, 9, "early"),
                              At(d - days(2), 0, "week", true, 7), At(d + days(1), 8, "next"),
                              At(d, 0, "day", true)});
  EXPECT_EQ(Summaries(index.On(d)), (std::vector<std::string>{"week", "day", "early", "late"}));
  EXPECT_EQ(Summaries(index.On(d + days(4))), std::vector<std::string>{"week"});
  EXPECT_TRUE(index.On(d + days(5)).empty());
  EXPECT_FALSE(index.Any(d - days(3)));
  EXPECT_EQ(index.DaysWith(d - days(10), d + days(10)).size(), 7u);
  EXPECT_EQ(Summaries(index.Coming(d, MsecsAt(d) + 9 * kMsecsPerHour - 1)),
            (std::vector<std::string>{"week", "day", "early", "late"}));
  EXPECT_EQ(Summaries(index.Coming(d, MsecsAt(d) + 9 * kMsecsPerHour)),
            (std::vector<std::string>{"week", "day", "late"}));
  const RemoteDayIndex clipped({At(d - days(2), 0, "week", true, 7)}, std::pair(d, d + days(1)));
  EXPECT_EQ(clipped.DaysWith(d - days(10), d + days(10)), (std::vector<sys_days>{d, d + days(1)}));
}

}  // namespace
}  // namespace vespin::remote
