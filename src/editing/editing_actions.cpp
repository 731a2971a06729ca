#include "editing/editing_actions.h"

#include <array>

namespace qm {
namespace {

constexpr std::array<EditAction, 5> kActions = {{
    {EditCommand::Cut, "Cut", "Cut", " Cut The Current Map Level Selection To The Clipboard.",
     "Ctrl+X", "Edit", true},
    {EditCommand::Copy, "Copy", "Copy", " Copy The Current Map Level Selection To The Clipboard.",
     "Ctrl+C", "Edit", true},
    {EditCommand::Paste, "Paste", "Paste",
     " Paste A Previously Cut or Copied Map Level Region At The Current Location.", "Ctrl+V",
     "Edit", true},
    {EditCommand::Undo, "Undo", "Undo", " Undo The Last Change Made To The Map.", "Ctrl+Z", "Edit",
     true},
    {EditCommand::SetBackground, "SetBackground", "Set Background",
     " Set The Background Tile For The Current Map Level. ", "Ctrl+B", "Level", false},
}};

constexpr std::array<ToolButtonText, 4> kToolButtons = {{
    {Tool::Selection, "ToolButton28", "Selection Tool", " Selection Tool"},
    {Tool::Draw, "ButtonDraw", "Draw Tool", " Draw Tool"},
    {Tool::Eraser, "ButtonErase", "Eraser Tool", " Eraser Tool"},
    {Tool::Smart, "ButtonWall", "Custom Smart Tool", " Custom Smart Tool"},
}};

}  // namespace

std::span<const EditAction> EditActions() {
  return kActions;
}

const EditAction& FindEditAction(EditCommand command) {
  for (const EditAction& action : kActions) {
    if (action.command == command) return action;
  }
  return kActions.front();  // unreachable: every command has its entry
}

std::span<const ToolButtonText> ToolButtonTexts() {
  return kToolButtons;
}

}  // namespace qm
