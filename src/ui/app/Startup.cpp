#include "app/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include "app/DataFolder.h"
#include "app/InstallLayout.h"
#include "app/Msg.h"
#include "app/SingleInstance.h"
#include "app/StartOptions.h"
#include "events/EventFile.h"

namespace vespin::ui {
namespace {

void Print(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}

StartOptions CurrentOptions() {
  return ParseStartOptions(QCoreApplication::arguments().mid(1));
}

}  // namespace

std::optional<int> AnswerInformationOptions(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const StartOptions options = ParseStartOptions(args);
  if (options.action == StartOptions::Action::kVersion) {
    Print(stdout, VersionText());
    return 0;
  }
  if (options.action == StartOptions::Action::kUsageError) {
    Print(stderr, UsageErrorText(options.unknown));
    return kExitUsage;
  }
  if (options.action != StartOptions::Action::kHelp) return std::nullopt;
  // For the program's own folder only; no window system is touched.
  QCoreApplication core(argc, argv);
  const QString programDir = QCoreApplication::applicationDirPath();
  Print(stdout,
        HelpText(UserFolder(), FindSampleFolder(programDir, qEnvironmentVariable("XDG_DATA_DIRS")),
                 FirstWithFile(SoundModuleCandidates(programDir))));
  return 0;
}

EnteredFolder EnterWorkFolder() {
  EnteredFolder entered;
  const StartOptions options = CurrentOptions();
  if (options.action == StartOptions::Action::kUsageError) {
    Print(stderr, UsageErrorText(options.unknown));
    entered.exitCode = kExitUsage;
    return entered;
  }
  if (!options.userFolder) return entered;
  const QString folder = UserFolder();
  const PreparedFolder prepared =
      PrepareUserFolder(folder, FindSampleFolder(QCoreApplication::applicationDirPath(),
                                                 qEnvironmentVariable("XDG_DATA_DIRS")));
  if (!prepared.ok) Print(stderr, QStringLiteral("vespin: %1\n").arg(prepared.problem));
  if (!QDir::setCurrent(folder)) {
    // Staying where the program was started would quietly use another vespin.ini.
    ShowNotice(QString::fromUtf8(kOpenFailedNotice), nullptr);
    entered.exitCode = 1;
    return entered;
  }
  entered.madeFromSamples = prepared.copied.contains(QString::fromLatin1(kSampleIniName));
  return entered;
}

void BeginClaimingWorkFolder(PanelGuard& guard) {
  if (QFileInfo::exists(QString::fromLatin1(kEventFileName))) guard.BeginClaim();
}

std::optional<int> ClaimWorkFolder(PanelGuard& guard) {
  if (!guard.Claiming()) return std::nullopt;
  const QString folder = QDir::currentPath();
  switch (guard.ClaimFolder()) {
    case PanelGuard::Claim::kFirst:
      return std::nullopt;
    case PanelGuard::Claim::kUnguarded:
      Print(stderr, QStringLiteral("vespin: cannot lock %1; running without the guard against a "
                                   "second panel there\n")
                        .arg(folder));
      return std::nullopt;
    case PanelGuard::Claim::kRaised:
      Print(stderr, QStringLiteral("vespin: VESPIN already runs in %1; brought it to the front\n")
                        .arg(folder));
      return 0;
    case PanelGuard::Claim::kNoAnswer:
      Print(stderr,
            QStringLiteral("vespin: VESPIN already runs in %1 and does not answer\n").arg(folder));
      ShowNotice(QString::fromUtf8(kAlreadyRunsNotice), nullptr);
      return 0;
  }
  return std::nullopt;
}

LaunchCommand ThisLaunch() {
  LaunchCommand launch;
  launch.program = QCoreApplication::applicationFilePath();
  if (CurrentOptions().userFolder) {
    launch.args << QString::fromLatin1(kUserFolderOption);
  } else {
    launch.workFolder = QDir::currentPath();
  }
  return launch;
}

}  // namespace vespin::ui
