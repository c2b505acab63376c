// The companion's export and import, which need libical; vespin-cli hands them over to this
// program with its own command line.
#include "Cli.h"
#include "IcalCommands.h"

int main(int argc, char** argv) {
  return vespin::cli::Main(argc, argv, &vespin::cli::RunIcalCommand);
}
