#include "editing/editing_tools.h"

#include <cstdint>

#include "document/map_document.h"
#include "editing/smart_tool.h"
#include "editing/undo_clipboard.h"
#include "tiles/tileset.h"

namespace qm {
namespace {

bool NamesSlot(int layer) {
  return layer >= 0 && layer < kLayerCount;
}

const TTileProperties* PropertiesOf(const Tileset& tiles, int tile) {
  if (tile < 0 || tile >= tiles.TileCount()) return nullptr;
  return &tiles.Properties(tile);
}

// Every cell of the (clipped) selection, column by column, top to bottom within a
// column: the order the tools write in.
template <typename Visit>
void ForEachCell(const GridSelection& s, Visit visit) {
  for (int column = s.left; column <= s.right; ++column) {
    for (int row = s.top; row <= s.bottom; ++row) visit(column, row);
  }
}

EditOutcome Draw(TMap& level, const Tileset& tiles, const ToolState& tools,
                 const GridSelection& s) {
  const int layer = DrawLayer(tools, tiles);
  const LayerSlot slot{static_cast<std::uint16_t>(tools.CurrentTile()), tools.StoredRotation(),
                       static_cast<std::uint8_t>(tools.CurrentEffect())};
  EditOutcome outcome;
  ForEachCell(s, [&](int column, int row) {
    level.SetSlot(column + 1, row + 1, layer, slot);
    outcome.cells.push_back({column, row});
  });
  return outcome;
}

EditOutcome Erase(TMap& level, const ToolState& tools, const GridSelection& s) {
  EditOutcome outcome;
  outcome.whole_view = true;
  ForEachCell(s, [&](int column, int row) {
    if (tools.AutoLayering()) {
      for (int layer = 0; layer < kLayerCount; ++layer)
        level.SetSlot(column + 1, row + 1, layer, {});
    } else {
      level.SetSlot(column + 1, row + 1, tools.LayerChoice(), {});
    }
    outcome.cells.push_back({column, row});
  });
  return outcome;
}

EditOutcome Smart(TMap& level, const Tileset& tiles, const ToolState& tools,
                  const GridSelection& s) {
  EditOutcome outcome;
  outcome.whole_view = true;
  if (const std::optional<int> layer = SmartLayer(tools, tiles)) {
    outcome.cells = SmartPlacement(level, s.left + 1, s.top + 1,
                                   static_cast<std::uint16_t>(tools.CurrentTile()), *layer,
                                   static_cast<std::uint8_t>(tools.CurrentEffect()));
  }
  return outcome;
}

}  // namespace

int DrawLayer(const ToolState& tools, const Tileset& tiles) {
  if (!tools.AutoLayering()) return tools.LayerChoice();
  const TTileProperties* properties = PropertiesOf(tiles, tools.CurrentTile());
  if (properties == nullptr || !NamesSlot(properties->DefaultLayer())) return 0;
  return properties->DefaultLayer();
}

std::optional<int> SmartLayer(const ToolState& tools, const Tileset& tiles) {
  if (!tools.AutoLayering()) return tools.LayerChoice();
  const TTileProperties* properties = PropertiesOf(tiles, tools.CurrentTile());
  if (properties == nullptr) return std::nullopt;
  const int layer = static_cast<std::uint16_t>(properties->DefaultLayer());
  if (!NamesSlot(layer)) return std::nullopt;
  return layer;
}

EditOutcome DrawGrid1MouseUp(MapDocument& document, const Tileset& tiles, const ToolState& tools,
                             GridSelection selection, MouseButton /*button*/) {
  if (tools.ActiveTool() == Tool::Selection) return {};
  // The undo copy and Modified come with every tool release, also when the
  // selection lies off the grid and no cell is written: that is what the user
  // sees from a release, and Undo then has a copy to exchange.
  TakeUndoCopy(document);
  const bool on_grid = ClipToGrid(selection);
  TMap& level = document.Current();
  EditOutcome outcome;
  switch (tools.ActiveTool()) {
    case Tool::Draw:
      if (on_grid) outcome = Draw(level, tiles, tools, selection);
      break;
    case Tool::Eraser:
      outcome.whole_view = true;
      if (on_grid) outcome = Erase(level, tools, selection);
      break;
    case Tool::Smart:
      outcome.whole_view = true;
      if (on_grid) outcome = Smart(level, tiles, tools, selection);
      break;
    case Tool::Selection:
      break;
  }
  document.SetModified(true);
  return outcome;
}

EditOutcome AngleOldChange(MapDocument& document, ToolState& tools, GridSelection selection,
                           int position) {
  tools.SetAngle(position);
  EditOutcome outcome;
  outcome.whole_view = true;
  if (tools.AutoLayering() || !ClipToGrid(selection)) return outcome;
  TMap& level = document.Current();
  ForEachCell(selection, [&](int column, int row) {
    level.SetTileRotation(column + 1, row + 1, tools.LayerChoice(), tools.StoredRotation());
    outcome.cells.push_back({column, row});
  });
  return outcome;
}

}  // namespace qm
