#include "editing/tool_state.h"

#include <algorithm>

#include "editing/effect_bar_table.h"
#include "tiles/tileset.h"

namespace qm {

bool ToolState::SetLayerChoice(int choice) {
  if (choice < 0 || choice > kAutoLayering) return false;
  layer_ = choice;
  return true;
}

void ToolState::SetAngle(int degrees) {
  angle_ = std::clamp(degrees, 0, kMaxAngle);
}

bool ChooseTile(ToolState& tools, const Tileset& tiles, int tile) {
  if (tile < 0 || tile >= tiles.TileCount()) return false;
  tools.SetCurrentEffect(kInitialEffect);
  tools.SetCurrentTile(tile);
  tools.SetActiveTool(tiles.Properties(tile).SmartTool() ? Tool::Smart : Tool::Draw);
  return true;
}

}  // namespace qm
