#include "editing/smart_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "editing/editing_fixture.h"
#include "editing/editing_tools.h"

namespace qm {
namespace {

using testing::CellsOf;
using testing::MakeTileset;

constexpr int kLayer = 3;

// A picture of pieces: rows of space-separated piece numbers, "." for a cell the
// tool must leave empty. `left`, `top` are the 1-based column and row of its
// first cell; every cell outside it must stay empty as well.
struct Picture {
  int left, top;
  std::vector<std::string> rows;
};

struct ClickCase {
  const char* name;
  std::vector<std::pair<int, int>> clicks;  // 1-based column, row
  Picture expected;
};

// What the patches must look like, whatever the group's base tile.
const ClickCase kClickCases[] = {
    {"one patch", {{10, 10}}, {9, 9, {"8 2 5", "4 13 3", "7 1 6"}}},
    {"east neighbour joins", {{10, 10}, {11, 10}}, {9, 9, {"8 2 2 5", "4 13 13 3", "7 1 1 6"}}},
    {"then south-east",
     {{10, 10}, {11, 10}, {11, 11}},
     {9, 9, {"8 2 2 5", "4 13 13 3", "7 9 13 3", ". 7 1 6"}}},
    {"two apart make one area",
     {{10, 10}, {12, 10}},
     {9, 9, {"8 2 2 2 5", "4 13 13 13 3", "7 1 1 1 6"}}},
    {"diagonal neighbour",
     {{10, 10}, {11, 11}},
     {9, 9, {"8 2 5 .", "4 13 12 5", "7 9 13 3", ". 7 1 6"}}},
    {"top-left corner of the map", {{1, 1}}, {1, 1, {"13 3", "1 6"}}},
    {"bottom-right corner of the map", {{72, 72}}, {71, 71, {"8 2", "4 13"}}},
};

// The piece each cell should hold, or -1 for an empty slot.
std::vector<std::vector<int>> Expected(const Picture& picture) {
  std::vector<std::vector<int>> grid(MapSize, std::vector<int>(MapSize, -1));
  for (std::size_t r = 0; r < picture.rows.size(); ++r) {
    std::istringstream row(picture.rows[r]);
    std::string token;
    for (int c = 0; row >> token; ++c) {
      if (token != ".") grid[picture.left - 1 + c][picture.top - 1 + r] = std::stoi(token);
    }
  }
  return grid;
}

class SmartClicksTest : public ::testing::TestWithParam<int> {};

TEST_P(SmartClicksTest, ClickSequencesGiveExactlyTheseAreas) {
  const int base = GetParam();
  for (const ClickCase& c : kClickCases) {
    TMap level("test");
    for (auto [x, y] : c.clicks) {
      SmartPlacement(level, x, y, static_cast<std::uint16_t>(base), kLayer, 0);
    }
    const auto expected = Expected(c.expected);
    for (int x = 1; x <= MapSize; ++x) {
      for (int y = 1; y <= MapSize; ++y) {
        const int piece = expected[x - 1][y - 1];
        const int tile = piece < 0 ? 0 : base + piece;
        ASSERT_EQ(level.TileIndex(x, y, kLayer), tile)
            << c.name << ", base " << base << ": cell " << x << "," << y;
        for (int layer = 0; layer < kLayerCount; ++layer) {
          if (layer == kLayer) continue;
          ASSERT_EQ(level.Slot(x, y, layer), LayerSlot{}) << c.name;
        }
      }
    }
  }
}

// Low, 8-bit-crossing and top-of-range groups all behave the same: tile numbers
// are 16 bits wide throughout.
INSTANTIATE_TEST_SUITE_P(BaseTiles, SmartClicksTest, ::testing::Values(1, 250, 4000, 65520));

// The rules one by one, on the north edge and the north-west corner; the symmetry
// test below carries them over to the other sides. Offsets are from the clicked
// cell; presets are pieces placed before the click.
struct RuleCase {
  const char* rule;
  std::vector<std::array<int, 3>> presets;  // dx, dy, piece
  std::vector<std::array<int, 3>> expected;
};

const RuleCase kRuleCases[] = {
    {"north edge alone", {}, {{0, -1, 2}}},
    {"north edge meets S-full", {{0, -2, 10}}, {{0, -1, 13}}},
    {"north edge meets S-west", {{0, -2, 15}}, {{0, -1, 12}}},
    {"north edge meets S-east", {{0, -2, 9}}, {{0, -1, 10}}},
    {"north edge ignores a north-only piece", {{0, -2, 1}}, {{0, -1, 2}}},
    {"corner alone", {}, {{-1, -1, 8}}},
    {"corner, east W-full", {{0, -2, 13}}, {{0, -1, 13}, {-1, -1, 4}}},
    {"corner, east W-full via S-west", {{0, -2, 3}}, {{0, -1, 12}, {-1, -1, 4}}},
    {"corner, east W-full, north S-full, west E-north",
     {{0, -2, 13}, {-1, -2, 2}, {-2, -1, 7}},
     {{-1, -1, 9}}},
    {"corner, south N-full", {{-2, 0, 4}}, {{-1, 0, 13}, {-1, -1, 2}}},
    {"corner, south N-full via E-north", {{-2, 0, 11}}, {{-1, 0, 9}, {-1, -1, 2}}},
    {"corner, south N-full, west E-full, north S-west",
     {{-2, 0, 13}, {-2, -1, 9}, {-1, -2, 5}},
     {{-1, -1, 12}}},
    {"corner, both", {{0, -2, 13}, {-2, 0, 13}}, {{-1, -1, 13}}},
    {"corner, both, west E-south, north S-east",
     {{0, -2, 13}, {-2, 0, 13}, {-2, -1, 8}, {-1, -2, 14}},
     {{-1, -1, 10}}},
    {"corner, west E-north and north S-west meet diagonally",
     {{-2, -1, 15}, {-1, -2, 11}},
     {{-1, -1, 14}}},
    {"corner, diagonal needs both", {{-2, -1, 15}}, {{-1, -1, 8}}},
};

TEST(SmartToolTest, EachRuleOnTheNorthAndNorthWest) {
  for (const RuleCase& c : kRuleCases) {
    TMap level("test");
    constexpr int kBase = 100;
    for (const auto& [dx, dy, piece] : c.presets) {
      level.SetTileIndex(30 + dx, 30 + dy, 0, static_cast<std::uint16_t>(kBase + piece));
    }
    SmartPlacement(level, 30, 30, kBase, 0, 0);
    for (const auto& [dx, dy, piece] : c.expected) {
      EXPECT_EQ(SmartPieceValue(level, 30 + dx, 30 + dy, 0, kBase), piece)
          << c.rule << ": cell " << dx << "," << dy;
    }
  }
}

// Quarters of each piece: north-west 1, north-east 2, south-west 4, south-east 8.
constexpr int kQuarters[16] = {0, 3, 12, 5, 10, 4, 1, 2, 8, 11, 14, 7, 13, 15, 9, 6};

struct Symmetry {
  const char* name;
  int (*cell)(int x, int y, bool want_x);  // where (x, y) goes
  int (*quarters)(int q);
};

int MirrorQuarters(int q, int a, int b) {  // swap quarter bits a and b
  const bool qa = q & a, qb = q & b;
  return (q & ~(a | b)) | (qa ? b : 0) | (qb ? a : 0);
}

const Symmetry kSymmetries[] = {
    {"left-right", [](int x, int y, bool want_x) { return want_x ? MapSize + 1 - x : y; },
     [](int q) { return MirrorQuarters(MirrorQuarters(q, 1, 2), 4, 8); }},
    {"top-bottom", [](int x, int y, bool want_x) { return want_x ? x : MapSize + 1 - y; },
     [](int q) { return MirrorQuarters(MirrorQuarters(q, 1, 4), 2, 8); }},
    {"diagonal", [](int x, int y, bool want_x) { return want_x ? y : x; },
     [](int q) { return MirrorQuarters(q, 2, 4); }},
};

int MapPiece(const Symmetry& s, int piece) {
  if (piece < 1 || piece > 15) return piece;
  const int q = s.quarters(kQuarters[piece]);
  for (int k = 1; k <= 15; ++k) {
    if (kQuarters[k] == q) return k;
  }
  return -1;
}

// Terrain does not care which way the map is turned: a patch placed on a mirrored
// neighbourhood is the mirror of the patch placed on the original.
TEST(SmartToolTest, PlacementIsTheSameSeenInAMirror) {
  constexpr int kBase = 500;
  std::mt19937 random(20261211);
  TMap level("a"), mirrored("b");
  for (int round = 0; round < 3000; ++round) {
    const Symmetry& s = kSymmetries[round % 3];
    // Clicks anywhere, also where the neighbourhood runs off the map.
    const int x = std::uniform_int_distribution<int>(1, MapSize)(random);
    const int y = round % 5 == 0 ? x : std::uniform_int_distribution<int>(1, MapSize)(random);
    std::ranges::fill(level.Cells(), 0);
    std::ranges::fill(mirrored.Cells(), 0);
    for (int dx = -2; dx <= 2; ++dx) {
      for (int dy = -2; dy <= 2; ++dy) {
        const int cx = x + dx, cy = y + dy;
        if (cx < 1 || cx > MapSize || cy < 1 || cy > MapSize) continue;
        // Mostly pieces, some empty cells, the base tile and the next group's base.
        const int piece = std::uniform_int_distribution<int>(-1, 16)(random);
        const int mapped = MapPiece(s, piece);
        level.SetTileIndex(cx, cy, 2, static_cast<std::uint16_t>(piece < 0 ? 0 : kBase + piece));
        mirrored.SetTileIndex(s.cell(cx, cy, true), s.cell(cx, cy, false), 2,
                              static_cast<std::uint16_t>(mapped < 0 ? 0 : kBase + mapped));
      }
    }
    SmartPlacement(level, x, y, kBase, 2, 0);
    SmartPlacement(mirrored, s.cell(x, y, true), s.cell(x, y, false), kBase, 2, 0);
    for (int dx = -1; dx <= 1; ++dx) {
      for (int dy = -1; dy <= 1; ++dy) {
        const int cx = x + dx, cy = y + dy;
        if (cx < 1 || cx > MapSize || cy < 1 || cy > MapSize) continue;
        const int piece = SmartPieceValue(level, cx, cy, 2, kBase);
        ASSERT_EQ(SmartPieceValue(mirrored, s.cell(cx, cy, true), s.cell(cx, cy, false), 2, kBase),
                  MapPiece(s, piece))
            << s.name << ", round " << round << ", click " << x << "," << y << ", cell " << dx
            << "," << dy;
      }
    }
  }
}

TEST(SmartToolTest, GroupAboveTile240WritesAndReadsFullTileNumbers) {
  TMap level("test");
  SmartPlacement(level, 10, 10, 250, 0, 0);
  EXPECT_EQ(level.TileIndex(10, 10, 0), 263) << "piece 13 of the group at 250";
  EXPECT_EQ(level.TileIndex(11, 10, 0), 253);
  EXPECT_EQ(SmartPieceValue(level, 10, 10, 0, 250), 13);
}

TEST(SmartToolTest, ReportsTheCellsItWroteOnce) {
  TMap level("test");
  auto cells = SmartPlacement(level, 10, 10, 1, 0, 0);
  EXPECT_EQ(cells.size(), 9u);
  for (int column = 8; column <= 10; ++column) {
    for (int row = 8; row <= 10; ++row) {
      EXPECT_EQ(std::count(cells.begin(), cells.end(), GridCell{column, row}), 1)
          << column << "," << row;
    }
  }
  cells = SmartPlacement(level, 1, 1, 1, 0, 0);
  EXPECT_EQ(cells, (std::vector<GridCell>{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
}

TEST(SmartToolTest, ALayerThatNamesNoSlotPlacesNothing) {
  for (int layer : {-1, 8, 200}) {
    TMap level("test");
    EXPECT_TRUE(SmartPlacement(level, 10, 10, 1, layer, 0).empty()) << layer;
    EXPECT_EQ(CellsOf(level), CellsOf(TMap(""))) << layer;
  }
}

TEST(SmartToolTest, OtherTilesAndTheBaseTileAreNoTerrain) {
  const struct {
    std::uint16_t tile;
    const char* what;
  } cases[] = {{0, "empty"},
               {20, "the base tile"},
               {36, "the next group's base"},
               {19, "the tile before the group"},
               {99, "another tile"}};
  for (const auto& c : cases) {
    TMap level("test");
    // Cells two steps out hold the tile; as terrain they would grow the pieces.
    for (auto [x, y] : {std::pair{10, 8}, {12, 10}, {10, 12}, {8, 10}, {8, 9}, {12, 9}}) {
      level.SetTileIndex(x, y, 0, c.tile);
    }
    SmartPlacement(level, 10, 10, 20, 0, 0);
    EXPECT_EQ(SmartPieceValue(level, 10, 9, 0, 20), 2) << c.what;
    EXPECT_EQ(SmartPieceValue(level, 11, 10, 0, 20), 3) << c.what;
    EXPECT_EQ(SmartPieceValue(level, 10, 11, 0, 20), 1) << c.what;
    EXPECT_EQ(SmartPieceValue(level, 9, 10, 0, 20), 4) << c.what;
    EXPECT_EQ(SmartPieceValue(level, 9, 9, 0, 20), 8) << c.what;
  }
}

TEST(SmartToolTest, OffTheMapCountsAsFullTerrain) {
  TMap level("test");
  for (auto [x, y] : {std::pair{0, 5}, {73, 5}, {5, 0}, {5, 73}, {-1, -1}}) {
    EXPECT_EQ(SmartPieceValue(level, x, y, 0, 1), 13) << x << "," << y;
  }
  EXPECT_EQ(SmartPieceValue(level, 5, 5, 0, 1), -1) << "an empty slot on the map";
}

class SmartToolReleaseTest : public ::testing::Test {
 protected:
  EditOutcome Release(GridSelection selection) {
    return DrawGrid1MouseUp(doc, tiles, tools, selection);
  }
  TMap& Level() { return doc.Current(); }

  MapDocument doc;
  // Groups: tile 1 (DefaultLayer 6), tile 17 (layer 0x10002: the tool reads its low
  // 16 bits, 2), tile 33 (layer 9, no slot).
  Tileset tiles = [] {
    std::vector<testing::TileTraits> traits(49, {0, false});
    traits[1] = {6, true};
    traits[17] = {0x10002, true};
    traits[33] = {9, true};
    return MakeTileset(traits);
  }();
  ToolState tools;
};

TEST_F(SmartToolReleaseTest, PlacesOnePatchAtTheSelectionsTopLeftCell) {
  ASSERT_TRUE(ChooseTile(tools, tiles, 1));
  ASSERT_EQ(tools.ActiveTool(), Tool::Smart);
  const EditOutcome drag = Release({19, 29, 22, 32});  // 4 x 4 from grid (19, 29)

  MapDocument reference;
  DrawGrid1MouseUp(reference, tiles, tools, GridSelection::SingleCell(19, 29));
  EXPECT_EQ(CellsOf(Level()), CellsOf(reference.Current()));
  EXPECT_EQ(Level().TileIndex(20, 30, 6), 14) << "centre: piece 13 on DefaultLayer 6";
  EXPECT_TRUE(drag.whole_view);
  EXPECT_EQ(drag.cells.size(), 9u);
  EXPECT_TRUE(doc.Modified());
}

TEST_F(SmartToolReleaseTest, WritesTheEffectAndKeepsRotations) {
  ASSERT_TRUE(ChooseTile(tools, tiles, 1));
  tools.SetCurrentEffect(24);
  tools.SetLayerChoice(4);
  for (int x = 9; x <= 11; ++x) {
    for (int y = 9; y <= 11; ++y)
      Level().SetTileRotation(x, y, 4, static_cast<std::uint8_t>(x * y));
  }
  const auto before = CellsOf(Level());
  Release(GridSelection::SingleCell(9, 9));  // map cell (10, 10)

  EXPECT_EQ(CellsOf(doc.UndoBuffer()), before);
  for (int x = 9; x <= 11; ++x) {
    for (int y = 9; y <= 11; ++y) {
      EXPECT_EQ(Level().TileEffect(x, y, 4), 24) << x << "," << y;
      EXPECT_EQ(Level().TileRotation(x, y, 4), x * y) << x << "," << y;
      EXPECT_NE(Level().TileIndex(x, y, 4), 0);
    }
  }
}

TEST_F(SmartToolReleaseTest, AutoLayeringTakesTheBaseTilesLayerOrPlacesNothing) {
  const struct {
    int base;
    int layer;  // -1: nothing placed
    const char* why;
  } cases[] = {
      {17, 2, "low 16 bits of DefaultLayer"},
      {33, -1, "DefaultLayer 9 names no slot"},
      {49, -1, "no properties record"},
  };
  for (const auto& c : cases) {
    MapDocument fresh;
    tools.SetActiveTool(Tool::Smart);
    tools.SetCurrentTile(c.base);
    const EditOutcome outcome =
        DrawGrid1MouseUp(fresh, tiles, tools, GridSelection::SingleCell(4, 4));
    EXPECT_TRUE(fresh.Modified()) << c.why;
    EXPECT_TRUE(outcome.whole_view);
    if (c.layer < 0) {
      EXPECT_EQ(CellsOf(fresh.Current()), CellsOf(TMap(""))) << c.why;
      EXPECT_TRUE(outcome.cells.empty());
    } else {
      EXPECT_EQ(fresh.Current().TileIndex(5, 5, c.layer), c.base + 13) << c.why;
    }
  }
}

}  // namespace
}  // namespace qm
