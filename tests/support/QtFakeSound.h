#pragma once
#include <QString>
#include <QStringList>

#include "app/NoticeSound.h"

namespace vespin::test {

// Listens instead of playing: every call is recorded as "file:<path>" or "beep".
class FakeSound final : public ui::NoticeSound {
 public:
  bool PlayFile(const QString& path) override {
    calls << QStringLiteral("file:") + path;
    return playResult;
  }
  void Beep() override { calls << QStringLiteral("beep"); }

  bool playResult = true;
  QStringList calls;
};

}  // namespace vespin::test
