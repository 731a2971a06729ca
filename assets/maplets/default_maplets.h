#pragma once
// The default maplet set, drawn in code with the tiles of the default tileset.
//
// Every maplet keeps one contract with its neighbours, whatever it holds inside:
// - a side that a random level puts on its outline (the top of "Upper Left", the
//   right of "Right", ...) is a closed line of wall along the maplet's edge;
// - every other side is solid rock along its edge except the two middle cells
//   (5 and 6), which are floor: a corridor mouth that meets the neighbour's.
// Random levels put walls against walls and open sides against open sides, so any
// two neighbours join and the outline of a level is closed.
#include <array>

#include "maplets/maplet_set.h"
#include "tiles/tileset.h"

namespace qm::mapletgen {

enum Side { kTop = 0, kRight = 1, kBottom = 2, kLeft = 3 };

// Which sides of a maplet of `position` (1..9) face the outline of a level.
std::array<bool, 4> OutlineSides(int position);

// The two middle cells of every open side.
inline constexpr int kMouthFirst = 5;
inline constexpr int kMouthLast = 6;

// All 81 maplets, the tileset name "default.qts" and the editor at the first maplet
// with auto-layering. Tiles are looked up by name in `tileset`, so the set follows
// its numbering; a tile it lacks throws UserError naming it.
MapletSet DrawDefaultMaplets(const Tileset& tileset);

}  // namespace qm::mapletgen
