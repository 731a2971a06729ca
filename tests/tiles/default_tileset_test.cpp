// The default tileset the build draws into the program directory.
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/document_fakes.h"
#include "testing/qmtool_runner.h"
#include "tiles/tileset.h"

namespace qm {
namespace {

using ::testing::HasSubstr;

// Quarters with terrain for pieces 1 to 15 of a smart-tool group, as the smart tool
// places them: bit 0 north-west, 1 north-east, 2 south-west, 3 south-east.
constexpr int kQuarters[16] = {0,   0x3, 0xC, 0x5, 0xA, 0x4, 0x1, 0x2,
                               0x8, 0xB, 0xE, 0x7, 0xD, 0xF, 0x9, 0x6};

class DefaultTileset : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tileset_ = new Tileset;
    testing::FakeDialogs dialogs;
    loaded_ = LoadTileset(*tileset_, "", QM_BIN_DIR, dialogs);
  }
  static void TearDownTestSuite() { delete tileset_; }
  static Tileset* tileset_;
  static bool loaded_;
};
Tileset* DefaultTileset::tileset_ = nullptr;
bool DefaultTileset::loaded_ = false;

TEST_F(DefaultTileset, IsBuiltWithEnoughTilesOfOneKind) {
  ASSERT_TRUE(loaded_) << QM_BIN_DIR "/Tilesets/default.qts is missing";
  ASSERT_GE(tileset_->TileCount(), 80 + 3 * 16);
  for (int tile = 0; tile < tileset_->TileCount(); ++tile) {
    const PngImage& image = tileset_->Image(tile);
    EXPECT_EQ(image.Width(), 64) << tile;
    EXPECT_EQ(image.Height(), 64) << tile;
    EXPECT_EQ(image.ColorType(), PngColorType::RGBA) << tile;
    const std::int32_t layer = tileset_->Properties(tile).DefaultLayer();
    EXPECT_TRUE(layer >= 0 && layer <= 7) << tile;
    EXPECT_FALSE(tileset_->Properties(tile).TileName().empty()) << tile;
  }
  // Tile 0 is blank.
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) ASSERT_EQ(tileset_->Image(0).AlphaRow(y)[x], 0);
  }
}

TEST_F(DefaultTileset, HasHiddenTilesAndLayersByKind) {
  ASSERT_TRUE(loaded_);
  std::set<std::string> hidden;
  int floor_layer = -1, marker_layer = -1, wall_layer = -1;
  for (int tile = 0; tile < tileset_->TileCount(); ++tile) {
    const TTileProperties& p = tileset_->Properties(tile);
    if (p.Hidden()) hidden.insert(p.TileName());
    if (p.TileName() == "Flagstone") floor_layer = p.DefaultLayer();
    if (p.TileName() == "Brick wall") wall_layer = p.DefaultLayer();
    if (p.TileName() == "Label 1") marker_layer = p.DefaultLayer();
  }
  EXPECT_THAT(hidden, ::testing::Contains("Secret door"));
  EXPECT_GE(hidden.size(), 2u);
  EXPECT_LT(floor_layer, wall_layer);
  EXPECT_EQ(marker_layer, 7);
}

// Each group's pieces show terrain exactly in the quarters the smart tool expects:
// opaque at the outer corner of every terrain quarter, and nothing but a faint
// shadow anywhere in a quarter without terrain.
TEST_F(DefaultTileset, SmartToolGroupsMatchThePieceTable) {
  ASSERT_TRUE(loaded_);
  std::vector<std::string> groups;
  for (int base = 0; base < tileset_->TileCount(); ++base) {
    if (!tileset_->Properties(base).SmartTool()) continue;
    groups.push_back(tileset_->Properties(base).TileName());
    ASSERT_LE(base, 240) << "the smart tool handles tile numbers in 8 bits";
    ASSERT_LT(base + 15, tileset_->TileCount());
    for (int piece = 1; piece < 16; ++piece) {
      SCOPED_TRACE(groups.back() + " piece " + std::to_string(piece));
      const PngImage& image = tileset_->Image(base + piece);
      EXPECT_FALSE(tileset_->Properties(base + piece).SmartTool());
      for (int q = 0; q < 4; ++q) {
        const int x0 = (q & 1) ? 32 : 0, y0 = (q & 2) ? 32 : 0;
        if (kQuarters[piece] & (1 << q)) {
          const int cx = (q & 1) ? 62 : 1, cy = (q & 2) ? 62 : 1;
          EXPECT_EQ(image.AlphaRow(cy)[cx], 255) << "quarter " << q;
        } else {
          int strongest = 0;
          for (int y = y0; y < y0 + 32; ++y) {
            for (int x = x0; x < x0 + 32; ++x)
              strongest = std::max<int>(strongest, image.AlphaRow(y)[x]);
          }
          EXPECT_LT(strongest, 128) << "quarter " << q;
        }
      }
    }
  }
  EXPECT_THAT(groups, ::testing::IsSupersetOf({"Forest", "Water", "Mountains"}));
}

TEST(DefaultTilesetInfo, ListsTheGroups) {
  testing::TempDir dir;
  const auto run =
      testing::Qmtool(std::string("tileset info ") + QM_BIN_DIR "/Tilesets/default.qts", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("smart-tool groups: 3\n"));
  for (const char* name : {"\tForest\n", "\tWater\n", "\tMountains\n"}) {
    EXPECT_THAT(run.out, ::testing::ContainsRegex(std::string("group\t[0-9]+-[0-9]+") + name));
  }
}

}  // namespace
}  // namespace qm
