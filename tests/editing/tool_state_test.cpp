#include "editing/tool_state.h"

#include <gtest/gtest.h>

#include "editing/editing_fixture.h"

namespace qm {
namespace {

using testing::MakeTileset;

TEST(ToolStateTest, LayerChoiceTakesOneLayerOrAutoAndRefusesTheRest) {
  ToolState tools;
  EXPECT_TRUE(tools.AutoLayering()) << "the tools start on auto layering";
  for (int choice = 0; choice <= kAutoLayering; ++choice) {
    EXPECT_TRUE(tools.SetLayerChoice(choice));
    EXPECT_EQ(tools.LayerChoice(), choice);
  }
  tools.SetLayerChoice(3);
  for (int bad : {-1, 9, 255}) {
    EXPECT_FALSE(tools.SetLayerChoice(bad)) << bad;
    EXPECT_EQ(tools.LayerChoice(), 3) << "a refused choice keeps the old one";
  }
}

TEST(ToolStateTest, AngleStaysOnTheTrackBarAndIsStoredHalved) {
  const struct {
    int position, angle, stored;
  } cases[] = {{0, 0, 0},       {45, 45, 22},    {90, 90, 45}, {91, 91, 45},
               {360, 360, 180}, {400, 360, 180}, {-5, 0, 0}};
  for (const auto& c : cases) {
    ToolState tools;
    tools.SetAngle(c.position);
    EXPECT_EQ(tools.Angle(), c.angle) << c.position;
    EXPECT_EQ(tools.StoredRotation(), c.stored) << c.position;
  }
}

TEST(ToolStateTest, ChoosingATileResetsTheEffectAndPicksDrawOrSmartTool) {
  const Tileset tiles = MakeTileset({{0, false}, {2, false}, {1, true}});
  const struct {
    int tile;
    Tool tool;
  } cases[] = {{0, Tool::Draw}, {1, Tool::Draw}, {2, Tool::Smart}};
  for (const auto& c : cases) {
    ToolState tools;
    tools.SetActiveTool(Tool::Eraser);
    tools.SetCurrentEffect(24);
    ASSERT_TRUE(ChooseTile(tools, tiles, c.tile));
    EXPECT_EQ(tools.CurrentTile(), c.tile);
    EXPECT_EQ(tools.CurrentEffect(), 0);
    EXPECT_EQ(tools.ActiveTool(), c.tool) << "tile " << c.tile;
  }
}

TEST(ToolStateTest, ChoosingANumberWithoutATileChangesNothing) {
  const Tileset tiles = MakeTileset({{0, false}, {0, true}});
  for (int tile : {2, 3, -1}) {
    ToolState tools;
    tools.SetCurrentTile(1);
    tools.SetCurrentEffect(5);
    tools.SetActiveTool(Tool::Eraser);
    EXPECT_FALSE(ChooseTile(tools, tiles, tile)) << tile;
    EXPECT_EQ(tools.CurrentTile(), 1);
    EXPECT_EQ(tools.CurrentEffect(), 5);
    EXPECT_EQ(tools.ActiveTool(), Tool::Eraser);
  }
  ToolState tools;
  EXPECT_FALSE(ChooseTile(tools, MakeTileset({}), 0)) << "an empty tileset has no tile 0";
}

}  // namespace
}  // namespace qm
