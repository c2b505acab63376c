// The program entry: formats and code tables, the folder to work in and its claim, the main
// window, then the event file; the message loop runs until the window closes or 終了 is chosen.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTranslator>

#include "UiText.h"
#include "app/Application.h"
#include "app/Autostart.h"
#include "app/DisplayPlatform.h"
#include "app/Keyring.h"
#include "app/Main.h"
#include "app/NoticeSound.h"
#include "app/SignalBridge.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "events/CodeTables.h"
#include "events/EventFile.h"
#include "events/FirstDay.h"

namespace {

// Qt and the sound back end report on the terminal what is no fault of the program (no audio
// device, no runtime folder). The program says nothing when all is well: only critical messages
// get through, unless the user asks for Qt's logging with QT_LOGGING_RULES.
void KeepTheTerminalQuiet() {
  if (qEnvironmentVariableIsSet("QT_LOGGING_RULES")) return;
  static QtMessageHandler next = nullptr;
  next = qInstallMessageHandler(
      [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) next(type, context, message);
      });
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto done = vespin::ui::AnswerInformationOptions(argc, argv)) return *done;
  KeepTheTerminalQuiet();
  // X11, through XWayland in a Wayland session: the panel places itself.
  if (const auto done = vespin::ui::SettlePlatform(argc, argv)) return *done;
  QApplication app(argc, argv);
  // The desktop ties the windows to the menu entry by the class of their WM_CLASS ("vespin",
  // "Vespin"; the entry's StartupWMClass) or, where it reads one, by the entry's own name.
  QApplication::setApplicationName(QStringLiteral("Vespin"));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(vespin::ui::kDesktopId));
  QTranslator qtTexts;
  if (vespin::ui::LoadQtTranslations(qtTexts)) QCoreApplication::installTranslator(&qtTexts);
  // The window is a tool window and notices come and go; only its close ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  vespin::ui::RegisterFontSubstitutions();
  vespin::ui::KeepBoldWhenScaled();

  // Frozen at start-up: later changes of the desktop's locale do not reach the date label.
  const vespin::WeekdayNames weekdays = vespin::ui::LocaleWeekdayNames();
  vespin::Codes();

  const vespin::ui::EnteredFolder folder = vespin::ui::EnterWorkFolder();
  if (folder.exitCode) return *folder.exitCode;
  vespin::ui::PanelGuard guard(QDir::currentPath());
  vespin::ui::BeginClaimingWorkFolder(guard);

  vespin::ui::SystemClock clock;
  vespin::ui::SystemSound sound;
  // Passwords of other calendars; the keyring is asked only when one is needed.
  vespin::ui::Keyring keyring;
  vespin::ui::Application vespinApp(clock, sound, vespin::kEventFileName, weekdays);
  vespinApp.SetPasswordStore(&keyring);
  if (!vespinApp.Start()) return 1;
  // Before the first alarm pass, which waits for the message loop.
  if (folder.madeFromSamples) {
    vespin::QuietDay(vespinApp.Store(), vespin::DateOf(clock.Now()), vespinApp.Holidays());
  }
  // Before the window shows: a second panel on the folder never appears.
  if (const auto done = vespin::ui::ClaimWorkFolder(guard)) return *done;
  // Only the lock's holder may tell a killed save's leftovers from another writer's save.
  if (guard.HoldsFolder()) vespinApp.RemoveStaleTempFiles();
  vespin::ui::TfrmMain& window = vespinApp.MainWindow();
  QObject::connect(&guard, &vespin::ui::PanelGuard::raiseRequested, &window,
                   [&window] { vespin::ui::BringToFront(window); });
  vespin::ui::AddStartAtLoginItem(*window.pMenu(),
                                  window.pMenu()->findChild<QAction*>(QStringLiteral("miAbout")),
                                  vespin::ui::ThisLaunch());
  window.show();
  // Logout, shutdown and kill end the program as the window's close does: the file is written.
  const vespin::ui::SignalBridge endOnSignal([&window](int) { window.close(); });
  return QApplication::exec();
}
