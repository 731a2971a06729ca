#pragma once
// The pictures on the effect bar's buttons: one sample tile drawn through the cell
// renderer under each effect code, so every button shows exactly what its effect
// does to a tile on the map.
#include "render/cell_renderer.h"
#include "tiles/tileset.h"

namespace qm {

// The sample: a square tile in four coloured quarters (red upper-left, green
// upper-right, blue lower-left, amber lower-right) with dark edges, so placement,
// tiling, zoomed quarters, masks and transparency can all be told apart.
PngImage EffectSampleTile(int size);

// The sample tile under effect `code` in a white size x size cell.
CellBuffer EffectSamplePicture(int code, int size);

}  // namespace qm
