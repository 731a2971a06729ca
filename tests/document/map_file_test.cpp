#include "document/map_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/byte_stream.h"
#include "document/document_commands.h"
#include "testing/document_fakes.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::FakeDialogs;
using testing::FakeView;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr std::size_t kOneLevelFile = kHeaderBytes + kCellBlockBytes + kLevelTailBytes;

std::vector<std::uint8_t> MapBytes(const MapHeader& header, int levels) {
  std::vector<std::unique_ptr<TMap>> list;
  for (int i = 0; i < levels; ++i) list.push_back(std::make_unique<TMap>("L" + std::to_string(i)));
  MemorySink sink;
  WriteMapFile(header, list, sink);
  return sink.Bytes();
}

LoadedMap Read(const std::vector<std::uint8_t>& bytes, const MapHeader& previous) {
  MemorySource source(bytes);
  return ReadMapFile(source, previous);
}

struct Fixture : ::testing::Test {
  TempDir dir;
  FakeDialogs dialogs;
  FakeView view;
  MapDocument doc;
  DocumentCommands commands{doc, {dialogs, dialogs, view}};
};

using MapFileTest = Fixture;

TEST_F(MapFileTest, NewMapSavesToOneHeaderAndOneLevel) {
  commands.NewMap();
  ASSERT_TRUE(commands.SaveMap(dir.File("new.map")));
  const auto bytes = ReadBytes(dir.File("new.map"));
  ASSERT_EQ(bytes.size(), kOneLevelFile);
  EXPECT_EQ(std::memcmp(bytes.data(), "Quillmarch-Map v1.0", 19), 0);
  EXPECT_EQ(bytes[19], 0x1A);
  EXPECT_EQ(bytes[256], 1);
  EXPECT_EQ(bytes[257], 0);
  // The level's title "Level 1" starts the tail.
  EXPECT_EQ(bytes[kHeaderBytes + kCellBlockBytes], 7);
  EXPECT_EQ(std::memcmp(&bytes[kHeaderBytes + kCellBlockBytes + 1], "Level 1", 7), 0);
}

TEST_F(MapFileTest, ReservedBytesSurviveOpenAndSave) {
  // Every byte set, the reserved ones included; only the count and the cell size
  // are refreshed on save, so they hold values the save writes back the same.
  std::vector<std::uint8_t> original(kHeaderBytes + 2 * kLevelBytes);
  for (std::size_t i = 0; i < original.size(); ++i) original[i] = static_cast<std::uint8_t>(i * 7 + 3);
  original[256] = 2;
  original[257] = 0;
  original[258] = 64;
  for (std::size_t level = 0; level < 2; ++level) {
    original[kHeaderBytes + level * kLevelBytes + kCellBlockBytes] = 10;  // title length
  }
  WriteBytes(dir.File("all.map"), original);

  ASSERT_TRUE(commands.OpenMap(dir.File("all.map")));
  EXPECT_EQ(view.cell_size, 64);
  ASSERT_TRUE(commands.SaveMap(dir.File("again.map")));
  EXPECT_EQ(ReadBytes(dir.File("again.map")), original);
}

TEST_F(MapFileTest, SaveRefreshesLevelCountAndCellSize) {
  commands.NewMap();
  doc.InsertLevel(1, std::make_unique<TMap>("two"));
  doc.InsertLevel(2, std::make_unique<TMap>("three"));
  view.cell_size = 48;
  ASSERT_TRUE(commands.SaveMap(dir.File("three.map")));
  const auto bytes = ReadBytes(dir.File("three.map"));
  EXPECT_EQ(bytes.size(), kHeaderBytes + 3 * kLevelBytes);
  EXPECT_EQ(bytes[256], 3);
  EXPECT_EQ(bytes[258], 48);

  view.cell_size = 8;
  commands.NewMap();
  ASSERT_TRUE(commands.OpenMap(dir.File("three.map")));
  EXPECT_EQ(view.cell_size, 48);
  EXPECT_EQ(doc.LevelCount(), 3);
  EXPECT_EQ(doc.Level(2).Title(), "three");
}

// What a damaged or foreign file gives: bytes the file does not hold keep the
// previous header's values and the defaults of a new untitled level.
TEST(MapFileReadTest, ShortAndForeignFiles) {
  MapHeader previous = NewMapHeader(32);
  previous.SetLayerName(0, "previous");

  {  // the count says 2, the file holds one level
    MapHeader header = NewMapHeader(32);
    header.SetStoredLevelCount(2);
    auto bytes = MapBytes(header, 1);
    const LoadedMap map = Read(bytes, previous);
    ASSERT_EQ(map.levels.size(), 2u);
    EXPECT_EQ(map.levels[0]->Title(), "L0");
    EXPECT_TRUE(std::ranges::equal(map.levels[1]->Bytes(), TMap("").Bytes()));
  }
  {  // the file ends inside the first level: the rest stays new and untitled
    MapHeader header = NewMapHeader(32);
    auto bytes = MapBytes(header, 1);
    bytes.resize(kHeaderBytes + 34);  // one cell
    bytes[kHeaderBytes] = 9;
    const LoadedMap map = Read(bytes, previous);
    ASSERT_EQ(map.levels.size(), 1u);
    EXPECT_EQ(map.levels[0]->TileIndex(1, 1, 0), 9);
    EXPECT_EQ(map.levels[0]->Title(), "");
    EXPECT_TRUE(map.levels[0]->LayerVisible(7));
  }
  {  // shorter than the header: read over the previous one
    std::vector<std::uint8_t> bytes(100, 'x');
    const LoadedMap map = Read(bytes, previous);
    EXPECT_EQ(map.header.Bytes()[99], 'x');
    EXPECT_EQ(map.header.LayerName(0), "previous");
    EXPECT_EQ(map.levels.size(), 1u);
  }
  {  // empty file
    const LoadedMap map = Read({}, previous);
    EXPECT_TRUE(std::ranges::equal(map.header.Bytes(), previous.Bytes()));
    EXPECT_EQ(map.levels.size(), 1u);
  }
  {  // a count of 0 still gives the one level a map must have
    MapHeader header = NewMapHeader(32);
    header.SetStoredLevelCount(0);
    const LoadedMap map = Read(MapBytes(header, 0), previous);
    ASSERT_EQ(map.levels.size(), 1u);
    EXPECT_TRUE(std::ranges::equal(map.levels[0]->Bytes(), TMap("").Bytes()));
  }
  {  // a foreign signature opens like any other file
    MapHeader header = NewMapHeader(32);
    header.Bytes()[0] = 'X';
    const LoadedMap map = Read(MapBytes(header, 1), previous);
    EXPECT_EQ(map.levels.size(), 1u);
    EXPECT_EQ(map.header.Bytes()[0], 'X');
  }
}

TEST(MapFileReadTest, AbsurdLevelCountDoesNotFillMemory) {
  MapHeader header = NewMapHeader(32);
  header.SetStoredLevelCount(65535);
  const LoadedMap map = Read(MapBytes(header, 1), NewMapHeader(32));
  EXPECT_EQ(map.levels.size(), 1u + kMaxMissingLevels);
}

TEST(MapFileReadTest, CellSizesOutsideTheZoomStepsOpenAtTheNearestStep) {
  const struct {
    int stored, opened;
  } cases[] = {{0, 8}, {8, 8}, {32, 32}, {50, 48}, {160, 128}, {161, 192}, {255, 192}};
  for (const auto& c : cases) EXPECT_EQ(NearestCellSize(c.stored), c.opened) << c.stored;
}

}  // namespace
}  // namespace qm
