#include "app/Autostart.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace vespin::ui {
namespace {

bool IsReserved(QChar c) {
  static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  return kReserved.contains(c);
}

// The value of `key` in the [Desktop Entry] group of a desktop file's text.
QString EntryValue(const QString& text, const QString& key) {
  bool inEntry = false;
  for (const QString& raw : text.split(QLatin1Char('\n'))) {
    const QString line = raw.trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inEntry) continue;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq > 0 && line.left(eq).trimmed() == key) return line.mid(eq + 1).trimmed();
  }
  return {};
}

}  // namespace

QString DesktopString(const QString& value) {
  QString out;
  for (const QChar c : value) {
    if (c == QLatin1Char('\\')) {
      out += QLatin1String("\\\\");
    } else if (c == QLatin1Char('\n')) {
      out += QLatin1String("\\n");
    } else if (c == QLatin1Char('\t')) {
      out += QLatin1String("\\t");
    } else if (c == QLatin1Char('\r')) {
      out += QLatin1String("\\r");
    } else {
      out += c;
    }
  }
  return out;
}

QString ExecArgument(const QString& arg) {
  bool quote = arg.isEmpty();
  for (const QChar c : arg) quote = quote || IsReserved(c);
  QString out;
  if (quote) out += QLatin1Char('"');
  for (const QChar c : arg) {
    if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                  c == QLatin1Char('\\'))) {
      out += QLatin1Char('\\');
    }
    if (c == QLatin1Char('%')) out += QLatin1Char('%');
    out += c;
  }
  if (quote) out += QLatin1Char('"');
  // The quoting is undone after the string escapes, so it goes through them as well.
  return DesktopString(out);
}

QByteArray AutostartEntry(const LaunchCommand& launch) {
  QStringList exec{ExecArgument(launch.program)};
  for (const QString& arg : launch.args) exec << ExecArgument(arg);
  QString text = QStringLiteral(
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=VESPIN\n"
      "Comment=Desktop calendar panel with recurring events and alarms\n"
      "Comment[ja]=予定とアラームのデスクトップカレンダー\n");
  text += QStringLiteral("Exec=") + exec.join(QLatin1Char(' ')) + QLatin1Char('\n');
  text += QStringLiteral("TryExec=") + DesktopString(launch.program) + QLatin1Char('\n');
  if (!launch.workFolder.isEmpty()) {
    text += QStringLiteral("Path=") + DesktopString(launch.workFolder) + QLatin1Char('\n');
  }
  text += QStringLiteral("Icon=") + QString::fromLatin1(kDesktopId) + QLatin1Char('\n');
  text += QStringLiteral("Terminal=false\n");
  return text.toUtf8();
}

namespace {

QString AutostartFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/autostart/");
}

// The name every entry had before each folder got one of its own; the user's own folder keeps it,
// so the entries that the menu entry's panel wrote go on working.
QString SharedEntryPath() {
  return AutostartFolder() + QString::fromLatin1(kDesktopId) + QStringLiteral(".desktop");
}

// Named after the folder as the entry's Path line holds it, so that an entry of the shared name
// that an older version wrote for a folder can be given its folder's name.
QString FolderEntryPath(const QString& pathValue) {
  const QByteArray hash =
      QCryptographicHash::hash(pathValue.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
  return AutostartFolder() + QString::fromLatin1(kDesktopId) + QLatin1Char('-') +
         QString::fromLatin1(hash) + QStringLiteral(".desktop");
}

// The file's text; a null string when there is no file to read.
QString ReadEntry(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

bool Enabled(const QString& text) {
  return !text.isNull() && EntryValue(text, QStringLiteral("Hidden")) != QLatin1String("true") &&
         EntryValue(text, QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

// The Path line of an entry of the shared name: empty for the user's own folder, the folder for
// an entry an older version wrote for a plain folder.
QString SharedEntryFolder() {
  return EntryValue(ReadEntry(SharedEntryPath()), QStringLiteral("Path"));
}

// The entry files that start `launch` at login: its own, and for a plain folder an entry of the
// shared name that an older version wrote for it.
QStringList EntriesOf(const LaunchCommand& launch) {
  QStringList paths;
  const QString own = AutostartEntryPath(launch);
  const bool shared = QFileInfo::exists(SharedEntryPath());
  if (launch.workFolder.isEmpty()) {
    if (shared && SharedEntryFolder().isEmpty()) paths << own;
    return paths;
  }
  if (QFileInfo::exists(own)) paths << own;
  if (shared && SharedEntryFolder() == DesktopString(launch.workFolder)) paths << SharedEntryPath();
  return paths;
}

bool RemoveEntry(const QString& path) {
  if (!QFileInfo::exists(path) || QFile::remove(path)) return true;
  qWarning("vespin: cannot remove %s", qPrintable(path));
  return false;
}

// An entry of the shared name that belongs to a plain folder moves to that folder's own name
// before the user's own folder takes the name.
bool MoveSharedEntryAside() {
  const QString folder = SharedEntryFolder();
  if (folder.isEmpty()) return true;
  const QString target = FolderEntryPath(folder);
  if (QFileInfo::exists(target)) return RemoveEntry(SharedEntryPath());
  if (QFile::rename(SharedEntryPath(), target)) return true;
  qWarning("vespin: cannot rename %s", qPrintable(SharedEntryPath()));
  return false;
}

}  // namespace

QString AutostartEntryPath(const LaunchCommand& launch) {
  return launch.workFolder.isEmpty() ? SharedEntryPath()
                                     : FolderEntryPath(DesktopString(launch.workFolder));
}

bool StartsAtLogin(const LaunchCommand& launch) {
  const QStringList entries = EntriesOf(launch);
  return std::any_of(entries.begin(), entries.end(),
                     [](const QString& path) { return Enabled(ReadEntry(path)); });
}

bool SetStartAtLogin(bool on, const LaunchCommand& launch) {
  const QString path = AutostartEntryPath(launch);
  if (!on) {
    bool removed = true;
    for (const QString& entry : EntriesOf(launch)) removed = RemoveEntry(entry) && removed;
    return removed;
  }
  if (!QDir().mkpath(AutostartFolder())) {
    qWarning("vespin: cannot make %s", qPrintable(AutostartFolder()));
    return false;
  }
  if (launch.workFolder.isEmpty() && !MoveSharedEntryAside()) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(AutostartEntry(launch)) < 0 ||
      !file.commit()) {
    qWarning("vespin: cannot write %s", qPrintable(path));
    return false;
  }
  // The folder's entry of the older name would start the same panel a second time.
  for (const QString& entry : EntriesOf(launch)) {
    if (entry != path) RemoveEntry(entry);
  }
  return true;
}

QAction* AddStartAtLoginItem(QMenu& menu, QAction* before, const LaunchCommand& launch) {
  auto* item = new QAction(QString::fromUtf8(kStartAtLoginCaption), &menu);
  item->setCheckable(true);
  item->setChecked(StartsAtLogin(launch));
  menu.insertAction(before, item);
  QObject::connect(&menu, &QMenu::aboutToShow, item,
                   [item, launch] { item->setChecked(StartsAtLogin(launch)); });
  QObject::connect(item, &QAction::triggered, item, [item, launch](bool checked) {
    SetStartAtLogin(checked, launch);
    item->setChecked(StartsAtLogin(launch));
  });
  return item;
}

}  // namespace vespin::ui
