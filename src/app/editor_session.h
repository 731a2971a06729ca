#pragma once
// Everything the program holds from start to exit: one map document, one loaded
// tileset, one maplet set and the random source of random levels. The program
// entry owns it and hands it to the windows; nothing of it is global.
#include <string>

#include "document/map_document.h"
#include "maplets/maplet_set.h"
#include "maplets/random_source.h"
#include "tiles/tileset.h"

namespace qm {

struct EditorSession {
  explicit EditorSession(std::string directory) : program_directory(std::move(directory)) {}

  // The directory of the running program, holding Tilesets, Maplets, Files and the
  // help. Computed once by the program entry.
  std::string program_directory;
  MapDocument document;
  Tileset tileset;
  MapletSet maplets;
  RandomSource random;
};

}  // namespace qm
