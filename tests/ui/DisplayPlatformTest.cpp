#include "app/DisplayPlatform.h"

#include <gtest/gtest.h>

#include <QProcess>

#include "TempDir.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

using namespace Qt::StringLiterals;

TEST(DisplayPlatformTest, XcbOrTheUsersOwnChoiceButNeverWayland) {
  const struct {
    const char* requested;
    bool waylandSession, xDisplay;
    const char* platform;  // nullptr: refused
  } cases[] = {
      {"", false, true, ""},                         // X11 session: Qt's default
      {"", true, true, "xcb"},                       // Wayland session: XWayland
      {"", true, false, nullptr},                    // ... without XWayland
      {"", false, false, nullptr},                   // no display at all
      {"wayland", true, true, nullptr},              // asked for outright
      {"wayland-egl;wayland", true, true, nullptr},  // in every form
      {"wayland;xcb", true, true, "xcb"},            // the rest of the user's list
      {"xcb", true, true, "xcb"},
      {"xcb", true, false, nullptr},
      {"offscreen", false, false, "offscreen"},  // needs no display
      {"vnc;wayland", false, false, "vnc"},
  };
  for (const auto& c : cases) {
    const PlatformChoice choice = ChoosePlatform({c.requested, c.waylandSession, c.xDisplay});
    const std::string what = std::string(c.requested) + (c.waylandSession ? " wayland" : "") +
                             (c.xDisplay ? " display" : "");
    if (c.platform) {
      EXPECT_EQ(choice.problem, QString()) << what;
      EXPECT_EQ(choice.platform, QByteArray(c.platform)) << what;
    } else {
      EXPECT_FALSE(choice.problem.isEmpty()) << what;
    }
  }
}

// Where the panel cannot be placed it does not start: one line says why, the exit code is 2, and
// nothing aborts.
TEST(DisplayPlatformTest, TheProgramRefusesWaylandWithOneLine) {
  test::TempDir dir;
  dir.Write("vespin.ini", sjis::Lit("[週間]\r\n[月間]\r\n[年間]\r\n[設定]\r\n"));
  const struct {
    const char* name;
    const char* variable;  // set to `value`
    const char* value;
    QStringList args;
  } cases[] = {
      {"QT_QPA_PLATFORM=wayland", "QT_QPA_PLATFORM", "wayland", {}},
      {"-platform wayland", nullptr, nullptr, {u"-platform"_s, u"wayland"_s}},
      {"a Wayland session without XWayland", "WAYLAND_DISPLAY", "wayland-0", {}},
  };
  for (const auto& c : cases) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s}) {
      env.remove(name);
    }
    if (c.variable) env.insert(QString::fromLatin1(c.variable), QString::fromLatin1(c.value));
    QProcess program;
    program.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VESPIN_PROGRAM), c.args);
    ASSERT_TRUE(program.waitForFinished(20000)) << c.name;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << c.name;
    EXPECT_EQ(program.exitCode(), 2) << c.name;
    const QByteArray said = program.readAllStandardError();
    EXPECT_TRUE(said.startsWith("vespin: ")) << c.name << ": " << said.toStdString();
    EXPECT_EQ(said.count('\n'), 1) << c.name << ": " << said.toStdString();
    EXPECT_TRUE(said.endsWith('\n')) << c.name;
  }
  // The file is never touched.
  EXPECT_EQ(dir.Read("vespin.ini"), sjis::Lit("[週間]\r\n[月間]\r\n[年間]\r\n[設定]\r\n"));
}

}  // namespace
}  // namespace vespin::ui
