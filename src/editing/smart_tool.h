#pragma once
// The custom smart tool: one click paints a patch of grouped terrain and joins it
// to the pieces of the same group already around it.
//
// A group is 16 consecutive tiles b .. b + 15; piece k (tile b + k) shows terrain
// in these quarters of a cell (piece 0, the base tile, is never placed):
//   1 NW NE    5 SW    9 NW NE SE   13 all four
//   2 SW SE    6 NW   10 NE SW SE   14 NW SE
//   3 NW SW    7 NE   11 NW NE SW   15 NE SW
//   4 NE SE    8 SE   12 NW SW SE
#include <cstdint>
#include <vector>

#include "editing/edit_outcome.h"

namespace qm {

class TMap;

inline constexpr int kSmartGroupSize = 16;
inline constexpr int kFullTerrainPiece = 13;

// The piece a cell holds on `layer` (0..7) for the group at `base_tile`: 1..15 for a piece
// of the group, 13 for a cell off the map (full terrain, so patches at the edge
// show no border there), anything else (another tile, an empty slot, the base
// tile) for no terrain. Tile numbers are the slot's full 16 bits, so a group works
// wherever its 16 numbers lie within 0..65535.
int SmartPieceValue(const TMap& level, int x, int y, int layer, std::uint16_t base_tile);

// Places one patch centred on column x, row y (1-based) on `layer`, writing tile
// base_tile + k (its low 16 bits) and `effect` into the slots it sets and leaving
// their rotation alone. Writes only the 3 x 3 block around (x, y), skipping cells
// off the map, and reads up to two cells away. Returns the cells it wrote. A layer
// outside 0..7 names no slot: nothing is placed.
std::vector<GridCell> SmartPlacement(TMap& level, int x, int y, std::uint16_t base_tile, int layer,
                                     std::uint8_t effect);

}  // namespace qm
