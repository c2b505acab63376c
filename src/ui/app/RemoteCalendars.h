#pragma once
// The panel's side of other calendars and publishing: when to run the network helper, one run
// at a time, and the occurrences of the cached calendars, expanded on a worker thread.
//
//   minute tick --Tick--> fetch when due (15 minutes, a wake, a new day) --> vespin-sync (child)
//   child ended --> cache folder --worker thread: ReadRemoteCalendar--> RemoteDayIndex
//   --IndexChanged--> the panel's lines, underline, day list and alarms
//   save of vespin.ini --FileSaved--> (settled) vespin-sync publish
//
// With neither subscriptions nor a publish address nothing runs, nothing is read and no folder
// is made: such a file behaves as if this did not exist.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/RemoteSync.h"
#include "calendar/Clock.h"
#include "calendar/DateTime.h"
#include "events/Settings.h"
#include "remote/RemoteDays.h"

namespace vespin::ui {

// Where the network helper may be for a program in `programDir`, best first: beside it, in the
// program's private folder, and where the build tree keeps it.
QStringList SyncProgramCandidates(const QString& programDir);

// The local days the panel keeps expanded around `today`: the month before it to three months
// after, which holds every month the calendar shows from today and the longest alarm lead.
std::pair<sys_days, sys_days> ExpansionWindow(sys_days today);

// When the calendars are fetched again, from the ticks' wall clock and monotonic clock: every
// kFetchEveryMsecs, and after a wake from suspend (the monotonic clock stands still while the
// computer sleeps, so the wall clock runs ahead of it), or a tick far later than it was asked
// for (a stopped process). A clock put back counts its distance as well.
class FetchSchedule {
 public:
  static constexpr std::int64_t kEveryMsecs = 15 * 60 * 1000;
  static constexpr std::int64_t kWakeSlackMsecs = 2 * 60 * 1000;
  static constexpr std::int64_t kTickMsecs = 60 * 1000;

  // A tick at `wallMs` (local time) and `monoMs` (monotonic): whether a fetch is due now.
  bool Tick(std::int64_t wallMs, std::int64_t monoMs);
  void Fetched(std::int64_t wallMs) { lastFetchMs_ = wallMs; }

 private:
  std::optional<std::int64_t> lastFetchMs_;
  std::optional<std::int64_t> lastTickMs_;
  std::int64_t lastTickMono_ = 0;
};

class RemoteCalendars final : public QObject, public RemoteSyncRunner {
  Q_OBJECT

 public:
  static constexpr int kFirstFetchMsecs = 3000;  // after the first paint
  static constexpr int kRunLimitMsecs = 3 * 60 * 1000;
  static constexpr int kPublishSettleMsecs = 2000;  // a burst of saves publishes once

  // `settings` is the panel's, read at each decision (a reload or the window of other
  // calendars may change the subscriptions); `iniFile` is the event file the helper reads.
  RemoteCalendars(const Clock& clock, const Settings& settings, std::filesystem::path iniFile,
                  QObject* parent = nullptr);
  ~RemoteCalendars() override;
  Q_DISABLE_COPY_MOVE(RemoteCalendars)

  // Where passwords come from; nullptr: none (the helper then reads ~/.netrc). Not owned.
  void SetPasswordStore(PasswordStore* store) { store_ = store; }
  // The helper program; by default the first of SyncProgramCandidates that exists.
  void SetProgram(const QString& program) { program_ = program; }
  const QString& Program() const { return program_; }

  // Once the panel is on screen: expands what the cache holds and arms the first fetch.
  void Start();
  // From the minute tick, after the engine's pass.
  void Tick(TDateTime now);
  // After a successful save of vespin.ini.
  void FileSaved();
  // The days the calendar shows: expanded as well when they lie beyond the window.
  void Showing(sys_days first, sys_days last);

  // On demand: they go at once, whatever wait a server asked for.
  void FetchNow(const QStringList& namesUtf8, Done done) override;
  void PublishNow(bool force, Done done) override;

  // The last expansion; never null (empty before the first one ends).
  std::shared_ptr<const remote::RemoteDayIndex> Index() const { return index_; }
  std::filesystem::path CacheFolder() const;
  bool Busy() const { return process_ != nullptr || waitingForPassword_ || !queue_.empty(); }
  // Runs of the helper started so far (every fetch, publish and failed start).
  int RunsStarted() const { return runsStarted_; }
  bool Subscribed() const { return !settings_.extensions.subscriptions.empty(); }

 signals:
  // Index() holds a new expansion.
  void IndexChanged();
  // A run of the helper ended (fetch or publish), with what it said.
  void RunEnded(const vespin::ui::SyncRunResult& result);

 private:
  // One request of FetchNow or PublishNow, which may take several runs (one per password).
  struct Request {
    int pending = 0;
    bool fetch = false;
    SyncRunResult result{0, {}};
    Done done;
  };
  struct Run {
    QStringList args;
    QString url;  // whose password, when `user` is not empty
    QString user;
    std::shared_ptr<Request> request;
  };
  void Enqueue(Run run);
  void StartNext();
  void Launch(const Run& run, const std::optional<QString>& password);
  void Ended(const SyncRunResult& result);
  void ScheduledFetch();
  void PublishIfFailedBefore();
  // `scheduled`: the panel's own moments, which leave alone a subscription or a publish address
  // whose server asked to wait (Retry-After, kept in its status file).
  void Fetch(const QStringList& namesUtf8, Done done, bool scheduled);
  void Publish(bool force, Done done, bool scheduled);
  void Expand();
  QStringList SubscriptionNames() const;

  const Clock& clock_;
  const Settings& settings_;
  std::filesystem::path iniFile_;
  PasswordStore* store_ = nullptr;
  QString program_;

  std::deque<Run> queue_;
  QPointer<QProcess> process_;
  std::optional<Run> current_;
  bool waitingForPassword_ = false;
  QTimer limit_;
  QTimer firstFetch_;
  QTimer publishSettle_;
  int runsStarted_ = 0;
  bool started_ = false;
  bool fetchQueued_ = false;
  bool publishQueued_ = false;

  FetchSchedule schedule_;
  QElapsedTimer monotonic_;

  // One expansion at a time, off the UI thread: libical's zone tables are shared by every
  // reader, and a newer expansion makes a running one's result void anyway.
  QThreadPool expansions_;
  std::shared_ptr<const remote::RemoteDayIndex> index_;
  int generation_ = 0;
  bool expanding_ = false;
  std::vector<std::function<void()>> afterExpansion_;
  QStringList expandedNames_;
  std::optional<sys_days> expandedToday_;
  std::optional<std::pair<sys_days, sys_days>> shown_;
};

}  // namespace vespin::ui
