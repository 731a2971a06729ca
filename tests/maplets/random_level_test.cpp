// Random levels and random maplets: the layout's shape, its sections, and what
// lands in the level's cells.
#include "maplets/random_level.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "maplet_fixtures.h"

namespace qm {
namespace {

constexpr int UL = 1, UC = 2, UR = 3, L = 4, C = 5, R = 6, LL = 7, LC = 8, LR = 9;

std::vector<int> Positions(const LayoutGrid& grid) {
  std::vector<int> out;
  for (const auto& slot : grid.places) out.push_back(slot.position);
  return out;
}

std::vector<int> Row(const LayoutGrid& grid, int r) {
  std::vector<int> out;
  for (int c = 0; c < kLayoutSide; ++c) out.push_back(grid.At(c, r).position);
  return out;
}

std::vector<int> Column(const LayoutGrid& grid, int c) {
  std::vector<int> out;
  for (int r = 0; r < kLayoutSide; ++r) out.push_back(grid.At(c, r).position);
  return out;
}

// The problems of a complete layout: corners, frame and interior as some pattern
// and notches give them, and distinct sections within each position.
std::string LayoutProblems(const LayoutGrid& grid) {
  std::string problems;
  if (grid.At(0, 0).position != UL || grid.At(5, 0).position != UR ||
      grid.At(0, 5).position != LL || grid.At(5, 5).position != LR) {
    problems += "corners; ";
  }
  bool shape_found = false;
  for (int variant = 1; variant <= kLayoutVariants && !shape_found; ++variant) {
    for (int bits = 0; bits < 16 && !shape_found; ++bits) {
      const Notches n{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
      shape_found = Positions(LayoutPositions(variant, n)) == Positions(grid);
    }
  }
  if (!shape_found) problems += "no pattern has this shape; ";
  std::map<int, std::set<int>> sections;
  for (const auto& slot : grid.places) {
    if (slot.section < 1 || slot.section > 9) problems += "section out of range; ";
    if (!sections[slot.position].insert(slot.section).second) {
      problems += "section " + std::to_string(slot.section) + " twice in position " +
                  std::to_string(slot.position) + "; ";
    }
  }
  return problems;
}

TEST(LayoutTest, PatternEightWithoutNotches) {
  const std::vector<int> expected = {
      UL, UC, UC, UC, UC, UR,  //
      L,  C,  C,  C,  C,  R,   //
      L,  R,  L,  R,  L,  R,   //
      L,  R,  L,  R,  L,  R,   //
      L,  C,  C,  C,  C,  R,   //
      LL, LC, LC, LC, LC, LR,  //
  };
  EXPECT_EQ(Positions(LayoutPositions(8, {})), expected);
}

// A notch folds one outer edge in, and touches nothing else of the frame.
TEST(LayoutTest, EachNotchSplitsItsEdge) {
  struct Case {
    const char* name;
    Notches notches;
    bool row;  // a row or a column of the frame
    int index;
    std::vector<int> notched, plain;
  };
  const Case cases[] = {
      {"top",
       {true, false, false, false},
       true,
       0,
       {UL, UC, UR, UL, UC, UR},
       {UL, UC, UC, UC, UC, UR}},
      {"bottom",
       {false, true, false, false},
       true,
       5,
       {LL, LC, LR, LL, LC, LR},
       {LL, LC, LC, LC, LC, LR}},
      {"left", {false, false, true, false}, false, 0, {UL, L, LL, UL, L, LL}, {UL, L, L, L, L, LL}},
      {"right",
       {false, false, false, true},
       false,
       5,
       {UR, R, LR, UR, R, LR},
       {UR, R, R, R, R, LR}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int variant = 1; variant <= kLayoutVariants; ++variant) {
      const LayoutGrid notched = LayoutPositions(variant, c.notches);
      const LayoutGrid plain = LayoutPositions(variant, {});
      EXPECT_EQ(c.row ? Row(notched, c.index) : Column(notched, c.index), c.notched);
      EXPECT_EQ(c.row ? Row(plain, c.index) : Column(plain, c.index), c.plain);
      int differing = 0;
      for (std::size_t i = 0; i < plain.places.size(); ++i) {
        differing += plain.places[i].position != notched.places[i].position;
      }
      EXPECT_EQ(differing, 2);
    }
  }
  const LayoutGrid all = LayoutPositions(3, {true, true, true, true});
  EXPECT_EQ(Row(all, 0), (std::vector<int>{UL, UC, UR, UL, UC, UR}));
  EXPECT_EQ(Column(all, 5), (std::vector<int>{UR, R, LR, UR, R, LR}));
}

// The section draw only ends because no position ever needs more than nine slots.
TEST(LayoutTest, NoPositionHasMoreSlotsThanSections) {
  for (int variant = 1; variant <= kLayoutVariants; ++variant) {
    for (int bits = 0; bits < 16; ++bits) {
      const Notches n{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0};
      std::map<int, int> count;
      for (const int p : Positions(LayoutPositions(variant, n))) ++count[p];
      EXPECT_EQ(count.count(0), 0u) << "unassigned slot, variant " << variant;
      for (const auto& [position, slots] : count) {
        EXPECT_LE(slots, 8) << "variant " << variant << " notches " << bits << " position "
                            << position;
      }
    }
  }
}

TEST(LayoutTest, EveryRunIsAClosedOutlineWithDistinctSections) {
  std::set<int> interiors;
  int notched_edges = 0;
  constexpr int kRuns = 3000;
  for (std::uint64_t seed = 0; seed < kRuns; ++seed) {
    RandomSource random(seed);
    const LayoutGrid grid = ChooseLayout(random);
    const std::string problems = LayoutProblems(grid);
    ASSERT_EQ(problems, "") << "seed " << seed;
    interiors.insert(grid.At(1, 1).position * 100 + grid.At(2, 2).position * 10 +
                     grid.At(3, 4).position);
    notched_edges += (grid.At(2, 0).position == UR) + (grid.At(2, 5).position == LR) +
                     (grid.At(0, 2).position == LL) + (grid.At(5, 2).position == LR);
  }
  // These three slots tell the nine patterns apart: every pattern comes up.
  EXPECT_EQ(interiors.size(), 9u);
  // Four edges, each notched one time in six.
  EXPECT_NEAR(notched_edges / (4.0 * kRuns), 1.0 / 6, 0.02);
}

TEST(LayoutTest, SectionsOfAPositionAreAUniformSelection) {
  // The four corners of one position: over many runs each section comes up about
  // equally often.
  std::map<int, int> count;
  constexpr int kRuns = 4000;
  for (std::uint64_t seed = 0; seed < kRuns; ++seed) {
    RandomSource random(seed);
    ++count[ChooseLayout(random).At(0, 0).section];
  }
  ASSERT_EQ(count.size(), 9u);
  for (const auto& [section, n] : count) EXPECT_NEAR(n, kRuns / 9.0, kRuns / 9.0 * 0.2) << section;
}

// Reads back which maplet every 12 x 12 block of the level came from, checking that
// each cell is the matching cell of that maplet.
LayoutGrid LayoutInLevel(const TMap& level) {
  LayoutGrid grid;
  for (int r = 0; r < kLayoutSide; ++r) {
    for (int c = 0; c < kLayoutSide; ++c) {
      const int mark = level.TileIndex(c * 12 + 1, r * 12 + 1, 0);
      grid.At(c, r) = {mark / 10, mark % 10};
      for (int x = 0; x < 12; ++x) {
        for (int y = 0; y < 12; ++y) {
          const int X = c * 12 + x + 1, Y = r * 12 + y + 1;
          EXPECT_EQ(level.TileIndex(X, Y, 0), mark);
          EXPECT_EQ(level.TileRotation(X, Y, 0), x);
          EXPECT_EQ(level.TileEffect(X, Y, 0), y);
          EXPECT_EQ(level.CellReserved(X, Y), 0xBEEF);
          for (int layer = 1; layer < kLayerCount; ++layer) {
            EXPECT_EQ(level.Slot(X, Y, layer), LayerSlot{});
          }
        }
      }
    }
  }
  return grid;
}

class RandomLevelTest : public ::testing::Test {
 protected:
  RandomLevelTest() {
    // A second level so that "the current level" is not simply the first one.
    document.InsertLevel(1, std::make_unique<TMap>("Cellar"));
    document.SetCurrentLevel(1);
    TMap& level = document.Current();
    level.SetBackgroundTile(42);
    level.SetShowHidden(1);
    level.SetLayerVisible(3, false);
    level.SetLevelID(9);
    level.Tail()[300] = 0x77;
    std::fill(level.Cells().begin(), level.Cells().end(), std::uint8_t{0xCD});
  }

  MapDocument document;
  MapletSet set = testing::MarkedSet();
};

TEST_F(RandomLevelTest, FillsEveryCellOfTheCurrentLevelFromALayout) {
  const std::vector<std::uint8_t> tail(document.Current().Tail().begin(),
                                       document.Current().Tail().end());
  const std::vector<std::uint8_t> first(document.Level(0).Bytes().begin(),
                                        document.Level(0).Bytes().end());
  for (std::uint64_t seed : {1u, 2u, 77u}) {
    RandomSource random(seed);
    GenerateRandomLevel(document, set, random);
    EXPECT_EQ(LayoutProblems(LayoutInLevel(document.Current())), "") << seed;
  }
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), document.Current().Tail().begin()));
  EXPECT_EQ(document.Current().Title(), "Cellar");
  EXPECT_TRUE(std::equal(first.begin(), first.end(), document.Level(0).Bytes().begin()));
}

TEST_F(RandomLevelTest, LeavesModifiedAndTheUndoCopyAlone) {
  for (const bool modified : {false, true}) {
    document.SetModified(modified);
    std::fill(document.UndoBuffer().Cells().begin(), document.UndoBuffer().Cells().end(),
              std::uint8_t{0x99});
    RandomSource random(5);
    GenerateRandomLevel(document, set, random);
    EXPECT_EQ(document.Modified(), modified);
    EXPECT_TRUE(std::all_of(document.UndoBuffer().Cells().begin(),
                            document.UndoBuffer().Cells().end(), [](auto b) { return b == 0x99; }));
  }
}

TEST_F(RandomLevelTest, TheSameSeedGivesTheSameLevel) {
  auto level_for = [&](std::uint64_t seed) {
    RandomSource random(seed);
    GenerateRandomLevel(document, set, random);
    return std::vector<std::uint8_t>(document.Current().Cells().begin(),
                                     document.Current().Cells().end());
  };
  EXPECT_EQ(level_for(1234), level_for(1234));
  EXPECT_NE(level_for(1234), level_for(1235));
}

TEST_F(RandomLevelTest, AClockSeededSourceGivesADifferentLevelEachRun) {
  RandomSource random;
  std::set<std::vector<std::uint8_t>> levels;
  for (int run = 0; run < 5; ++run) {
    GenerateRandomLevel(document, set, random);
    levels.emplace(document.Current().Cells().begin(), document.Current().Cells().end());
  }
  EXPECT_EQ(levels.size(), 5u);
}

TEST_F(RandomLevelTest, AnEmptySetZeroesTheLevel) {
  const MapletSet empty;
  RandomSource random(3);
  GenerateRandomLevel(document, empty, random);
  const auto cells = document.Current().Cells();
  EXPECT_TRUE(std::all_of(cells.begin(), cells.end(), [](auto b) { return b == 0; }));
  EXPECT_EQ(document.Current().BackgroundTile(), 42);
}

// InsertMaplet at a grid cell: which cells it writes, and that the undo copy
// brings the level back.
TEST_F(RandomLevelTest, InsertMapletWritesTheClippedBlockAndCanBeUndone) {
  struct Case {
    int left, top;
    int columns, rows;  // written
  };
  const Case cases[] = {
      {65, 70, 7, 2}, {0, 0, 12, 12}, {60, 60, 12, 12}, {71, 71, 1, 1}, {30, 65, 12, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.left) + "," + std::to_string(c.top));
    TMap& level = document.Current();
    std::fill(level.Cells().begin(), level.Cells().end(), std::uint8_t{0xCD});
    document.SetModified(false);
    const std::vector<std::uint8_t> before(level.Bytes().begin(), level.Bytes().end());
    RandomSource random(static_cast<std::uint64_t>(c.left * 100 + c.top));

    const MapletChoice choice = InsertMaplet(document, set, random, c.left, c.top);
    EXPECT_TRUE(document.Modified());
    int written = 0;
    for (int X = 0; X < MapSize; ++X) {
      for (int Y = 0; Y < MapSize; ++Y) {
        const auto cell = level.Cell(X + 1, Y + 1);
        const bool inside = X >= c.left && X < c.left + 12 && Y >= c.top && Y < c.top + 12;
        if (inside) {
          const auto from = set.Cell(choice.position, choice.section, X - c.left, Y - c.top);
          EXPECT_TRUE(std::equal(cell.begin(), cell.end(), from.begin())) << X << "," << Y;
          ++written;
        } else {
          ASSERT_TRUE(std::all_of(cell.begin(), cell.end(), [](auto b) { return b == 0xCD; }))
              << X << "," << Y;
        }
      }
    }
    EXPECT_EQ(written, c.columns * c.rows);
    EXPECT_TRUE(std::equal(before.begin() + kCellBlockBytes, before.end(), level.Tail().begin()));

    // Undo puts the undo copy's cells back into the level.
    std::memcpy(level.Cells().data(), document.UndoBuffer().Cells().data(), kCellBlockBytes);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), level.Bytes().begin()));
  }
}

TEST_F(RandomLevelTest, InsertMapletPicksAnyMapletAndFromAnEmptySetWritesEmptyCells) {
  std::set<int> picked;
  for (std::uint64_t seed = 0; seed < 2000; ++seed) {
    RandomSource random(seed);
    const MapletChoice choice = InsertMaplet(document, set, random, 0, 0);
    ASSERT_GE(choice.position, 1);
    ASSERT_LE(choice.position, 9);
    ASSERT_GE(choice.section, 1);
    ASSERT_LE(choice.section, 9);
    picked.insert(choice.position * 10 + choice.section);
  }
  EXPECT_EQ(picked.size(), 81u);

  const MapletSet empty;
  std::fill(document.Current().Cells().begin(), document.Current().Cells().end(),
            std::uint8_t{0xCD});
  RandomSource random(1);
  InsertMaplet(document, empty, random, 66, 0);
  for (int X = 0; X < MapSize; ++X) {
    for (int Y = 0; Y < MapSize; ++Y) {
      const auto cell = document.Current().Cell(X + 1, Y + 1);
      const std::uint8_t expected = X >= 66 && Y < 12 ? 0 : 0xCD;
      ASSERT_TRUE(std::all_of(cell.begin(), cell.end(), [&](auto b) { return b == expected; }))
          << X << "," << Y;
    }
  }
}

TEST(RandomSourceTest, UniformStaysInRangeAndCoversIt) {
  RandomSource random(99);
  std::map<int, int> seen;
  for (int i = 0; i < 6000; ++i) ++seen[random.Uniform(0, 5)];
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen.begin()->first, 0);
  EXPECT_EQ(seen.rbegin()->first, 5);
  for (const auto& [value, n] : seen) EXPECT_NEAR(n, 1000, 150) << value;
  EXPECT_EQ(random.Uniform(7, 7), 7);
  const int wide = random.Uniform(-2147483647 - 1, 2147483647);
  (void)wide;  // a full-width range neither overflows nor loops
}

TEST(RandomSourceTest, ASeededSourceGoesOnThroughReseed) {
  RandomSource a(42), b(42);
  std::vector<int> first, second;
  for (int i = 0; i < 20; ++i) first.push_back(a.Uniform(1, 1000));
  a.Reseed();
  for (int i = 0; i < 20; ++i) second.push_back(a.Uniform(1, 1000));
  EXPECT_NE(first, second) << "Reseed restarted a seeded sequence";
  std::vector<int> straight;
  for (int i = 0; i < 40; ++i) straight.push_back(b.Uniform(1, 1000));
  first.insert(first.end(), second.begin(), second.end());
  EXPECT_EQ(first, straight);
  EXPECT_FALSE(a.ClockSeeded());
  EXPECT_TRUE(RandomSource().ClockSeeded());
}

}  // namespace
}  // namespace qm
