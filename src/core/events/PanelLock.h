#pragma once
// A running panel holds a lock file in its folder (Qt's QLockFile: the process id, the program
// name and the host name, one a line, then the machine and boot ids). The companion reads it to
// leave the folder's vespin.ini alone while a panel may rewrite it.

#include <filesystem>
#include <optional>
#include <string>

namespace vespin {

inline constexpr const char* kPanelLockName = "vespin.lock";

struct PanelLockInfo {
  long long pid = 0;
  std::string appName;
  std::string hostName;
  std::string machineId;  // empty in locks written by older Qt versions
  std::string bootId;
};

// The lock file's lines; nullopt when it is missing, unreadable or has no valid process id.
std::optional<PanelLockInfo> ReadPanelLock(const std::filesystem::path& lockFile);

// Whether a panel holds the lock of `folder`. A lock of a process that is gone, of a process id
// now used by another program, or from before the last boot holds nothing. A lock taken on
// another machine (a shared folder) cannot be checked from here and counts as held.
bool PanelRunsIn(const std::filesystem::path& folder);

}  // namespace vespin
