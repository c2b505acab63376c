#pragma once
#include <functional>
#include <string>
#include <vector>

#include "events/EngineHost.h"
#include "text/Sjis.h"

namespace vespin::test {

// An engine host that never blocks: notices are recorded (as UTF-8, for readable asserts),
// saves and redraws are counted. `log` keeps all three in the order they happened, saves as
// "<save>" and redraws as "<redraw>". Hooks let a test look at the world at those moments.
class FakeEngineHost : public EngineHost {
 public:
  void ShowNotice(const std::string& text) override {
    notices.push_back(sjis::ToUtf8(text));
    log.push_back(notices.back());
    if (onNotice) onNotice(notices.back());
  }
  bool SaveEventFile() override {
    ++saves;
    log.push_back("<save>");
    return onSave ? onSave() : saveResult;
  }
  void RedrawCalendar() override {
    ++redraws;
    log.push_back("<redraw>");
    if (onRedraw) onRedraw();
  }
  bool OnTimeNotices() const override { return onTime; }
  bool StartUpNotices() const override { return startUp; }
  HolidayLaw Holidays() const override { return holidays; }

  bool onTime = false;
  bool startUp = false;
  HolidayLaw holidays = HolidayLaw::k2005;
  bool saveResult = true;

  std::vector<std::string> notices;
  std::vector<std::string> log;
  int saves = 0;
  int redraws = 0;

  std::function<void(const std::string& utf8)> onNotice;
  std::function<bool()> onSave;  // replaces saveResult when set
  std::function<void()> onRedraw;
};

}  // namespace vespin::test
