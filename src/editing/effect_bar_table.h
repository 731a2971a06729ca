#pragma once
// The effect bar: 49 grouped check buttons in two rows, each of which only sets
// CurrentEffect. What a code looks like is the renderer's business; this is the
// data the window builds the bar from. A button's picture in the effect image
// list has the index of its code.
#include <span>
#include <string_view>

namespace qm {

// The groups, left to right; a separator stands between neighbouring groups.
enum class EffectGroup { Position, Tiling, Zoom, DiagonalMask, WallMask, Transparency };

struct EffectButton {
  std::string_view name;  // the button's control name
  int code;               // the CurrentEffect it sets
  int row;                // 0 = first row, 1 = second row
  EffectGroup group;
  std::string_view hint;  // status bar text, exactly as shown
};

// All buttons in bar order: the first row left to right, then the second row.
std::span<const EffectButton> EffectBarButtons();

// The button that sets `code`, or nullptr for a code no button gives.
const EffectButton* FindEffectButton(int code);

// The button down at start and after a tile is picked in the palette.
inline constexpr int kInitialEffect = 0;

}  // namespace qm
