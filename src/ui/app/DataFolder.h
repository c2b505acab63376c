#pragma once
// The folder VESPIN works in. Started plainly it is the current folder, as always; started with
// --user-folder (the menu entry, the login) it is the user's own folder, made from the installed
// samples on the first start. The samples themselves are never written.
//
//   XDG_DATA_HOME --UserFolder--> folder  <--PrepareUserFolder-- samples (InstallLayout)

#include <QString>
#include <QStringList>

namespace vespin::ui {

// ${XDG_DATA_HOME:-~/.local/share}/vespin
QString UserFolder();

// The installed sample folder (the first candidate holding vespin.ini), or "".
QString FindSampleFolder(const QString& programDir, const QString& xdgDataDirs);

struct PreparedFolder {
  bool ok = false;
  QStringList copied;  // file names copied from the samples
  QString problem;     // why the folder is not ready (for the terminal), when !ok
};

// A missing folder is made and gets vespin.ini and vespin.wav; a folder without vespin.ini gets
// vespin.ini only (the sound file may have been removed on purpose); a folder with vespin.ini is
// left alone. `sampleFolder` may be "" when nothing needs copying.
PreparedFolder PrepareUserFolder(const QString& folder, const QString& sampleFolder);

}  // namespace vespin::ui
