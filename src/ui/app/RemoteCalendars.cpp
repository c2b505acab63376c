#include "app/RemoteCalendars.h"

#include <QCoreApplication>
#include <QDir>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <ctime>
#include <tuple>

#include "RemoteCalendar.h"
#include "app/InstallLayout.h"
#include "remote/CacheFolder.h"
#include "remote/SyncStatus.h"
#include "text/Sjis.h"

#ifndef VESPIN_MODULE_DIR_FROM_PROGRAM
#error "VESPIN_MODULE_DIR_FROM_PROGRAM comes from the build"
#endif

namespace vespin::ui {
namespace {

constexpr const char* kSyncProgramName = "vespin-sync";

QString Utf8(const std::string& sjisText) {
  return QString::fromStdString(sjis::ToUtf8(sjisText));
}

using Expanded = std::shared_ptr<const remote::RemoteDayIndex>;

// The server said when to come back (Retry-After), and that is still ahead.
bool AskedToWait(const std::filesystem::path& statusFile) {
  const auto status = remote::ReadSyncStatus(statusFile);
  if (!status || status->retry.empty()) return false;
  const auto until = remote::ParseIsoTime(status->retry);
  return until && *until > std::time(nullptr);
}

// On a worker thread: nothing here may touch the panel's objects.
Expanded ExpandCaches(const std::filesystem::path& cache, const QStringList& names,
                      std::vector<std::pair<sys_days, sys_days>> ranges) {
  std::vector<remote::RemoteOccurrence> all;
  for (const QString& name : names) {
    const std::string utf8 = name.toStdString();
    const auto file = remote::SubscriptionFolder(cache, utf8) / remote::kCalendarFile;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) continue;
    for (const auto& [from, to] : ranges) {
      auto expansion = ical::ReadRemoteCalendar(file, utf8, from, to);
      std::move(expansion.occurrences.begin(), expansion.occurrences.end(),
                std::back_inserter(all));
    }
  }
  if (ranges.size() > 1) {
    // An all-day span that reaches into both ranges was read twice.
    const auto key = [](const remote::RemoteOccurrence& o) {
      return std::tie(o.calendar, o.key, o.startMs);
    };
    std::sort(all.begin(), all.end(),
              [&](const auto& a, const auto& b) { return key(a) < key(b); });
    all.erase(std::unique(all.begin(), all.end(),
                          [&](const auto& a, const auto& b) { return key(a) == key(b); }),
              all.end());
  }
  return std::make_shared<const remote::RemoteDayIndex>(std::move(all));
}

}  // namespace

QStringList SyncProgramCandidates(const QString& programDir) {
  const QString name = QString::fromLatin1(kSyncProgramName);
  return {
      QDir::cleanPath(programDir + QLatin1Char('/') + name),
      QDir::cleanPath(programDir + QStringLiteral("/" VESPIN_MODULE_DIR_FROM_PROGRAM "/") + name),
      QDir::cleanPath(programDir + QStringLiteral("/cli/") + name)};
}

std::pair<sys_days, sys_days> ExpansionWindow(sys_days today) {
  using namespace std::chrono;
  const year_month_day ymd(today);
  const year_month first = year_month(ymd.year(), ymd.month()) - months(1);
  const year_month last = year_month(ymd.year(), ymd.month()) + months(3);
  return {sys_days(first / 1), sys_days(last / std::chrono::last)};
}

RemoteCalendars::RemoteCalendars(const Clock& clock, const Settings& settings,
                                 std::filesystem::path iniFile, QObject* parent)
    : QObject(parent),
      clock_(clock),
      settings_(settings),
      iniFile_(std::filesystem::absolute(iniFile)),
      index_(std::make_shared<const remote::RemoteDayIndex>()) {
  const QStringList candidates = SyncProgramCandidates(QCoreApplication::applicationDirPath());
  program_ = FirstWithFile(candidates);
  if (program_.isEmpty()) program_ = candidates.value(1);
  limit_.setSingleShot(true);
  connect(&limit_, &QTimer::timeout, this, [this] {
    if (process_) process_->kill();
  });
  firstFetch_.setSingleShot(true);
  connect(&firstFetch_, &QTimer::timeout, this, &RemoteCalendars::ScheduledFetch);
  publishSettle_.setSingleShot(true);
  connect(&publishSettle_, &QTimer::timeout, this, [this] { Publish(false, {}, true); });
  monotonic_.start();
  expansions_.setMaxThreadCount(1);
}

RemoteCalendars::~RemoteCalendars() {
  if (process_) {
    process_->disconnect(this);
    process_->kill();
    process_->waitForFinished(2000);
  }
}

std::filesystem::path RemoteCalendars::CacheFolder() const {
  return remote::CacheFolder(iniFile_.parent_path());
}

QStringList RemoteCalendars::SubscriptionNames() const {
  QStringList names;
  for (const Subscription& s : settings_.extensions.subscriptions) names << Utf8(s.name);
  return names;
}

void RemoteCalendars::Start() {
  started_ = true;
  if (Subscribed()) Expand();
  firstFetch_.start(kFirstFetchMsecs);
}

bool FetchSchedule::Tick(std::int64_t wallMs, std::int64_t monoMs) {
  bool woke = false;
  if (lastTickMs_) {
    const std::int64_t wallStep = wallMs - *lastTickMs_;
    const std::int64_t monoStep = monoMs - lastTickMono_;
    woke = wallStep - monoStep > kWakeSlackMsecs || monoStep > kTickMsecs + kWakeSlackMsecs;
  }
  lastTickMs_ = wallMs;
  lastTickMono_ = monoMs;
  return woke || !lastFetchMs_ || std::llabs(wallMs - *lastFetchMs_) >= kEveryMsecs;
}

void RemoteCalendars::Tick(TDateTime now) {
  const std::int64_t nowMs = ToMsecs(now);
  // Every tick counts for the wake, whether or not a fetch may start now.
  const bool due = schedule_.Tick(nowMs, monotonic_.elapsed());
  const sys_days today = DayAtMsecs(nowMs);
  const QStringList names = SubscriptionNames();
  if (names != expandedNames_ || (!names.isEmpty() && expandedToday_ != today)) Expand();
  if (!started_ || firstFetch_.isActive()) return;
  if (due) ScheduledFetch();
}

void RemoteCalendars::ScheduledFetch() {
  // A file with a publish address alone has no fetches: a failed publish is tried again at
  // their moments all the same.
  if (!Subscribed() && !settings_.extensions.publish) return;
  schedule_.Fetched(ToMsecs(clock_.Now()));
  if (Subscribed() && !fetchQueued_) Fetch({}, {}, true);
  PublishIfFailedBefore();
}

void RemoteCalendars::PublishIfFailedBefore() {
  if (!settings_.extensions.publish || publishQueued_) return;
  const auto status = remote::ReadSyncStatus(CacheFolder() / remote::kPublishStatusFile);
  if (status && !status->error.empty()) Publish(false, {}, true);
}

void RemoteCalendars::FileSaved() {
  if (settings_.extensions.publish) publishSettle_.start(kPublishSettleMsecs);
}

void RemoteCalendars::Showing(sys_days first, sys_days last) {
  if (!Subscribed() || !expandedToday_) return;
  const auto window = ExpansionWindow(*expandedToday_);
  if (first >= window.first && last <= window.second) {
    // Back inside: the extra range is no longer needed, but costs nothing to keep.
    return;
  }
  if (shown_ && first >= shown_->first && last <= shown_->second) return;
  shown_ = {first, last};
  Expand();
}

void RemoteCalendars::FetchNow(const QStringList& namesUtf8, Done done) {
  Fetch(namesUtf8, std::move(done), false);
}

void RemoteCalendars::PublishNow(bool force, Done done) {
  Publish(force, std::move(done), false);
}

void RemoteCalendars::Fetch(const QStringList& namesUtf8, Done done, bool scheduled) {
  auto request = std::make_shared<Request>();
  request->fetch = true;
  request->done = std::move(done);
  // Each subscription with a user runs alone, with its own password on the helper's input;
  // the others share one run.
  QStringList shared;
  std::vector<Run> runs;
  const QStringList wanted = namesUtf8.isEmpty() ? SubscriptionNames() : namesUtf8;
  for (const QString& name : wanted) {
    const Subscription* found = nullptr;
    for (const Subscription& s : settings_.extensions.subscriptions) {
      if (Utf8(s.name) == name) found = &s;
    }
    if (scheduled && found &&
        AskedToWait(remote::SubscriptionFolder(CacheFolder(), name.toStdString()) /
                    remote::kStatusFile)) {
      continue;
    }
    if (found && !found->user.empty() && store_) {
      runs.push_back({{QStringLiteral("fetch"), name}, Utf8(found->url), Utf8(found->user), {}});
    } else {
      shared << name;
    }
  }
  if (!shared.isEmpty())
    runs.push_back({QStringList{QStringLiteral("fetch")} + shared, {}, {}, {}});
  if (runs.empty()) {
    // Nothing to fetch: answered later all the same, as the interface promises.
    QTimer::singleShot(0, this, [request] {
      if (request->done) request->done(request->result);
    });
    return;
  }
  request->pending = static_cast<int>(runs.size());
  fetchQueued_ = true;
  for (Run& run : runs) {
    run.request = request;
    Enqueue(std::move(run));
  }
}

void RemoteCalendars::Publish(bool force, Done done, bool scheduled) {
  auto request = std::make_shared<Request>();
  request->done = std::move(done);
  request->pending = 1;
  Run run{{QStringLiteral("publish")}, {}, {}, request};
  if (force) run.args << QStringLiteral("--force");
  const auto& target = settings_.extensions.publish;
  // Named, the address is published at once; unnamed, the helper waits as its server asked.
  if (target && !scheduled) run.args << Utf8(target->url);
  if (target && !target->user.empty()) {
    run.url = Utf8(target->url);
    run.user = Utf8(target->user);
  }
  publishQueued_ = true;
  Enqueue(std::move(run));
}

void RemoteCalendars::Enqueue(Run run) {
  queue_.push_back(std::move(run));
  StartNext();
}

void RemoteCalendars::StartNext() {
  if (process_ || waitingForPassword_ || queue_.empty()) return;
  Run run = std::move(queue_.front());
  queue_.pop_front();
  current_ = run;
  if (!run.user.isEmpty() && store_) {
    waitingForPassword_ = true;
    QPointer<RemoteCalendars> self(this);
    store_->Read(run.url, run.user, [self, run](const std::optional<QString>& password) {
      if (!self) return;
      self->waitingForPassword_ = false;
      self->Launch(run, password);
    });
    return;
  }
  Launch(run, std::nullopt);
}

void RemoteCalendars::Launch(const Run& run, const std::optional<QString>& password) {
  ++runsStarted_;
  QStringList args{run.args.front(), QStringLiteral("--file"),
                   QString::fromStdString(iniFile_.string())};
  if (password) args << QStringLiteral("--password-stdin");
  args << run.args.mid(1);
  auto* process = new QProcess(this);
  process_ = process;
  process->setProgram(program_);
  process->setArguments(args);
  process->setStandardOutputFile(QProcess::nullDevice());
  connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus how) {
    const QString messages = QString::fromUtf8(process->readAllStandardError());
    Ended({how == QProcess::NormalExit ? code : -1, messages});
  });
  connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    Ended({-1, process->program() + QStringLiteral(": ") + process->errorString()});
  });
  process->start();
  // A program that cannot be started has ended already (and the next run may be under way).
  if (process_ != process) return;
  if (password) process->write((*password + QLatin1Char('\n')).toUtf8());
  process->closeWriteChannel();
  limit_.start(kRunLimitMsecs);
}

void RemoteCalendars::Ended(const SyncRunResult& result) {
  limit_.stop();
  if (process_) {
    process_->disconnect(this);
    process_->deleteLater();
    process_ = nullptr;
  }
  std::optional<Run> run = std::move(current_);
  current_.reset();
  emit RunEnded(result);
  if (run && run->request) {
    const std::shared_ptr<Request> request = run->request;
    // The worst of the runs, and everything they said.
    if (result.exitCode != 0 && (request->result.exitCode == 0 || result.exitCode > 0)) {
      request->result.exitCode = result.exitCode;
    }
    request->result.messages += result.messages;
    if (--request->pending == 0) {
      if (request->fetch) {
        fetchQueued_ = std::any_of(queue_.begin(), queue_.end(),
                                   [](const Run& r) { return r.request && r.request->fetch; });
        afterExpansion_.push_back([request] {
          if (request->done) request->done(request->result);
        });
        Expand();
      } else {
        publishQueued_ = std::any_of(queue_.begin(), queue_.end(),
                                     [](const Run& r) { return r.request && !r.request->fetch; });
        if (request->done) request->done(request->result);
      }
    }
  }
  StartNext();
}

void RemoteCalendars::Expand() {
  const QStringList names = SubscriptionNames();
  const sys_days today = DayAtMsecs(ToMsecs(clock_.Now()));
  if (expandedToday_ != today) shown_.reset();
  expandedNames_ = names;
  expandedToday_ = today;
  const int generation = ++generation_;
  if (names.isEmpty()) {
    const bool had = !index_->Empty();
    index_ = std::make_shared<const remote::RemoteDayIndex>();
    if (had) emit IndexChanged();
    for (auto& then : std::exchange(afterExpansion_, {})) then();
    return;
  }
  std::vector<std::pair<sys_days, sys_days>> ranges{ExpansionWindow(today)};
  if (shown_) ranges.push_back(*shown_);
  auto* watcher = new QFutureWatcher<Expanded>(this);
  connect(watcher, &QFutureWatcher<Expanded>::finished, this, [this, watcher, generation] {
    watcher->deleteLater();
    // A newer expansion is on its way: this one's picture is already out of date.
    if (generation != generation_) return;
    index_ = watcher->result();
    emit IndexChanged();
    for (auto& then : std::exchange(afterExpansion_, {})) then();
  });
  watcher->setFuture(
      QtConcurrent::run(&expansions_, ExpandCaches, CacheFolder(), names, std::move(ranges)));
}

}  // namespace vespin::ui
