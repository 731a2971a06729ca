#pragma once
// Small fixtures for the editing tests: a tileset made in memory and snapshots of
// cell blocks to compare levels and scratch buffers with.
#include <cstdint>
#include <utility>
#include <vector>

#include "document/map_document.h"
#include "tiles/tileset.h"

namespace qm::testing {

struct TileTraits {
  std::int32_t default_layer = 0;
  bool smart = false;
};

// One 1 x 1 tile per entry; the pictures do not matter to the tools.
inline Tileset MakeTileset(const std::vector<TileTraits>& list) {
  Tileset tiles;
  for (const TileTraits& traits : list) {
    TTileProperties properties;
    properties.SetDefaultLayer(traits.default_layer);
    properties.SetSmartTool(traits.smart ? 1 : 0);
    tiles.AddTile(PngImage::Blank(PngColorType::RGBA, 1, 1), properties);
  }
  return tiles;
}

inline std::vector<std::uint8_t> CellsOf(const TMap& level) {
  return {level.Cells().begin(), level.Cells().end()};
}

// Fills every slot and reserved word of `level` with bytes derived from `seed`, so
// that any misplaced copy or clear shows.
inline void FillDistinct(TMap& level, std::uint8_t seed) {
  auto cells = level.Cells();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    cells[i] = static_cast<std::uint8_t>(i * 7 + seed + i / kCellBytes);
  }
}

}  // namespace qm::testing
