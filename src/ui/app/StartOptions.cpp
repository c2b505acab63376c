#include "app/StartOptions.h"

#include "app/InstallLayout.h"

#include <algorithm>
#include <iterator>

namespace vespin::ui {
namespace {

// The options Qt takes out of the command line itself (the application, the platform and the X11
// connection), with one dash or two. Read here too, so that a wrong argument is named before the
// program needs a window system at all.
constexpr QLatin1String kQtOptionsWithValue[] = {
    QLatin1String("-platform"),
    QLatin1String("-platformpluginpath"),
    QLatin1String("-platformtheme"),
    QLatin1String("-plugin"),
    QLatin1String("-qwindowgeometry"),
    QLatin1String("-geometry"),
    QLatin1String("-qwindowtitle"),
    QLatin1String("-title"),
    QLatin1String("-qwindowicon"),
    QLatin1String("-icon"),
    QLatin1String("-session"),
    QLatin1String("-display"),
    QLatin1String("-name"),
    QLatin1String("-visual"),
    QLatin1String("-style"),
    QLatin1String("-stylesheet"),
};
constexpr QLatin1String kQtFlags[] = {
    QLatin1String("-reverse"), QLatin1String("-widgetcount"), QLatin1String("-testability"),
    QLatin1String("-sync"),    QLatin1String("-nograb"),      QLatin1String("-dograb"),
};
constexpr QLatin1String kQtOptionsJoined[] = {
    QLatin1String("-style="),
    QLatin1String("-stylesheet="),
    QLatin1String("-session="),
    QLatin1String("-qmljsdebugger="),
};

template <std::size_t N>
bool OneOf(const QString& arg, const QLatin1String (&names)[N]) {
  return std::any_of(std::begin(names), std::end(names),
                     [&arg](QLatin1String name) { return arg == name; });
}

// How many arguments from `arg` on are Qt's own: 0 when `arg` is none of them.
int QtArguments(QString arg) {
  if (arg.startsWith(QLatin1String("--"))) arg.remove(0, 1);
  if (OneOf(arg, kQtOptionsWithValue)) return 2;
  if (OneOf(arg, kQtFlags)) return 1;
  const bool joined = std::any_of(std::begin(kQtOptionsJoined), std::end(kQtOptionsJoined),
                                  [&arg](QLatin1String prefix) { return arg.startsWith(prefix); });
  return joined ? 1 : 0;
}

}  // namespace

StartOptions ParseStartOptions(const QStringList& args) {
  StartOptions options;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      return {StartOptions::Action::kHelp, false, {}};
    }
    if (arg == QLatin1String("--version")) return {StartOptions::Action::kVersion, false, {}};
    if (arg == QLatin1String(kUserFolderOption)) {
      options.userFolder = true;
    } else if (const int qt = QtArguments(arg)) {
      i += qt - 1;
    } else if (options.unknown.isEmpty()) {
      options.unknown = arg;
      options.action = StartOptions::Action::kUsageError;
    }
  }
  return options;
}

QString UsageErrorText(const QString& unknown) {
  return QStringLiteral(
             "vespin: unknown argument '%1'\n"
             "Usage: vespin [--user-folder]\n"
             "Try 'vespin --help'.\n")
      .arg(unknown);
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
