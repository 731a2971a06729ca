#pragma once
// Captions, hints and shortcuts of the editing commands and controls, for the
// window to build its actions, tool buttons and menus from.
#include <span>
#include <string_view>

#include "editing/tool_state.h"

namespace qm {

enum class EditCommand { Cut, Copy, Paste, Undo, SetBackground };

struct EditAction {
  EditCommand command;
  std::string_view name;      // the action's name
  std::string_view caption;   // menu item text
  std::string_view hint;      // status bar text, exactly as shown
  std::string_view shortcut;  // in "Ctrl+X" form
  std::string_view menu;      // the menu that holds the item
  bool on_tool_bar;           // also a button on the top tool bar
};

// Cut, Copy, Paste, Undo (Edit menu and tool bar), then Set Background (Level menu).
std::span<const EditAction> EditActions();
const EditAction& FindEditAction(EditCommand command);

// The four tool buttons of the top tool bar, in bar order.
struct ToolButtonText {
  Tool tool;
  std::string_view name;
  std::string_view caption;
  std::string_view hint;
};
std::span<const ToolButtonText> ToolButtonTexts();

// The layer choice drop-down `Layer`: eight layer names, then the auto entry.
inline constexpr std::string_view kLayerChoiceHint =
    " Select Drawing Layer.  Use Auto-Layering To Place Tiles Automatically Based Upon Tileset "
    "Properties.";
inline constexpr std::string_view kAutoLayeringItem = "Auto Layering";
inline constexpr int kLayerChoiceDropDownCount = 9;

// The rotation track bar `Angle`.
inline constexpr std::string_view kAngleLabel = "Rotation";
inline constexpr std::string_view kAngleHint = " Adjust The Rotation Of Placed/Selected Tiles.";
inline constexpr int kAnglePageSize = 45;
inline constexpr int kAngleTickStep = 45;

}  // namespace qm
