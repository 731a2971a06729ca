#include "tiles/palette_layout.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(PaletteLayout, ZoomSteps) {
  EXPECT_EQ(PaletteZoomIn(32), 64);
  EXPECT_EQ(PaletteZoomIn(64), 128);
  EXPECT_EQ(PaletteZoomIn(128), 128);
  EXPECT_EQ(PaletteZoomOut(128), 64);
  EXPECT_EQ(PaletteZoomOut(64), 32);
  EXPECT_EQ(PaletteZoomOut(32), 32);
}

TEST(PaletteLayout, TenTilesInThreeColumnsLeaveTwoCellsEmpty) {
  EXPECT_EQ(PaletteRows(10, 3), 4);
  EXPECT_EQ(PaletteTileAt(0, 3, 3, 10), 9);
  EXPECT_EQ(PaletteTileAt(1, 3, 3, 10), -1);
  EXPECT_EQ(PaletteTileAt(2, 3, 3, 10), -1);
  EXPECT_EQ(PaletteTileAt(2, 1, 3, 10), 5);
  EXPECT_EQ(PaletteTileAt(3, 0, 3, 10), -1) << "a column past the grid is no tile";
}

TEST(PaletteLayout, EmptyTilesetKeepsOneUnselectableCell) {
  EXPECT_EQ(PaletteRows(0, 2), 1);
  EXPECT_EQ(PaletteTileAt(0, 0, 2, 0), -1);
}

TEST(PaletteLayout, ColumnsAtLeastOne) {
  EXPECT_EQ(PaletteColumns(128, 64), 2);
  EXPECT_EQ(PaletteColumns(127, 64), 1);
  EXPECT_EQ(PaletteColumns(10, 64), 1);
  EXPECT_EQ(PaletteColumns(0, 32), 1);
}

TEST(PaletteLayout, SplitterSnapsToWholeCells) {
  EXPECT_EQ(SnapPalettePanelWidth(200, 64), 229);
  EXPECT_EQ(SnapPalettePanelWidth(100, 64), 99);
  EXPECT_EQ(SnapPalettePanelWidth(162, 64), 164);
  EXPECT_EQ(SnapPalettePanelWidth(20, 32), 34);
}

}  // namespace
}  // namespace qm
