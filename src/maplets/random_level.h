#pragma once
// Random levels and random maplets built from the maplet set.
//
// A random level is a 6 x 6 arrangement of maplets (72 = 6 x 12 cells) that forms a
// closed outline: corner maplets in the corners, edge maplets along the edges and
// one of nine interior patterns inside, with up to four notches that split an outer
// edge in two. Within one position every slot gets a different section, so no
// maplet appears twice in one level.
#include <array>

#include "document/map_document.h"
#include "maplets/maplet_set.h"
#include "maplets/random_source.h"

namespace qm {

inline constexpr int kLayoutSide = MapSize / kMapletSide;  // 6
inline constexpr int kLayoutVariants = 9;

struct LayoutSlot {
  int position = 0;  // 0 = not assigned yet, else 1..9
  int section = 0;   // 1..9 once assigned
};

// Slot (c, r) covers level columns 12c..12c+11 and rows 12r..12r+11.
struct LayoutGrid {
  std::array<LayoutSlot, kLayoutSide * kLayoutSide> places{};
  LayoutSlot& At(int c, int r) { return places[static_cast<std::size_t>(r * kLayoutSide + c)]; }
  const LayoutSlot& At(int c, int r) const {
    return places[static_cast<std::size_t>(r * kLayoutSide + c)];
  }
};

struct Notches {
  bool top = false, bottom = false, left = false, right = false;
};

// The positions of every slot for an interior pattern (1..9) and notches; the
// sections are left 0.
LayoutGrid LayoutPositions(int variant, Notches notches);

// Draws the pattern, the notches (each with probability 1/6) and the sections.
LayoutGrid ChooseLayout(RandomSource& random);

// Copies, for every slot, the whole cells of its maplet into the level's cells.
void CopyLayout(const LayoutGrid& layout, const MapletSet& set, TMap& level);

// Replaces every cell of the current level by a random layout. The level's tail is
// not touched, no undo copy is taken and Modified stays as it was; the caller
// repaints.
void GenerateRandomLevel(MapDocument& document, const MapletSet& set, RandomSource& random);

struct MapletChoice {
  int position;
  int section;
};

// Stamps a random maplet into the current level with its top-left cell at 0-based
// column left, row top, dropping cells that fall outside the level. Takes the undo
// copy first, as the editing tools do, and sets Modified; the caller repaints.
MapletChoice InsertMaplet(MapDocument& document, const MapletSet& set, RandomSource& random,
                          int left, int top);

}  // namespace qm
