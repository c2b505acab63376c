// The sample event file that a first start copies: what it shows must be visible, and it must
// show what the program does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include "events/EventEngine.h"
#include "events/EventFile.h"
#include "events/WholeFile.h"

namespace vespin {
namespace {

struct Rgb {
  int r, g, b;
};

// Relative luminance and contrast ratio as the Web Content Accessibility Guidelines define them.
double Luminance(Rgb c) {
  const auto linear = [](int v) {
    const double s = v / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}
double Contrast(Rgb a, Rgb b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb FromValue(std::uint32_t v) {
  return {static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
          static_cast<int>((v >> 16) & 0xFF)};
}

std::string SampleBytes() {
  return ReadWholeFile(std::filesystem::path(VESPIN_SOURCE_DIR) / "examples" / "vespin.ini")
      .value_or(std::string());
}

TEST(ExampleFileTest, TodaysBoxAndEveryTextStandOutFromTheBackground) {
  EventStore store;
  Settings settings;
  ASSERT_TRUE(ParseEventFile(SampleBytes(), store, settings));
  // A see-through background shows whatever desktop there is: a sample must choose a colour.
  ASSERT_FALSE(settings.backClear);
  const Rgb back = FromValue(settings.backColor);
  // Today's box is white.
  EXPECT_GE(Contrast(back, {255, 255, 255}), 3.0);
  // The texts of the scheme the sample chooses: plain texts and days, Sundays and holidays,
  // Saturdays. The dark scheme's plain texts take the desktop's window-text colour, black on
  // the usual desktops.
  const struct {
    const char* what;
    Rgb colour;
  } texts[] = {
      {"plain", settings.figureBright ? Rgb{255, 255, 255} : Rgb{0, 0, 0}},
      {"Sundays and holidays", {255, 0, 0}},
      {"Saturdays", settings.figureBright ? Rgb{0, 255, 255} : Rgb{0, 0, 255}},
  };
  for (const auto& t : texts) {
    EXPECT_GE(Contrast(back, t.colour), 3.0) << t.what;
  }
}

TEST(ExampleFileTest, ShowsEveryKindOfEventAndUnderlinesTheirDays) {
  EventStore store;
  Settings settings;
  ASSERT_TRUE(ParseEventFile(SampleBytes(), store, settings));
  EXPECT_GT(store.week.DataRowCount(), 0);
  EXPECT_GT(store.month.DataRowCount(), 0);
  EXPECT_GT(store.year.DataRowCount(), 0);
  EXPECT_TRUE(settings.yearLine);
  EXPECT_TRUE(settings.monthLine);
  // Underlined days in every month the panel can show first.
  for (int month = 1; month <= 12; ++month) {
    int mask = 0;
    for (int day = 1; day <= 28; ++day) {
      for (const DayEvent& e : EventEngine::EventsOn(store, EncodeDate(2026, month, day),
                                                     settings.extensions.holidayLaw)) {
        mask |= e.kind == EventKind::kYearly    ? kMaskYearly
                : e.kind == EventKind::kMonthly ? kMaskMonthly
                                                : kMaskWeekly;
      }
    }
    const int shown = (settings.yearLine ? kMaskYearly : 0) |
                      (settings.monthLine ? kMaskMonthly : 0) |
                      (settings.weekLine ? kMaskWeekly : 0);
    EXPECT_NE(mask & shown, 0) << month;
  }
}

}  // namespace
}  // namespace vespin
