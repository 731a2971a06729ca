// The maplet set record: where every field lives in the file, the editor state
// accessors on damaged bytes, and reading and writing whole sets.
#include "maplets/maplet_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "common/errors.h"
#include "maplet_fixtures.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(MapletSetTest, NewSetIsAllZero) {
  const MapletSet set;
  ASSERT_EQ(set.Bytes().size(), 396998u);
  EXPECT_TRUE(std::all_of(set.Bytes().begin(), set.Bytes().end(), [](auto b) { return b == 0; }));
}

// Each field is written through its accessor and found at its place in the file.
TEST(MapletSetTest, FieldsLieAtTheirFileOffsets) {
  struct Case {
    int position, section, x, y, layer;
    std::size_t offset;
  };
  const Case cases[] = {
      {1, 1, 0, 0, 0, 0},
      {1, 1, 0, 1, 0, 34},        // rows follow each other within a column
      {1, 1, 1, 0, 0, 408},       // a column is 12 cells
      {1, 2, 0, 0, 0, 4898},      // the next section
      {2, 1, 0, 0, 0, 44082},     // the next position
      {9, 9, 0, 0, 0, 391840},    // the last maplet
      {9, 9, 11, 11, 0, 396702},  // its last cell
      {9, 9, 11, 11, 7, 396730},  // that cell's layer 8
      {5, 3, 4, 7, 2, 4 * 44082 + 2 * 4898 + 4 * 408 + 7 * 34 + 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    MapletSet set;
    set.SetSlot(c.position, c.section, c.x, c.y, c.layer, {0x1234, 0x56, 0x78});
    const auto bytes = set.Bytes();
    EXPECT_EQ(bytes[c.offset], 0x34);
    EXPECT_EQ(bytes[c.offset + 1], 0x12);
    EXPECT_EQ(bytes[c.offset + 2], 0x56);
    EXPECT_EQ(bytes[c.offset + 3], 0x78);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), static_cast<long>(bytes.size() - 4));
    EXPECT_EQ(set.Slot(c.position, c.section, c.x, c.y, c.layer), (LayerSlot{0x1234, 0x56, 0x78}));
  }
}

TEST(MapletSetTest, TailFieldsAndReservedWords) {
  MapletSet set;
  set.Bytes()[396736] = 0x01;
  set.Bytes()[396737] = 0x02;
  EXPECT_EQ(set.MapletReserved(9, 9), 0x0201);
  EXPECT_EQ(set.Cell(9, 9, 11, 11).data() - set.Bytes().data(), 396702);

  set.SetSetTilesetName("caves.qts");
  set.SetEditorTile(200);
  set.SetEditorPosition(9);
  set.SetEditorSection(4);
  set.SetEditorLayer(2);
  const auto bytes = set.Bytes();
  EXPECT_EQ(bytes[396738], 9);
  EXPECT_EQ(std::string(bytes.begin() + 396739, bytes.begin() + 396748), "caves.qts");
  EXPECT_EQ(bytes[396994], 200);
  EXPECT_EQ(bytes[396995], 9);
  EXPECT_EQ(bytes[396996], 4);
  EXPECT_EQ(bytes[396997], 2);
}

TEST(MapletSetTest, TilesetNameIsCutAndKeepsTheBytesPastItsLength) {
  MapletSet set;
  set.SetSetTilesetName(std::string(300, 'n'));
  EXPECT_EQ(set.SetTilesetName(), std::string(255, 'n'));
  EXPECT_EQ(set.Bytes()[kEditorTileOffset], 0) << "the name ran into the editor state";
  set.SetSetTilesetName("a.qts");
  EXPECT_EQ(set.SetTilesetName(), "a.qts");
  EXPECT_EQ(set.Bytes()[396738 + 1 + 5], 'n');
}

// A damaged file can hold any byte in the editor state; the editor only ever sees
// values it can show, while the stored bytes stay as the file had them.
TEST(MapletSetTest, EditorStateFromDamagedBytesIsInRange) {
  struct Case {
    std::uint8_t stored_position, stored_section, stored_layer;
    int position, section, layer;
  };
  const Case cases[] = {
      {1, 1, 0, 1, 1, 0},     {9, 9, 8, 9, 9, 8},     {0, 0, 9, 1, 1, 8},
      {10, 10, 255, 1, 1, 8}, {255, 128, 7, 1, 1, 7},
  };
  for (const Case& c : cases) {
    MapletSet set;
    set.Bytes()[kEditorPositionOffset] = c.stored_position;
    set.Bytes()[kEditorSectionOffset] = c.stored_section;
    set.Bytes()[kEditorLayerOffset] = c.stored_layer;
    EXPECT_EQ(set.EditorPosition(), c.position) << int{c.stored_position};
    EXPECT_EQ(set.EditorSection(), c.section) << int{c.stored_section};
    EXPECT_EQ(set.EditorLayer(), c.layer) << int{c.stored_layer};
    EXPECT_EQ(set.EditorPositionByte(), c.stored_position);
  }
  MapletSet set;
  set.SetEditorPosition(3);
  set.SetEditorPosition(10);
  set.SetEditorSection(0);
  set.SetEditorLayer(9);
  EXPECT_EQ(set.EditorPositionByte(), 3);
  EXPECT_EQ(set.EditorSectionByte(), 0);
  EXPECT_EQ(set.EditorLayerByte(), 0);
}

TEST(MapletSetTest, OnlyATileMakesAMapletDrawn) {
  MapletSet set;
  // Rotation, effect and reserved bytes paint nothing.
  set.SetSlot(4, 5, 3, 3, 1, {0, 90, 17});
  set.Cell(4, 5, 6, 6)[32] = 1;
  set.Maplet(4, 5)[4897] = 1;
  EXPECT_TRUE(set.MapletEmpty(4, 5));
  // The high byte of a tile number counts, and so does the last slot of the last cell.
  set.SetSlot(4, 5, 11, 11, 7, {0x0100, 0, 0});
  EXPECT_FALSE(set.MapletEmpty(4, 5));
  EXPECT_TRUE(set.MapletEmpty(4, 6));
  EXPECT_TRUE(set.MapletEmpty(4, 4));
  EXPECT_TRUE(set.MapletEmpty(5, 5));
}

TEST(MapletSetTest, PositionNames) {
  EXPECT_EQ(MapletPositionName(1), "Upper Left");
  EXPECT_EQ(MapletPositionName(5), "Center");
  EXPECT_EQ(MapletPositionName(9), "Lower Right");
  EXPECT_EQ(MapletPositionName(0), "");
  EXPECT_EQ(MapletPositionName(10), "");
}

// Reading replaces as many bytes as the source has, up to the record's size.
TEST(MapletSetTest, ReadingCoversOnlyWhatTheSourceHolds) {
  struct Case {
    std::size_t source_size, expected_read;
  };
  const Case cases[] = {{0, 0}, {100, 100}, {396997, 396997}, {396998, 396998}, {400000, 396998}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source_size);
    MapletSet set;
    std::fill(set.Bytes().begin(), set.Bytes().end(), std::uint8_t{0xAB});
    std::vector<std::uint8_t> data(c.source_size);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251);
    MemorySource source(data);
    EXPECT_EQ(ReadMapletSet(source, set), c.expected_read);
    const auto bytes = set.Bytes();
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + static_cast<long>(c.expected_read),
                           data.begin()));
    EXPECT_TRUE(std::all_of(bytes.begin() + static_cast<long>(c.expected_read), bytes.end(),
                            [](auto b) { return b == 0xAB; }));
  }
}

// A source that hands out some bytes and then fails, like a disk read error.
class FailingSource : public ByteSource {
 public:
  std::size_t Read(void* data, std::size_t size) override {
    if (served_) throw UserError("Cannot read file \"x.set\". Input/output error");
    served_ = true;
    const std::size_t n = std::min<std::size_t>(size, 1000);
    std::fill_n(static_cast<std::uint8_t*>(data), n, std::uint8_t{0x11});
    return n;
  }

 private:
  bool served_ = false;
};

TEST(MapletSetTest, AReadFailureLeavesTheRecordAsItWas) {
  MapletSet set = testing::MarkedSet();
  const MapletSet before = set;
  FailingSource source;
  EXPECT_THROW(ReadMapletSet(source, set), UserError);
  EXPECT_TRUE(std::equal(set.Bytes().begin(), set.Bytes().end(), before.Bytes().begin()));
}

TEST(MapletSetTest, FilesRoundTripByteForByte) {
  TempDir dir;
  MapletSet set = testing::MarkedSet();
  set.SetSetTilesetName("Caf\xE9.qts");
  set.Bytes()[kEditorLayerOffset] = 200;  // damaged bytes are carried, not mended on disk
  const std::string path = dir.File("marked.set");
  SaveMapletSetFile(set, path);
  const auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), kMapletSetBytes);
  EXPECT_TRUE(std::equal(file.begin(), file.end(), set.Bytes().begin()));

  MapletSet read;
  EXPECT_EQ(ReadMapletSetFile(path, read), kMapletSetBytes);
  EXPECT_TRUE(std::equal(read.Bytes().begin(), read.Bytes().end(), set.Bytes().begin()));
}

TEST(MapletSetTest, FileErrorsCarryTheUsersText) {
  TempDir dir;
  MapletSet set;
  try {
    ReadMapletSetFile(dir.File("missing.set"), set);
    FAIL() << "a missing file was read";
  } catch (const UserError& error) {
    EXPECT_EQ(std::string(error.what())
                  .rfind("Cannot open file \"" + dir.File("missing.set") + "\". ", 0),
              0u)
        << error.what();
  }
  try {
    SaveMapletSetFile(set, dir.File("no/such/dir/a.set"));
    FAIL() << "a file was saved into a missing directory";
  } catch (const UserError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Cannot create file \"", 0), 0u) << error.what();
  }
}

}  // namespace
}  // namespace qm
