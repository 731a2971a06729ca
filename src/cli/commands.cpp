#include "cli/commands.h"

namespace qm::cli {

const std::vector<Subcommand>& Subcommands() {
  static const std::vector<Subcommand> kSubcommands = {
      {"info", "info [--json] MAP", "print the header and levels of a map", RunInfo},
      {"resave", "resave IN OUT", "open a map and save it as the editor does", RunResave},
  };
  return kSubcommands;
}

}  // namespace qm::cli
