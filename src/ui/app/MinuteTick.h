#pragma once
// The panel's clock: one precise timer, re-armed by every tick. The first real tick comes a
// moment after start-up; every later one lands on the next full minute, so the panel ticks once
// a minute close to second 0.

#include <QObject>
#include <QTimer>
#include <functional>

#include "calendar/DateTime.h"

namespace vespin::ui {

class MinuteTick final {
 public:
  static constexpr int kFirstTickMsecs = 100;
  // Until something arms it otherwise (the window's first call does, at once).
  static constexpr int kInitialIntervalMsecs = 10000;

  MinuteTick(QObject* owner, std::function<void()> onTick);
  Q_DISABLE_COPY_MOVE(MinuteTick)

  // The next tick `msecs` from now; a restart replaces the tick already armed.
  void Restart(int msecs);
  // The next tick on the full minute after a tick at `time` (a time of day).
  void ArmForNextMinute(TDateTime time);
  const QTimer& Timer() const { return timer_; }

 private:
  QTimer timer_;
};

}  // namespace vespin::ui
