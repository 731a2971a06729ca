// The default maplet set the build draws into the program directory: it loads, it
// names the default tileset, and its maplets keep the contract that lets any two
// neighbours in a random level join (outline sides walled, open sides meeting in
// two floor cells in the middle, every mouth reaching every other).
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <queue>
#include <string>

#include "common/file_io.h"
#include "document/map_document.h"
#include "maplets/maplet_set.h"
#include "maplets/random_level.h"
#include "maplets/random_source.h"
#include "tiles/tileset.h"

namespace qm {
namespace {

constexpr int kFloorLayer = 0;
constexpr int kWallLayer = 2;

// Which sides of a maplet face the level's outline: top, right, bottom, left.
std::array<bool, 4> Outline(int position) {
  const int column = (position - 1) % 3, row = (position - 1) / 3;
  return {row == 0, column == 2, row == 2, column == 0};
}

// The edge cells of a side, in order along it.
std::pair<int, int> EdgeCell(int side, int i) {
  switch (side) {
    case 0:
      return {i, 0};
    case 1:
      return {kMapletSide - 1, i};
    case 2:
      return {i, kMapletSide - 1};
    default:
      return {0, i};
  }
}

class DefaultMapletsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    set_ = new MapletSet;
    tiles_ = new Tileset;
    const std::string set_path = std::string(QM_BIN_DIR) + "/Maplets/default.set";
    ASSERT_TRUE(std::filesystem::exists(set_path)) << "build the qm_runtime_files target";
    EXPECT_EQ(std::filesystem::file_size(set_path), kMapletSetBytes);
    EXPECT_EQ(ReadMapletSetFile(set_path, *set_), kMapletSetBytes);
    InputFile tileset(std::string(QM_BIN_DIR) + "/Tilesets/default.qts");
    ReadTileset(tileset, *tiles_);
  }
  static void TearDownTestSuite() {
    delete set_;
    delete tiles_;
  }

  static bool IsWall(LayerSlot slot) {
    return slot.TileIndex != 0 && slot.TileIndex < tiles_->TileCount() &&
           tiles_->Properties(slot.TileIndex).DefaultLayer() == kWallLayer;
  }
  // Floor one can stand on: a floor tile and nothing on the wall layer.
  static bool Walkable(int p, int s, int x, int y) {
    const LayerSlot floor = set_->Slot(p, s, x, y, kFloorLayer);
    return floor.TileIndex != 0 && floor.TileIndex < tiles_->TileCount() &&
           set_->Slot(p, s, x, y, kWallLayer).TileIndex == 0;
  }

  static MapletSet* set_;
  static Tileset* tiles_;
};

MapletSet* DefaultMapletsTest::set_ = nullptr;
Tileset* DefaultMapletsTest::tiles_ = nullptr;

TEST_F(DefaultMapletsTest, NamesTheDefaultTilesetAndOpensOnTheFirstMaplet) {
  EXPECT_EQ(set_->SetTilesetName(), "default.qts");
  EXPECT_EQ(set_->EditorPositionByte(), 1);
  EXPECT_EQ(set_->EditorSectionByte(), 1);
  EXPECT_EQ(set_->EditorLayerByte(), kAutoLayering);
  // Every tile number belongs to the tileset the set names.
  for (int p = 1; p <= kMapletPositions; ++p)
    for (int s = 1; s <= kMapletSections; ++s)
      for (int x = 0; x < kMapletSide; ++x)
        for (int y = 0; y < kMapletSide; ++y)
          for (int layer = 0; layer < kLayerCount; ++layer)
            ASSERT_LT(set_->Slot(p, s, x, y, layer).TileIndex, tiles_->TileCount())
                << MapletPositionName(p) << " " << s << " cell " << x << "," << y;
}

TEST_F(DefaultMapletsTest, EveryPositionHasNineDrawnAndDistinctSections) {
  for (int p = 1; p <= kMapletPositions; ++p) {
    for (int s = 1; s <= kMapletSections; ++s) {
      EXPECT_FALSE(set_->MapletEmpty(p, s)) << MapletPositionName(p) << " " << s;
      for (int other = 1; other < s; ++other) {
        EXPECT_FALSE(std::equal(set_->Maplet(p, s).begin(), set_->Maplet(p, s).end(),
                                set_->Maplet(p, other).begin()))
            << MapletPositionName(p) << " sections " << other << " and " << s;
      }
    }
  }
}

TEST_F(DefaultMapletsTest, OutlineSidesAreWalledAndOpenSidesMeetInTheMiddle) {
  for (int p = 1; p <= kMapletPositions; ++p) {
    const auto outline = Outline(p);
    for (int s = 1; s <= kMapletSections; ++s) {
      for (int side = 0; side < 4; ++side) {
        for (int i = 0; i < kMapletSide; ++i) {
          const auto [x, y] = EdgeCell(side, i);
          const bool mouth = !outline[side] && (i == 5 || i == 6);
          // A corner belongs to both of its sides; an outline side wins.
          const bool corner_on_outline = (x == 0 && outline[3]) || (y == 0 && outline[0]) ||
                                         (x == kMapletSide - 1 && outline[1]) ||
                                         (y == kMapletSide - 1 && outline[2]);
          SCOPED_TRACE(std::string(MapletPositionName(p)) + " section " + std::to_string(s) +
                       " cell " + std::to_string(x) + "," + std::to_string(y));
          if (mouth) {
            EXPECT_TRUE(Walkable(p, s, x, y));
            EXPECT_EQ(set_->Slot(p, s, x, y, 3).TileIndex, 0) << "a door in a mouth";
          } else {
            EXPECT_TRUE(IsWall(set_->Slot(p, s, x, y, kWallLayer)));
            if (outline[side] || corner_on_outline) {
              EXPECT_EQ(set_->Slot(p, s, x, y, kFloorLayer).TileIndex, 0);
            }
          }
        }
      }
    }
  }
}

TEST_F(DefaultMapletsTest, EveryMouthReachesEveryOther) {
  for (int p = 1; p <= kMapletPositions; ++p) {
    const auto outline = Outline(p);
    for (int s = 1; s <= kMapletSections; ++s) {
      std::array<std::array<bool, kMapletSide>, kMapletSide> seen{};
      std::queue<std::pair<int, int>> next;
      int start_side = 0;
      while (outline[start_side]) ++start_side;
      next.push(EdgeCell(start_side, 5));
      seen[next.front().first][next.front().second] = true;
      while (!next.empty()) {
        const auto [x, y] = next.front();
        next.pop();
        for (const auto& [dx, dy] :
             {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}}) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= kMapletSide || ny >= kMapletSide || seen[nx][ny] ||
              !Walkable(p, s, nx, ny))
            continue;
          seen[nx][ny] = true;
          next.push({nx, ny});
        }
      }
      for (int side = 0; side < 4; ++side) {
        if (outline[side]) continue;
        for (const int i : {5, 6}) {
          const auto [x, y] = EdgeCell(side, i);
          EXPECT_TRUE(seen[x][y]) << MapletPositionName(p) << " section " << s << " mouth " << x
                                  << "," << y;
        }
      }
    }
  }
}

TEST_F(DefaultMapletsTest, RandomLevelsAreClosedByAWall) {
  for (const std::uint64_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
    MapDocument document;
    RandomSource random(seed);
    GenerateRandomLevel(document, *set_, random);
    for (int i = 1; i <= MapSize; ++i) {
      for (const auto& [x, y] :
           {std::pair{i, 1}, std::pair{i, MapSize}, std::pair{1, i}, std::pair{MapSize, i}}) {
        ASSERT_TRUE(IsWall(document.Current().Slot(x, y, kWallLayer)))
            << "seed " << seed << " cell " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace qm
