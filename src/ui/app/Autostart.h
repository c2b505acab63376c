#pragma once
// Start at login: an XDG autostart entry that starts this program on this folder again. The entry
// is the only record of the choice (nothing goes into vespin.ini), so the menu's tick is read
// from it every time the menu opens. Each folder has an entry of its own: a panel never shows
// or removes another folder's.
//
//   ログイン時に起動 --toggle--> ${XDG_CONFIG_HOME:-~/.config}/autostart/<id>[-<folder
//   hash>].desktop

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

// ${XDG_CONFIG_HOME:-~/.config}/autostart/ and the entry's file name:
// io.github.vespin.Vespin.desktop for the user's own folder (--user-folder, the name entries have
// always had), and io.github.vespin.Vespin-<hash of the folder>.desktop for any other folder.
QString AutostartEntryPath(const LaunchCommand& launch);

// Whether this launch's entry is there and not switched off (Hidden=true, or a desktop's own
// switch).
bool StartsAtLogin(const LaunchCommand& launch);
// Writes or removes this launch's entry, and no other; false (and a line on the terminal) when
// that failed.
bool SetStartAtLogin(bool on, const LaunchCommand& launch);

// Adds the check item to `menu` before `before` (at the end when null); its tick follows the
// entry each time the menu opens.
QAction* AddStartAtLoginItem(QMenu& menu, QAction* before, const LaunchCommand& launch);

}  // namespace vespin::ui
