#pragma once
// The application object: it owns the run-time state, the three event tables, the settings, the
// event file and the engine, creates the main window, and is the host that core (the engine)
// and the event dialog talk to.
//
//   Start: TfrmMain (FormCreate) --> IniLoad(vespin.ini) --> engine bound --> settings applied
//   EngineHost / EventDialogHost calls --> notices, saves, redraws, tick restarts

#include <QDateTime>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/Main.h"
#include "calendar/Clock.h"
#include "dialogs/EventDialogHost.h"
#include "events/AppState.h"
#include "events/EngineHost.h"
#include "events/EventEngine.h"
#include "events/EventFile.h"
#include "events/EventStore.h"
#include "events/Settings.h"
#include "remote/RemoteAlarms.h"

class QFileSystemWatcher;

namespace vespin::ui {

class NoticeSound;
class PasswordStore;
class RemoteCalendars;
class TdlgEventSet;

// The local date and time of the system.
class SystemClock final : public Clock {
 public:
  TDateTime Now() const override;
  static TDateTime FromQDateTime(const QDateTime& dt);
};

// Abbreviated weekday names of the desktop's locale, Sunday first, as Shift_JIS.
WeekdayNames LocaleWeekdayNames();

class Application final : public EngineHost, public EventDialogHost, public OtherCalendarEvents {
 public:
  Application(const Clock& clock, NoticeSound& sound, std::filesystem::path iniPath,
              WeekdayNames weekdays);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Creates the main window and loads the event file into it. False when the file could not
  // be read: the user has been told, and the program ends with exit code 1.
  bool Start();
  TfrmMain& MainWindow() { return *main_; }
  Settings& CurrentSettings() { return settings_; }
  // The engine exists once the tables are loaded.
  EventEngine* Engine() { return engine_.get(); }
  const std::filesystem::path& IniPath() const { return file_.Path(); }
  // The event dialog, once the menu has opened it; built on first use and kept afterwards.
  TdlgEventSet* EventDialog() { return eventDialog_.get(); }
  // Other calendars and publishing, once started: fetches, expansion, the helper's runs.
  RemoteCalendars* Remote() { return remote_.get(); }
  // Where the passwords of subscriptions and the publish address come from; nullptr (the
  // default): none, ~/.netrc then applies. Not owned; set before or after Start.
  void SetPasswordStore(PasswordStore* store);

  // EngineHost and EventDialogHost.
  void ShowNotice(const std::string& sjisText) override;
  bool SaveEventFile() override { return IniSave(); }
  void RedrawCalendar() override;
  bool OnTimeNotices() const override { return settings_.onTime; }
  bool StartUpNotices() const override { return settings_.startUp; }
  HolidayLaw Holidays() const override { return settings_.extensions.holidayLaw; }
  EventStore& Store() override { return store_; }
  AppState& State() override { return state_; }
  bool IniSave() override;
  bool IniLoad() override;
  void RestartTick(int msec) override;
  // A notice in UTF-8 (other calendars' texts never pass through Shift_JIS), with the sound
  // as the file's own notices have it.
  void ShowNoticeUtf8(const std::string& utf8Text);

  // OtherCalendarEvents.
  void AfterAlarmPass(TDateTime now) override;
  int DayMask(TDateTime date) override;
  void ListDay(TDateTime date) override;
  void Showing(TDateTime first, TDateTime last) override;

  // When the file changed on disk and nothing is pending (no dialog open, no notice shown),
  // reads it again, keeps what was changed here (Rebase) and shows it; otherwise tries again a
  // little later. The file watcher calls it; nothing is written.
  enum class Reload { kNone, kReloaded, kDeferred };
  Reload ReloadIfChangedOnDisk();

  // Once the panel holds the folder's lock: removes the temporary files of saves killed
  // mid-write before it was taken. Returns how many went.
  int RemoveStaleTempFiles();

 private:
  // Values a hand edit may leave that no menu would give.
  void SanitizeSettings();
  void OpenEventDialog(int month, int day);
  // Before a save over a file that changed on disk: carries the changes made here onto it, or,
  // while the event dialog holds rows of its own, lets the user choose. False: do not save.
  bool TakeDiskChanges();
  // Reads the file again under the changes made here and shows the result.
  bool Rebase(RowChanges rows);
  // Shows the tables and settings after a change on disk was carried onto them.
  void ShowRebased();
  void WatchFile();
  void StartOtherCalendars();
  // The window of other calendars, modal; a fetch follows when it changed the subscriptions.
  void OpenOtherCalendars();
  // The done marks of a renamed subscription follow its new name.
  void RenameRemoteMarks(const std::string& from, const std::string& to);
  bool Busy() const;

  const Clock& clock_;
  NoticeSound& sound_;
  WeekdayNames weekdays_;
  AppState state_;
  EventStore store_;
  Settings settings_;
  EventFile file_;
  std::unique_ptr<EventEngine> engine_;
  std::unique_ptr<TfrmMain> main_;
  std::unique_ptr<TdlgEventSet> eventDialog_;  // a child of main_: goes first
  std::unique_ptr<QFileSystemWatcher> watcher_;
  QTimer reloadTimer_;  // a burst of changes (an editor's save) is looked at once
  PasswordStore* passwords_ = nullptr;
  std::unique_ptr<RemoteCalendars> remote_;
  // The done marks of other calendars' occurrences: read once, when first needed.
  std::optional<remote::RemoteDoneMarks> remoteDone_;
  remote::RemoteAlarmState remoteAlarms_;
};

}  // namespace vespin::ui
