#include "maplets/random_level.h"

#include <algorithm>
#include <cstring>

namespace qm {
namespace {

constexpr int UL = kUpperLeft, UC = kUpperCenter, UR = kUpperRight, L = kLeft, C = kCenter,
              R = kRight, LL = kLowerLeft, LC = kLowerCenter, LR = kLowerRight;

// The interior slots (1..4, 1..4) of each pattern, row by row, columns left to right.
constexpr int kInterior[kLayoutVariants][4][4] = {
    {{C, R, L, C}, {LC, C, C, LC}, {UC, C, C, UC}, {C, R, L, C}},
    {{C, C, C, LC}, {C, LR, LL, UC}, {LC, UR, UL, C}, {UC, C, C, C}},
    {{LR, L, R, LL}, {UC, C, C, UC}, {LC, C, C, LC}, {UR, L, R, UL}},
    {{C, LC, LC, C}, {C, UC, UC, C}, {C, LC, LC, C}, {C, UC, UC, C}},
    {{R, L, C, C}, {C, LR, LL, C}, {C, UR, UL, C}, {C, C, R, L}},
    {{R, L, C, C}, {C, LC, LC, C}, {C, UC, UC, C}, {C, C, R, L}},
    {{C, LC, R, L}, {R, UL, C, C}, {LC, C, LR, L}, {UC, C, UC, C}},
    {{C, C, C, C}, {R, L, R, L}, {R, L, R, L}, {C, C, C, C}},
    {{C, C, LC, LC}, {C, C, UC, UC}, {R, L, C, C}, {R, L, C, C}},
};

// The order in which the positions draw their sections.
constexpr int kSectionOrder[kMapletPositions] = {UL, LL, UR, LR, UC, LC, L, R, C};

constexpr int kLast = kLayoutSide - 1;

void CopyMapletCell(const MapletSet& set, int position, int section, int x, int y, TMap& level,
                    int column, int row) {
  const auto from = set.Cell(position, section, x, y);
  std::memcpy(level.Cell(column + 1, row + 1).data(), from.data(), kCellBytes);
}

}  // namespace

LayoutGrid LayoutPositions(int variant, Notches notches) {
  LayoutGrid grid;
  grid.At(0, 0).position = UL;
  grid.At(kLast, 0).position = UR;
  grid.At(0, kLast).position = LL;
  grid.At(kLast, kLast).position = LR;
  // A notch turns the middle of an edge into two corners facing each other, so the
  // outline folds in there.
  if (notches.top) {
    grid.At(2, 0).position = UR;
    grid.At(3, 0).position = UL;
  }
  if (notches.bottom) {
    grid.At(2, kLast).position = LR;
    grid.At(3, kLast).position = LL;
  }
  if (notches.left) {
    grid.At(0, 2).position = LL;
    grid.At(0, 3).position = UL;
  }
  if (notches.right) {
    grid.At(kLast, 2).position = LR;
    grid.At(kLast, 3).position = UR;
  }
  for (int i = 1; i < kLast; ++i) {
    if (grid.At(i, 0).position == 0) grid.At(i, 0).position = UC;
    if (grid.At(i, kLast).position == 0) grid.At(i, kLast).position = LC;
    if (grid.At(0, i).position == 0) grid.At(0, i).position = L;
    if (grid.At(kLast, i).position == 0) grid.At(kLast, i).position = R;
  }
  const int pattern = std::clamp(variant, 1, kLayoutVariants) - 1;
  for (int r = 1; r < kLast; ++r) {
    for (int c = 1; c < kLast; ++c) grid.At(c, r).position = kInterior[pattern][r - 1][c - 1];
  }
  return grid;
}

LayoutGrid ChooseLayout(RandomSource& random) {
  const int variant = random.Uniform(1, kLayoutVariants);
  Notches notches;
  notches.top = random.Uniform(0, 5) == 0;
  notches.bottom = random.Uniform(0, 5) == 0;
  notches.left = random.Uniform(0, 5) == 0;
  notches.right = random.Uniform(0, 5) == 0;
  LayoutGrid grid = LayoutPositions(variant, notches);
  // Every pattern gives a position at most 8 slots, so a free section always
  // remains and the redrawing ends.
  for (const int position : kSectionOrder) {
    bool taken[kMapletSections + 1] = {};
    for (auto& slot : grid.places) {
      if (slot.position != position) continue;
      int section;
      do {
        section = random.Uniform(1, kMapletSections);
      } while (taken[section]);
      taken[section] = true;
      slot.section = section;
    }
  }
  return grid;
}

void CopyLayout(const LayoutGrid& layout, const MapletSet& set, TMap& level) {
  for (int r = 0; r < kLayoutSide; ++r) {
    for (int c = 0; c < kLayoutSide; ++c) {
      const LayoutSlot& slot = layout.At(c, r);
      for (int x = 0; x < kMapletSide; ++x) {
        // A maplet column is 12 consecutive cells, as is the part of a level column
        // it lands on: one block copy per column.
        const auto from =
            set.Maplet(slot.position, slot.section)
                .subspan(static_cast<std::size_t>(x) * kMapletColumnBytes, kMapletColumnBytes);
        const std::size_t column = static_cast<std::size_t>(c * kMapletSide + x);
        const std::size_t row = static_cast<std::size_t>(r * kMapletSide);
        std::memcpy(level.Cells().data() + (column * MapSize + row) * kCellBytes, from.data(),
                    from.size());
      }
    }
  }
}

void GenerateRandomLevel(MapDocument& document, const MapletSet& set, RandomSource& random) {
  random.Reseed();
  CopyLayout(ChooseLayout(random), set, document.Current());
}

MapletChoice InsertMaplet(MapDocument& document, const MapletSet& set, RandomSource& random,
                          int left, int top) {
  TMap& level = document.Current();
  std::memcpy(document.UndoBuffer().Cells().data(), level.Cells().data(), kCellBlockBytes);
  random.Reseed();
  MapletChoice choice{};
  choice.position = random.Uniform(1, kMapletPositions);
  choice.section = random.Uniform(1, kMapletSections);
  for (int x = 0; x < kMapletSide; ++x) {
    const int column = left + x;
    if (column < 0 || column >= MapSize) continue;
    for (int y = 0; y < kMapletSide; ++y) {
      const int row = top + y;
      if (row < 0 || row >= MapSize) continue;
      CopyMapletCell(set, choice.position, choice.section, x, y, level, column, row);
    }
  }
  document.SetModified(true);
  return choice;
}

}  // namespace qm
