#include "tiles/palette_layout.h"

#include <algorithm>

namespace qm {

int PaletteZoomIn(int cell_size) {
  return cell_size == 32 ? 64 : 128;
}
int PaletteZoomOut(int cell_size) {
  return cell_size == 128 ? 64 : 32;
}

int PaletteColumns(int grid_width, int cell_size) {
  if (cell_size <= 0) return 1;
  return std::max(1, grid_width / cell_size);
}

int PaletteRows(int tile_count, int columns) {
  if (tile_count <= 0 || columns <= 0) return 1;
  return tile_count / columns + (tile_count % columns != 0 ? 1 : 0);
}

int PaletteTileAt(int column, int row, int columns, int tile_count) {
  if (column < 0 || row < 0 || column >= columns) return -1;
  const long long tile = static_cast<long long>(row) * columns + column;
  return tile < tile_count ? static_cast<int>(tile) : -1;
}

int SnapPalettePanelWidth(int proposed_width, int cell_size) {
  const int step = cell_size + 1;
  return step * (std::max(0, proposed_width) / step) + 34;
}

}  // namespace qm
