#pragma once
// subscribe and unsubscribe: the subscriptions of vespin.ini's extension section, changed
// through the program's own save while no panel holds the folder. They run in the network
// helper, beside fetch and publish, so the companion itself loads neither libcurl nor Qt.

#include <cstdio>
#include <string>
#include <vector>

#include "Cli.h"

namespace vespin::cli {

// args[0] is "subscribe" or "unsubscribe".
int RunSubscribeCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                        const Environment& env);

}  // namespace vespin::cli
