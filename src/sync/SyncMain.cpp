// The network helper: the panel and vespin-cli run it for fetch and publish.
#include <cstdio>
#include <ctime>

#include "SyncCommand.h"

int main(int argc, char** argv) {
  vespin::sync::SyncEnvironment env;
  env.now = std::time(nullptr);
  return vespin::sync::RunSync({argv + 1, argv + argc}, stdout, stderr, env);
}
