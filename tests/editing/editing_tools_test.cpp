#include "editing/editing_tools.h"

#include <gtest/gtest.h>

#include <memory>

#include "editing/editing_fixture.h"

namespace qm {
namespace {

using testing::CellsOf;
using testing::FillDistinct;
using testing::MakeTileset;

class EditingToolsTest : public ::testing::Test {
 protected:
  EditOutcome Release(GridSelection selection, MouseButton button = MouseButton::Left) {
    return DrawGrid1MouseUp(doc, tiles, tools, selection, button);
  }
  TMap& Level() { return doc.Current(); }

  MapDocument doc;
  // Tile 3 lives on layer 5, tile 4 names a layer that does not exist, tile 5 is
  // a negative one; the others sit on layer 1.
  Tileset tiles = MakeTileset({{1}, {1}, {1}, {5}, {9}, {-1}});
  ToolState tools;
};

TEST_F(EditingToolsTest, DrawWritesTheChosenLayerOfEverySelectedCellAndNamesThem) {
  FillDistinct(Level(), 3);
  const auto before = CellsOf(Level());
  tools.SetActiveTool(Tool::Draw);
  tools.SetLayerChoice(1);  // "Layer 2"
  tools.SetCurrentTile(2);
  tools.SetCurrentEffect(7);
  tools.SetAngle(45);

  const EditOutcome outcome = Release({4, 10, 6, 11});  // 3 x 2

  EXPECT_FALSE(outcome.whole_view);
  EXPECT_EQ(outcome.cells,
            (std::vector<GridCell>{{4, 10}, {4, 11}, {5, 10}, {5, 11}, {6, 10}, {6, 11}}))
      << "column by column, top to bottom";
  EXPECT_TRUE(doc.Modified());
  EXPECT_EQ(CellsOf(doc.UndoBuffer()), before) << "the undo copy is taken before drawing";
  const TMap& original = doc.UndoBuffer();
  for (int x = 1; x <= MapSize; ++x) {
    for (int y = 1; y <= MapSize; ++y) {
      const bool selected = x >= 5 && x <= 7 && y >= 11 && y <= 12;
      for (int layer = 0; layer < kLayerCount; ++layer) {
        const LayerSlot expected =
            selected && layer == 1 ? LayerSlot{2, 22, 7} : original.Slot(x, y, layer);
        ASSERT_EQ(Level().Slot(x, y, layer), expected) << x << "," << y << " layer " << layer;
      }
      ASSERT_EQ(Level().CellReserved(x, y), original.CellReserved(x, y));
    }
  }
}

TEST_F(EditingToolsTest, EveryMouseButtonAppliesTheTool) {
  tools.SetActiveTool(Tool::Draw);
  tools.SetLayerChoice(0);
  tools.SetCurrentTile(1);
  for (MouseButton button : {MouseButton::Left, MouseButton::Right, MouseButton::Middle}) {
    MapDocument fresh;
    const EditOutcome outcome = DrawGrid1MouseUp(fresh, tiles, tools, {2, 2, 2, 2}, button);
    EXPECT_EQ(fresh.Current().TileIndex(3, 3, 0), 1) << static_cast<int>(button);
    EXPECT_EQ(outcome.cells, (std::vector<GridCell>{{2, 2}}));
    EXPECT_TRUE(fresh.Modified());
  }
}

TEST_F(EditingToolsTest, AutoLayeringDrawsOnTheTilesDefaultLayer) {
  tools.SetActiveTool(Tool::Draw);
  const struct {
    int tile;
    int layer;
    const char* why;
  } cases[] = {
      {3, 5, "DefaultLayer 5"},
      {2, 1, "DefaultLayer 1"},
      {4, 0, "DefaultLayer 9 names no slot"},
      {5, 0, "DefaultLayer -1 names no slot"},
      {6, 0, "no properties record"},
      {40000, 0, "no properties record"},
  };
  for (const auto& c : cases) {
    MapDocument fresh;
    tools.SetCurrentTile(c.tile);
    EXPECT_EQ(DrawLayer(tools, tiles), c.layer) << c.why;
    DrawGrid1MouseUp(fresh, tiles, tools, {0, 0, 0, 0});
    for (int layer = 0; layer < kLayerCount; ++layer) {
      EXPECT_EQ(fresh.Current().TileIndex(1, 1, layer), layer == c.layer ? c.tile : 0)
          << c.why << ", layer " << layer;
    }
  }
}

TEST_F(EditingToolsTest, DrawStoresTheLowBitsAndTileZeroEmptiesTheSlot) {
  tools.SetActiveTool(Tool::Draw);
  tools.SetLayerChoice(4);
  Level().SetSlot(1, 1, 4, {9, 1, 1});

  tools.SetCurrentTile(0);
  tools.SetCurrentEffect(55);
  tools.SetAngle(360);
  Release({0, 0, 0, 0});
  EXPECT_EQ(Level().Slot(1, 1, 4), (LayerSlot{0, 180, 55}));

  tools.SetCurrentTile(65536 + 12);
  tools.SetCurrentEffect(256 + 3);
  Release({0, 0, 0, 0});
  EXPECT_EQ(Level().Slot(1, 1, 4), (LayerSlot{12, 180, 3}));
}

TEST_F(EditingToolsTest, EraserEmptiesAllSlotsUnderAutoLayeringAndOneSlotOtherwise) {
  for (int choice : {kAutoLayering, 2}) {
    MapDocument fresh;
    fresh.InsertLevel(1, std::make_unique<TMap>("other"));
    FillDistinct(fresh.Level(0), 1);
    FillDistinct(fresh.Level(1), 2);
    const auto other = CellsOf(fresh.Level(1));
    TMap original = fresh.Level(0);
    tools.SetActiveTool(Tool::Eraser);
    tools.SetLayerChoice(choice);

    const EditOutcome outcome = DrawGrid1MouseUp(fresh, tiles, tools, {10, 20, 11, 21});

    EXPECT_TRUE(outcome.whole_view);
    EXPECT_EQ(outcome.cells.size(), 4u);
    EXPECT_TRUE(fresh.Modified());
    EXPECT_EQ(CellsOf(fresh.UndoBuffer()), CellsOf(original));
    EXPECT_EQ(CellsOf(fresh.Level(1)), other) << "only the current level is erased";
    const TMap& level = fresh.Level(0);
    for (int x = 1; x <= MapSize; ++x) {
      for (int y = 1; y <= MapSize; ++y) {
        const bool selected = x >= 11 && x <= 12 && y >= 21 && y <= 22;
        for (int layer = 0; layer < kLayerCount; ++layer) {
          const bool erased = selected && (choice == kAutoLayering || layer == choice);
          ASSERT_EQ(level.Slot(x, y, layer), erased ? LayerSlot{} : original.Slot(x, y, layer))
              << "choice " << choice << " at " << x << "," << y << " layer " << layer;
        }
        ASSERT_EQ(level.CellReserved(x, y), original.CellReserved(x, y))
            << "the reserved word is no slot";
      }
    }
  }
}

TEST_F(EditingToolsTest, SelectionToolLeavesEverythingAlone) {
  FillDistinct(Level(), 5);
  const auto before = CellsOf(Level());
  const auto undo = CellsOf(doc.UndoBuffer());
  tools.SetCurrentTile(2);
  const EditOutcome outcome = Release({0, 0, 71, 71});
  EXPECT_FALSE(outcome.whole_view);
  EXPECT_TRUE(outcome.cells.empty());
  EXPECT_EQ(CellsOf(Level()), before);
  EXPECT_EQ(CellsOf(doc.UndoBuffer()), undo);
  EXPECT_FALSE(doc.Modified());
}

TEST_F(EditingToolsTest, SelectionsAreOrderedAndCutToTheGrid) {
  tools.SetActiveTool(Tool::Draw);
  tools.SetLayerChoice(0);
  tools.SetCurrentTile(1);
  const struct {
    GridSelection given;
    std::vector<GridCell> cells;
  } cases[] = {
      {{71, 3, 70, 2}, {{70, 2}, {70, 3}, {71, 2}, {71, 3}}},
      {{70, 71, 75, 90}, {{70, 71}, {71, 71}}},
      {{-3, -2, 0, 0}, {{0, 0}}},
      {{72, 0, 80, 5}, {}},
      {{0, -9, 5, -1}, {}},
  };
  for (const auto& c : cases) {
    MapDocument fresh;
    const EditOutcome outcome = DrawGrid1MouseUp(fresh, tiles, tools, c.given);
    EXPECT_EQ(outcome.cells, c.cells);
    int written = 0;
    for (int x = 1; x <= MapSize; ++x) {
      for (int y = 1; y <= MapSize; ++y) written += fresh.Current().TileIndex(x, y, 0) == 1;
    }
    EXPECT_EQ(written, static_cast<int>(c.cells.size()));
    EXPECT_TRUE(fresh.Modified()) << "a release with a tool is an edit even when it writes nothing";
  }
}

TEST_F(EditingToolsTest, TurningTheAngleRotatesTheChosenLayerWithoutAnEdit) {
  FillDistinct(doc.UndoBuffer(), 9);
  const auto undo = CellsOf(doc.UndoBuffer());
  Level().SetSlot(3, 3, 0, {6, 0, 4});
  tools.SetLayerChoice(0);  // "Layer 1"

  const EditOutcome outcome = AngleOldChange(doc, tools, {1, 1, 2, 2}, 90);

  EXPECT_TRUE(outcome.whole_view);
  EXPECT_EQ(outcome.cells.size(), 4u);
  EXPECT_EQ(Level().Slot(3, 3, 0), (LayerSlot{6, 45, 4})) << "tile and effect stay";
  for (int x : {2, 3}) {
    for (int y : {2, 3}) {
      EXPECT_EQ(Level().TileRotation(x, y, 0), 45) << "also in empty slots: " << x << "," << y;
      EXPECT_EQ(Level().TileRotation(x, y, 1), 0) << "other layers stay";
    }
  }
  EXPECT_EQ(Level().TileRotation(4, 4, 0), 0) << "outside the selection";
  EXPECT_FALSE(doc.Modified());
  EXPECT_EQ(CellsOf(doc.UndoBuffer()), undo) << "no undo copy";
  EXPECT_EQ(tools.Angle(), 90);
}

TEST_F(EditingToolsTest, UnderAutoLayeringTheAngleOnlyAppliesToLaterDrawing) {
  FillDistinct(Level(), 4);
  const auto before = CellsOf(Level());
  const EditOutcome outcome = AngleOldChange(doc, tools, {0, 0, 71, 71}, 45);
  EXPECT_TRUE(outcome.cells.empty());
  EXPECT_EQ(CellsOf(Level()), before);
  EXPECT_FALSE(doc.Modified());

  tools.SetActiveTool(Tool::Draw);
  tools.SetCurrentTile(3);
  Release({0, 0, 0, 0});
  EXPECT_EQ(Level().Slot(1, 1, 5), (LayerSlot{3, 22, 0})) << "45 degrees store as 22";
}

}  // namespace
}  // namespace qm
