#pragma once
// The map view's zoom ladder. The cell size is part of the map: a zoom step
// stores it in the header and marks the map modified, so it is saved and comes
// back on opening.
#include "document/map_document.h"
#include "document/map_view_host.h"

namespace qm {

// 8 -> 16 -> 32 -> 48 -> ... -> 128 -> 192; any other size (192 itself, or one off
// the ladder) becomes 192.
int ZoomInSize(int cell_size);
// The way back; 8 and sizes off the ladder become 8.
int ZoomOutSize(int cell_size);

enum class ZoomDirection { In, Out };

// One zoom step of the view: the new size goes into the header's CellSize and the
// view, the whole view repaints, and Modified is set.
void ZoomView(MapDocument& document, MapViewHost& view, ZoomDirection direction);

}  // namespace qm
