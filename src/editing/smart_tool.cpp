#include "editing/smart_tool.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "document/map_records.h"

namespace qm {
namespace {

// A side class: the pieces that show a given amount of terrain along one edge,
// as a bit set over piece values 0..15.
using PieceSet = std::uint16_t;

constexpr PieceSet Pieces(std::initializer_list<int> pieces) {
  PieceSet set = 0;
  for (int piece : pieces) set = static_cast<PieceSet>(set | (1u << piece));
  return set;
}

// Named by the edge and what shows along it: Full both quarters of that edge, the
// other suffix the one quarter at that end only (SWest: the south-west quarter).
constexpr PieceSet kSFull = Pieces({2, 10, 12, 13});
constexpr PieceSet kSWest = Pieces({3, 5, 11, 15});
constexpr PieceSet kSEast = Pieces({4, 8, 9, 14});
constexpr PieceSet kNFull = Pieces({1, 9, 11, 13});
constexpr PieceSet kNWest = Pieces({3, 6, 12, 14});
constexpr PieceSet kNEast = Pieces({4, 7, 10, 15});
constexpr PieceSet kEFull = Pieces({4, 9, 10, 13});
constexpr PieceSet kENorth = Pieces({1, 7, 11, 15});
constexpr PieceSet kESouth = Pieces({2, 8, 12, 14});
constexpr PieceSet kWFull = Pieces({3, 11, 12, 13});
constexpr PieceSet kWNorth = Pieces({1, 6, 9, 14});
constexpr PieceSet kWSouth = Pieces({2, 5, 10, 15});

bool OnMap(int x, int y) {
  return x >= 1 && x <= MapSize && y >= 1 && y <= MapSize;
}

// One placement: reads and writes go to the one working layer of one level, with
// coordinates relative to the clicked cell.
class Placement {
 public:
  Placement(TMap& level, int x, int y, std::uint16_t base, int layer, std::uint8_t effect)
      : level_(level), x_(x), y_(y), base_(base), layer_(layer), effect_(effect) {}

  int Value(int dx, int dy) const {
    return SmartPieceValue(level_, x_ + dx, y_ + dy, layer_, base_);
  }
  bool Is(int dx, int dy, PieceSet set) const {
    const int value = Value(dx, dy);
    return value >= 0 && value < kSmartGroupSize && ((set >> value) & 1u) != 0;
  }

  void Write(int dx, int dy, int piece) {
    const int x = x_ + dx, y = y_ + dy;
    if (!OnMap(x, y)) return;
    level_.SetTileIndex(x, y, layer_, static_cast<std::uint16_t>(base_ + piece));
    level_.SetTileEffect(x, y, layer_, effect_);
    const GridCell cell{x - 1, y - 1};
    if (std::find(written_.begin(), written_.end(), cell) == written_.end()) {
      written_.push_back(cell);
    }
  }

  std::vector<GridCell> TakeWritten() { return std::move(written_); }

 private:
  TMap& level_;
  int x_, y_;
  std::uint16_t base_;
  int layer_;
  std::uint8_t effect_;
  std::vector<GridCell> written_;
};

// An edge cell takes its first piece, then looks at the cell beyond it: if that
// shows terrain along the facing edge, the edge piece grows to meet it.
struct EdgeRule {
  int dx, dy;  // the edge cell
  int first;   // piece written before looking further
  PieceSet full, one, other;
  int if_full, if_one, if_other;
};

constexpr EdgeRule kEdges[] = {
    {0, -1, 2, kSFull, kSWest, kSEast, 13, 12, 10},   // north
    {1, 0, 3, kWFull, kWNorth, kWSouth, 13, 11, 12},  // east
    {0, 1, 1, kNFull, kNWest, kNEast, 13, 11, 9},     // south
    {-1, 0, 4, kEFull, kENorth, kESouth, 13, 9, 10},  // west
};

}  // namespace

int SmartPieceValue(const TMap& level, int x, int y, int layer, std::uint16_t base_tile) {
  if (!OnMap(x, y)) return kFullTerrainPiece;
  // The full 16-bit number: a group anywhere in a large tileset reads back the
  // pieces it wrote. Signed, so an empty slot (tile 0) never counts as terrain.
  return static_cast<int>(level.TileIndex(x, y, layer)) - static_cast<int>(base_tile);
}

std::vector<GridCell> SmartPlacement(TMap& level, int x, int y, std::uint16_t base_tile, int layer,
                                     std::uint8_t effect) {
  if (layer < 0 || layer >= kLayerCount) return {};  // no such slot in a cell
  Placement p(level, x, y, base_tile, layer, effect);

  // The order matters: every step reads what the steps before it wrote.
  p.Write(0, 0, kFullTerrainPiece);

  for (const EdgeRule& e : kEdges) {
    p.Write(e.dx, e.dy, e.first);
    const int fx = 2 * e.dx, fy = 2 * e.dy;
    if (p.Is(fx, fy, e.full)) {
      p.Write(e.dx, e.dy, e.if_full);
    } else if (p.Is(fx, fy, e.one)) {
      p.Write(e.dx, e.dy, e.if_one);
    } else if (p.Is(fx, fy, e.other)) {
      p.Write(e.dx, e.dy, e.if_other);
    }
  }

  // The corners see the edge pieces just written and cells two steps out, none of
  // which another corner writes. Neighbours are named by their direction from the
  // corner cell.
  {  // north-west corner (-1, -1)
    const int cx = -1, cy = -1;
    auto east = [&](PieceSet s) { return p.Is(cx + 1, cy, s); };
    auto south = [&](PieceSet s) { return p.Is(cx, cy + 1, s); };
    auto west = [&](PieceSet s) { return p.Is(cx - 1, cy, s); };
    auto north = [&](PieceSet s) { return p.Is(cx, cy - 1, s); };
    p.Write(cx, cy, 8);
    if (east(kWFull)) {
      p.Write(cx, cy, 4);
      if (north(kSFull) && west(kENorth)) p.Write(cx, cy, 9);
    }
    if (south(kNFull)) {
      p.Write(cx, cy, 2);
      if (west(kEFull) && north(kSWest)) p.Write(cx, cy, 12);
    }
    if (east(kWFull) && south(kNFull)) {
      p.Write(cx, cy, 13);
      if (west(kESouth) && north(kSEast)) p.Write(cx, cy, 10);
    }
    if (p.Value(cx, cy) == 8 && west(kENorth) && north(kSWest)) p.Write(cx, cy, 14);
  }
  {  // north-east corner (1, -1)
    const int cx = 1, cy = -1;
    auto west = [&](PieceSet s) { return p.Is(cx - 1, cy, s); };
    auto south = [&](PieceSet s) { return p.Is(cx, cy + 1, s); };
    auto east = [&](PieceSet s) { return p.Is(cx + 1, cy, s); };
    auto north = [&](PieceSet s) { return p.Is(cx, cy - 1, s); };
    p.Write(cx, cy, 5);
    if (west(kEFull)) {
      p.Write(cx, cy, 3);
      if (north(kSFull) && east(kWNorth)) p.Write(cx, cy, 11);
    }
    if (south(kNFull)) {
      p.Write(cx, cy, 2);
      if (east(kWFull) && north(kSEast)) p.Write(cx, cy, 10);
    }
    if (west(kEFull) && south(kNFull)) {
      p.Write(cx, cy, 13);
      if (east(kWSouth) && north(kSWest)) p.Write(cx, cy, 12);
    }
    if (p.Value(cx, cy) == 5 && east(kWNorth) && north(kSEast)) p.Write(cx, cy, 15);
  }
  {  // south-east corner (1, 1)
    const int cx = 1, cy = 1;
    auto west = [&](PieceSet s) { return p.Is(cx - 1, cy, s); };
    auto north = [&](PieceSet s) { return p.Is(cx, cy - 1, s); };
    auto east = [&](PieceSet s) { return p.Is(cx + 1, cy, s); };
    auto south = [&](PieceSet s) { return p.Is(cx, cy + 1, s); };
    p.Write(cx, cy, 6);
    if (west(kEFull)) {
      p.Write(cx, cy, 3);
      if (east(kWSouth) && south(kNFull)) p.Write(cx, cy, 12);
    }
    if (north(kSFull)) {
      p.Write(cx, cy, 1);
      if (east(kWFull) && south(kNEast)) p.Write(cx, cy, 9);
    }
    if (west(kEFull) && north(kSFull)) {
      p.Write(cx, cy, 13);
      if (east(kWNorth) && south(kNWest)) p.Write(cx, cy, 11);
    }
    if (p.Value(cx, cy) == 6 && east(kWSouth) && south(kNEast)) p.Write(cx, cy, 14);
  }
  {  // south-west corner (-1, 1)
    const int cx = -1, cy = 1;
    auto east = [&](PieceSet s) { return p.Is(cx + 1, cy, s); };
    auto north = [&](PieceSet s) { return p.Is(cx, cy - 1, s); };
    auto west = [&](PieceSet s) { return p.Is(cx - 1, cy, s); };
    auto south = [&](PieceSet s) { return p.Is(cx, cy + 1, s); };
    p.Write(cx, cy, 7);
    if (east(kWFull)) {
      p.Write(cx, cy, 4);
      if (south(kNFull) && west(kESouth)) p.Write(cx, cy, 10);
    }
    if (north(kSFull)) {
      p.Write(cx, cy, 1);
      if (south(kNWest) && west(kEFull)) p.Write(cx, cy, 11);
    }
    if (east(kWFull) && north(kSFull)) {
      p.Write(cx, cy, 13);
      if (west(kENorth) && south(kNEast)) p.Write(cx, cy, 9);
    }
    if (p.Value(cx, cy) == 7 && west(kESouth) && south(kNWest)) p.Write(cx, cy, 15);
  }

  return p.TakeWritten();
}

}  // namespace qm
