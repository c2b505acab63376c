#include "app/IcalExportDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>
#include <chrono>

#include "IcalExport.h"
#include "controls/ModalRunner.h"
#include "text/Sjis.h"

namespace vespin::ui {
namespace {

constexpr int kYearsAhead = 2;

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

  ical::ExportOptions opt;
  opt.from = today;
  opt.until = ical::YearsOn(today, kYearsAhead);
  opt.zone = ical::LocalZoneName();
  opt.stampUtc =
      ical::ModifiedUtc(eventFile, std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count());
  opt.law = settings.extensions.holidayLaw;
  const std::string ics = ical::ExportEvents(store, opt).ics;

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
