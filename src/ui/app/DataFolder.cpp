#include "app/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/InstallLayout.h"
#include "app/NoticeSound.h"

namespace vespin::ui {
namespace {

// Copies one sample; the copy belongs to the user and must stay writable even when the samples
// are read-only (a package, a store).
bool CopySample(const QString& sampleFolder, const QString& folder, const QString& name,
                QString& problem) {
  const QString target = folder + QLatin1Char('/') + name;
  if (!QFile::copy(sampleFolder + QLatin1Char('/') + name, target)) {
    // Another start that got there first did the same copy.
    if (QFileInfo(target).isFile()) return true;
    problem = QStringLiteral("cannot copy %1 from %2 to %3").arg(name, sampleFolder, folder);
    return false;
  }
  QFile::setPermissions(target, QFile::permissions(target) | QFile::ReadOwner | QFile::WriteOwner);
  return true;
}

}  // namespace

QString UserFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/vespin");
}

QString FindSampleFolder(const QString& programDir, const QString& xdgDataDirs) {
  return FirstWithFile(SampleFolderCandidates(programDir, xdgDataDirs),
                       QString::fromLatin1(kSampleIniName));
}

PreparedFolder PrepareUserFolder(const QString& folder, const QString& sampleFolder) {
  PreparedFolder result;
  const QString ini = QString::fromLatin1(kSampleIniName);
  QStringList wanted;
  if (!QFileInfo(folder).isDir()) {
    wanted << ini;
    if (!sampleFolder.isEmpty() &&
        QFileInfo(sampleFolder + QLatin1Char('/') + QString::fromLatin1(kSoundFileName)).isFile()) {
      wanted << QString::fromLatin1(kSoundFileName);
    }
  } else if (!QFileInfo(folder + QLatin1Char('/') + ini).exists()) {
    wanted << ini;
  }
  if (wanted.isEmpty()) {
    result.ok = true;
    return result;
  }
  if (sampleFolder.isEmpty()) {
    result.problem = QStringLiteral("no sample %1 installed to make %2 from").arg(ini, folder);
    return result;
  }
  if (!QDir().mkpath(folder)) {
    result.problem = QStringLiteral("cannot make %1").arg(folder);
    return result;
  }
  for (const QString& name : wanted) {
    if (!CopySample(sampleFolder, folder, name, result.problem)) return result;
    result.copied << name;
  }
  result.ok = true;
  return result;
}

}  // namespace vespin::ui
