#pragma once
#include "calendar/Clock.h"

namespace vespin::test {

// A clock that stands still until the test moves it.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(TDateTime now = 0) : now_(now) {}
  TDateTime Now() const override { return now_; }
  void Set(TDateTime now) { now_ = now; }
  void Set(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    now_ = EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
  }
  void AdvanceMsecs(std::int64_t ms) { now_ = FromMsecs(ToMsecs(now_) + ms); }

 private:
  TDateTime now_;
};

}  // namespace vespin::test
