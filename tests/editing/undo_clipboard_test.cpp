#include "editing/undo_clipboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "editing/editing_fixture.h"
#include "editing/editing_tools.h"
#include "editing/tool_state.h"

namespace qm {
namespace {

using testing::CellsOf;
using testing::FillDistinct;
using testing::MakeTileset;

class UndoClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.InsertLevel(1, std::make_unique<TMap>("Level 2"));
    FillDistinct(doc.Level(0), 11);
  }
  TMap& Level() { return doc.Current(); }
  void Draw(GridSelection selection, int tile) {
    tools.SetActiveTool(Tool::Draw);
    tools.SetCurrentTile(tile);
    DrawGrid1MouseUp(doc, tiles, tools, selection);
  }

  MapDocument doc;
  Tileset tiles = MakeTileset({{0}, {0}, {0}});
  ToolState tools;
};

TEST_F(UndoClipboardTest, CopyRemembersTheRegionAndChangesNothing) {
  tools.SetLayerChoice(1);
  FillDistinct(doc.UndoBuffer(), 1);
  const auto undo = CellsOf(doc.UndoBuffer());
  const EditOutcome outcome = Copy(doc, tools, {5, 6, 7, 7});

  const TMap& clip = doc.EditBuffer();
  EXPECT_EQ(CellsOf(clip), CellsOf(Level()));
  EXPECT_EQ(clip.ClipLeft(), 5);
  EXPECT_EQ(clip.ClipTop(), 6);
  EXPECT_EQ(clip.ClipWidth(), 3);
  EXPECT_EQ(clip.ClipHeight(), 2);
  EXPECT_EQ(clip.ClipLayer(), 1);
  EXPECT_FALSE(outcome.whole_view);
  EXPECT_TRUE(outcome.cells.empty());
  EXPECT_FALSE(doc.Modified());
  EXPECT_EQ(CellsOf(doc.UndoBuffer()), undo) << "Copy is no edit";
}

TEST_F(UndoClipboardTest, PasteTakesTheCopiedLayerOrWholeCells) {
  const struct {
    int copy_choice, paste_choice;
    int from_slot, to_slot;  // -1, -1: whole cells
    const char* why;
  } cases[] = {
      {1, 4, 1, 4, "\"Layer 2\" copied, \"Layer 5\" pasted"},
      {kAutoLayering, kAutoLayering, -1, -1, "all layers both ways"},
      {kAutoLayering, 3, 3, 3, "all-layer copy into one layer: the same layer"},
      {6, kAutoLayering, -1, -1, "auto layering pastes whole cells"},
  };
  for (const auto& c : cases) {
    MapDocument d;
    d.InsertLevel(1, std::make_unique<TMap>("Level 2"));
    FillDistinct(d.Level(0), 3);
    FillDistinct(d.Level(1), 100);
    tools.SetLayerChoice(c.copy_choice);
    Copy(d, tools, {2, 3, 4, 4});  // 3 x 2 from map cell (3, 4)
    d.SetCurrentLevel(1);
    tools.SetLayerChoice(c.paste_choice);
    const TMap target_before = d.Level(1);

    const EditOutcome outcome = Paste(d, tools, GridSelection{40, 50, 41, 50});

    EXPECT_TRUE(d.Modified()) << c.why;
    EXPECT_EQ(CellsOf(d.UndoBuffer()), CellsOf(target_before)) << c.why;
    EXPECT_EQ(outcome.cells.size(), 6u) << "the rest of the selection does not matter";
    const TMap& source = d.Level(0);
    const TMap& target = d.Level(1);
    for (int x = 1; x <= MapSize; ++x) {
      for (int y = 1; y <= MapSize; ++y) {
        const bool pasted = x >= 41 && x <= 43 && y >= 51 && y <= 52;
        const int sx = x - 38, sy = y - 47;
        if (pasted && c.from_slot < 0) {
          ASSERT_TRUE(std::ranges::equal(target.Cell(x, y), source.Cell(sx, sy)))
              << c.why << ": " << x << "," << y << " is a copy, reserved word included";
          continue;
        }
        for (int layer = 0; layer < kLayerCount; ++layer) {
          const LayerSlot expected = pasted && layer == c.to_slot ? source.Slot(sx, sy, c.from_slot)
                                                                  : target_before.Slot(x, y, layer);
          ASSERT_EQ(target.Slot(x, y, layer), expected)
              << c.why << ": " << x << "," << y << " layer " << layer;
        }
        ASSERT_EQ(target.CellReserved(x, y), target_before.CellReserved(x, y)) << c.why;
      }
    }
  }
}

TEST_F(UndoClipboardTest, PasteAtTheMapsEdgeSkipsWhatFallsOff) {
  tools.SetLayerChoice(kAutoLayering);
  Copy(doc, tools, {0, 0, 9, 9});
  doc.SetCurrentLevel(1);
  const EditOutcome outcome = Paste(doc, tools, GridSelection::SingleCell(68, 65));

  EXPECT_EQ(outcome.cells.size(), 4u * 7u) << "columns 68..71, rows 65..71";
  const TMap& target = doc.Level(1);
  const TMap& source = doc.Level(0);
  const TMap empty("");
  for (int x = 1; x <= MapSize; ++x) {
    for (int y = 1; y <= MapSize; ++y) {
      const bool pasted = x >= 69 && y >= 66;
      const TMap& from = pasted ? source : empty;
      const int fx = pasted ? x - 68 : x, fy = pasted ? y - 65 : y;
      ASSERT_TRUE(std::ranges::equal(target.Cell(x, y), from.Cell(fx, fy))) << x << "," << y;
    }
  }
}

TEST_F(UndoClipboardTest, PasteBeforeAnyCopyStillCountsAsAnEdit) {
  const auto before = CellsOf(Level());
  const EditOutcome outcome = Paste(doc, tools, {3, 3, 5, 5});
  EXPECT_EQ(CellsOf(Level()), before);
  EXPECT_EQ(CellsOf(doc.UndoBuffer()), before) << "the undo copy is taken";
  EXPECT_TRUE(doc.Modified());
  EXPECT_TRUE(outcome.whole_view);
  EXPECT_TRUE(outcome.cells.empty());
}

TEST_F(UndoClipboardTest, PasteGivesTheCellsAsTheyWereWhenCopied) {
  tools.SetLayerChoice(kAutoLayering);
  TMap copied = Level();
  Copy(doc, tools, {0, 0, 1, 1});
  Draw({0, 0, 1, 1}, 2);  // the source changes after the copy
  doc.SetCurrentLevel(1);
  Paste(doc, tools, GridSelection::SingleCell(10, 10));
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      EXPECT_TRUE(std::ranges::equal(doc.Level(1).Cell(11 + i, 11 + j), copied.Cell(1 + i, 1 + j)));
    }
  }
}

TEST_F(UndoClipboardTest, CutCopiesThenEmptiesTheChosenSlots) {
  for (int choice : {kAutoLayering, 5}) {
    MapDocument d;
    FillDistinct(d.Current(), 9);
    const TMap before = d.Current();
    tools.SetLayerChoice(choice);
    const EditOutcome outcome = Cut(d, tools, {1, 1, 2, 1});

    EXPECT_TRUE(d.Modified());
    EXPECT_TRUE(outcome.whole_view);
    EXPECT_EQ(CellsOf(d.UndoBuffer()), CellsOf(before));
    EXPECT_EQ(CellsOf(d.EditBuffer()), CellsOf(before)) << "copied before emptying";
    EXPECT_EQ(d.EditBuffer().ClipWidth(), 2);
    EXPECT_EQ(d.EditBuffer().ClipHeight(), 1);
    EXPECT_EQ(d.EditBuffer().ClipLayer(), choice);
    for (int x = 1; x <= MapSize; ++x) {
      for (int y = 1; y <= MapSize; ++y) {
        const bool cut = (x == 2 || x == 3) && y == 2;
        for (int layer = 0; layer < kLayerCount; ++layer) {
          const bool emptied = cut && (choice == kAutoLayering || layer == choice);
          ASSERT_EQ(d.Current().Slot(x, y, layer), emptied ? LayerSlot{} : before.Slot(x, y, layer))
              << choice << ": " << x << "," << y << " layer " << layer;
        }
        ASSERT_EQ(d.Current().CellReserved(x, y), before.CellReserved(x, y));
      }
    }
    // What was cut comes back where it is pasted.
    Paste(d, tools, GridSelection::SingleCell(1, 1));
    EXPECT_EQ(CellsOf(d.Current()), CellsOf(before));
  }
}

TEST_F(UndoClipboardTest, UndoOnAnotherLevelExchangesWithThatLevel) {
  FillDistinct(doc.Level(1), 77);
  const auto level1_before_draw = CellsOf(doc.Level(0));
  const auto level2_own = CellsOf(doc.Level(1));
  doc.Level(1).SetBackgroundTile(5);
  const std::vector<std::uint8_t> tail_before(doc.Level(1).Tail().begin(),
                                              doc.Level(1).Tail().end());
  tools.SetLayerChoice(0);
  Draw({0, 0, 3, 3}, 1);
  doc.SetCurrentLevel(1);
  doc.SetModified(false);

  const EditOutcome outcome = Undo(doc);
  EXPECT_TRUE(outcome.whole_view);
  EXPECT_TRUE(doc.Modified());
  EXPECT_EQ(CellsOf(doc.Level(1)), level1_before_draw);
  EXPECT_EQ(CellsOf(doc.UndoBuffer()), level2_own);
  EXPECT_TRUE(std::ranges::equal(doc.Level(1).Tail(), tail_before)) << "tails never move";

  Undo(doc);
  EXPECT_EQ(CellsOf(doc.Level(1)), level2_own);
  EXPECT_EQ(CellsOf(doc.UndoBuffer()), level1_before_draw);
}

TEST_F(UndoClipboardTest, UndoRightAfterStartEmptiesTheLevelAndUndoAgainRestoresIt) {
  const auto own = CellsOf(Level());
  Undo(doc);
  EXPECT_EQ(CellsOf(Level()), CellsOf(TMap("")));
  Undo(doc);
  EXPECT_EQ(CellsOf(Level()), own);
}

TEST_F(UndoClipboardTest, UndoRevertsTheLastDrawNotARotation) {
  tools.SetLayerChoice(0);
  const LayerSlot b_before = Level().Slot(6, 6, 0);
  Draw(GridSelection::SingleCell(0, 0), 1);
  Draw(GridSelection::SingleCell(5, 5), 2);
  AngleOldChange(doc, tools, GridSelection::SingleCell(0, 0), 90);
  ASSERT_EQ(Level().Slot(1, 1, 0), (LayerSlot{1, 45, 0}));

  Undo(doc);
  EXPECT_EQ(Level().Slot(6, 6, 0), b_before) << "the second draw is reverted";
  EXPECT_EQ(Level().Slot(1, 1, 0), (LayerSlot{1, 0, 0}))
      << "the first draw stays; the turn came after the last undo copy";
}

TEST_F(UndoClipboardTest, SetBackgroundIsNotUndone) {
  const auto undo = CellsOf(doc.UndoBuffer());
  tools.SetCurrentTile(7);
  const EditOutcome outcome = SetBackground(doc, tools);
  EXPECT_EQ(Level().BackgroundTile(), 7);
  EXPECT_TRUE(doc.Modified());
  EXPECT_TRUE(outcome.whole_view);
  EXPECT_EQ(CellsOf(doc.UndoBuffer()), undo) << "no undo copy";
  Undo(doc);
  EXPECT_EQ(Level().BackgroundTile(), 7);

  tools.SetCurrentTile(65536 + 3);
  SetBackground(doc, tools);
  EXPECT_EQ(Level().BackgroundTile(), 3) << "low 16 bits";
  tools.SetCurrentTile(0);
  SetBackground(doc, tools);
  EXPECT_EQ(Level().BackgroundTile(), 0) << "tile 0 removes the background";
}

}  // namespace
}  // namespace qm
