#include "app/IcalExportDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLibrary>
#include <QSaveFile>
#include <chrono>
#include <cstdint>
#include <string>

#include "app/InstallLayout.h"
#include "controls/ModalRunner.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

// The export lives in a module with libical, loaded at the first export, so that the panel
// starts without loading libical. Null when the module cannot be loaded.
using ExportFn = void (*)(const EventStore& store, HolidayLaw law, const char* eventFile,
                          TDateTime today, std::int64_t nowUtc, std::string& ics);

ExportFn LoadExport() {
  // Never unloaded: a second export needs it again.
  static const ExportFn fn = [] {
    const QString path =
        FirstWithFile(IcalModuleCandidates(QCoreApplication::applicationDirPath()));
    return path.isEmpty() ? nullptr
                          : reinterpret_cast<ExportFn>(QLibrary(path).resolve("VespinIcalExport"));
  }();
  return fn;
}

}  // namespace

bool ExportCalendarDialog(QWidget* parent, const EventStore& store, const Settings& settings,
                          const std::filesystem::path& eventFile, TDateTime today,
                          Notifier& notifier) {
  QFileDialog dialog(parent, QString::fromUtf8(kIcalExportTitle), QDir::homePath(),
                     QStringLiteral("iCalendar (*.ics)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("ics"));
  dialog.selectFile(QStringLiteral("vespin.ics"));
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;

  const ExportFn exportFromToday = LoadExport();
  std::string ics;
  if (exportFromToday) {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    exportFromToday(store, settings.extensions.holidayLaw, eventFile.c_str(), today, now, ics);
  }

  // Written beside the target and renamed over it: a failed write leaves an older export whole.
  QSaveFile file(dialog.selectedFiles().first());
  const bool written =
      exportFromToday && file.open(QIODevice::WriteOnly) &&
      file.write(ics.data(), static_cast<qint64>(ics.size())) == static_cast<qint64>(ics.size()) &&
      file.commit();
  if (!written) notifier.ShowNotice(sjis::Lit(kIcalWriteFailedNotice));
  return written;
}

}  // namespace vespin::ui
