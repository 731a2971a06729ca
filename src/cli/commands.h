#pragma once
// qmtool's subcommands. Each takes the arguments after its name and returns the
// exit status; a CliError or UserError becomes one line on stderr.
#include <string>
#include <vector>

namespace qm::cli {

struct Subcommand {
  const char* name;   // "info", "tileset pack", ...: one or two words
  const char* usage;  // after "qmtool "
  const char* summary;
  int (*run)(const std::vector<std::string>& args);
};

const std::vector<Subcommand>& Subcommands();

int RunInfo(const std::vector<std::string>& args);
int RunResave(const std::vector<std::string>& args);
int RunScript(const std::vector<std::string>& args);
int RunMapletsInfo(const std::vector<std::string>& args);
int RunRandom(const std::vector<std::string>& args);
int RunTilesetPack(const std::vector<std::string>& args);
int RunTilesetUnpack(const std::vector<std::string>& args);
int RunTilesetInfo(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);

}  // namespace qm::cli
