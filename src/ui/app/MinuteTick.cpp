#include "app/MinuteTick.h"

namespace vespin::ui {

MinuteTick::MinuteTick(QObject* owner, std::function<void()> onTick) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(false);
  QObject::connect(&timer_, &QTimer::timeout, owner, std::move(onTick));
  timer_.start(kInitialIntervalMsecs);
}

void MinuteTick::Restart(int msecs) {
  timer_.start(msecs);
}

void MinuteTick::ArmForNextMinute(TDateTime time) {
  const TimeParts t = DecodeTime(time);
  Restart(60000 - (t.second * 1000 + t.msec));
}

}  // namespace vespin::ui
