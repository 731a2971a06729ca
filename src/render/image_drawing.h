#pragma once
// Drawing a tile or work image into a rectangle of an RGB picture, scaled to the
// rectangle and blended by its alpha. Every surface that shows map cells gets its
// pixels from here, through the cell renderer.
#include "render/image_transforms.h"
#include "tiles/png_image.h"

namespace qm {

// Draws `image` scaled to `dest` (coordinates in `target`); the parts of `dest`
// outside the target are cut off, the scale stays that of the whole rectangle.
// Each target pixel takes the source pixel under its centre (nearest neighbour),
// so tile art keeps hard edges at every zoom and a pixel that is opaque in the
// image is opaque in the target. Images without alpha are opaque; palette images
// use their tRNS alpha. Blending is out = (src * a + dst * (255 - a)) / 255, rounded.
void DrawImageScaled(const PngImage& image, PixelRect dest, RgbView target);

// Blends a picture of exactly dest's size, 4 bytes a pixel (R, G, B, alpha), into
// `target` at `dest`, cut to the target, with the same arithmetic as above.
// `spans`, when given, holds per row the first and one past the last pixel whose
// alpha is not 0, plus 1 in a third entry when all pixels between are opaque;
// drawing skips the rest, which it would leave unchanged anyway.
void DrawRgbaAt(const std::uint8_t* rgba, PixelRect dest, RgbView target,
                const std::uint16_t* spans = nullptr);
// Fills `spans` (3 entries a row) for DrawRgbaAt.
void MeasureRgbaSpans(const std::uint8_t* rgba, int width, int height, std::uint16_t* spans);

// The source index that DrawImageScaled samples for each of `span` target
// pixels scaled from `source` pixels: ((2k + 1) * source) / (2 * span).
inline int ScaledSample(int k, int source, int span) {
  return static_cast<int>(((2LL * k + 1) * source) / (2LL * span));
}

// True when every pixel of the image has alpha 255 (always for RGB and grey).
bool IsFullyOpaque(const PngImage& image);

// The row kernels every RGBA drawing path ends in: `n` pixels of 4 bytes (R, G,
// B, alpha) blended over, or copied onto, `n` pixels of 3 bytes, with the
// arithmetic above. BlendRgbaRow and CopyRgbaRow pick the fastest version this
// processor runs; the others are here so that tests can hold them against each
// other.
void BlendRgbaRow(const std::uint8_t* rgba, std::uint8_t* rgb, int n);
void CopyRgbaRow(const std::uint8_t* rgba, std::uint8_t* rgb, int n);
namespace row_kernels {
void BlendPortable(const std::uint8_t* rgba, std::uint8_t* rgb, int n);
void CopyPortable(const std::uint8_t* rgba, std::uint8_t* rgb, int n);
// False where the processor lacks SSSE3; then the two below must not be called.
bool HaveSsse3();
void BlendSsse3(const std::uint8_t* rgba, std::uint8_t* rgb, int n);
void CopySsse3(const std::uint8_t* rgba, std::uint8_t* rgb, int n);
}  // namespace row_kernels

}  // namespace qm
