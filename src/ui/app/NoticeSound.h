#pragma once
// The sound that goes with a notice: the wave file when it is there, the desktop's beep when it
// is not. The player is a seam so that tests can listen without a sound card.

#include <QString>

namespace vespin::ui {

inline constexpr const char* kSoundFileName = "vespin.wav";

class NoticeSound {
 public:
  virtual ~NoticeSound() = default;
  // Starts playing the file and returns at once; false when it could not be started.
  virtual bool PlayFile(const QString& path) = 0;
  virtual void Beep() = 0;
};

// Plays `path` (relative paths are taken from the working folder) or, when there is no such
// file or it cannot be played, beeps.
void PlayNoticeSound(NoticeSound& sound, const QString& path = QString::fromLatin1(kSoundFileName));

// The real player. The multimedia back end sits in a module of its own that is loaded on the
// first sound, so a user who keeps the sound off never pays for it.
class SystemSound final : public NoticeSound {
 public:
  // `modulePath` empty: the module where the build or the install put it.
  explicit SystemSound(QString modulePath = {});
  ~SystemSound() override;
  SystemSound(const SystemSound&) = delete;
  SystemSound& operator=(const SystemSound&) = delete;

  bool PlayFile(const QString& path) override;
  void Beep() override;

  // Where the module is looked for by default: beside the program (the build tree), else in the
  // installed tree's module folder.
  static QString DefaultModulePath();
  // Whether the module was loaded (after the first PlayFile).
  bool Loaded() const { return play_ != nullptr; }

 private:
  using PlayFn = bool (*)(const char* utf8Path);
  QString modulePath_;
  bool tried_ = false;
  PlayFn play_ = nullptr;
};

}  // namespace vespin::ui
