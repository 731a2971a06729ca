#pragma once
// Tiles and tilesets made in code for the renderer and export tests. Header-only so
// the export tests can share it.
#include <cstdint>
#include <cstring>
#include <utility>

#include "tiles/png_image.h"
#include "tiles/tileset.h"

namespace qm::test {

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// A width x height tile of one colour and alpha (grey types take colour.r).
inline PngImage SolidTile(int width, int height, Rgb colour, std::uint8_t alpha = 255,
                          PngColorType type = PngColorType::RGBA) {
  PngImage image = PngImage::Blank(type, width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = image.Row(y);
    for (int x = 0; x < width; ++x) {
      if (image.ColorBytesPerPixel() == 3) {
        row[3 * x] = colour.r;
        row[3 * x + 1] = colour.g;
        row[3 * x + 2] = colour.b;
      } else {
        row[x] = colour.r;
      }
    }
    if (image.HasAlpha()) std::memset(image.AlphaRow(y), alpha, static_cast<std::size_t>(width));
  }
  return image;
}

// Every pixel distinct: r = x, g = y, b = 7x + 3y, alpha 255.
inline PngImage PatternTile(int width, int height, PngColorType type = PngColorType::RGBA) {
  PngImage image = PngImage::Blank(type, width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = image.Row(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x);
      row[3 * x + 1] = static_cast<std::uint8_t>(y);
      row[3 * x + 2] = static_cast<std::uint8_t>(7 * x + 3 * y);
    }
    if (image.HasAlpha()) std::memset(image.AlphaRow(y), 255, static_cast<std::size_t>(width));
  }
  return image;
}

inline void AddTile(Tileset& tileset, PngImage image, bool hidden = false) {
  TTileProperties properties;
  properties.SetHidden(hidden ? 1 : 0);
  tileset.AddTile(std::move(image), properties);
}

// Just tile 0, which is never drawn.
inline Tileset MakeTileset() {
  Tileset tileset;
  AddTile(tileset, PngImage::Blank(PngColorType::RGBA, 1, 1));
  return tileset;
}

}  // namespace qm::test
