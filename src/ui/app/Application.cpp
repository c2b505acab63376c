#include "app/Application.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QLocale>

#include "UiText.h"
#include "WindowPlace.h"
#include "app/Desktop.h"
#include "app/IcalExportDialog.h"
#include "app/Main.h"
#include "app/Msg.h"
#include "app/NoticeSound.h"
#include "app/RemoteCalendars.h"
#include "controls/MessageBox.h"
#include "controls/ModalRunner.h"
#include "dialogs/EventSet.h"
#include "dialogs/OtherCalendars.h"
#include "events/EventEngine.h"
#include "events/PanelLock.h"
#include "events/WholeFile.h"
#include "remote/CacheFolder.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

constexpr const char* kChangedOnDiskQuestion =
    "A vespin.iniがほかで書き換えられています。\r\n上書きしますか、それとも読み直しますか？";
constexpr int kReloadSettleMsecs = 250;  // an editor writes in steps
constexpr int kReloadRetryMsecs = 1000;

}  // namespace

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
  // Notices and message boxes open above the panel, on its screen.
  SetDialogAnchor(main_.get());
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
  QObject::connect(window, &TfrmMain::ExportCalendarRequested, window, [this] {
    ExportCalendarDialog(main_.get(), store_, settings_, file_.Path(), DateOf(clock_.Now()), *this);
  });
  StartOtherCalendars();
  main_->ApplySettings();
  // The first picture shows the file's settings and events.
  main_->DrawCalendar();
  // Placed once its size is final: FormCreate's place was for a wider window.
  if (loaded.settingsRead) {
    main_->PlaceAtStart(settings_.left, settings_.top);
  } else {
    main_->PlaceTopRight();
  }
  // Only a window that has never been shown can still choose a see-through surface.
  const bool translucent = DesktopShowsThrough();
  main_->SetSeeThrough(translucent,
                       translucent ? QColor() : DesktopColorUnder(main_->frameGeometry()));
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, window,
                   [window] { window->FormCloseQuery(); });
  WatchFile();
  return true;
}

void Application::StartOtherCalendars() {
  remote_ = std::make_unique<RemoteCalendars>(clock_, settings_, file_.Path());
  remote_->SetPasswordStore(passwords_);
  TfrmMain* window = main_.get();
  QObject::connect(remote_.get(), &RemoteCalendars::IndexChanged, window, [window] {
    window->CalendarInputsChanged();
    // Their lines and alarms at once, not at the next full minute.
    window->RestartTick(TfrmMain::kFirstTickMsecs);
  });
  main_->SetOtherCalendars(this);
  QObject::connect(window, &TfrmMain::OtherCalendarsRequested, window,
                   [this] { OpenOtherCalendars(); });
  remote_->Start();
}

void Application::OpenOtherCalendars() {
  const std::vector<Subscription> before = settings_.extensions.subscriptions;
  OtherCalendarsDialog dialog(
      settings_.extensions, remote_->CacheFolder(), remote_.get(), passwords_,
      [this] { return IniSave(); }, main_.get());
  QObject::connect(&dialog, &OtherCalendarsDialog::SubscriptionRenamed, &dialog,
                   [this](const QString& from, const QString& to) {
                     RenameRemoteMarks(from.toStdString(), to.toStdString());
                   });
  RunModal(dialog);
  // A calendar just added has no copy yet: fetch rather than wait up to a quarter of an hour.
  if (settings_.extensions.subscriptions != before && remote_->Subscribed()) {
    remote_->FetchNow({}, [](const SyncRunResult&) {});
  }
}

void Application::SetPasswordStore(PasswordStore* store) {
  passwords_ = store;
  if (remote_) remote_->SetPasswordStore(store);
}

void Application::WatchFile() {
  watcher_ = std::make_unique<QFileSystemWatcher>();
  reloadTimer_.setSingleShot(true);
  QObject::connect(&reloadTimer_, &QTimer::timeout, watcher_.get(),
                   [this] { ReloadIfChangedOnDisk(); });
  const QFileInfo file(QString::fromStdString(file_.Path().string()));
  // The folder too: a save by rename (ours, or an editor's) replaces the file the watch was on.
  watcher_->addPath(file.absolutePath());
  watcher_->addPath(file.absoluteFilePath());
  const auto changed = [this, path = file.absoluteFilePath()] {
    if (!watcher_->files().contains(path) && QFileInfo::exists(path)) watcher_->addPath(path);
    reloadTimer_.start(kReloadSettleMsecs);
  };
  QObject::connect(watcher_.get(), &QFileSystemWatcher::fileChanged, watcher_.get(), changed);
  QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(), changed);
}

bool Application::Busy() const {
  // A pass or a listing under way, the event dialog, or any other window waiting for the user.
  return state_.ClockPaused || (eventDialog_ && eventDialog_->isVisible()) ||
         QApplication::activeModalWidget() != nullptr;
}

Application::Reload Application::ReloadIfChangedOnDisk() {
  if (!file_.ChangedOnDisk()) return Reload::kNone;
  if (Busy()) {
    reloadTimer_.start(kReloadRetryMsecs);
    return Reload::kDeferred;
  }
  return Rebase(RowChanges::kKeep) ? Reload::kReloaded : Reload::kNone;
}

int Application::RemoveStaleTempFiles() {
  // The lock file's own time, on the folder's file system: the clock that stamps the temporary
  // files, wherever the folder lives.
  const auto folder =
      file_.Path().has_parent_path() ? file_.Path().parent_path() : std::filesystem::path(".");
  struct stat lock {};
  if (::stat((folder / kPanelLockName).c_str(), &lock) != 0) return 0;
  return vespin::RemoveStaleTempFiles(file_.Path(), lock.st_mtim);
}

bool Application::Rebase(RowChanges rows) {
  if (!file_.Rebase(store_, settings_, rows)) return false;
  ShowRebased();
  return true;
}

void Application::ShowRebased() {
  SanitizeSettings();
  if (main_) {
    main_->ApplySettings();
    // The coming events may be others now.
    main_->RestartTick(TfrmMain::kFirstTickMsecs);
  }
}

bool Application::TakeDiskChanges() {
  // The dialog edits the tables in place: rows of its own would be lost to a plain reload.
  if (eventDialog_ && eventDialog_->isVisible() && file_.EventsDiffer(store_)) {
    const int answer = ShowMessageForm(sjis::Lit(kChangedOnDiskQuestion), QStringLiteral("上書き"),
                                       QStringLiteral("読み直す"));
    if (answer == kIdYes) {
      // Over what the user saw when choosing; a change after that is still carried.
      file_.TakeDiskAsBase();
      return true;
    }
    Rebase(RowChanges::kDrop);
    return false;
  }
  return Rebase(RowChanges::kKeep);
}

// A user who never opens the dialog pays nothing for it at start-up; once built it is kept, so
// the page last shown stays selected.
void Application::OpenEventDialog(int month, int day) {
  if (!eventDialog_) eventDialog_ = std::make_unique<TdlgEventSet>(*this, main_.get());
  eventDialog_->Execute(month, day);
}

void Application::SanitizeSettings() {
  settings_.fontSize = UsableFontSize(settings_.fontSize);
}

void Application::ShowNotice(const std::string& sjisText) {
  // An alarm pass fills the coming-events lines as it goes; let the panel show them behind the
  // notice rather than the empty lines the tick started from.
  if (main_) main_->ShowEventLines();
  ui::ShowNotice(FromSjis(sjisText), settings_.beep ? &sound_ : nullptr);
}

void Application::ShowNoticeUtf8(const std::string& utf8Text) {
  if (main_) main_->ShowEventLines();
  // The message loop runs on under the notice: no tick may start another pass meanwhile.
  const ClockPause pause(state_);
  ui::ShowNotice(QString::fromStdString(utf8Text), settings_.beep ? &sound_ : nullptr);
}

void Application::AfterAlarmPass(TDateTime now) {
  if (!remote_) return;
  remote_->Tick(now);
  // Kept for the whole pass: a fetch that ends while a notice is open replaces the index.
  const auto index = remote_->Index();
  if (index->Empty() && !remoteDone_) return;
  const std::int64_t nowMs = ToMsecs(now);
  remote::MergeRemoteLines(state_, *index, nowMs);
  const auto doneFile = remote_->CacheFolder() / remote::kRemoteDoneFile;
  if (!remoteDone_) remoteDone_ = remote::ReadRemoteDone(doneFile);
  remote::RemoteAlarmOptions options;
  options.onTime = settings_.onTime;
  const remote::RemotePass pass =
      remote::RemoteAlarmPass(nowMs, *index, *remoteDone_, remoteAlarms_, options);
  // Written before the notices: a panel killed while one is open does not announce it again.
  if (pass.marksChanged) remote::WriteRemoteDone(doneFile, *remoteDone_);
  for (const std::string& notice : pass.notices) ShowNoticeUtf8(notice);
}

void Application::RenameRemoteMarks(const std::string& from, const std::string& to) {
  const auto doneFile = remote_->CacheFolder() / remote::kRemoteDoneFile;
  if (!remoteDone_) remoteDone_ = remote::ReadRemoteDone(doneFile);
  if (remoteDone_->Size() == 0) return;
  remoteDone_->RenameCalendar(from, to);
  remote::WriteRemoteDone(doneFile, *remoteDone_);
}

int Application::DayMask(TDateTime date) {
  if (!remote_ || !settings_.extensions.remoteLine) return 0;
  const auto day = CalendarDay(date);
  return day && remote_->Index()->Any(*day) ? remote::kMaskRemote : 0;
}

void Application::ListDay(TDateTime date) {
  if (!remote_) return;
  const auto day = CalendarDay(date);
  if (!day) return;
  const auto index = remote_->Index();
  for (const remote::RemoteOccurrence* o : index->On(*day)) {
    ShowNoticeUtf8(remote::DayListNoticeUtf8(*o));
  }
}

void Application::Showing(TDateTime first, TDateTime last) {
  if (!remote_) return;
  const auto from = CalendarDay(first);
  const auto to = CalendarDay(last);
  if (from && to) remote_->Showing(*from, *to);
}

void Application::RedrawCalendar() {
  if (main_) main_->CalendarInputsChanged();
}

bool Application::IniSave() {
  if (main_) {
    const QPoint at = main_->Place();
    settings_.left = at.x();
    settings_.top = at.y();
  }
  if (file_.ChangedOnDisk() && !TakeDiskChanges()) return false;
  bool merged = false;
  const bool saved = file_.IniSave(store_, settings_, &merged);
  // An edit that landed during the save is in the tables now: show it as a reload would.
  if (merged) ShowRebased();
  if (saved && remote_) remote_->FileSaved();
  return saved;
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
