#pragma once
// The tiles of the default tileset, drawn in code.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tiles/png_image.h"

namespace qm::tilegen {

struct TileArt {
  std::string name;
  int default_layer = 0;
  std::uint8_t hidden = 0;
  std::uint8_t smart_tool = 0;
  PngImage image;
};

// Which quarters of a smart-tool piece hold terrain, for pieces 0 to 15: bit 0
// north-west, bit 1 north-east, bit 2 south-west, bit 3 south-east. Piece 0, the
// group's base tile, is never placed; it shows a patch for the palette.
inline constexpr std::array<std::uint8_t, 16> kPieceQuarters = {
    0x0,              // 0: base tile
    0x1 | 0x2,        // 1: north-west, north-east
    0x4 | 0x8,        // 2: south-west, south-east
    0x1 | 0x4,        // 3: north-west, south-west
    0x2 | 0x8,        // 4: north-east, south-east
    0x4,              // 5: south-west
    0x1,              // 6: north-west
    0x2,              // 7: north-east
    0x8,              // 8: south-east
    0x1 | 0x2 | 0x8,  // 9
    0x2 | 0x4 | 0x8,  // 10
    0x1 | 0x2 | 0x4,  // 11
    0x1 | 0x4 | 0x8,  // 12
    0xF,              // 13: all four
    0x1 | 0x8,        // 14: north-west, south-east
    0x2 | 0x4,        // 15: north-east, south-west
};

std::vector<TileArt> DrawDefaultTiles();

}  // namespace qm::tilegen
