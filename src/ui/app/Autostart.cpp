#include "app/Autostart.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>
#include <QStandardPaths>

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

QString AutostartEntryPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/autostart/") + QString::fromLatin1(kDesktopId) +
         QStringLiteral(".desktop");
}

bool StartsAtLogin() {
  QFile file(AutostartEntryPath());
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QString text = QString::fromUtf8(file.readAll());
  return EntryValue(text, QStringLiteral("Hidden")) != QLatin1String("true") &&
         EntryValue(text, QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

bool SetStartAtLogin(bool on, const LaunchCommand& launch) {
  const QString path = AutostartEntryPath();
  if (!on) {
    if (!QFileInfo::exists(path) || QFile::remove(path)) return true;
    qWarning("vespin: cannot remove %s", qPrintable(path));
    return false;
  }
  QSaveFile file(path);
  if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) ||
      file.write(AutostartEntry(launch)) < 0 || !file.commit()) {
    qWarning("vespin: cannot write %s", qPrintable(path));
    return false;
  }
  return true;
}

QAction* AddStartAtLoginItem(QMenu& menu, QAction* before, const LaunchCommand& launch) {
  auto* item = new QAction(QString::fromUtf8(kStartAtLoginCaption), &menu);
  item->setCheckable(true);
  item->setChecked(StartsAtLogin());
  menu.insertAction(before, item);
  QObject::connect(&menu, &QMenu::aboutToShow, item, [item] { item->setChecked(StartsAtLogin()); });
  QObject::connect(item, &QAction::triggered, item, [item, launch](bool checked) {
    SetStartAtLogin(checked, launch);
    item->setChecked(StartsAtLogin());
  });
  return item;
}

}  // namespace vespin::ui
