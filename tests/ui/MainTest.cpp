#include "QtWidgetTestSupport.h"
#include "app/Main.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHelpEvent>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "FakeClock.h"
#include "UiText.h"
#include "app/Desktop.h"
#include "controls/CMultiEdit.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

using test::CellOfDay;
using test::JapaneseWeekdays;
using test::MenuItem;
using test::Settle;

using sjis::Lit;

// A fixed-pitch font in which "WW" is 12 pixels wide and 12 high.
FontMetricsSample TwelveByTwelve(const QFont&) {
  return {6, 6, 12, 12, 30};
}

struct Call {
  CheckMode mode;
  TDateTime date;
  TDateTime time;
};

// The engine as the window sees it: every question is recorded; the day mask comes from
// `dayMask` when it is set.
struct RecordingChecker final : EventChecker {
  int EventCheck(CheckMode mode, TDateTime date, TDateTime time) override {
    calls.push_back({mode, date, time});
    return mode == CheckMode::kDayMask && dayMask ? dayMask(date) : 0;
  }
  std::vector<Call> calls;
  std::function<int(TDateTime)> dayMask;
};

class MainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterFontSubstitutions();
    clock.Set(2005, 4, 18, 10, 0, 0);
  }

  // The window as FormCreate leaves it, then with the settings applied and the engine given.
  std::unique_ptr<TfrmMain> Make(bool withEngine = true) {
    auto w = std::make_unique<TfrmMain>(clock, state, settings, JapaneseWeekdays());
    w->SetFontMeasurer(TwelveByTwelve);
    if (withEngine) w->SetEventChecker(&engine);
    saves = std::make_unique<QSignalSpy>(w.get(), &TfrmMain::SaveRequested);
    w->ApplySettings();
    return w;
  }

  int CallsOfMode(CheckMode mode) const {
    int n = 0;
    for (const Call& c : engine.calls) n += c.mode == mode;
    return n;
  }

  test::FakeClock clock;
  AppState state;
  Settings settings;
  RecordingChecker engine;
  std::unique_ptr<QSignalSpy> saves;
};

// Pixels of a rectangle of the window as painted, by colour.
int CountPixels(const QImage& image, const QRect& r, const std::function<bool(QColor)>& pred) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) n += pred(image.pixelColor(x, y));
  }
  return n;
}

TEST_F(MainTest, TickRearmsForTheNextFullMinute) {
  const struct {
    int h, m, s, ms;
    int interval;
  } cases[] = {
      {12, 34, 56, 789, 3211}, {10, 0, 0, 0, 60000}, {9, 54, 59, 999, 1}, {0, 0, 0, 10, 59990}};
  auto w = Make();
  EXPECT_EQ(w->Timer().timerType(), Qt::PreciseTimer);
  for (const auto& c : cases) {
    clock.Set(2005, 4, 18, c.h, c.m, c.s, c.ms);
    w->TimerTimer();
    EXPECT_EQ(w->Timer().interval(), c.interval) << c.h << ":" << c.m << ":" << c.s << "." << c.ms;
    EXPECT_TRUE(w->Timer().isActive());
    ASSERT_FALSE(engine.calls.empty());
    EXPECT_EQ(engine.calls.back().mode, CheckMode::kAlarm);
    EXPECT_EQ(engine.calls.back().date, EncodeDate(2005, 4, 18));
    EXPECT_EQ(ToMsecs(engine.calls.back().time), ToMsecs(EncodeTime(c.h, c.m, c.s, c.ms)));
  }
}

TEST_F(MainTest, FirstCallFromFormCreateShowsTheDayAndArmsTheFirstTick) {
  clock.Set(2005, 4, 18, 9, 5, 30);
  auto w = Make();
  EXPECT_EQ(w->lDate()->text(), QStringLiteral("2005/04/18(月)"));
  EXPECT_EQ(w->lTime()->text(), QStringLiteral("09:05"));
  EXPECT_EQ(w->Timer().interval(), TfrmMain::kFirstTickMsecs);
  EXPECT_EQ(w->Shown(), (YearMonth{2005, 4}));
  EXPECT_EQ(w->Calendar()->Sheet().yearMonthText, "2005-04");

  // Again from the form, with lines filled: no engine, lines kept.
  state.EventLines[0] = {Lit("会議"), "10:00", EncodeDate(2005, 4, 18) + EncodeTime(10, 0)};
  w->ShowEventLines();
  engine.calls.clear();
  w->TimerTimer(true);
  EXPECT_TRUE(engine.calls.empty());
  EXPECT_EQ(w->lEvent(0)->text(), QStringLiteral("会議"));
  EXPECT_EQ(w->lTimeN(0)->text(), QStringLiteral("10:00"));
  EXPECT_EQ(w->Timer().interval(), TfrmMain::kFirstTickMsecs);

  // A real tick empties the lines before the engine refills them.
  w->TimerTimer();
  EXPECT_EQ(CallsOfMode(CheckMode::kAlarm), 1);
  EXPECT_EQ(w->lEvent(0)->text(), QString());
  EXPECT_EQ(state.EventLines[0].occurrence, 0);
}

TEST_F(MainTest, PausedClockDoesNothing) {
  auto w = Make();
  w->RestartTick(5000);
  state.ClockPaused = true;
  clock.Set(2005, 4, 19, 8, 0, 0);
  engine.calls.clear();
  w->TimerTimer();
  EXPECT_TRUE(engine.calls.empty());
  EXPECT_EQ(w->Timer().interval(), 5000);
  EXPECT_EQ(w->lTime()->text(), QStringLiteral("10:00"));
}

TEST_F(MainTest, NewDayRedrawsInDisplayModeAndKeepsTheMonthInNavigation) {
  clock.Set(2005, 4, 30, 23, 59, 0);
  auto w = Make();
  w->TimerTimer();
  clock.Set(2005, 5, 1, 0, 0, 0);
  w->TimerTimer();
  Settle();
  EXPECT_EQ(w->Shown(), (YearMonth{2005, 5}));
  const int k = CellOfDay(*w, 0, 1);
  EXPECT_TRUE(w->Calendar()->Sheet().cells[0][static_cast<std::size_t>(k)].today);
  EXPECT_EQ(w->lDate()->text(), QStringLiteral("2005/05/01(日)"));

  w->FormDblClick();  // navigation
  w->SpinMDownClick();
  w->SpinMDownClick();
  clock.Set(2005, 5, 2, 0, 0, 0);
  w->TimerTimer();
  EXPECT_EQ(w->Shown(), (YearMonth{2005, 7}));
  EXPECT_EQ(w->TodayDay(), 2);
}

TEST_F(MainTest, AJumpToTheSameDayOfAnotherMonthRedraws) {
  const struct {
    TDateTime from, to;
    YearMonth shown;
  } cases[] = {
      {EncodeDate(2005, 11, 9), EncodeDate(2005, 12, 9), {2005, 12}},
      {EncodeDate(2005, 12, 9), EncodeDate(2006, 12, 9), {2006, 12}},
      {EncodeDate(2005, 4, 18), EncodeDate(2005, 3, 18), {2005, 3}},
  };
  for (const auto& c : cases) {
    clock.Set(c.from + EncodeTime(10, 0));
    auto w = Make();
    w->TimerTimer();
    clock.Set(c.to + EncodeTime(10, 1));
    w->TimerTimer();
    Settle();
    EXPECT_EQ(w->Shown(), c.shown) << c.shown.year << "-" << c.shown.month;
    const int k = CellOfDay(*w, 0, DecodeDate(c.to).day);
    EXPECT_TRUE(w->Calendar()->Sheet().cells[0][static_cast<std::size_t>(k)].today);
  }
}

TEST_F(MainTest, DoubleClickTwiceReturnsToToday) {
  auto w = Make();
  w->show();
  QTest::mouseDClick(w->lDate(), Qt::LeftButton);
  EXPECT_TRUE(w->Navigating());
  EXPECT_FALSE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowTitleHint);
  EXPECT_FALSE(w->lDate()->isVisible());
  EXPECT_FALSE(w->lTime()->isVisible());
  EXPECT_TRUE(w->SpinY()->isVisible());
  EXPECT_TRUE(w->SpinM()->isVisible());
  EXPECT_TRUE(w->EditYm()->isVisible());
  EXPECT_EQ(w->EditYm()->text(), QStringLiteral("2005-04"));

  // The upper half of the year button goes back, the lower half of the month button forward.
  QTest::mouseClick(w->SpinY(), Qt::LeftButton, {}, QPoint(2, 1));
  QTest::mouseClick(w->SpinM(), Qt::LeftButton, {}, QPoint(2, w->SpinM()->height() - 2));
  Settle();
  EXPECT_EQ(w->Shown(), (YearMonth{2004, 5}));
  EXPECT_EQ(w->EditYm()->text(), QStringLiteral("2004-05"));

  // A double-click on a day cell is no mode change.
  const QRect cell = w->Calendar()->DayRect(0, 10);
  QTest::mouseDClick(w->Calendar(), Qt::LeftButton, {}, cell.center());
  EXPECT_TRUE(w->Navigating());

  // The window's own surface between the cells is.
  QTest::mouseDClick(w->Calendar(), Qt::LeftButton, {}, QPoint(1, w->height() - 2));
  EXPECT_FALSE(w->Navigating());
  EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(w->windowFlags() & Qt::Tool);
  EXPECT_EQ(w->Shown(), (YearMonth{2005, 4}));
  EXPECT_TRUE(w->lDate()->isVisible());
  EXPECT_FALSE(w->SpinY()->isVisible());
  EXPECT_FALSE(w->EditYm()->isVisible());
  EXPECT_TRUE(w->EditYm()->Panel() && !w->EditYm()->Panel()->isEnabled());
}

TEST_F(MainTest, SpinButtonsStopAtTheYearBounds) {
  const struct {
    YearMonth from;
    void (TfrmMain::*click)();
    YearMonth to;
  } cases[] = {
      {{1, 1}, &TfrmMain::SpinMUpClick, {1, 1}},
      {{9998, 12}, &TfrmMain::SpinMDownClick, {9998, 12}},
      {{1, 5}, &TfrmMain::SpinYUpClick, {1, 5}},
      {{9998, 5}, &TfrmMain::SpinYDownClick, {9998, 5}},
      {{2, 1}, &TfrmMain::SpinMUpClick, {1, 12}},
      {{9997, 12}, &TfrmMain::SpinMDownClick, {9998, 1}},
      {{2005, 4}, &TfrmMain::SpinYUpClick, {2004, 4}},
      {{2005, 4}, &TfrmMain::SpinMDownClick, {2005, 5}},
  };
  settings.monthLine = true;
  auto w = Make();
  w->FormDblClick();
  for (const auto& c : cases) {
    // Walk there with the buttons themselves.
    while (w->Shown().year > c.from.year) w->SpinYUpClick();
    while (w->Shown().year < c.from.year) w->SpinYDownClick();
    while (w->Shown().month > c.from.month) w->SpinMUpClick();
    while (w->Shown().month < c.from.month) w->SpinMDownClick();
    ASSERT_EQ(w->Shown(), c.from);
    Settle();
    engine.calls.clear();
    (w.get()->*c.click)();
    Settle();
    EXPECT_EQ(w->Shown(), c.to) << c.from.year << "-" << c.from.month;
    // A stopped change is no redraw: the calendar asks the engine nothing.
    EXPECT_EQ(CallsOfMode(CheckMode::kDayMask) == 0, c.from == c.to)
        << c.from.year << "-" << c.from.month;
  }
}

TEST_F(MainTest, FontSetAppliesTheLayoutToTheWindow) {
  auto w = Make();
  const struct {
    int months;
    int height;
  } cases[] = {{1, 233}, {2, 317}, {3, 401}, {1, 233}};
  for (const auto& c : cases) {
    settings.months = c.months;
    w->FontSet();
    EXPECT_EQ(w->size(), QSize(136, c.height)) << c.months;
    EXPECT_EQ(w->lEvent(0)->geometry(), QRect(8, 60 + 6 * 14 * c.months, 88, 12)) << c.months;
    EXPECT_EQ(w->lEvent(4)->y(), 60 + 6 * 14 * c.months + 4 * 14);
  }
  EXPECT_EQ(w->lEvent(0)->y(), 144);
  EXPECT_EQ(w->lTimeN(0)->geometry(), QRect(136 - 8 - 30 - 4, 144, 37, 12));
  EXPECT_EQ(w->Calendar()->HeaderRect(0), QRect(8, 48, 17, 12));
  EXPECT_EQ(w->Calendar()->HeaderRect(6), QRect(8 + 6 * 17, 48, 17, 12));
  EXPECT_EQ(w->Calendar()->DayRect(0, 0), QRect(8, 60, 17, 12));
  EXPECT_EQ(w->Calendar()->DayRect(1, 8), QRect(8 + 17 + 1, 60 + 84 + 14, 17, 12));
  EXPECT_EQ(w->lDate()->geometry(), QRect(0, 12, 136, 20));
  EXPECT_EQ(w->lTime()->geometry(), QRect(0, 28, 136, 20));
  EXPECT_EQ(w->EditYm(), nullptr);  // until the first navigation
  w->FormDblClick();
  EXPECT_EQ(w->EditYm()->Panel()->geometry(), QRect(24, 18, 83, 20));
  EXPECT_EQ(w->SpinY()->geometry(), QRect(7, 18, 17, 20));
  EXPECT_EQ(w->SpinM()->geometry(), QRect(24 + 83, 18, 17, 20));
  // Date and time are two points larger and bold.
  EXPECT_EQ(w->lDate()->font().pointSize(), w->WindowFont().pointSize() + 2);
  EXPECT_TRUE(w->lTime()->font().bold());
}

TEST_F(MainTest, FontSizesNoDialogGivesAreShownAtTheNearestLimit) {
  const struct {
    int stored;
    int shown;
  } cases[] = {{0, 6}, {-3, 6}, {5, 6}, {6, 6}, {24, 24}, {25, 24}, {300, 24}, {12, 12}};
  auto w = Make();
  for (const auto& c : cases) {
    settings.fontSize = c.stored;
    EXPECT_EQ(w->WindowFont().pointSize(), c.shown) << c.stored;
  }
}

TEST_F(MainTest, UnknownFaceFallsBackLikeTheDefaultFace) {
  const QString gothic = QFontInfo(QFont(GothicFace())).family();
  const struct {
    const char* stored;
    QString shown;
  } cases[] = {{"どこにもない書体", gothic},
               {"", gothic},
               {"ＭＳ ゴシック", gothic},
               {"IPAPGothic", QStringLiteral("IPAPGothic")}};
  auto w = Make();
  for (const auto& c : cases) {
    settings.fontName = Lit(c.stored);
    EXPECT_EQ(QFontInfo(w->WindowFont()).family(), c.shown) << c.stored;
  }
}

TEST_F(MainTest, StoredPositionIsKeptOnAScreenOrMovedTopRight) {
  auto w = Make();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int right = screen.width() - w->width();
  const int bottom = screen.height() - w->height();
  const struct {
    int left, top;
    QPoint placed;
  } cases[] = {
      {10, 20, {10, 20}},
      {5000, 30, {right, 30}},  // beyond the right edge: flush right
      {40, 5000, {40, 0}},      // below the bottom: at the top
      {-20, 10, {0, 10}},       // partly off: wholly on
      {right + 30, bottom + 40, {right, bottom}},
      {-5000, 10, {right, 0}},                  // off every screen
      {screen.width() - 1, -4000, {right, 0}},  // above every screen
  };
  for (const auto& c : cases) {
    w->PlaceAtStart(c.left, c.top);
    EXPECT_EQ(w->pos(), c.placed) << c.left << "," << c.top;
  }
}

TEST_F(MainTest, ColourPlaneOrDesktopBehindTheTexts) {
  settings.backColor = ValueFromColor(QColor(10, 200, 30));
  auto w = Make();
  w->SetSeeThrough(false, QColor(1, 2, 3));
  const QPoint corner(w->width() - 2, w->height() - 2);

  EXPECT_EQ(w->Image()->x(), 0);
  EXPECT_EQ(w->grab().toImage().pixelColor(corner), QColor(10, 200, 30));

  settings.backClear = true;
  w->BackSet();
  EXPECT_EQ(w->Image()->x(), w->width());
  EXPECT_EQ(w->grab().toImage().pixelColor(corner), QColor(1, 2, 3));

  w->SetSeeThrough(true, QColor());
  EXPECT_TRUE(w->testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_EQ(w->grab().toImage().pixelColor(corner).alpha(), 0);
}

TEST_F(MainTest, AprilAndOctober2005OnTheWindow) {
  settings.backColor = ValueFromColor(QColor(0, 128, 0));
  clock.Set(2005, 4, 1, 12, 0, 0);
  auto w = Make();
  const auto inked = [&](const QImage& image, int block, int cell) {
    return CountPixels(image, w->Calendar()->DayRect(block, cell),
                       [](QColor c) { return c != QColor(0, 128, 0); });
  };
  // April 2005 begins on a Friday: the 1st is today and stands in column 5.
  QImage image = w->grab().toImage();
  for (int k = 0; k < 5; ++k) EXPECT_EQ(inked(image, 0, k), 0) << k;
  EXPECT_GT(inked(image, 0, 5), 0);
  EXPECT_GT(inked(image, 0, 6), 0);
  EXPECT_GT(inked(image, 0, 34), 0);  // the 30th
  for (int k = 35; k < 42; ++k) EXPECT_EQ(inked(image, 0, k), 0) << k;

  // October 2005 begins on a Saturday and fills the sixth row.
  w->FormDblClick();
  for (int i = 0; i < 6; ++i) w->SpinMDownClick();
  Settle();
  image = w->grab().toImage();
  EXPECT_EQ(w->Calendar()->Sheet().cells[0][36].text, "31");
  EXPECT_GT(inked(image, 0, 35), 0);
  EXPECT_GT(inked(image, 0, 36), 0);
  EXPECT_EQ(inked(image, 0, 37), 0);
}

TEST_F(MainTest, TodayOnASundayIsAWhiteBoxWithWindowTextDigits) {
  settings.backColor = ValueFromColor(QColor(0, 128, 0));
  settings.figureBright = true;
  clock.Set(2005, 4, 17, 12, 0, 0);  // a Sunday
  auto w = Make();
  const int today = CellOfDay(*w, 0, 17);
  const int monday = CellOfDay(*w, 0, 18);
  const int sunday = CellOfDay(*w, 0, 24);
  const QImage image = w->grab().toImage();
  const QColor windowText = QGuiApplication::palette().color(QPalette::WindowText);
  const QRect box = w->Calendar()->DayRect(0, today);
  EXPECT_EQ(image.pixelColor(box.topLeft()), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(box.bottomRight()), QColor(Qt::white));
  // The digits are drawn in the window-text colour (antialiased towards the white box).
  const auto dark = [&](QColor c) {
    return std::abs(c.lightness() - windowText.lightness()) < 60 && c.saturation() < 60;
  };
  EXPECT_GT(CountPixels(image, box, dark), 0);
  const auto red = [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
  EXPECT_EQ(CountPixels(image, box, red), 0);
  EXPECT_GT(CountPixels(image, w->Calendar()->DayRect(0, sunday), red), 0);
  EXPECT_EQ(image.pixelColor(w->Calendar()->DayRect(0, monday).topLeft()), QColor(0, 128, 0));
}

TEST_F(MainTest, UnderlinesFollowTheKindsAndTheirMenuItems) {
  engine.dayMask = [](TDateTime date) {
    int mask = DayOfWeek(date) == 2 ? 4 : 0;                   // weekly: every Monday
    if (DecodeDate(date).day == 25) mask |= 2;                 // monthly: the 25th
    if (DecodeDate(date) == DateParts{2005, 5, 5}) mask |= 1;  // yearly
    return mask;
  };
  settings.months = 3;
  auto w = Make();
  w->SetFontMeasurer(&TfrmMain::MeasureFont);  // cells as tall as the real font, underline included
  w->FontSet();
  const auto underlined = [&] {
    std::vector<std::string> days;
    for (int b = 0; b < kCalendarBlocks; ++b) {
      for (const auto& c : w->Calendar()->Sheet().cells[static_cast<std::size_t>(b)]) {
        if (c.underline) {
          const DateParts d = DecodeDate(*c.date);
          days.push_back(std::to_string(d.month) + "/" + std::to_string(d.day));
        }
      }
    }
    return days;
  };
  EXPECT_TRUE(underlined().empty());
  MenuItem(*w, "miWEventLine")->trigger();
  Settle();
  EXPECT_TRUE(MenuItem(*w, "miWEventLine")->isChecked());
  EXPECT_EQ(underlined(),
            (std::vector<std::string>{"4/4", "4/11", "4/18", "4/25", "5/2", "5/9", "5/16", "5/23",
                                      "5/30", "6/6", "6/13", "6/20", "6/27"}));
  MenuItem(*w, "miWEventLine")->trigger();
  MenuItem(*w, "miYEventLine")->trigger();
  Settle();
  EXPECT_EQ(underlined(), std::vector<std::string>{"5/5"});
  MenuItem(*w, "miYEventLine")->trigger();
  MenuItem(*w, "miMEventLine")->trigger();
  Settle();
  EXPECT_EQ(underlined(), (std::vector<std::string>{"4/25", "5/25", "6/25"}));
  EXPECT_EQ(saves->count(), 5);

  // The underline is drawn: the 25th carries more ink with it than without, the 26th the same.
  const QColor bg = ColorFromValue(settings.backColor);
  const auto ink = [&](int day) {
    const QRect r = w->Calendar()->DayRect(0, CellOfDay(*w, 0, day));
    return CountPixels(w->grab().toImage(), r, [&](QColor c) { return c != bg; });
  };
  const int with25 = ink(25);
  const int with26 = ink(26);
  MenuItem(*w, "miMEventLine")->trigger();
  Settle();
  EXPECT_GE(with25 - ink(25), 6) << "no underline drawn under the 25th";
  EXPECT_EQ(with26, ink(26));
}

// Every item that changes a setting by itself has the calendar drawn again, once, with the new
// setting; several changes before the event loop comes round are one drawing.
TEST_F(MainTest, EverySettingItemRedrawsTheCalendarOnce) {
  auto w = Make();
  Settle();
  std::vector<QAction*> items;
  for (QAction* item : w->pMenu()->findChildren<QAction*>()) {
    // 背景色指定... opens the colour chooser; its confirmed choice only repaints the background.
    if (item->isCheckable() && item->objectName() != QLatin1String("miBackSet")) {
      items.push_back(item);
    }
  }
  ASSERT_GE(items.size(), 11u);
  for (QAction* item : items) {
    engine.calls.clear();
    item->trigger();
    EXPECT_EQ(CallsOfMode(CheckMode::kDayMask), 0) << "drawn before the loop came round";
    Settle();
    const int drawn = CallsOfMode(CheckMode::kDayMask);
    engine.calls.clear();
    w->DrawCalendar();
    EXPECT_GT(drawn, 0) << item->objectName().toStdString();
    EXPECT_EQ(drawn, CallsOfMode(CheckMode::kDayMask)) << item->objectName().toStdString();
  }
  engine.calls.clear();
  for (const char* name : {"miYEventLine", "miMEventLine", "miWEventLine"}) {
    MenuItem(*w, name)->trigger();
  }
  w->SpinMDownClick();  // not a setting, but an input of the calendar all the same
  Settle();
  const int drawn = CallsOfMode(CheckMode::kDayMask);
  engine.calls.clear();
  w->DrawCalendar();
  EXPECT_EQ(drawn, CallsOfMode(CheckMode::kDayMask));
}

TEST_F(MainTest, NoUnderlinesWithoutAnEngine) {
  settings.weekLine = true;
  auto w = Make(false);
  for (const auto& c : w->Calendar()->Sheet().cells[0]) EXPECT_FALSE(c.underline);
}

TEST_F(MainTest, ClicksOnTheCalendar) {
  auto w = Make();
  w->show();
  w->move(100, 100);
  CalendarView* cal = w->Calendar();
  engine.calls.clear();
  // A weekday header and a blank cell do nothing.
  QTest::mouseClick(cal, Qt::LeftButton, {}, cal->HeaderRect(0).center());
  QTest::mouseClick(cal, Qt::LeftButton, {}, cal->DayRect(0, 0).center());
  EXPECT_EQ(CallsOfMode(CheckMode::kDayList), 0);
  // A day announces that day.
  QTest::mouseClick(cal, Qt::LeftButton, {}, cal->DayRect(0, CellOfDay(*w, 0, 20)).center());
  ASSERT_EQ(CallsOfMode(CheckMode::kDayList), 1);
  EXPECT_EQ(engine.calls.back().date, EncodeDate(2005, 4, 20));
  EXPECT_EQ(engine.calls.back().time, 0);
  // A day of the second block is a day of the next month.
  settings.months = 2;
  w->FontSet();
  Settle();
  QTest::mouseClick(cal, Qt::LeftButton, {}, cal->DayRect(1, CellOfDay(*w, 1, 3)).center());
  EXPECT_EQ(engine.calls.back().date, EncodeDate(2005, 5, 3));
  EXPECT_FALSE(w->pMenu()->isVisible());

  // The right button opens the menu just left of and below the pointer, whatever was pressed.
  const QPoint inCell = cal->DayRect(0, 9).topLeft() + QPoint(5, 4);
  const struct {
    QWidget* pressed;
    QPoint at;
  } presses[] = {
      {cal, inCell},
      {w->lEvent(2), QPoint(7, 3)},
      {w->lTimeN(4), QPoint(2, 9)},
      {w->lDate(), QPoint(30, 5)},
  };
  for (const auto& p : presses) {
    QTest::mouseClick(p.pressed, Qt::RightButton, {}, p.at);
    EXPECT_EQ(w->LastMenuPoint(), p.pressed->mapToGlobal(p.at) + QPoint(-10, 10))
        << p.pressed->metaObject()->className() << " at " << p.at.x() << "," << p.at.y();
    EXPECT_TRUE(w->pMenu()->isVisible());
    w->pMenu()->hide();
  }
  EXPECT_EQ(CallsOfMode(CheckMode::kDayList), 2);
}

TEST_F(MainTest, MenuHasEveryItemInOrderWithTheHints) {
  auto w = Make();
  QStringList top;
  for (QAction* a : w->pMenu()->actions()) top << a->text();
  EXPECT_EQ(top,
            (QStringList{u"ｲﾍﾞﾝﾄ設定..."_s, u"iCalendarに書き出す..."_s, u"他のカレンダー..."_s,
                         u"お知らせﾒｯｾｰｼﾞ"_s, u"表示"_s, u"ﾊﾞｰｼﾞｮﾝ情報..."_s, u"終了"_s}));
  // The window of other calendars belongs to the application: the item only asks for it.
  QSignalSpy otherCalendars(w.get(), &TfrmMain::OtherCalendarsRequested);
  MenuItem(*w, "miOtherCalendars")->trigger();
  EXPECT_EQ(otherCalendars.count(), 1);
  QStringList notices;
  for (QAction* a : qobject_cast<QMenu*>(MenuItem(*w, "miBeep")->parent())->actions())
    notices << a->text() + u"|"_s + a->statusTip();
  EXPECT_EQ(notices,
            (QStringList{u"wav音|wav音を鳴らします"_s, u"起動時|起動時にもお知らせします"_s,
                         u"予定時刻|予定時刻にもお知らせします"_s}));
  QStringList show;
  for (QAction* a : qobject_cast<QMenu*>(MenuItem(*w, "miFont")->parent())->actions())
    show << (a->isSeparator() ? u"-"_s : a->text());
  EXPECT_EQ(show, (QStringList{u"年間ｲﾍﾞﾝﾄに下線"_s, u"月間ｲﾍﾞﾝﾄに下線"_s, u"週間ｲﾍﾞﾝﾄに下線"_s,
                               u"他のカレンダーに下線"_s, u"-"_s, u"背景色透明"_s,
                               u"背景色指定..."_s, u"-"_s, u"文字色明"_s, u"文字色暗"_s, u"-"_s,
                               u"ﾌｫﾝﾄ..."_s, u"-"_s, u"１ヶ月表示"_s, u"２ヶ月表示"_s,
                               u"３ヶ月表示"_s, u"-"_s, u"現行の祝日法"_s}));
}

// The item switches the red days and their names at once, is written, and has the alarms worked
// out again by a tick soon after.
TEST_F(MainTest, HolidayLawItemRedrawsSavesAndRearmsTheTick) {
  clock.Set(2026, 12, 1, 10, 0, 0);
  auto w = Make();
  CalendarView* cal = w->Calendar();
  const auto day = [&](int d) -> const CalendarCell& {
    return cal->Sheet().cells[0][static_cast<std::size_t>(CellOfDay(*w, 0, d))];
  };
  const auto tip = [&](int d) {
    return cal->ToolTipAt(cal->DayRect(0, CellOfDay(*w, 0, d)).center());
  };
  EXPECT_FALSE(MenuItem(*w, "miHolidayLaw")->isChecked());
  EXPECT_EQ(day(23).color, CellColor::Red);
  EXPECT_EQ(tip(23), QStringLiteral("天皇誕生日"));
  EXPECT_EQ(tip(22), QString());

  w->RestartTick(60000);
  MenuItem(*w, "miHolidayLaw")->trigger();
  Settle();
  EXPECT_TRUE(MenuItem(*w, "miHolidayLaw")->isChecked());
  EXPECT_EQ(settings.extensions.holidayLaw, HolidayLaw::kCurrent);
  EXPECT_EQ(day(23).color, CellColor::WindowText);
  EXPECT_EQ(tip(23), QString());
  EXPECT_EQ(saves->count(), 1);
  EXPECT_EQ(w->Timer().interval(), TfrmMain::kFirstTickMsecs);
  EXPECT_EQ(cal->ToolTipAt(cal->HeaderRect(0).center()), QString());

  // The same window on February: the birthday of the reign since 2020.
  w->FormDblClick();
  for (int i = 0; i < 10; ++i) w->SpinMUpClick();
  Settle();
  ASSERT_EQ(w->Shown(), (YearMonth{2026, 2}));
  EXPECT_EQ(day(23).color, CellColor::Red);
  EXPECT_EQ(tip(23), QStringLiteral("天皇誕生日"));
  EXPECT_EQ(tip(11), QStringLiteral("建国記念の日"));
  // Qt hands tool-tip events only to the active window unless told otherwise, and the panel is
  // seldom active.
  EXPECT_TRUE(w->testAttribute(Qt::WA_AlwaysShowToolTips));
  const QPoint at = cal->DayRect(0, CellOfDay(*w, 0, 23)).center();
  QHelpEvent help(QEvent::ToolTip, at, cal->mapToGlobal(at));
  QApplication::sendEvent(cal, &help);
  EXPECT_EQ(QToolTip::text(), QStringLiteral("天皇誕生日"));
  QToolTip::hideText();

  MenuItem(*w, "miHolidayLaw")->trigger();
  Settle();
  EXPECT_FALSE(MenuItem(*w, "miHolidayLaw")->isChecked());
  EXPECT_EQ(settings.extensions.holidayLaw, HolidayLaw::k2005);
  EXPECT_EQ(day(23).color, CellColor::WindowText);
  EXPECT_EQ(saves->count(), 2);
}

TEST_F(MainTest, EventItemPausesTheClockAndRedrawsAfterTheDialog) {
  auto w = Make();
  std::vector<std::tuple<int, int, bool>> opened;
  QObject::connect(w.get(), &TfrmMain::EventDialogRequested, w.get(),
                   [&](int month, int day) { opened.emplace_back(month, day, state.ClockPaused); });
  engine.calls.clear();
  MenuItem(*w, "miEvent")->trigger();
  Settle();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], std::make_tuple(4, 18, true));
  EXPECT_FALSE(state.ClockPaused);
  EXPECT_GT(CallsOfMode(CheckMode::kDayMask), 0);

  // A pause held before the menu command is still held after it.
  state.ClockPaused = true;
  MenuItem(*w, "miEvent")->trigger();
  EXPECT_TRUE(state.ClockPaused);
}

TEST_F(MainTest, SchemesColourTheTexts) {
  auto w = Make();
  const QColor windowText = QGuiApplication::palette().color(QPalette::WindowText);
  MenuItem(*w, "miFigureBright")->trigger();
  Settle();
  EXPECT_TRUE(MenuItem(*w, "miFigureBright")->isChecked());
  EXPECT_FALSE(MenuItem(*w, "miFigureDark")->isChecked());
  EXPECT_EQ(w->lDate()->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(w->lEvent(0)->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(w->Calendar()->HeaderColor(6), QColor(0, 255, 255));
  EXPECT_EQ(w->Calendar()->HeaderColor(0), QColor(255, 0, 0));
  EXPECT_EQ(w->Calendar()->HeaderColor(3), QColor(Qt::white));
  const auto& sat = w->Calendar()->Sheet().cells[0][static_cast<std::size_t>(CellOfDay(*w, 0, 23))];
  EXPECT_EQ(w->Calendar()->TextColor(sat), QColor(0, 255, 255));
  MenuItem(*w, "miFigureDark")->trigger();
  Settle();
  EXPECT_EQ(w->lTime()->palette().color(QPalette::WindowText), windowText);
  EXPECT_EQ(w->Calendar()->HeaderColor(6), QColor(0, 0, 255));
  EXPECT_EQ(w->Calendar()->HeaderColor(3), windowText);
  const auto& plain =
      w->Calendar()->Sheet().cells[0][static_cast<std::size_t>(CellOfDay(*w, 0, 20))];
  EXPECT_EQ(w->Calendar()->TextColor(plain), windowText);
  EXPECT_EQ(saves->count(), 2);
}

TEST_F(MainTest, CloseSavesAndEndsButExitOnlyEnds) {
  auto w = Make();
  QSignalSpy quits(w.get(), &TfrmMain::QuitRequested);
  w->show();
  MenuItem(*w, "miExit")->trigger();
  EXPECT_EQ(quits.count(), 1);
  EXPECT_EQ(saves->count(), 0);
  EXPECT_TRUE(w->close());
  EXPECT_EQ(quits.count(), 2);
  EXPECT_EQ(saves->count(), 1);
}

// --- The keyboard ------------------------------------------------------------------------------

// Shows the window and hands it the keyboard, as a click or the window manager's switching does.
void Activate(QWidget& w) {
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

// A key as the user types it: to whatever has the focus in the window.
void Key(QWidget& w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus && focus->window() == &w ? focus : &w, key, mods);
}

TEST_F(MainTest, MenuKeyAndShiftF10OpenTheMenuAtTheFocusedDay) {
  auto w = Make();
  Activate(*w);
  CalendarView* cal = w->Calendar();
  EXPECT_EQ(QApplication::focusWidget(), cal) << "the calendar takes the keyboard";
  const QPoint today = cal->mapToGlobal(cal->DayRect(0, CellOfDay(*w, 0, 18)).bottomLeft());
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    bool opens;
  } cases[] = {
      {Qt::Key_Menu, Qt::NoModifier, true},
      {Qt::Key_F10, Qt::ShiftModifier, true},
      {Qt::Key_F10, Qt::NoModifier, false},
      {Qt::Key_Menu, Qt::ControlModifier, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QKeySequence(c.key | c.mods).toString().toStdString());
    Key(*w, c.key, c.mods);
    EXPECT_EQ(w->pMenu()->isVisible(), c.opens);
    if (!c.opens) continue;
    EXPECT_EQ(w->LastMenuPoint(), today);
    // Ready for the arrows and Enter: the first item is active.
    EXPECT_EQ(w->pMenu()->activeAction(), w->pMenu()->actions().first());
    w->pMenu()->hide();
  }
  EXPECT_EQ(CallsOfMode(CheckMode::kDayList), 0);

  // Without a focused day the menu opens at the window's corner.
  cal->clearFocus();
  QTest::keyClick(w.get(), Qt::Key_Menu);
  EXPECT_TRUE(w->pMenu()->isVisible());
  EXPECT_EQ(w->LastMenuPoint(), w->mapToGlobal(QPoint(0, 0)));
  w->pMenu()->hide();
}

// Keys from today (Monday 18 April 2005) with April and May shown; Enter announces the day the
// focus is on, which the engine is asked about.
TEST_F(MainTest, ArrowsMoveTheFocusedDayAcrossWeeksAndMonths) {
  const struct {
    std::vector<Qt::Key> keys;
    DateParts announced;
  } cases[] = {
      {{}, {2005, 4, 18}},
      {{Qt::Key_Right}, {2005, 4, 19}},
      {{Qt::Key_Left, Qt::Key_Left}, {2005, 4, 16}},  // back over the week's start
      {{Qt::Key_Up}, {2005, 4, 11}},
      {{Qt::Key_Down, Qt::Key_Down}, {2005, 5, 2}},  // into the second month
      {{Qt::Key_End}, {2005, 4, 30}},
      {{Qt::Key_End, Qt::Key_Right}, {2005, 5, 1}},
      {{Qt::Key_Home, Qt::Key_Left}, {2005, 4, 1}},  // display mode: no month before April
      {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down,
        Qt::Key_Down},
       {2005, 5, 30}},  // and none after May
      {{Qt::Key_PageDown}, {2005, 5, 18}},
      {{Qt::Key_PageDown, Qt::Key_PageDown}, {2005, 5, 18}},
  };
  settings.months = 2;
  for (const auto& c : cases) {
    auto w = Make();
    Settle();
    Activate(*w);
    for (Qt::Key k : c.keys) Key(*w, k);
    engine.calls.clear();
    Key(*w, Qt::Key_Return);
    ASSERT_EQ(CallsOfMode(CheckMode::kDayList), 1) << c.keys.size() << " keys";
    const DateParts got = DecodeDate(engine.calls.back().date);
    EXPECT_EQ(got, c.announced) << got.year << "/" << got.month << "/" << got.day;
    EXPECT_EQ(w->Shown(), (YearMonth{2005, 4}));
    // Space presses the day as well.
    Key(*w, Qt::Key_Space);
    EXPECT_EQ(CallsOfMode(CheckMode::kDayList), 2);
  }
}

// In navigation mode the page keys step the month, and the arrows step it when they leave the
// shown month; the focus goes along.
TEST_F(MainTest, PageKeysStepTheMonthInNavigationMode) {
  const struct {
    std::vector<Qt::Key> keys;
    YearMonth shown;
    DateParts announced;
  } cases[] = {
      {{Qt::Key_PageDown}, {2005, 5}, {2005, 5, 18}},
      {{Qt::Key_PageUp, Qt::Key_PageUp}, {2005, 2}, {2005, 2, 18}},
      {{Qt::Key_End, Qt::Key_PageDown}, {2005, 5}, {2005, 5, 30}},
      {{Qt::Key_PageUp, Qt::Key_End, Qt::Key_Right}, {2005, 4}, {2005, 4, 1}},
      {{Qt::Key_Home, Qt::Key_Up}, {2005, 3}, {2005, 3, 25}},
  };
  for (const auto& c : cases) {
    auto w = Make();
    w->FormDblClick();
    Activate(*w);
    Settle();
    for (Qt::Key k : c.keys) {
      Key(*w, k);
      Settle();
    }
    EXPECT_EQ(w->Shown(), c.shown) << c.keys.size() << " keys";
    EXPECT_EQ(w->EditYm()->text(), QString::asprintf("%04d-%02d", c.shown.year, c.shown.month));
    engine.calls.clear();
    Key(*w, Qt::Key_Enter);
    ASSERT_EQ(CallsOfMode(CheckMode::kDayList), 1);
    const DateParts got = DecodeDate(engine.calls.back().date);
    EXPECT_EQ(got, c.announced) << got.year << "/" << got.month << "/" << got.day;
  }
}

// The frame goes round the focused day in the gap between the cells, so today's white box stays
// whole; a mouse press hides it until the next key.
TEST_F(MainTest, FocusFrameForTheKeyboardOnly) {
  settings.backColor = ValueFromColor(QColor(0, 128, 0));
  auto w = Make();
  Activate(*w);
  CalendarView* cal = w->Calendar();
  const QRect box = cal->DayRect(0, CellOfDay(*w, 0, 18));
  const QRect ring = box.adjusted(-1, -1, 1, 1);
  const auto ringPixels = [&](const std::function<bool(QColor)>& pred) {
    const QImage image = w->grab().toImage();
    int n = 0;
    for (int x = ring.left(); x <= ring.right(); ++x) {
      n += pred(image.pixelColor(x, ring.top())) + pred(image.pixelColor(x, ring.bottom()));
    }
    for (int y = ring.top() + 1; y < ring.bottom(); ++y) {
      n += pred(image.pixelColor(ring.left(), y)) + pred(image.pixelColor(ring.right(), y));
    }
    return n;
  };
  const auto black = [](QColor c) { return c == QColor(Qt::black); };
  const auto white = [](QColor c) { return c == QColor(Qt::white); };
  const int perimeter = 2 * (ring.width() + ring.height()) - 4;

  Key(*w, Qt::Key_Right);
  Key(*w, Qt::Key_Left);
  EXPECT_GT(ringPixels(black), perimeter / 3);
  EXPECT_GT(ringPixels(white), perimeter / 3);
  // Today's box is whole, its corners white.
  const QImage image = w->grab().toImage();
  for (QPoint corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()}) {
    EXPECT_EQ(image.pixelColor(corner), QColor(Qt::white));
  }

  // A click on a blank cell: no frame, only the window's colour around today.
  QTest::mouseClick(cal, Qt::LeftButton, {}, cal->DayRect(0, 0).center());
  EXPECT_EQ(ringPixels(black), 0);
  EXPECT_EQ(ringPixels([](QColor c) { return c == QColor(0, 128, 0); }), perimeter);
  Key(*w, Qt::Key_Down);
  Key(*w, Qt::Key_Up);
  EXPECT_GT(ringPixels(black), perimeter / 3);
}

TEST_F(MainTest, WithoutACompositorTheDesktopColourStandsIn) {
  // The test platform has no compositor: a see-through window paints the desktop's colour.
  EXPECT_FALSE(DesktopShowsThrough());
  EXPECT_TRUE(DesktopColorUnder(QRect(0, 0, 50, 50)).isValid());
  EXPECT_TRUE(DesktopColorUnder(QRect(-9000, -9000, 5, 5)).isValid());
}

}  // namespace
}  // namespace vespin::ui
