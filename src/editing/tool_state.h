#pragma once
// What a release over the map does: the active tool, the tile, effect, layer
// choice and rotation the tools write with. Held by the main window for the whole
// run; nothing of it is stored in a map.
#include <cstdint>
#include <vector>

#include "document/map_records.h"

namespace qm {

class Tileset;

// The four grouped tool buttons of the top tool bar; exactly one is down.
enum class Tool { Selection, Draw, Eraser, Smart };

// Layer choice kAutoLayering: each tile goes to its own DefaultLayer; the eraser,
// Cut and Paste then work on whole cells.
inline constexpr int kMaxAngle = 360;

class ToolState {
 public:
  Tool ActiveTool() const { return tool_; }
  void SetActiveTool(Tool tool) { tool_ = tool; }

  int CurrentTile() const { return tile_; }
  void SetCurrentTile(int tile) { tile_ = tile; }

  // An effect code; the effect bar gives 0 to 48. The tools store its low 8 bits.
  int CurrentEffect() const { return effect_; }
  void SetCurrentEffect(int effect) { effect_ = effect; }

  // 0..7 one layer, 8 auto layering. Anything else would name no slot of a cell,
  // so it is refused (false) and the choice stays.
  int LayerChoice() const { return layer_; }
  bool SetLayerChoice(int choice);
  bool AutoLayering() const { return layer_ == kAutoLayering; }

  // The track bar position in degrees, 0..360; a slot stores it div 2. Positions
  // beyond the track bar's range are brought back into it.
  int Angle() const { return angle_; }
  void SetAngle(int degrees);
  std::uint8_t StoredRotation() const { return static_cast<std::uint8_t>(angle_ / 2); }

 private:
  Tool tool_ = Tool::Selection;
  int tile_ = 0;
  int effect_ = 0;
  int layer_ = kAutoLayering;
  int angle_ = 0;
};

// A tile picked in the palette: it becomes CurrentTile, the effect goes back to 0
// ("Position Full") and the smart tool or the draw tool becomes active, after the
// tile's SmartTool flag. A number that is not a tile of `tiles` is refused (false)
// and nothing changes, so the palette's selection does not move either.
bool ChooseTile(ToolState& tools, const Tileset& tiles, int tile);

}  // namespace qm
