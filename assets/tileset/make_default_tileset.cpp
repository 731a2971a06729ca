// Draws the default tileset and writes it as a tileset file. With --sampler it
// also writes a PNG showing every tile in a grid over a checkerboard, for looking
// at the art.
//
//   qm_make_default_tileset OUT.qts [--sampler SAMPLER.png]
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/file_io.h"
#include "default_tiles.h"
#include "tiles/tileset.h"

namespace {

void WriteSampler(const qm::Tileset& tileset, const std::string& path) {
  constexpr int kColumns = 16, kCell = 64, kGap = 4;
  const int rows = (tileset.TileCount() + kColumns - 1) / kColumns;
  // Below the grid, each smart-tool group laid out as the tool leaves three
  // overlapping patches (0 = untouched), on grass, to show the pieces join.
  static const int kPatch[4][4] = {{8, 2, 2, 5}, {4, 13, 13, 3}, {7, 9, 13, 3}, {0, 7, 1, 6}};
  std::vector<int> groups;
  for (int tile = 0; tile + 15 < tileset.TileCount(); ++tile) {
    if (tileset.Properties(tile).SmartTool()) groups.push_back(tile);
  }
  const int grid_height = rows * (kCell + kGap) + kGap;
  const int width = kColumns * (kCell + kGap) + kGap;
  const int height = grid_height + (groups.empty() ? 0 : 4 * kCell + kGap);
  qm::PngImage sheet = qm::PngImage::Blank(qm::PngColorType::RGB, width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = sheet.Row(y);
    for (int x = 0; x < width; ++x) {
      const bool light = ((x / 8) + (y / 8)) % 2 == 0;
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = light ? 200 : 170;
    }
  }
  for (int tile = 0; tile < tileset.TileCount(); ++tile) {
    const int x = kGap + (tile % kColumns) * (kCell + kGap),
              y = kGap + (tile / kColumns) * (kCell + kGap);
    tileset.Image(tile).DrawScaled({sheet.Row(y) + 3 * x, kCell, kCell, sheet.RowBytes()});
  }
  int grass = 0;
  for (int tile = 0; tile < tileset.TileCount(); ++tile) {
    if (tileset.Properties(tile).TileName() == "Grass") grass = tile;
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const int left = kGap + static_cast<int>(g) * (4 * kCell + 2 * kGap);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        const int x = left + c * kCell, y = grid_height + r * kCell;
        if (x + kCell > width) continue;
        const qm::RgbView view{sheet.Row(y) + 3 * x, kCell, kCell, sheet.RowBytes()};
        tileset.Image(grass).DrawScaled(view);
        if (kPatch[r][c] != 0) tileset.Image(groups[g] + kPatch[r][c]).DrawScaled(view);
      }
    }
  }
  sheet.SaveFile(path);
}

}  // namespace

int main(int argc, char** argv) {
  std::string out, sampler;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sampler") == 0 && i + 1 < argc) {
      sampler = argv[++i];
    } else if (out.empty()) {
      out = argv[i];
    } else {
      std::cerr << "usage: qm_make_default_tileset OUT.qts [--sampler SAMPLER.png]\n";
      return 2;
    }
  }
  if (out.empty()) {
    std::cerr << "usage: qm_make_default_tileset OUT.qts [--sampler SAMPLER.png]\n";
    return 2;
  }
  try {
    qm::Tileset tileset;
    for (auto& art : qm::tilegen::DrawDefaultTiles()) {
      qm::TTileProperties properties;
      properties.SetDefaultLayer(art.default_layer);
      properties.SetHidden(art.hidden);
      properties.SetSmartTool(art.smart_tool);
      properties.SetTileName(art.name);
      tileset.AddTile(std::move(art.image), properties);
    }
    qm::AtomicFileWriter file(out);
    qm::WriteTileset(tileset, file);
    file.Commit();
    if (!sampler.empty()) WriteSampler(tileset, sampler);
  } catch (const std::exception& error) {
    std::cerr << "qm_make_default_tileset: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
