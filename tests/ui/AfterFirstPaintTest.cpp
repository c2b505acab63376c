#include "app/AfterFirstPaint.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTest>
#include <QWidget>
#include <memory>

namespace vespin::ui {
namespace {

// Counts its paints, so a test can tell whether the work came after the first one.
class Canvas final : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST(AfterFirstPaintTest, TheWorkRunsOnceAfterThePaintOrAtTheLatestTime) {
  constexpr int kLatest = 600;
  const struct {
    const char* name;
    bool show;
    bool destroy;  // the widget goes before anything ran
    bool runs;
    bool beforeLatest;  // ran well before the latest time
  } cases[] = {
      {"a window that is painted", true, false, true, true},
      {"a window that is never painted", false, false, true, false},
      {"a window that is gone", true, true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto canvas = std::make_unique<Canvas>();
    canvas->resize(60, 40);
    int runs = 0;
    int paintsBefore = -1;
    QElapsedTimer clock;
    clock.start();
    qint64 ranAt = -1;
    AfterFirstPaint(
        *canvas,
        [&] {
          ++runs;
          paintsBefore = canvas->paints;
          ranAt = clock.elapsed();
        },
        kLatest);
    if (c.show) canvas->show();
    // Never from within the call or the show.
    EXPECT_EQ(runs, 0);
    if (c.destroy) canvas.reset();
    QTest::qWait(kLatest + 300);
    EXPECT_EQ(runs, c.runs ? 1 : 0);
    if (c.runs && c.show) {
      EXPECT_GE(paintsBefore, 1);
    }
    if (c.runs) {
      EXPECT_EQ(ranAt < kLatest / 2, c.beforeLatest) << ranAt << " ms";
    }
  }
}

}  // namespace
}  // namespace vespin::ui
