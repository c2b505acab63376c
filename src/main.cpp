// The program entry: formats and code tables, the main window, then the event file; the message
// loop runs until the window closes or 終了 is chosen.
#include <QApplication>

#include "UiText.h"
#include "app/Application.h"
#include "app/Main.h"
#include "app/NoticeSound.h"
#include "app/SignalBridge.h"
#include "events/CodeTables.h"
#include "events/EventFile.h"

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
  KeepTheTerminalQuiet();
  // A Wayland compositor does not let a window place itself; the panel needs its place, so it
  // runs through XWayland unless the user chose a platform.
  if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(vespin::ui::kApplicationTitle));
  // The window is a tool window and notices come and go; only its close ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  vespin::ui::RegisterFontSubstitutions();

  // Frozen at start-up: later changes of the desktop's locale do not reach the date label.
  const vespin::WeekdayNames weekdays = vespin::ui::LocaleWeekdayNames();
  vespin::Codes();

  vespin::ui::SystemClock clock;
  vespin::ui::SystemSound sound;
  vespin::ui::Application vespinApp(clock, sound, vespin::kEventFileName, weekdays);
  if (!vespinApp.Start()) return 1;
  vespinApp.MainWindow().show();
  // Logout, shutdown and kill end the program as the window's close does: the file is written.
  const vespin::ui::SignalBridge endOnSignal([&vespinApp](int) { vespinApp.MainWindow().close(); });
  return QApplication::exec();
}
