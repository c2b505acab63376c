#include <unistd.h>

#include <chrono>
#include <ctime>
#include <iostream>

#include "Cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  vespin::cli::Environment env;
  env.colour = isatty(STDOUT_FILENO) != 0;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  env.today = vespin::EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  env.nowUtc = static_cast<std::int64_t>(now);
  return vespin::cli::Run(args, std::cout, std::cerr, env);
}
