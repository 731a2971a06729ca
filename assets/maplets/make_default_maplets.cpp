// Draws the default maplet set with the tiles of the default tileset and writes it
// as a maplet set file.
//
//   qm_make_default_maplets TILESET.qts OUT.set
#include <exception>
#include <iostream>

#include "common/file_io.h"
#include "default_maplets.h"
#include "tiles/tileset.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: qm_make_default_maplets TILESET.qts OUT.set\n";
    return 2;
  }
  try {
    qm::Tileset tileset;
    qm::InputFile in(argv[1]);
    qm::ReadTileset(in, tileset);
    qm::SaveMapletSetFile(qm::mapletgen::DrawDefaultMaplets(tileset), argv[2]);
  } catch (const std::exception& error) {
    std::cerr << "qm_make_default_maplets: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
