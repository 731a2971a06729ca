#pragma once
// The draw, eraser and smart tools applied to the map view's selection when a mouse
// button is released over the map, and the rotation track bar's effect on the
// selection.
#include <optional>

#include "editing/edit_outcome.h"
#include "editing/tool_state.h"

namespace qm {

class MapDocument;
class Tileset;

enum class MouseButton { Left, Right, Middle };

// The layer the draw tool writes: the layer choice, or under auto layering the
// DefaultLayer of CurrentTile. A tile without a properties record, or one whose
// DefaultLayer names no slot (outside 0..7, as an outside tileset tool may leave
// it), goes to layer 0.
int DrawLayer(const ToolState& tools, const Tileset& tiles);

// The smart tool's working layer: the layer choice, or under auto layering the low
// 16 bits of the DefaultLayer of the group's base tile CurrentTile. Nothing when the
// base tile has no properties record or its DefaultLayer names no slot: then the
// tool places nothing.
std::optional<int> SmartLayer(const ToolState& tools, const Tileset& tiles);

// The mouse release over the map view. The button does not matter: every release
// applies the active tool to `selection` on the current level. Draw, eraser and
// smart tool first copy the level's cells into the undo buffer and finally set
// Modified; the selection tool does nothing.
EditOutcome DrawGrid1MouseUp(MapDocument& document, const Tileset& tiles, const ToolState& tools,
                             GridSelection selection, MouseButton button = MouseButton::Left);

// The rotation track bar moved to `position`: it becomes the rotation of later
// drawing and, with one layer chosen, the rotation of that layer's slot in every
// selected cell, tile or no tile. Neither an undo copy nor Modified: turning
// tiles is not an edit that Undo reverts.
EditOutcome AngleOldChange(MapDocument& document, ToolState& tools, GridSelection selection,
                           int position);

}  // namespace qm
