#include "events/PanelLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"

namespace vespin {
namespace {

std::string Line(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string Host() {
  std::array<char, 256> name{};
  gethostname(name.data(), name.size() - 1);
  return name.data();
}

std::string Self() {
  return std::filesystem::read_symlink("/proc/self/exe").filename().string();
}

// A process id that surely belongs to no process: a child that has ended and been reaped.
long long DeadPid() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return child;
}

std::string Lock(long long pid, const std::string& app, const std::string& host,
                 const std::string& machine, const std::string& boot) {
  return std::to_string(pid) + "\n" + app + "\n" + host + "\n" + machine + "\n" + boot + "\n";
}

TEST(PanelLockTest, HeldOnlyByALiveProcessOfTheSameProgramSinceThisBoot) {
  const long long self = getpid();
  const std::string host = Host();
  const std::string machine = Line("/etc/machine-id");
  const std::string boot = Line("/proc/sys/kernel/random/boot_id");
  const struct {
    const char* what;
    std::string content;
    bool runs;
  } cases[] = {
      {"this process", Lock(self, Self(), host, machine, boot), true},
      {"a lock of an older Qt: three lines", std::to_string(self) + "\n" + Self() + "\n" + host,
       true},
      {"no host recorded", Lock(self, Self(), "", "", ""), true},
      {"a process that has ended", Lock(DeadPid(), Self(), host, machine, boot), false},
      {"the process id now runs another program", Lock(self, "vespin", host, machine, boot), false},
      {"taken before the last boot", Lock(self, Self(), host, machine, "0-old-boot"), false},
      // Without a machine id (some containers) only the host name tells.
      {"this machine under another host name", Lock(DeadPid(), Self(), "renamed", machine, boot),
       machine.empty()},
      {"another machine: cannot be checked, so held",
       Lock(DeadPid(), "vespin", "elsewhere", "another-machine", "another-boot"), true},
      {"empty file", "", false},
      {"no process id", "\nvespin\n" + host + "\n", false},
      {"process id zero", Lock(0, "vespin", host, machine, boot), false},
      {"negative process id", Lock(-1, "vespin", host, machine, boot), false},
      {"process id with trailing text", std::to_string(self) + "x\n" + Self() + "\n" + host, false},
      {"process id beyond any pid_t", Lock(1LL << 40, Self(), host, machine, boot), false},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    dir.Write(kPanelLockName, c.content);
    EXPECT_EQ(PanelRunsIn(dir.Path()), c.runs) << c.what;
  }
}

TEST(PanelLockTest, NoLockFileMeansNoPanel) {
  test::TempDir dir;
  EXPECT_FALSE(PanelRunsIn(dir.Path()));
  EXPECT_FALSE(PanelRunsIn(dir.Path() / "missing-folder"));
}

TEST(PanelLockTest, ReadsTheLinesOfTheLock) {
  test::TempDir dir;
  const auto file = dir.Write(kPanelLockName, "4242\nvespin\nhost\nmachine\nboot\n");
  const auto info = ReadPanelLock(file);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->pid, 4242);
  EXPECT_EQ(info->appName, "vespin");
  EXPECT_EQ(info->hostName, "host");
  EXPECT_EQ(info->machineId, "machine");
  EXPECT_EQ(info->bootId, "boot");
}

}  // namespace
}  // namespace vespin
