#include "app/StartOptions.h"

#include <gtest/gtest.h>

namespace vespin::ui {
namespace {

using Action = StartOptions::Action;

TEST(StartOptionsTest, ReadsTheCommandLine) {
  const struct {
    QStringList args;
    Action action;
    bool userFolder;
    QString unknown;
  } cases[] = {
      {{}, Action::kRun, false, {}},
      {{QStringLiteral("--user-folder")}, Action::kRun, true, {}},
      {{QStringLiteral("--user-folder"), QStringLiteral("--user-folder")}, Action::kRun, true, {}},
      {{QStringLiteral("--help")}, Action::kHelp, false, {}},
      {{QStringLiteral("-h")}, Action::kHelp, false, {}},
      {{QStringLiteral("--version")}, Action::kVersion, false, {}},
      // Asked before the window system takes out its own options: those must not hide --help.
      {{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--help")},
       Action::kHelp,
       false,
       {}},
      {{QStringLiteral("--bogus"), QStringLiteral("--version")}, Action::kVersion, false, {}},
      {{QStringLiteral("--bogus")}, Action::kUsageError, false, QStringLiteral("--bogus")},
      {{QStringLiteral("--user-folder=/tmp")},
       Action::kUsageError,
       false,
       QStringLiteral("--user-folder=/tmp")},
      {{QStringLiteral("somewhere"), QStringLiteral("--user-folder"), QStringLiteral("-x")},
       Action::kUsageError,
       true,
       QStringLiteral("somewhere")},
      // Qt's own options, with their values, with one dash or two, or joined by "=": read
      // before the application object takes them out, they are no unknown arguments.
      {{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--user-folder")},
       Action::kRun,
       true,
       {}},
      {{QStringLiteral("--display"), QStringLiteral(":1"), QStringLiteral("-style=fusion"),
        QStringLiteral("-reverse"), QStringLiteral("-qwindowgeometry"), QStringLiteral("10x10")},
       Action::kRun,
       false,
       {}},
      // A value is taken as the option's, even one that looks like an option of ours.
      {{QStringLiteral("-name"), QStringLiteral("--user-folder")}, Action::kRun, false, {}},
      {{QStringLiteral("-platform")}, Action::kRun, false, {}},
      {{QStringLiteral("-stylesheet"), QStringLiteral("a.qss"), QStringLiteral("--bogus")},
       Action::kUsageError,
       false,
       QStringLiteral("--bogus")},
      {{QStringLiteral("-platformx")}, Action::kUsageError, false, QStringLiteral("-platformx")},
  };
  for (const auto& c : cases) {
    const StartOptions options = ParseStartOptions(c.args);
    const QString what = c.args.join(QLatin1Char(' '));
    EXPECT_EQ(options.action, c.action) << what.toStdString();
    EXPECT_EQ(options.userFolder, c.userFolder) << what.toStdString();
    EXPECT_EQ(options.unknown, c.unknown) << what.toStdString();
  }
}

TEST(StartOptionsTest, HelpNamesTheOptionAndTheFoldersFound) {
  const QString help = HelpText(QStringLiteral("/home/u/.local/share/vespin"),
                                QStringLiteral("/usr/share/vespin"), QString());
  EXPECT_TRUE(help.contains(QStringLiteral("--user-folder"))) << help.toStdString();
  EXPECT_TRUE(help.contains(QStringLiteral("user folder    /home/u/.local/share/vespin\n")));
  EXPECT_TRUE(help.contains(QStringLiteral("samples        /usr/share/vespin\n")));
  EXPECT_TRUE(help.contains(QStringLiteral("sound module   (not found)\n")));
  EXPECT_TRUE(VersionText().startsWith(QStringLiteral("vespin 3.")));
  EXPECT_EQ(UsageErrorText(QStringLiteral("--bogus")),
            QStringLiteral("vespin: unknown argument '--bogus'\nUsage: vespin [--user-folder]\n"
                           "Try 'vespin --help'.\n"));
}

}  // namespace
}  // namespace vespin::ui
