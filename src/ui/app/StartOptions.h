#pragma once
// The program's command line. Without options VESPIN works in the current folder as it always
// has; --user-folder (used by the menu entry and the login entry) makes it work in the user's
// own folder instead.

#include <QString>
#include <QStringList>

namespace vespin::ui {

struct StartOptions {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  bool userFolder = false;
  QString unknown;  // the first argument not understood, for kUsageError
};

inline constexpr const char* kUserFolderOption = "--user-folder";
inline constexpr int kExitUsage = 2;

// `args` without the program's own name. --help and --version win over anything else. Qt's own
// options (-platform offscreen, --display :1, -style=fusion …) are passed over, so the whole
// command line can be read before the window system is reached, and again after Qt has taken
// its options out.
StartOptions ParseStartOptions(const QStringList& args);

// What the terminal is told about an argument nobody knows (exit code kExitUsage).
QString UsageErrorText(const QString& unknown);

// What --help prints: the options, which folder is used when, and where this program finds its
// user folder, samples and sound module.
QString HelpText(const QString& userFolder, const QString& sampleFolder,
                 const QString& soundModule);

// What --version prints.
QString VersionText();

}  // namespace vespin::ui
