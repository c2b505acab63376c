#include "app/IcalExportDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>
#include <chrono>
#include <string>

#include "IcalExport.h"
#include "app/BesidePanel.h"
#include "controls/ModalRunner.h"
#include "text/Sjis.h"

namespace vespin::ui {

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
  if (parent) PlaceBesidePanel(dialog, *parent);
  if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;

  const std::string ics =
      ical::ExportFromToday(store, settings.extensions.holidayLaw, eventFile, today,
                            std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count());

  // Written beside the target and renamed over it: a failed write leaves an older export whole.
  QSaveFile file(dialog.selectedFiles().first());
  const bool written =
      file.open(QIODevice::WriteOnly) &&
      file.write(ics.data(), static_cast<qint64>(ics.size())) == static_cast<qint64>(ics.size()) &&
      file.commit();
  if (!written) notifier.ShowNotice(sjis::Lit(kIcalWriteFailedNotice));
  return written;
}

}  // namespace vespin::ui
