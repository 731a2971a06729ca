#include "editing/effect_samples.h"

#include <memory>

#include "document/map_records.h"

namespace qm {

PngImage EffectSampleTile(int size) {
  struct Rgb {
    std::uint8_t r, g, b;
  };
  constexpr Rgb kQuarters[4] = {{200, 40, 40}, {40, 160, 60}, {40, 80, 200}, {230, 170, 30}};
  PngImage tile = PngImage::Blank(PngColorType::RGBA, size, size);
  const int half = size / 2;
  const int edge = std::max(1, size / 16);
  for (int y = 0; y < size; ++y) {
    std::uint8_t* row = tile.Row(y);
    std::uint8_t* alpha = tile.AlphaRow(y);
    for (int x = 0; x < size; ++x) {
      const Rgb c = kQuarters[(y >= half ? 2 : 0) + (x >= half ? 1 : 0)];
      const bool dark = x < edge || y < edge || x >= size - edge || y >= size - edge;
      row[3 * x] = dark ? c.r / 3 : c.r;
      row[3 * x + 1] = dark ? c.g / 3 : c.g;
      row[3 * x + 2] = dark ? c.b / 3 : c.b;
      alpha[x] = 255;
    }
  }
  return tile;
}

CellBuffer EffectSamplePicture(int code, int size) {
  // A one-tile tileset and a level whose first cell holds the sample on layer 1;
  // tile 0 means an empty slot, so the sample is tile 1.
  static constexpr int kSampleSize = 64;
  Tileset tileset;
  tileset.AddTile(PngImage::Blank(PngColorType::RGBA, 1, 1), TTileProperties());
  tileset.AddTile(EffectSampleTile(kSampleSize), TTileProperties());
  auto level = std::make_unique<TMap>("Sample");
  level->SetSlot(1, 1, 0, {1, 0, static_cast<std::uint8_t>(code)});
  CellBuffer buffer(size, size);
  RenderCell(*level, tileset, 1, 1, buffer);
  return buffer;
}

}  // namespace qm
