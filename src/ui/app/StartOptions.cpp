#include "app/StartOptions.h"

#include "app/InstallLayout.h"

namespace vespin::ui {

StartOptions ParseStartOptions(const QStringList& args) {
  StartOptions options;
  for (const QString& arg : args) {
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      return {StartOptions::Action::kHelp, false, {}};
    }
    if (arg == QLatin1String("--version")) return {StartOptions::Action::kVersion, false, {}};
    if (arg == QLatin1String(kUserFolderOption)) {
      options.userFolder = true;
    } else if (options.unknown.isEmpty()) {
      options.unknown = arg;
      options.action = StartOptions::Action::kUsageError;
    }
  }
  return options;
}

QString HelpText(const QString& userFolder, const QString& sampleFolder,
                 const QString& soundModule) {
  const auto shown = [](const QString& path) {
    return path.isEmpty() ? QStringLiteral("(not found)") : path;
  };
  return QStringLiteral(
             "Usage: vespin [--user-folder]\n"
             "A desktop calendar panel: today's date and time, one to three months with the\n"
             "Japanese national holidays, and yearly, monthly and weekly events with alarms.\n"
             "\n"
             "Without options VESPIN works in the current folder: it reads and writes vespin.ini\n"
             "there and does not start without one.\n"
             "\n"
             "Options:\n"
             "  --user-folder  work in the user's own folder (below), made from the samples on\n"
             "                 the first start; the menu entry and the login entry use it\n"
             "  -h, --help     show this help and the folders VESPIN uses\n"
             "  --version      show the version\n"
             "\n"
             "Folders:\n"
             "  user folder    %1\n"
             "  samples        %2\n"
             "  sound module   %3\n")
      .arg(userFolder, shown(sampleFolder), shown(soundModule));
}

QString VersionText() {
  return QStringLiteral("vespin %1\n").arg(ProgramVersion());
}

}  // namespace vespin::ui
