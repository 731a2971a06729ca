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

// True when every pixel of the image has alpha 255 (always for RGB and grey).
bool IsFullyOpaque(const PngImage& image);

}  // namespace qm
