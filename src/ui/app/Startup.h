#pragma once
// The steps the program entry takes before the panel exists: the information options, the folder
// to work in, and the one-panel-per-folder claim. Each returns an exit code when the program
// should end there, nothing when it goes on.

#include <optional>

#include "app/Autostart.h"

namespace vespin::ui {

class PanelGuard;

// --help, --version and arguments nobody knows (exit 2), before the application object: they
// need no display. `argc`/`argv` as main() received them.
std::optional<int> AnswerInformationOptions(int argc, char** argv);

struct EnteredFolder {
  std::optional<int> exitCode;  // the program ends here with it
  // vespin.ini was copied from the samples just now: the events are the sample's, not the
  // user's, and the day stays quiet (QuietDay).
  bool madeFromSamples = false;
};

// The options again once the window system has taken its own; reports anything else (exit 2).
// Moves into the user's folder for --user-folder, making it from the samples if needed.
EnteredFolder EnterWorkFolder();

// Starts claiming the current folder for this panel while the window is built. A folder without
// vespin.ini is not claimed: the start fails there as it always has.
void BeginClaimingWorkFolder(PanelGuard& guard);
// Ends the claim: the folder is this panel's, or the panel already running there has been
// handed over to.
std::optional<int> ClaimWorkFolder(PanelGuard& guard);

// How to start this panel again at login: this program, on the folder it works in.
LaunchCommand ThisLaunch();

}  // namespace vespin::ui
