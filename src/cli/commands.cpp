#include "cli/commands.h"

namespace qm::cli {

const std::vector<Subcommand>& Subcommands() {
  static const std::vector<Subcommand> kSubcommands = {
      {"info", "info [--json] MAP", "print the header and levels of a map", RunInfo},
      {"resave", "resave IN OUT", "open a map and save it as the editor does", RunResave},
      {"run", "run SCRIPT", "compile and run a script with its console on the terminal", RunScript},
      {"maplets info", "maplets info [--json] SET",
       "print a maplet set's tileset, editor state and which maplets are drawn", RunMapletsInfo},
      {"random", "random MAP --maplets SET [--level N] [--seed S] [-o OUT]",
       "fill a level (of a new map if MAP does not exist) with a random level", RunRandom},
      {"tileset pack", "tileset pack DIR OUT.qts", "make a tileset from PNG files and tiles.tsv",
       RunTilesetPack},
      {"tileset unpack", "tileset unpack IN.qts DIR", "write a tileset's PNG files and tiles.tsv",
       RunTilesetUnpack},
      {"export",
       "export MAP OUT [--level N] [--cell-size S] [--region C0,R0,C1,R1] [--tileset NAME] "
       "[--quarters]",
       "write a level or a region of it as a BMP, JPEG or PNG picture", RunExport},
      {"tileset info", "tileset info QTS", "list a tileset's tiles and smart-tool groups",
       RunTilesetInfo},
  };
  return kSubcommands;
}

}  // namespace qm::cli
