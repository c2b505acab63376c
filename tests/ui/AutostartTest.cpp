#include "app/Autostart.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>

#include "TempDir.h"

namespace vespin::ui {
namespace {

// XDG_CONFIG_HOME pointed at a fresh folder for one test, and put back afterwards.
class ConfigHome {
 public:
  explicit ConfigHome(const QString& path)
      : had_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")), old_(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", path.toLocal8Bit());
  }
  ~ConfigHome() {
    if (had_) {
      qputenv("XDG_CONFIG_HOME", old_);
    } else {
      qunsetenv("XDG_CONFIG_HOME");
    }
  }
  ConfigHome(const ConfigHome&) = delete;
  ConfigHome& operator=(const ConfigHome&) = delete;

 private:
  bool had_;
  QByteArray old_;
};

QString Q(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

TEST(AutostartTest, QuotesExecArgumentsAsDesktopEntriesRequire) {
  const struct {
    QString arg;
    QString exec;
  } cases[] = {
      {QStringLiteral("/usr/bin/vespin"), QStringLiteral("/usr/bin/vespin")},
      {QStringLiteral("--user-folder"), QStringLiteral("--user-folder")},
      {QStringLiteral("/home/a b/vespin"), QStringLiteral("\"/home/a b/vespin\"")},
      {QStringLiteral("/opt/100%/vespin"), QStringLiteral("/opt/100%%/vespin")},
      {QStringLiteral("/opt/a b%/v"), QStringLiteral("\"/opt/a b%%/v\"")},
      {QStringLiteral("~/bin/vespin"), QStringLiteral("\"~/bin/vespin\"")},
      {QStringLiteral("/x/it's"), QStringLiteral("\"/x/it's\"")},
      // Inside quotes " ` $ \ take a backslash; then every backslash is doubled by the string
      // escapes of the file format, which are undone first.
      {QStringLiteral("/x/\"q\""), QStringLiteral("\"/x/\\\\\"q\\\\\"\"")},
      {QStringLiteral("/x/$HOME"), QStringLiteral("\"/x/\\\\$HOME\"")},
      {QStringLiteral("/x/`id`"), QStringLiteral("\"/x/\\\\`id\\\\`\"")},
      {QStringLiteral("/x/a\\b"), QStringLiteral("\"/x/a\\\\\\\\b\"")},
      {QStringLiteral("/x/a\nb"), QStringLiteral("\"/x/a\\nb\"")},
      {QString(), QStringLiteral("\"\"")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExecArgument(c.arg), c.exec) << c.arg.toStdString();
  }
}

TEST(AutostartTest, TheEntryStartsThisProgramOnItsFolderAndPassesTheValidator) {
  const struct {
    const char* what;
    LaunchCommand launch;
    QString exec;
    QString path;  // empty: no Path line
  } cases[] = {
      {"from the menu",
       {QStringLiteral("/usr/bin/vespin"), {QStringLiteral("--user-folder")}, {}},
       QStringLiteral("Exec=/usr/bin/vespin --user-folder\n"),
       {}},
      {"from a terminal in a folder",
       {QStringLiteral("/usr/local/bin/vespin"), {}, QStringLiteral("/home/u/予定 表")},
       QStringLiteral("Exec=/usr/local/bin/vespin\n"),
       QStringLiteral("Path=/home/u/予定 表\n")},
      {"an unusual program path",
       {QStringLiteral("/opt/my apps/$v%/vespin"), {}, QStringLiteral("/tmp")},
       QStringLiteral("Exec=\"/opt/my apps/\\\\$v%%/vespin\"\n"),
       QStringLiteral("Path=/tmp\n")},
  };
  const bool haveValidator =
      !QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty();
  for (const auto& c : cases) {
    const QString entry = QString::fromUtf8(AutostartEntry(c.launch));
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n"))) << c.what;
    EXPECT_TRUE(entry.contains(c.exec)) << c.what << "\n" << entry.toStdString();
    EXPECT_EQ(entry.contains(QStringLiteral("\nPath=")), !c.path.isEmpty()) << c.what;
    if (!c.path.isEmpty()) {
      EXPECT_TRUE(entry.contains(c.path)) << c.what;
    }
    EXPECT_TRUE(entry.contains(QStringLiteral("TryExec=") + c.launch.program + QLatin1Char('\n')))
        << c.what;
    if (!haveValidator) continue;
    test::TempDir dir;
    const auto file =
        dir.Write("io.github.vespin.Vespin.desktop", AutostartEntry(c.launch).toStdString());
    QProcess validator;
    validator.start(QStringLiteral("desktop-file-validate"), {Q(file)});
    ASSERT_TRUE(validator.waitForFinished(10000)) << c.what;
    EXPECT_EQ(validator.exitCode(), 0) << c.what << ": " << validator.readAll().toStdString();
    EXPECT_EQ(validator.readAllStandardOutput(), QByteArray()) << c.what;
  }
}

TEST(AutostartTest, TheMenuItemPutsTheEntryInPlaceAndTakesItAway) {
  test::TempDir dir;
  ConfigHome home(Q(dir.Path()));
  const QString entryPath = Q(dir.Path() / "autostart" / "io.github.vespin.Vespin.desktop");
  const LaunchCommand launch{
      QStringLiteral("/usr/bin/vespin"), {QStringLiteral("--user-folder")}, {}};
  ASSERT_EQ(AutostartEntryPath(launch), entryPath);

  QMenu menu;
  QAction* last = menu.addAction(QStringLiteral("終了"));
  QAction* item = AddStartAtLoginItem(menu, last, launch);
  EXPECT_EQ(item->text(), QStringLiteral("ログイン時に起動"));
  EXPECT_TRUE(item->isCheckable());
  EXPECT_EQ(menu.actions().indexOf(item), menu.actions().indexOf(last) - 1);
  EXPECT_FALSE(item->isChecked());

  item->trigger();
  EXPECT_TRUE(item->isChecked());
  EXPECT_EQ(ReadAll(entryPath), AutostartEntry(launch));
  EXPECT_TRUE(StartsAtLogin(launch));

  item->trigger();
  EXPECT_FALSE(item->isChecked());
  EXPECT_FALSE(QFileInfo::exists(entryPath));

  // Someone else put the entry there (another panel, the desktop's own settings): the tick
  // follows when the menu opens.
  ASSERT_TRUE(SetStartAtLogin(true, launch));
  emit menu.aboutToShow();
  EXPECT_TRUE(item->isChecked());
  QFile::remove(entryPath);
  emit menu.aboutToShow();
  EXPECT_FALSE(item->isChecked());
}

TEST(AutostartTest, AnEntrySwitchedOffByTheDesktopCountsAsAbsent) {
  test::TempDir dir;
  ConfigHome home(Q(dir.Path()));
  const struct {
    const char* what;
    const char* entry;
    bool starts;
  } cases[] = {
      {"ours", "[Desktop Entry]\nType=Application\nExec=vespin\n", true},
      {"hidden", "[Desktop Entry]\nType=Application\nExec=vespin\nHidden=true\n", false},
      {"hidden, spaced", "[Desktop Entry]\nHidden = true\n", false},
      {"switched off", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
      {"hidden in another group only",
       "[Desktop Entry]\nExec=vespin\n[Desktop Action x]\n"
       "Hidden=true\n",
       true},
  };
  const LaunchCommand launch{QStringLiteral("/usr/bin/vespin"), {}, {}};
  QMenu menu;
  QAction* item = AddStartAtLoginItem(menu, nullptr, launch);
  std::filesystem::create_directories(dir.Path() / "autostart");
  for (const auto& c : cases) {
    dir.Write("autostart/io.github.vespin.Vespin.desktop", c.entry);
    EXPECT_EQ(StartsAtLogin(launch), c.starts) << c.what;
    emit menu.aboutToShow();
    EXPECT_EQ(item->isChecked(), c.starts) << c.what;
  }
  // Ticking a switched-off entry replaces it with a working one.
  dir.Write("autostart/io.github.vespin.Vespin.desktop", "[Desktop Entry]\nHidden=true\n");
  emit menu.aboutToShow();
  item->trigger();
  EXPECT_TRUE(item->isChecked());
  EXPECT_TRUE(StartsAtLogin(launch));
}

TEST(AutostartTest, ATickNeverClaimsAnEntryThatCouldNotBeWritten) {
  test::TempDir dir;
  dir.Write("config", "a file where the configuration folder should be");
  ConfigHome home(Q(dir.Path() / "config"));
  const LaunchCommand launch{QStringLiteral("/usr/bin/vespin"), {}, {}};
  QMenu menu;
  QAction* item = AddStartAtLoginItem(menu, nullptr, launch);
  item->trigger();
  EXPECT_FALSE(item->isChecked());
  EXPECT_FALSE(StartsAtLogin(launch));
}

TEST(AutostartTest, EachFolderHasAnEntryOfItsOwn) {
  test::TempDir dir;
  ConfigHome home(Q(dir.Path()));
  const QString program = QStringLiteral("/usr/bin/vespin");
  const LaunchCommand user{program, {QStringLiteral("--user-folder")}, {}};
  const LaunchCommand x{program, {}, QStringLiteral("/home/u/x")};
  const LaunchCommand y{program, {}, QStringLiteral("/home/u/予定 表")};
  const LaunchCommand all[] = {user, x, y};
  QMenu menus[3];
  QAction* items[3];
  for (int i = 0; i < 3; ++i) items[i] = AddStartAtLoginItem(menus[i], nullptr, all[i]);
  const auto ticks = [&] {
    std::string seen;
    for (int i = 0; i < 3; ++i) {
      emit menus[i].aboutToShow();
      seen += items[i]->isChecked() ? '1' : '0';
    }
    return seen;
  };
  // The user's own folder keeps the name its entries always had.
  EXPECT_TRUE(
      AutostartEntryPath(user).endsWith(QStringLiteral("/io.github.vespin.Vespin.desktop")));
  EXPECT_NE(AutostartEntryPath(x), AutostartEntryPath(y));
  EXPECT_NE(AutostartEntryPath(x), AutostartEntryPath(user));

  items[1]->trigger();
  EXPECT_EQ(ticks(), "010");
  EXPECT_EQ(ReadAll(AutostartEntryPath(x)), AutostartEntry(x));
  items[2]->trigger();
  items[0]->trigger();
  EXPECT_EQ(ticks(), "111");
  items[1]->trigger();
  EXPECT_EQ(ticks(), "101");
  EXPECT_EQ(ReadAll(AutostartEntryPath(y)), AutostartEntry(y));
  EXPECT_EQ(ReadAll(AutostartEntryPath(user)), AutostartEntry(user));
  items[0]->trigger();
  EXPECT_EQ(ticks(), "001");
  EXPECT_EQ(ReadAll(AutostartEntryPath(y)), AutostartEntry(y));
}

TEST(AutostartTest, AnOlderEntryOfAPlainFolderStaysThatFoldersOwn) {
  test::TempDir dir;
  ConfigHome home(Q(dir.Path()));
  const QString program = QStringLiteral("/usr/bin/vespin");
  const LaunchCommand user{program, {QStringLiteral("--user-folder")}, {}};
  const LaunchCommand x{program, {}, QStringLiteral("/home/u/x")};
  const QString shared = AutostartEntryPath(user);

  // Written under the shared name before each folder had its own.
  std::filesystem::create_directories(dir.Path() / "autostart");
  dir.Write("autostart/io.github.vespin.Vespin.desktop", AutostartEntry(x).toStdString());
  EXPECT_TRUE(StartsAtLogin(x));
  EXPECT_FALSE(StartsAtLogin(user));

  // The user's own folder takes its name; the folder's entry moves to the folder's name.
  ASSERT_TRUE(SetStartAtLogin(true, user));
  EXPECT_EQ(ReadAll(shared), AutostartEntry(user));
  EXPECT_EQ(ReadAll(AutostartEntryPath(x)), AutostartEntry(x));
  EXPECT_TRUE(StartsAtLogin(x));

  // Unticked in the folder, it goes, and the user's own entry stays.
  ASSERT_TRUE(SetStartAtLogin(false, x));
  EXPECT_FALSE(StartsAtLogin(x));
  EXPECT_TRUE(StartsAtLogin(user));

  // Ticked again in the folder while an older entry of it is there: one entry, not two.
  dir.Write("autostart/io.github.vespin.Vespin.desktop", AutostartEntry(x).toStdString());
  ASSERT_TRUE(SetStartAtLogin(true, x));
  EXPECT_FALSE(QFileInfo::exists(shared));
  EXPECT_EQ(ReadAll(AutostartEntryPath(x)), AutostartEntry(x));
}

}  // namespace
}  // namespace vespin::ui
