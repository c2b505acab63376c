#pragma once
// The main window: date and time, the month calendar, today's coming events, the pop-up menu
// with every setting, and the once-a-minute clock tick that drives the event engine.
//
//   MinuteTick --TimerTimer--> ShowDateTime, EventCheck(kAlarm) --> AppState.EventLines --> labels
//   Settings --FontSet/BackSet--> layout, colours;  calendar inputs --> one coalesced DrawCalendar
//   menu (MainMenu.cpp) --> Settings --SaveRequested--> the application (vespin.ini)
//
// The keyboard reaches everything the mouse does: the calendar takes the focus when the window is
// activated (never at start-up: the panel shows without taking it), its days are moved through
// with the arrows, and the Menu key or Shift+F10 opens the pop-up menu at the focused day.
//
// The window asks the engine through the EventChecker it is given, and tells the application
// what it wants through signals, so it runs on its own (in tests too). Whatever the calendar
// shows depends on (the settings, the events, today, the shown month) announces itself through
// CalendarInputsChanged(); the calendar is then drawn once, when the event loop comes round.

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "app/CalendarView.h"
#include "app/MinuteTick.h"
#include "calendar/Clock.h"
#include "calendar/DateTime.h"
#include "display/CalendarSheet.h"
#include "display/MainLayout.h"
#include "events/AppState.h"
#include "events/EventEngine.h"
#include "events/Settings.h"

class QLabel;
class QMenu;

namespace vespin::ui {

class TMultiEdit;

// What the window asks about other calendars' events; the application answers from the cache's
// expansion. Without one the panel shows the file's own events only.
class OtherCalendarEvents {
 public:
  virtual ~OtherCalendarEvents() = default;
  // Right after the engine's pass of a tick: their lines joined in, their alarms announced.
  virtual void AfterAlarmPass(TDateTime now) = 0;
  // kMaskRemote for a day with any while their underline is on, else 0.
  virtual int DayMask(TDateTime date) = 0;
  // After the file's own notices of a clicked day: one notice for each of theirs.
  virtual void ListDay(TDateTime date) = 0;
  // The days the calendar shows now.
  virtual void Showing(TDateTime first, TDateTime last) = 0;
};

inline constexpr const char* kApplicationTitle = "vespin Ver3.0";

class TfrmMain final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFirstTickMsecs = MinuteTick::kFirstTickMsecs;
  static constexpr int kCreateWidth = 185;
  static constexpr int kCreateHeight = 270;
  using FontMeasurer = std::function<FontMetricsSample(const QFont& font)>;

  // Runs FormCreate: first size and place, the calendar, the event lines, the first tick.
  TfrmMain(const Clock& clock, AppState& state, Settings& settings, WeekdayNames weekdays,
           QWidget* parent = nullptr);
  ~TfrmMain() override;
  Q_DISABLE_COPY_MOVE(TfrmMain)

  // The engine; without one the calendar underlines nothing and the tick announces nothing.
  // Not owned.
  void SetEventChecker(EventChecker* checker) { checker_ = checker; }
  // Other calendars' events beside the file's own. Not owned.
  void SetOtherCalendars(OtherCalendarEvents* other) { other_ = other; }
  // "i", "w", "WW" and "23:59" in `font`, as FontSet measures them by default.
  static FontMetricsSample MeasureFont(const QFont& font);
  // How FontSet measures the window font; MeasureFont by default.
  void SetFontMeasurer(FontMeasurer fn) { measure_ = std::move(fn); }
  // Before the window is first shown: whether the desktop shows through a translucent window,
  // and the colour to paint in its place when it does not.
  void SetSeeThrough(bool translucent, const QColor& desktopColor);

  // The settings were loaded or reloaded: tick the menu items and lay the window out.
  void ApplySettings();
  // The stored position, applied once at start-up.
  void PlaceAtStart(int storedLeft, int storedTop);

  // The clock tick; `fromForm` for the call from FormCreate.
  void TimerTimer(bool fromForm = false);
  void ShowDateTime(TDateTime date, TDateTime time);
  void ClearEventLines();
  // Shows the event lines as the engine left them.
  void ShowEventLines();
  // At the top right corner of the screen, flush with its right edge at the window's width.
  void PlaceTopRight();
  // Where the panel stands, for the file: in display mode the place the program gave it, which
  // nobody else can change (the panel has no frame to drag), whatever the window system reports
  // meanwhile (a window manager framing it, a compositor that places windows itself); in
  // navigation mode where the user has dragged it.
  QPoint Place() const;
  void FormDblClick();
  // `global` is the pointer on the screen, wherever the press landed.
  void FormMouseDown(Qt::MouseButton button, QPoint global);
  // Writes the file; always lets the window close.
  bool FormCloseQuery();
  void RestartTick(int msecs);

  // Calendar. DrawCalendar draws at once; CalendarInputsChanged has it drawn once the event loop
  // comes round, however many inputs changed meanwhile.
  void DrawCalendar();
  void CalendarInputsChanged();
  void CalendarClick(const CalendarView::Hit& hit);
  void SpinYUpClick();
  void SpinYDownClick();
  void SpinMUpClick();
  void SpinMDownClick();

  // Appearance.
  void FontSet();
  void BackSet();

  // Menu: the items with a window or a decision of their own. The items that only change a
  // setting (the notice options, the underlines, the background, the text scheme, the month
  // count, the holiday law) are rows of MainMenu.cpp and come through ChangeSetting.
  void miEventClick();
  void miIcalExportClick();
  void miOtherCalendarsClick();
  void miBackSetClick();
  void miFontClick();
  void miAboutClick();
  void miExitClick();
  // Applies a change to the settings and what follows it (MenuEffect bits); the calendar is
  // redrawn in any case.
  void ChangeSetting(void (*apply)(Settings&), unsigned effects);

  // The window font as FontSet builds it: FontName (then the default face), FontSize, FontStyle.
  QFont WindowFont() const;
  // The font the font chooser starts from: the stored name, size and style.
  QFont StoredFont() const;

  // What the window shows, for the program's own checks and for tests.
  bool Navigating() const { return navigating_; }
  YearMonth Shown() const { return shown_; }
  int TodayYear() const { return todayYear_; }
  int TodayMonth() const { return todayMonth_; }
  int TodayDay() const { return todayDay_; }
  const MainLayoutResult& Layout() const { return layout_; }
  const QTimer& Timer() const { return tick_.Timer(); }
  QPoint LastMenuPoint() const { return lastMenuPoint_; }
  bool Translucent() const { return translucent_; }
  QColor DesktopColor() const { return desktopColor_; }
  QColor FontColor() const;

  QLabel* lDate() const { return lDate_; }
  QLabel* lTime() const { return lTime_; }
  QLabel* lEvent(int i) const { return lEvents_[static_cast<std::size_t>(i)]; }
  QLabel* lTimeN(int i) const { return lTimes_[static_cast<std::size_t>(i)]; }
  QWidget* Image() const { return image_; }
  CalendarView* Calendar() const { return calendar_; }
  SpinButton* SpinY() const { return spinY_; }
  SpinButton* SpinM() const { return spinM_; }
  // The year-month box exists from the first switch to navigation mode on: a line edit costs
  // more to create than the rest of the window, and most runs never show it.
  TMultiEdit* EditYm() const { return editYm_; }
  // The menu items carry their names ("miBeep" …) as object names.
  QMenu* pMenu() const { return pMenu_; }

 signals:
  // A setting changed that the file keeps: write vespin.ini.
  void SaveRequested();
  // Show the event dialog modally for today's month and day (1-based); returns when it has
  // closed. The clock stays paused meanwhile.
  void EventDialogRequested(int month, int day);
  // End the program: after the window's close (which has written the file), and on 終了.
  void QuitRequested();
  // Write the events to an iCalendar file the user picks.
  void ExportCalendarRequested();
  // Show the window of other calendars (subscriptions, publishing).
  void OtherCalendarsRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void SyncMenu();
  void Save();
  void SetShown(YearMonth shown);
  void EnsureEditYm();
  void PlaceEditYm();
  // The pop-up menu for the keyboard: at the focused day, else at the window's corner, with its
  // first item active.
  void OpenMenuFromKeyboard();
  // The calendar's keys beyond the shown months: step them, in navigation mode only.
  bool StepShownMonth(int step);
  void MoveTo(QPoint at);

  const Clock& clock_;
  AppState& state_;
  Settings& settings_;
  WeekdayNames weekdays_;

  EventChecker* checker_ = nullptr;
  OtherCalendarEvents* other_ = nullptr;
  FontMeasurer measure_;

  QWidget* image_;
  CalendarView* calendar_;
  QLabel* lDate_;
  QLabel* lTime_;
  std::array<QLabel*, kEventLineCount> lEvents_{};
  std::array<QLabel*, kEventLineCount> lTimes_{};
  SpinButton* spinY_;
  SpinButton* spinM_;
  TMultiEdit* editYm_ = nullptr;
  QMenu* pMenu_;
  MinuteTick tick_;
  QTimer redraw_;  // single shot: the coalesced calendar redraw

  MainLayoutResult layout_;
  int todayYear_ = 0;
  int todayMonth_ = 0;
  int todayDay_ = 0;
  YearMonth shown_;
  bool navigating_ = false;
  bool translucent_ = false;
  QColor desktopColor_;
  QPoint lastMenuPoint_;
  QPoint given_;  // the last place the program moved the panel to
};

}  // namespace vespin::ui
