#include "app/NoticeSound.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibrary>

#include "app/InstallLayout.h"

namespace vespin::ui {

void PlayNoticeSound(NoticeSound& sound, const QString& path) {
  const QFileInfo file(path);
  if (file.isFile() && sound.PlayFile(file.absoluteFilePath())) return;
  sound.Beep();
}

SystemSound::SystemSound(QString modulePath) : modulePath_(std::move(modulePath)) {}

SystemSound::~SystemSound() = default;

QString SystemSound::DefaultModulePath() {
  const QStringList candidates = SoundModuleCandidates(QCoreApplication::applicationDirPath());
  const QString found = FirstWithFile(candidates);
  return found.isEmpty() ? candidates.front() : found;
}

bool SystemSound::PlayFile(const QString& path) {
  if (!tried_) {
    tried_ = true;
    // Never unloaded: the module's sound object lives until the application ends.
    QLibrary module(modulePath_.isEmpty() ? DefaultModulePath() : modulePath_);
    play_ = reinterpret_cast<PlayFn>(module.resolve("VespinSoundPlay"));
  }
  if (!play_) return false;
  const QByteArray utf8 = path.toUtf8();
  return play_(utf8.constData());
}

void SystemSound::Beep() {
  QApplication::beep();
}

}  // namespace vespin::ui
