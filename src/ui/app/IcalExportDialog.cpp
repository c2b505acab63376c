#include "app/IcalExportDialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <chrono>
#include <string>

#include "IcalExport.h"
#include "app/BesidePanel.h"
#include "controls/ModalRunner.h"
#include "events/WholeFile.h"
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

  // As the companion's export writes: beside the target and renamed over it, so a failed write
  // leaves an older export whole, and only ever as a regular file of that name (never through
  // a link, never into a pipe or a device).
  const std::filesystem::path target =
      QFile::encodeName(dialog.selectedFiles().first()).toStdString();
  const bool written = CreateOrReplaceWholeFile(target, ics) == ReplaceResult::kDone;
  if (!written) notifier.ShowNotice(sjis::Lit(kIcalWriteFailedNotice));
  return written;
}

}  // namespace vespin::ui
