// The network helper: the panel runs it for fetch and publish, vespin-cli hands it subscribe,
// unsubscribe, fetch and publish with its own command line. It goes through the companion's
// dispatcher, so both see the same usage lines and exit codes.
#include "Cli.h"
#include "SubscribeCommands.h"
#include "SyncCommand.h"

namespace {

int RunNetwork(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
               const vespin::cli::Environment& env) {
  if (args.front() == "subscribe" || args.front() == "unsubscribe") {
    return vespin::cli::RunSubscribeCommand(args, out, err, env);
  }
  vespin::sync::SyncEnvironment sync;
  sync.now = static_cast<std::time_t>(env.nowUtc);
  return vespin::sync::RunSync(args, out, err, sync);
}

}  // namespace

int main(int argc, char** argv) {
  return vespin::cli::Main(argc, argv, nullptr, nullptr, &RunNetwork);
}
