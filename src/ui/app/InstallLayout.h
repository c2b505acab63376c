#pragma once
// Where the program finds its own files. An installed tree keeps the sound module and the sample
// folder at fixed places relative to the program itself, so the tree works wherever it was put
// (a package, /usr/local, a home prefix, a DESTDIR); the build tree keeps the module beside the
// program and the samples where an installed tree would have them.
//
//   program folder --SoundModuleCandidates--> module    --SampleFolderCandidates--> samples

#include <QString>
#include <QStringList>

namespace vespin::ui {

inline constexpr const char* kSoundModuleName = "libvespin_sound.so";
inline constexpr const char* kSampleIniName = "vespin.ini";

// The version the build was made from ("3.2").
QString ProgramVersion();

// Where the sound module may be for a program in `programDir`, best first.
QStringList SoundModuleCandidates(const QString& programDir);

// Folders that may hold the samples, best first: the one installed with the program, then
// vespin/ in each absolute folder of `xdgDataDirs` (a colon-separated list as XDG_DATA_DIRS holds
// it; empty means the default /usr/local/share:/usr/share).
QStringList SampleFolderCandidates(const QString& programDir, const QString& xdgDataDirs);

// The first of `paths` for which `path + "/" + probe` (or the path itself when `probe` is
// empty) is a file; "" when there is none.
QString FirstWithFile(const QStringList& paths, const QString& probe = {});

}  // namespace vespin::ui
