#pragma once
// Cell and tile pictures as Qt images, for the widgets that show them. The pixels
// come from the renderer; these only move them into a QImage.
#include <QImage>

#include "render/cell_renderer.h"
#include "tiles/png_image.h"

namespace qm {

// A copy of the buffer as a 24-bit image of the same size.
QImage CellBufferImage(const CellBuffer& buffer);

// `tile` scaled into a white width x height picture with its transparency, as the
// palette and the maplet editor show tiles.
QImage TilePicture(const PngImage& tile, int width, int height);

}  // namespace qm
