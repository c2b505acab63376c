#include "app/InstallLayout.h"

#include <QDir>
#include <QFileInfo>

// Set by the build from the install directories: relative paths from the program's folder.
#ifndef VESPIN_VERSION
#error "VESPIN_VERSION comes from the build"
#endif
#ifndef VESPIN_MODULE_DIR_FROM_PROGRAM
#error "VESPIN_MODULE_DIR_FROM_PROGRAM comes from the build"
#endif
#ifndef VESPIN_DATA_DIR_FROM_PROGRAM
#error "VESPIN_DATA_DIR_FROM_PROGRAM comes from the build"
#endif

namespace vespin::ui {
namespace {

QString Under(const QString& dir, const QString& relative) {
  return QDir::cleanPath(dir + QLatin1Char('/') + relative);
}

}  // namespace

QString ProgramVersion() {
  return QStringLiteral(VESPIN_VERSION);
}

QStringList SoundModuleCandidates(const QString& programDir) {
  const QString name = QString::fromLatin1(kSoundModuleName);
  return {Under(programDir, name),
          Under(programDir, QStringLiteral(VESPIN_MODULE_DIR_FROM_PROGRAM "/") + name)};
}

QStringList SampleFolderCandidates(const QString& programDir, const QString& xdgDataDirs) {
  QStringList folders{Under(programDir, QStringLiteral(VESPIN_DATA_DIR_FROM_PROGRAM))};
  const QString dirs =
      xdgDataDirs.isEmpty() ? QStringLiteral("/usr/local/share:/usr/share") : xdgDataDirs;
  for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    // Relative entries are invalid and would make the working folder a source of samples.
    if (!QDir::isAbsolutePath(dir)) continue;
    const QString folder = Under(dir, QStringLiteral("vespin"));
    if (!folders.contains(folder)) folders << folder;
  }
  return folders;
}

QString FirstWithFile(const QStringList& paths, const QString& probe) {
  for (const QString& path : paths) {
    const QString file = probe.isEmpty() ? path : path + QLatin1Char('/') + probe;
    if (QFileInfo(file).isFile()) return path;
  }
  return {};
}

}  // namespace vespin::ui
