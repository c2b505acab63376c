#include "app/Msg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "QtFakeSound.h"
#include "TempDir.h"
#include "UiText.h"
#include "app/NoticeSound.h"
#include "controls/ModalRunner.h"

namespace vespin::ui {
namespace {

class MsgTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterFontSubstitutions(); }
};

TEST_F(MsgTest, NoticeWindowHasItsCaptionSizesFontsAndNoCloseBox) {
  bool seen = false;
  ScopedModalHandler handler([&](QDialog& dialog) {
    auto& form = dynamic_cast<TfrmMsg&>(dialog);
    seen = true;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("お知らせメッセージ"));
    EXPECT_EQ(form.size(), QSize(352, 93));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(form.grab().toImage().pixelColor(5, 5), QColor(192, 192, 192));
    EXPECT_EQ(form.lMsg()->text(), QStringLiteral("あと5分で「定例会議」です。"));
    EXPECT_EQ(form.lMsg()->geometry(), QRect(0, 21, 352, 20));
    EXPECT_EQ(form.lMsg()->font().pixelSize(), 16);
    EXPECT_EQ(form.lMsg()->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_FALSE(form.lMsg()->wordWrap());
    EXPECT_EQ(form.pbOk()->text(), QStringLiteral("OK"));
    EXPECT_EQ(form.pbOk()->geometry(), QRect(139, 56, 75, 25));
    EXPECT_EQ(form.font().pixelSize(), 12);
    return QDialog::Accepted;
  });
  EXPECT_TRUE(ShowNotice(QStringLiteral("あと5分で「定例会議」です。"), nullptr));
  EXPECT_TRUE(seen);
}

TEST_F(MsgTest, OnlyOkClosesTheNotice) {
  ScopedModalHandler handler([](QDialog& dialog) {
    auto& form = dynamic_cast<TfrmMsg&>(dialog);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible()) << "Escape closed the notice";
    EXPECT_FALSE(form.close()) << "the window manager's close was obeyed";
    EXPECT_TRUE(form.isVisible());
    QTest::mouseClick(form.pbOk(), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    return form.result();
  });
  ShowNotice(QStringLiteral("x"), nullptr);
}

// The style keeps pictures of buttons and frames in the pixmap cache, keyed by the palette they
// were drawn with. A notice with a palette of its own gets new keys every time, so each notice
// left some 8 KB of pictures nobody would use again (10 MB before the cache is full). Notices
// must draw with the palette the application already has.
TEST_F(MsgTest, NoticesShareTheApplicationsPalette) {
  std::vector<qint64> keys;
  ScopedModalHandler handler([&](QDialog& dialog) {
    auto& form = dynamic_cast<TfrmMsg&>(dialog);
    for (const QWidget* w : {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.pbOk())}) {
      keys.push_back(w->palette().cacheKey());
    }
    return QDialog::Accepted;
  });
  for (int i = 0; i < 3; ++i) ShowNotice(QStringLiteral("あと5分で「定例会議」です。"), nullptr);
  EXPECT_EQ(keys, std::vector<qint64>(6, QApplication::palette().cacheKey()));
}

TEST_F(MsgTest, SoundFollowsTheOptionAndTheFile) {
  test::TempDir dir;
  const QString old = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.Path().string())));
  ScopedModalHandler handler([](QDialog&) { return QDialog::Accepted; });
  const QString wav = QDir::current().absoluteFilePath(QStringLiteral("vespin.wav"));

  test::FakeSound sound;
  ShowNotice(QStringLiteral("a"), nullptr);  // the option is off: no player at all
  ShowNotice(QStringLiteral("b"), &sound);   // on, no file
  EXPECT_EQ(sound.calls, QStringList{QStringLiteral("beep")});

  dir.Write("vespin.wav", "RIFF");
  sound.calls.clear();
  ShowNotice(QStringLiteral("c"), &sound);
  EXPECT_EQ(sound.calls, QStringList{QStringLiteral("file:") + wav});

  // A file that the player cannot start still makes a sound.
  sound.calls.clear();
  sound.playResult = false;
  ShowNotice(QStringLiteral("d"), &sound);
  EXPECT_EQ(sound.calls, (QStringList{QStringLiteral("file:") + wav, QStringLiteral("beep")}));
  QDir::setCurrent(old);
}

#ifdef VESPIN_SOUND_MODULE
// The real module, on a machine that may have no audio device at all: it must come back at
// once, whatever it managed to play.
TEST_F(MsgTest, RealSoundModuleNeitherCrashesNorHangsWithoutAnAudioDevice) {
  SystemSound sound(QStringLiteral(VESPIN_SOUND_MODULE));
  const QString wav = QStringLiteral(VESPIN_SOURCE_DIR "/examples/vespin.wav");
  sound.PlayFile(wav);
  EXPECT_TRUE(sound.Loaded());
  sound.PlayFile(wav);  // a second sound while the first may still play
  EXPECT_FALSE(sound.PlayFile(QStringLiteral("/nonexistent/vespin.wav")));
  QTest::qWait(0);
  SystemSound missing(QStringLiteral("/nonexistent/libvespin_sound.so"));
  EXPECT_FALSE(missing.PlayFile(wav));
  EXPECT_FALSE(missing.Loaded());
}
#endif

}  // namespace
}  // namespace vespin::ui
