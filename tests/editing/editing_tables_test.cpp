#include <gtest/gtest.h>

#include <set>
#include <string>

#include "editing/editing_actions.h"
#include "editing/effect_bar_table.h"

namespace qm {
namespace {

TEST(EffectBarTest, EveryCodeFrom0To48HasOneButton) {
  std::set<int> codes;
  std::set<std::string_view> names;
  for (const EffectButton& button : EffectBarButtons()) {
    EXPECT_TRUE(codes.insert(button.code).second) << "code " << button.code << " twice";
    EXPECT_TRUE(names.insert(button.name).second) << button.name << " twice";
    EXPECT_EQ(FindEffectButton(button.code), &button);
  }
  EXPECT_EQ(codes.size(), 49u);
  EXPECT_EQ(*codes.begin(), 0);
  EXPECT_EQ(*codes.rbegin(), 48);
  EXPECT_EQ(FindEffectButton(55), nullptr) << "the full-mask code has no button";
  EXPECT_EQ(FindEffectButton(kInitialEffect)->name, "Effect0");
}

TEST(EffectBarTest, GroupsRunInBarOrderOverTwoRows) {
  // Groups follow one another without interleaving; the first three fill row 0.
  const auto buttons = EffectBarButtons();
  for (std::size_t i = 1; i < buttons.size(); ++i) {
    EXPECT_LE(buttons[i - 1].group, buttons[i].group) << buttons[i].name;
    EXPECT_LE(buttons[i - 1].row, buttons[i].row) << buttons[i].name;
  }
  for (const EffectButton& button : buttons) {
    EXPECT_EQ(button.row, button.group <= EffectGroup::Zoom ? 0 : 1) << button.name;
  }
  EXPECT_EQ(FindEffectButton(47)->group, EffectGroup::Tiling);
  EXPECT_EQ(FindEffectButton(43)->group, EffectGroup::Zoom);
  EXPECT_EQ(FindEffectButton(19)->group, EffectGroup::DiagonalMask);
  EXPECT_EQ(FindEffectButton(23)->group, EffectGroup::WallMask);
}

TEST(EffectBarTest, HintsReadAsShown) {
  const struct {
    int code;
    std::string_view name, hint;
  } cases[] = {
      {0, "Effect0", " Position Full"},
      {47, "ToolButton64", " Tile Center Horizontally"},
      {48, "ToolButton65", " Tile Center Vertically"},
      {19, "diagUL", " Mask Upper-Left Diagonal"},
      {26, "ToolButton46", "Mask Upper-T Wall Section"},
      {46, "ToolButton40", " Zoom Lower-Right Quarter"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindEffectButton(c.code)->name, c.name);
    EXPECT_EQ(FindEffectButton(c.code)->hint, c.hint);
  }
  for (int code = 34; code <= 42; ++code) {
    const EffectButton* button = FindEffectButton(code);
    EXPECT_EQ(button->name, "ToolButton" + std::to_string(code + 21));
    EXPECT_EQ(button->hint, " " + std::to_string((code - 33) * 10) + "% Transparent");
    EXPECT_EQ(button->group, EffectGroup::Transparency);
  }
}

TEST(EditActionsTest, EachCommandHasItsOwnEntryAndShortcut) {
  std::set<std::string_view> shortcuts;
  for (const EditAction& action : EditActions()) {
    EXPECT_EQ(&FindEditAction(action.command), &action);
    EXPECT_TRUE(shortcuts.insert(action.shortcut).second) << action.shortcut;
    EXPECT_EQ(action.on_tool_bar, action.menu == "Edit") << action.name;
  }
  const EditAction& background = FindEditAction(EditCommand::SetBackground);
  EXPECT_EQ(background.caption, "Set Background");
  EXPECT_EQ(background.shortcut, "Ctrl+B");
  EXPECT_EQ(background.menu, "Level");
  EXPECT_EQ(FindEditAction(EditCommand::Paste).hint,
            " Paste A Previously Cut or Copied Map Level Region At The Current Location.");
}

TEST(EditActionsTest, ToolButtonsCoverEveryToolOnce) {
  std::set<Tool> tools;
  for (const ToolButtonText& button : ToolButtonTexts()) {
    EXPECT_TRUE(tools.insert(button.tool).second) << button.name;
    EXPECT_EQ(button.hint, " " + std::string(button.caption)) << button.name;
  }
  EXPECT_EQ(tools.size(), 4u);
  EXPECT_EQ(ToolButtonTexts()[0].name, "ToolButton28") << "the selection tool comes first";
}

}  // namespace
}  // namespace qm
