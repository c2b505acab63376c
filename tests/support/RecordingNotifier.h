#pragma once
#include <string>
#include <vector>

#include "events/EngineHost.h"
#include "text/Sjis.h"

namespace vespin::test {

// Collects every notice instead of showing it; texts are kept as UTF-8 for readable asserts.
class RecordingNotifier : public Notifier {
 public:
  void ShowNotice(const std::string& text) override { notices.push_back(sjis::ToUtf8(text)); }
  std::vector<std::string> notices;
};

}  // namespace vespin::test
