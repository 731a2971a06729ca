#include "render/cell_pictures.h"

#include <cstring>

#include "render/image_drawing.h"

namespace qm {

QImage CellBufferImage(const CellBuffer& buffer) {
  QImage image(buffer.Width(), buffer.Height(), QImage::Format_RGB888);
  for (int y = 0; y < buffer.Height(); ++y)
    std::memcpy(image.scanLine(y), buffer.Row(y), buffer.Stride());
  return image;
}

QImage TilePicture(const PngImage& tile, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  CellBuffer buffer(width, height);
  if (!tile.Empty()) DrawImageScaled(tile, {0, 0, width, height}, buffer.View());
  return CellBufferImage(buffer);
}

}  // namespace qm
