#pragma once
// The one seam for "now". The program uses the system clock; tests use a fake they advance.

#include "calendar/DateTime.h"

namespace vespin {

class Clock {
 public:
  virtual ~Clock() = default;
  // The local date and time.
  virtual TDateTime Now() const = 0;
};

}  // namespace vespin
