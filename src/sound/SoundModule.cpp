// Plays a wave file without waiting, for the notice window. Loaded by the program on demand.
#include <QCoreApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace {

QSoundEffect* Effect() {
  // Owned by the application object, so it goes before the application does.
  static QSoundEffect* effect = new QSoundEffect(QCoreApplication::instance());
  return effect;
}

}  // namespace

// The one entry point; the program looks it up by this name.
extern "C" Q_DECL_EXPORT bool VespinSoundPlay(const char* utf8Path);

// Starts playing `utf8Path`; false when there is no application, no such file, or the sound
// cannot be loaded. A machine without an audio device plays nothing and says so.
extern "C" Q_DECL_EXPORT bool VespinSoundPlay(const char* utf8Path) {
  if (!QCoreApplication::instance() || !utf8Path) return false;
  const QString path = QString::fromUtf8(utf8Path);
  if (!QFileInfo(path).isFile()) return false;
  QSoundEffect* effect = Effect();
  const QUrl url = QUrl::fromLocalFile(path);
  if (effect->source() != url) effect->setSource(url);
  if (effect->status() == QSoundEffect::Error) return false;
  effect->play();
  return true;
}
