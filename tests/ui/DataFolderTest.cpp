#include "app/DataFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TempDir.h"
#include "app/InstallLayout.h"

namespace vespin::ui {
namespace {

QString Q(const std::filesystem::path& p) {
  return QString::fromStdString(p.string());
}

TEST(DataFolderTest, SamplesComeFromBesideTheProgramThenFromXdgDataDirs) {
  test::TempDir dir;
  const QString root = Q(dir.Path());
  // Relative entries of XDG_DATA_DIRS are invalid: they would make the working folder a source.
  const QStringList candidates = SampleFolderCandidates(
      root + QStringLiteral("/bin"), QStringLiteral("relative/share:") + root +
                                         QStringLiteral("/a::") + root + QStringLiteral("/b"));
  ASSERT_EQ(candidates.size(), 3) << candidates.join(QLatin1Char(' ')).toStdString();
  EXPECT_TRUE(candidates[0].startsWith(root)) << candidates[0].toStdString();
  EXPECT_EQ(candidates[1], root + QStringLiteral("/a/vespin"));
  EXPECT_EQ(candidates[2], root + QStringLiteral("/b/vespin"));
  EXPECT_EQ(SampleFolderCandidates(root, QString()).mid(1),
            (QStringList{QStringLiteral("/usr/local/share/vespin"),
                         QStringLiteral("/usr/share/vespin")}));

  const QString dirs = root + QStringLiteral("/a:") + root + QStringLiteral("/b");
  EXPECT_EQ(FindSampleFolder(root + QStringLiteral("/bin"), dirs), QString());
  QDir().mkpath(root + QStringLiteral("/b/vespin"));
  QDir().mkpath(root + QStringLiteral("/a/vespin"));
  dir.Write("b/vespin/vespin.ini", "b");
  dir.Write("a/vespin/vespin.wav", "a folder without the event file does not count");
  EXPECT_EQ(FindSampleFolder(root + QStringLiteral("/bin"), dirs),
            root + QStringLiteral("/b/vespin"));
  dir.Write("a/vespin/vespin.ini", "a");
  EXPECT_EQ(FindSampleFolder(root + QStringLiteral("/bin"), dirs),
            root + QStringLiteral("/a/vespin"));
}

#ifdef VESPIN_PROGRAM
// The build tree is laid out so that the program there finds what an installed one would.
TEST(DataFolderTest, TheProgramInTheBuildTreeFindsItsModuleAndSamples) {
  const QString programDir = QFileInfo(QStringLiteral(VESPIN_PROGRAM)).absolutePath();
  const QString samples = FindSampleFolder(programDir, QStringLiteral("/nonexistent"));
  ASSERT_FALSE(samples.isEmpty());
  QFile built(samples + QStringLiteral("/vespin.ini"));
  QFile tracked(QStringLiteral(VESPIN_SOURCE_DIR "/examples/vespin.ini"));
  ASSERT_TRUE(built.open(QIODevice::ReadOnly) && tracked.open(QIODevice::ReadOnly));
  EXPECT_EQ(built.readAll(), tracked.readAll());
#ifdef VESPIN_SOUND_MODULE
  EXPECT_EQ(FirstWithFile(SoundModuleCandidates(programDir)),
            QFileInfo(QStringLiteral(VESPIN_SOUND_MODULE)).absoluteFilePath());
#endif
}
#endif

TEST(DataFolderTest, TheUserFolderIsMadeFromTheSamplesOnlyWhereItLacksTheEventFile) {
  enum class Start { kNoFolder, kEmptyFolder, kFolderWithWavOnly, kFolderWithIni };
  const struct {
    const char* what;
    Start start;
    bool samplesHaveWav;
    const char* copied;  // the names copied, comma-separated
    QByteArray iniAfter;
    QByteArray wavAfter;  // "-" for no file
  } cases[] = {
      {"first start", Start::kNoFolder, true, "vespin.ini,vespin.wav", "sample", "ding"},
      {"first start, samples without sound", Start::kNoFolder, false, "vespin.ini", "sample", "-"},
      {"the event file was removed", Start::kEmptyFolder, true, "vespin.ini", "sample", "-"},
      {"the user's own sound stays", Start::kFolderWithWavOnly, true, "vespin.ini", "sample",
       "mine"},
      {"the user's file stays", Start::kFolderWithIni, true, "", "my events", "-"},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const QString samples = Q(dir.Path() / "samples");
    const QString folder = Q(dir.Path() / "data" / "vespin");
    QDir().mkpath(samples);
    dir.Write("samples/vespin.ini", "sample");
    if (c.samplesHaveWav) dir.Write("samples/vespin.wav", "ding");
    if (c.start != Start::kNoFolder) QDir().mkpath(folder);
    if (c.start == Start::kFolderWithWavOnly) dir.Write("data/vespin/vespin.wav", "mine");
    if (c.start == Start::kFolderWithIni) dir.Write("data/vespin/vespin.ini", "my events");

    const PreparedFolder prepared = PrepareUserFolder(folder, samples);
    EXPECT_TRUE(prepared.ok) << c.what << ": " << prepared.problem.toStdString();
    EXPECT_EQ(prepared.copied.join(QLatin1Char(',')), QString::fromLatin1(c.copied)) << c.what;
    EXPECT_EQ(dir.Read("data/vespin/vespin.ini"), c.iniAfter.toStdString()) << c.what;
    const bool wav = QFileInfo::exists(folder + QStringLiteral("/vespin.wav"));
    EXPECT_EQ(wav ? dir.Read("data/vespin/vespin.wav") : "-", c.wavAfter.toStdString()) << c.what;
    EXPECT_EQ(dir.Read("samples/vespin.ini"), "sample") << c.what;
  }
}

TEST(DataFolderTest, CopiesOfReadOnlySamplesCanBeWritten) {
  test::TempDir dir;
  const QString samples = Q(dir.Path());
  dir.Write("vespin.ini", "sample");
  QFile::setPermissions(samples + QStringLiteral("/vespin.ini"),
                        QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  const QString folder = Q(dir.Path() / "user");
  ASSERT_TRUE(PrepareUserFolder(folder, samples).ok);
  EXPECT_TRUE(QFile::permissions(folder + QStringLiteral("/vespin.ini")) & QFile::WriteOwner);
}

TEST(DataFolderTest, SaysWhyTheFolderCannotBeMade) {
  test::TempDir dir;
  dir.Write("not-a-folder", "");
  const QString samples = Q(dir.Path() / "samples");
  QDir().mkpath(samples);
  dir.Write("samples/vespin.ini", "sample");
  const struct {
    const char* what;
    QString folder;
    QString samples;
  } cases[] = {
      {"no samples installed", Q(dir.Path() / "user"), QString()},
      {"a file in the way", Q(dir.Path() / "not-a-folder" / "vespin"), samples},
  };
  for (const auto& c : cases) {
    const PreparedFolder prepared = PrepareUserFolder(c.folder, c.samples);
    EXPECT_FALSE(prepared.ok) << c.what;
    EXPECT_FALSE(prepared.problem.isEmpty()) << c.what;
    EXPECT_FALSE(QFileInfo::exists(c.folder + QStringLiteral("/vespin.ini"))) << c.what;
  }
}

}  // namespace
}  // namespace vespin::ui
