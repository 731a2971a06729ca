#include "document/map_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qm {
namespace {

TEST(TMapTest, NewLevelIsEmptyVisibleAndWithoutBackground) {
  TMap level("Level 1");
  for (int x = 1; x <= MapSize; ++x) {
    for (int y = 1; y <= MapSize; ++y) {
      for (int layer = 0; layer < kLayerCount; ++layer) ASSERT_EQ(level.Slot(x, y, layer), LayerSlot{});
      ASSERT_EQ(level.CellReserved(x, y), 0);
    }
  }
  for (int layer = 0; layer < kLayerCount; ++layer) EXPECT_TRUE(level.LayerVisible(layer));
  EXPECT_EQ(level.Title(), "Level 1");
  EXPECT_EQ(level.ShowHidden(), 0);
  EXPECT_EQ(level.BackgroundTile(), 0);
  EXPECT_EQ(level.LevelID(), 0);
  // Every tail byte but the title and the visibility bytes is zero.
  const auto tail = level.Tail();
  for (std::size_t i = 73; i < kLevelTailBytes; ++i) ASSERT_EQ(tail[i], 0) << "tail byte " << i;
}

TEST(TMapTest, TitleIsCutToSixtyFourCharacters) {
  const struct {
    std::string given;
    std::string stored;
  } cases[] = {
      {"", ""},
      {std::string(64, 'a'), std::string(64, 'a')},
      {std::string(64, 'b') + "123456", std::string(64, 'b')},
      {"Caf\xE9", "Caf\xE9"},
  };
  for (const auto& c : cases) {
    TMap level(c.given);
    EXPECT_EQ(level.Title(), c.stored);
    EXPECT_EQ(level.Tail()[0], c.stored.size());
    level.SetTitle(c.given);
    EXPECT_EQ(level.Title(), c.stored);
  }
}

TEST(TMapTest, RotationIsStoredAsHalfDegrees) {
  const struct {
    int degrees, stored, read_back;
  } cases[] = {{0, 0, 0}, {45, 22, 44}, {90, 45, 90}, {359, 179, 358}, {360, 180, 360}};
  for (const auto& c : cases) {
    EXPECT_EQ(RotationFromDegrees(c.degrees), c.stored) << c.degrees;
    EXPECT_EQ(RotationToDegrees(RotationFromDegrees(c.degrees)), c.read_back) << c.degrees;
  }
}

// The map file, undo and clipboard all depend on the exact byte layout: cells
// column by column, 34 bytes each, slots of tile (LE16), rotation, effect.
TEST(TMapTest, CellsAreLaidOutColumnByColumn) {
  TMap level("");
  level.SetSlot(2, 3, 1, LayerSlot{0x1234, 22, 55});
  level.SetCellReserved(2, 3, 0xBEEF);
  const std::size_t cell = ((2 - 1) * 72 + (3 - 1)) * 34;
  const auto cells = level.Cells();
  EXPECT_EQ(cells[cell + 4], 0x34);
  EXPECT_EQ(cells[cell + 5], 0x12);
  EXPECT_EQ(cells[cell + 6], 22);
  EXPECT_EQ(cells[cell + 7], 55);
  EXPECT_EQ(cells[cell + 32], 0xEF);
  EXPECT_EQ(cells[cell + 33], 0xBE);
  EXPECT_EQ(level.TileIndex(2, 3, 1), 0x1234);
  EXPECT_EQ(level.TileRotation(2, 3, 1), 22);
  EXPECT_EQ(level.TileEffect(2, 3, 1), 55);
  EXPECT_EQ(level.Cell(2, 3).data(), cells.data() + cell);

  // The last cell ends exactly at the end of the block.
  level.SetCellReserved(72, 72, 0xFFFF);
  EXPECT_EQ(cells[kCellBlockBytes - 1], 0xFF);
  EXPECT_EQ(level.Tail()[0], 0);  // the title length is untouched
}

TEST(TMapTest, TailFieldsSitAtTheirOffsets) {
  TMap level("T");
  level.SetLayerVisible(2, false);
  level.SetShowHidden(1);
  level.SetClip(1, 2, 3, 4, 8);
  level.SetBackgroundTile(0x0102);
  level.SetLevelID(0x0304);
  const auto tail = level.Tail();
  EXPECT_EQ(tail[65 + 2], 0);
  EXPECT_EQ(tail[73], 1);
  EXPECT_EQ(tail[74], 1);
  EXPECT_EQ(tail[78], 8);
  EXPECT_EQ(tail[80], 0x02);
  EXPECT_EQ(tail[81], 0x01);
  EXPECT_EQ(tail[84], 0x04);
  EXPECT_EQ(tail[85], 0x03);
}

TEST(MapHeaderTest, NewHeaderHoldsTheTemplate) {
  const MapHeader header = NewMapHeader(48);
  const auto bytes = header.Bytes();
  EXPECT_EQ(std::memcmp(bytes.data(), "Quillmarch-Map v1.0", 19), 0);
  EXPECT_EQ(bytes[19], 0x1A);
  for (std::size_t i = 20; i < 252; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(bytes[252], 1);
  EXPECT_EQ(bytes[253] | bytes[254] | bytes[255], 0);
  EXPECT_EQ(header.StoredLevelCount(), 1);
  EXPECT_EQ(header.CellSize(), 48);
  EXPECT_EQ(header.LastLevelID(), 1);
  EXPECT_EQ(bytes[779], 0);
  for (int layer = 0; layer < kLayerCount; ++layer) {
    EXPECT_EQ(header.LayerName(layer), "Layer " + std::to_string(layer + 1));
  }
  EXPECT_EQ(bytes[259], 7);  // length of "Layer 1"
  for (std::size_t i = 523; i < 779; ++i) ASSERT_EQ(bytes[i], 0) << i;
  for (std::size_t i = 782; i < kHeaderBytes; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(MapHeaderTest, LayerNamesAreCutToThirtyTwoCharacters) {
  MapHeader header;
  header.SetLayerName(7, std::string(40, 'n'));
  EXPECT_EQ(header.LayerName(7), std::string(32, 'n'));
  // The last name ends right before the reserved block at 523.
  EXPECT_EQ(header.Bytes()[522], 'n');
  EXPECT_EQ(header.Bytes()[523], 0);
}

TEST(MapHeaderTest, OverlongLengthBytesReadNoFurtherThanTheField) {
  MapHeader header;
  header.Bytes()[259] = 200;  // a damaged length byte
  EXPECT_EQ(header.LayerName(0).size(), 32u);
  TMap level("");
  level.Tail()[0] = 255;
  EXPECT_EQ(level.Title().size(), 64u);
}

}  // namespace
}  // namespace qm
