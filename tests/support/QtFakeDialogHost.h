#pragma once
// The application's side of the event dialog for tests: real tables, a real vespin.ini in a
// temporary folder (so saves and reloads are the program's own), notices collected as UTF-8,
// and the clock restarts recorded. Removing the file makes both save and reload fail the way
// they do for a user whose file went away.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "RecordingNotifier.h"
#include "TempDir.h"
#include "dialogs/EventDialogHost.h"
#include "events/EventFile.h"
#include "events/Settings.h"

namespace vespin::test {

class FakeDialogHost final : public ui::EventDialogHost {
 public:
  // Writes `fileBytes` (Shift_JIS) as vespin.ini and loads it, as the application does at
  // start-up before it creates the dialog.
  explicit FakeDialogHost(std::string_view fileBytes)
      : file_(dir_.Write(kEventFileName, fileBytes), notifier_) {
    file_.IniLoad(store_, settings_);
  }

  EventStore& Store() override { return store_; }
  AppState& State() override { return state_; }
  bool IniSave() override {
    ++saves;
    return file_.IniSave(store_, settings_);
  }
  bool IniLoad() override {
    ++loads;
    return file_.IniLoad(store_, settings_).ok;
  }
  void RestartTick(int msec) override { ticks.push_back(msec); }
  void ShowNotice(const std::string& sjisText) override { notifier_.ShowNotice(sjisText); }

  const std::filesystem::path& FilePath() const { return file_.Path(); }
  std::string FileBytes() const { return ReadBytes(file_.Path()); }
  // Takes the file away (save and reload fail) and puts it back.
  void RemoveFile() { std::filesystem::rename(file_.Path(), dir_.File("away")); }
  void RestoreFile() { std::filesystem::rename(dir_.File("away"), file_.Path()); }

  const std::vector<std::string>& Notices() const { return notifier_.notices; }
  void ClearNotices() { notifier_.notices.clear(); }

  int saves = 0;
  int loads = 0;
  std::vector<int> ticks;

 private:
  TempDir dir_;
  RecordingNotifier notifier_;
  EventFile file_;
  EventStore store_;
  AppState state_;
  Settings settings_;
};

}  // namespace vespin::test
