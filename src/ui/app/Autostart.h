#pragma once
// Start at login: an XDG autostart entry that starts this program on this folder again. The entry
// is the only record of the choice (nothing goes into vespin.ini), so the menu's tick is read
// from it every time the menu opens.
//
//   ログイン時に起動 --toggle--> ${XDG_CONFIG_HOME:-~/.config}/autostart/<id>.desktop

#include <QByteArray>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;

namespace vespin::ui {

inline constexpr const char* kDesktopId = "io.github.vespin.Vespin";
inline constexpr const char* kStartAtLoginCaption = "ログイン時に起動";

// How this panel was started, to be started the same way at login.
struct LaunchCommand {
  QString program;     // absolute path of the program
  QStringList args;    // e.g. --user-folder
  QString workFolder;  // the folder to start in; "" when the arguments name it
};

// One argument of an Exec line, quoted as desktop entries require when it holds a reserved
// character, with % doubled and the string escapes of the file format applied.
QString ExecArgument(const QString& arg);
// A string value of a desktop entry: backslash, newline, tab and carriage return escaped.
QString DesktopString(const QString& value);

// The entry's whole text.
QByteArray AutostartEntry(const LaunchCommand& launch);

// ${XDG_CONFIG_HOME:-~/.config}/autostart/io.github.vespin.Vespin.desktop
QString AutostartEntryPath();

// Whether the entry is there and not switched off (Hidden=true, or a desktop's own switch).
bool StartsAtLogin();
// Writes or removes the entry; false (and a line on the terminal) when that failed.
bool SetStartAtLogin(bool on, const LaunchCommand& launch);

// Adds the check item to `menu` before `before` (at the end when null); its tick follows the
// entry each time the menu opens.
QAction* AddStartAtLoginItem(QMenu& menu, QAction* before, const LaunchCommand& launch);

}  // namespace vespin::ui
