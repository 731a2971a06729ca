#pragma once
// The level the render and export benchmarks share: 5184 cells, each with all 8
// layers filled from 64 x 64 RGBA tiles (an opaque floor, a masked wall, and six
// layers of props with transparent surroundings under a mix of effects and
// rotations).
#include <cstdint>
#include <iterator>
#include <random>

#include "document/map_records.h"
#include "tiles/tileset.h"

namespace qm::bench {

constexpr int kTile = 64;

// Floors are opaque noise; props are discs of noise on transparent ground.
inline PngImage MakeTile(int n, bool prop) {
  std::mt19937 random(static_cast<unsigned>(n));
  PngImage image = PngImage::Blank(PngColorType::RGBA, kTile, kTile);
  const int base = static_cast<int>(random() % 200);
  for (int y = 0; y < kTile; ++y) {
    std::uint8_t* row = image.Row(y);
    std::uint8_t* alpha = image.AlphaRow(y);
    for (int x = 0; x < kTile; ++x) {
      const int v = base + static_cast<int>(random() % 40);
      row[3 * x] = static_cast<std::uint8_t>(v);
      row[3 * x + 1] = static_cast<std::uint8_t>(v / 2 + n);
      row[3 * x + 2] = static_cast<std::uint8_t>(255 - v);
      const int dx = x - kTile / 2, dy = y - kTile / 2;
      const int d2 = dx * dx + dy * dy;
      alpha[x] = !prop ? 255 : d2 < 20 * 20 ? 255 : d2 < 24 * 24 ? 128 : 0;
    }
  }
  return image;
}

inline Tileset MakeTileset(int tiles) {
  Tileset tileset;
  for (int n = 0; n < tiles; ++n) tileset.AddTile(MakeTile(n, n % 4 != 1), TTileProperties());
  return tileset;
}

inline TMap MakeLevel(int tiles) {
  TMap level("Bench");
  std::mt19937 random(42);
  const std::uint8_t prop_effects[] = {0,  1,  5,  9,  10, 11, 15, 34, 38,
                                       42, 43, 46, 47, 48, 24, 30, 55};
  const std::uint8_t rotations[] = {0, 0, 0, 45, 90, 135, 15, 22};
  auto tile = [&](bool floor) {
    int t = 1 + static_cast<int>(random() % static_cast<unsigned>(tiles - 1));
    if (floor)
      t = (t / 4) * 4 + 1;  // floors are n % 4 == 1
    else if (t % 4 == 1)
      t = t + 1 < tiles ? t + 1 : 2;
    return static_cast<std::uint16_t>(t);
  };
  for (int x = 1; x <= MapSize; ++x) {
    for (int y = 1; y <= MapSize; ++y) {
      level.SetSlot(x, y, 0, {tile(true), 0, 0});
      level.SetSlot(x, y, 1, {tile(false), 0, static_cast<std::uint8_t>(19 + random() % 15)});
      for (int layer = 2; layer < kLayerCount; ++layer) {
        level.SetSlot(x, y, layer,
                      {tile(false), rotations[random() % std::size(rotations)],
                       prop_effects[random() % std::size(prop_effects)]});
      }
    }
  }
  level.SetBackgroundTile(1);
  return level;
}

}  // namespace qm::bench
