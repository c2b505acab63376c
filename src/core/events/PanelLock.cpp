#include "events/PanelLock.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <fstream>
#include <string_view>
#include <system_error>

namespace vespin {
namespace {

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string ThisHost() {
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return {};
  return name.data();
}

// The same sources Qt reads when it writes the lock.
std::string ThisMachineId() {
  std::string id = FirstLine("/etc/machine-id");
  return id.empty() ? FirstLine("/var/lib/dbus/machine-id") : id;
}

std::string ThisBootId() {
  return FirstLine("/proc/sys/kernel/random/boot_id");
}

bool ProcessAlive(long long pid) {
  if (pid <= 0 || static_cast<long long>(static_cast<pid_t>(pid)) != pid) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The file name of the program the process runs, or "" when the system does not say (another
// user's process).
std::string ProgramNameOf(long long pid) {
  std::error_code error;
  const std::filesystem::path exe = "/proc/" + std::to_string(pid) + "/exe";
  std::string target = std::filesystem::read_symlink(exe, error).string();
  if (error) return {};
  // A program replaced by an upgrade while it runs.
  constexpr std::string_view kDeleted = " (deleted)";
  if (target.ends_with(kDeleted)) target.resize(target.size() - kDeleted.size());
  return std::filesystem::path(target).filename().string();
}

}  // namespace

std::optional<PanelLockInfo> ReadPanelLock(const std::filesystem::path& lockFile) {
  std::ifstream in(lockFile, std::ios::binary);
  if (!in) return std::nullopt;
  std::string pidLine;
  if (!std::getline(in, pidLine)) return std::nullopt;
  PanelLockInfo info;
  const char* end = pidLine.data() + pidLine.size();
  const auto [rest, ec] = std::from_chars(pidLine.data(), end, info.pid);
  if (ec != std::errc() || rest != end || info.pid <= 0) return std::nullopt;
  std::getline(in, info.appName);
  std::getline(in, info.hostName);
  std::getline(in, info.machineId);
  std::getline(in, info.bootId);
  return info;
}

bool PanelRunsIn(const std::filesystem::path& folder) {
  const std::optional<PanelLockInfo> info = ReadPanelLock(folder / kPanelLockName);
  if (!info) return false;
  const bool sameMachine = info->hostName.empty() || info->hostName == ThisHost() ||
                           (!info->machineId.empty() && info->machineId == ThisMachineId());
  if (!sameMachine) return true;
  if (!info->bootId.empty()) {
    const std::string boot = ThisBootId();
    if (!boot.empty() && boot != info->bootId) return false;
  }
  if (!ProcessAlive(info->pid)) return false;
  const std::string running = ProgramNameOf(info->pid);
  return running.empty() || info->appName.empty() || running == info->appName;
}

}  // namespace vespin
