#pragma once
// A server the tests talk to over loopback: started in a folder of its own on a free port,
// waited for until it accepts connections, and stopped with its folder at the end.

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"

namespace vespin::test {

class ServerProcess {
 public:
  // `argv` may hold "{port}" and "{dir}", replaced by the port and the server's folder. nullptr
  // (after ADD_FAILURE) when it does not accept connections within 20 seconds.
  static std::unique_ptr<ServerProcess> Start(std::vector<std::string> argv);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int Port() const { return port_; }
  const std::filesystem::path& Dir() const { return dir_.Path(); }
  std::string Log() const;  // what it wrote to its standard output and error
  void Stop();

 private:
  ServerProcess() = default;
  TempDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort();

// The Python that has Debian's packages (radicale, xandikos, their modules).
inline constexpr const char* kSystemPython = "/usr/bin/python3";

}  // namespace vespin::test
