#include "app/Application.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>

#include "UiText.h"
#include "app/Desktop.h"
#include "app/Main.h"
#include "app/Msg.h"
#include "app/NoticeSound.h"
#include "dialogs/EventSet.h"
#include "events/EventEngine.h"

namespace vespin::ui {

TDateTime SystemClock::FromQDateTime(const QDateTime& dt) {
  const QDate d = dt.date();
  const QTime t = dt.time();
  return EncodeDate(d.year(), d.month(), d.day()) +
         EncodeTime(t.hour(), t.minute(), t.second(), t.msec());
}

TDateTime SystemClock::Now() const {
  return FromQDateTime(QDateTime::currentDateTime());
}

WeekdayNames LocaleWeekdayNames() {
  const QLocale locale = QLocale::system();
  WeekdayNames names;
  for (int i = 0; i < 7; ++i) {
    const int qtDay = i == 0 ? 7 : i;  // Qt counts Monday 1 … Sunday 7
    names[static_cast<std::size_t>(i)] =
        ToSjisLossy(locale.standaloneDayName(qtDay, QLocale::ShortFormat));
  }
  return names;
}

Application::Application(const Clock& clock, NoticeSound& sound, std::filesystem::path iniPath,
                         WeekdayNames weekdays)
    : clock_(clock),
      sound_(sound),
      weekdays_(std::move(weekdays)),
      file_(std::move(iniPath), *this) {}

Application::~Application() = default;

bool Application::Start() {
  main_ = std::make_unique<TfrmMain>(clock_, state_, settings_, weekdays_);
  main_->DrawCalendar();

  const LoadResult loaded = file_.IniLoad(store_, settings_);
  if (!loaded.ok) return false;
  SanitizeSettings();

  engine_ = std::make_unique<EventEngine>(store_, state_, *this);
  main_->SetEventChecker(engine_.get());
  TfrmMain* window = main_.get();
  QObject::connect(window, &TfrmMain::SaveRequested, window, [this] { IniSave(); });
  // exit, not quit: quit closes every window first, and the window's close writes the file,
  // which 終了 must not do.
  QObject::connect(window, &TfrmMain::QuitRequested, window, [] { QCoreApplication::exit(0); });
  QObject::connect(window, &TfrmMain::EventDialogRequested, window,
                   [this](int month, int day) { OpenEventDialog(month, day); });
  main_->ApplySettings();
  if (loaded.settingsRead) main_->PlaceAtStart(settings_.left, settings_.top);
  // Only a window that has never been shown can still choose a see-through surface.
  const bool translucent = DesktopShowsThrough();
  main_->SetSeeThrough(translucent,
                       translucent ? QColor() : DesktopColorUnder(main_->frameGeometry()));
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, window,
                   [window] { window->FormCloseQuery(); });
  return true;
}

// A user who never opens the dialog pays nothing for it at start-up; once built it is kept, so
// the page last shown stays selected.
void Application::OpenEventDialog(int month, int day) {
  if (!eventDialog_) eventDialog_ = std::make_unique<TdlgEventSet>(*this, main_.get());
  eventDialog_->Execute(month, day);
}

void Application::SanitizeSettings() {
  if (settings_.fontSize < TfrmMain::kMinFontSize || settings_.fontSize > TfrmMain::kMaxFontSize) {
    settings_.fontSize = TfrmMain::kFallbackFontSize;
  }
}

void Application::ShowNotice(const std::string& sjisText) {
  // An alarm pass fills the coming-events lines as it goes; let the panel show them behind the
  // notice rather than the empty lines the tick started from.
  if (main_) main_->ShowEventLines();
  ui::ShowNotice(FromSjis(sjisText), settings_.beep ? &sound_ : nullptr);
}

void Application::RedrawCalendar() {
  if (main_) main_->DrawCalendar();
}

bool Application::IniSave() {
  if (main_) {
    settings_.left = main_->x();
    settings_.top = main_->y();
  }
  return file_.IniSave(store_, settings_);
}

bool Application::IniLoad() {
  const LoadResult loaded = file_.IniLoad(store_, settings_);
  if (!loaded.ok) return false;
  SanitizeSettings();
  if (main_) main_->ApplySettings();
  return true;
}

void Application::RestartTick(int msec) {
  if (main_) main_->RestartTick(msec);
}

}  // namespace vespin::ui
