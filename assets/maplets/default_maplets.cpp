#include "default_maplets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/errors.h"

namespace qm::mapletgen {
namespace {

constexpr int N = kMapletSide;
constexpr std::uint8_t kQuarterTurn = 45;  // stored rotation units of 2 degrees
constexpr std::uint8_t kRockEffect = 37;   // drawn at 150 of 255 opacity
using Cell = std::pair<int, int>;
constexpr std::array<Cell, 4> kSteps{{{1, 0}, {-1, 0}, {0, 1}, {0, -1}}};

// The tiles the set is drawn with.
struct Tiles {
  int flagstone, sandstone, cobble, wood, dark_wood, dirt, stone_tiles, marble, carpet, cave_floor;
  int stone_wall, cave_wall;
  int water, deep_water;
  int wooden_door, iron_door, open_door, portcullis, stairs_down, stairs_up, spiral_stairs;
  int round_pillar, square_pillar, broken_pillar, statue;
  int table, round_table, chair, bed, chest, barrel, crate, bookshelf, altar, fountain, throne, rug,
      brazier, campfire, bones, skull, rubble, web, well, sarcophagus, urn;
  int boulder, rocks, stalagmite;
  int secret_door, spike_trap, pit_trap;
};

Tiles LookUpTiles(const Tileset& tileset) {
  std::map<std::string, int> numbers;
  for (int tile = tileset.TileCount() - 1; tile >= 1; --tile)
    numbers[tileset.Properties(tile).TileName()] = tile;  // the first of a name wins
  const auto n = [&numbers](const std::string& name) {
    const auto found = numbers.find(name);
    if (found == numbers.end()) throw UserError("the tileset has no tile named \"" + name + "\"");
    return found->second;
  };
  Tiles t;
  t.flagstone = n("Flagstone");
  t.sandstone = n("Flagstone, sandstone");
  t.cobble = n("Cobblestone");
  t.wood = n("Wooden floor");
  t.dark_wood = n("Dark wooden floor");
  t.dirt = n("Dirt");
  t.stone_tiles = n("Stone tiles");
  t.marble = n("Marble checkerboard");
  t.carpet = n("Carpet");
  t.cave_floor = n("Cave floor");
  t.stone_wall = n("Stone block wall");
  t.cave_wall = n("Cave wall");
  t.water = n("Water");
  t.deep_water = n("Deep water");
  t.wooden_door = n("Wooden door");
  t.iron_door = n("Iron door");
  t.open_door = n("Open door");
  t.portcullis = n("Portcullis");
  t.stairs_down = n("Stairs down");
  t.stairs_up = n("Stairs up");
  t.spiral_stairs = n("Spiral stairs");
  t.round_pillar = n("Round pillar");
  t.square_pillar = n("Square pillar");
  t.broken_pillar = n("Broken pillar");
  t.statue = n("Statue");
  t.table = n("Table");
  t.round_table = n("Round table");
  t.chair = n("Chair");
  t.bed = n("Bed");
  t.chest = n("Chest");
  t.barrel = n("Barrel");
  t.crate = n("Crate");
  t.bookshelf = n("Bookshelf");
  t.altar = n("Altar");
  t.fountain = n("Fountain");
  t.throne = n("Throne");
  t.rug = n("Rug");
  t.brazier = n("Brazier");
  t.campfire = n("Campfire");
  t.bones = n("Bones");
  t.skull = n("Skull");
  t.rubble = n("Rubble");
  t.web = n("Spider web");
  t.well = n("Well");
  t.sarcophagus = n("Sarcophagus");
  t.urn = n("Urn");
  t.boulder = n("Boulder");
  t.rocks = n("Rocks");
  t.stalagmite = n("Stalagmite");
  t.secret_door = n("Secret door");
  t.spike_trap = n("Spike trap");
  t.pit_trap = n("Pit trap");
  return t;
}

enum class Kind { Rock, Wall, Floor };

struct PlanCell {
  Kind kind = Kind::Rock;
  std::array<LayerSlot, kLayerCount> slots{};
  bool blocked = false;  // something stands here that one walks around
  bool door = false;
  int turned_layer = -1;  // a leaf or gate on this layer lies across the way through
};

struct Rect {
  int x0, y0, x1, y1;  // the walls, inclusive
  bool Inside(int x, int y) const { return x > x0 && x < x1 && y > y0 && y < y1; }
};

bool InBand(int v) {
  return v == kMouthFirst || v == kMouthLast;
}

// One maplet being drawn. Drawing works in the plan's own frame; a transposed plan
// is written out with x and y swapped, which turns rooms and corridors a quarter
// and keeps the mouths (they lie on both diagonals' middle cells) where they are.
class Plan {
 public:
  Plan(const Tiles& tiles, const Tileset& tileset, std::array<bool, 4> outline, bool transposed,
       std::uint32_t seed)
      : t(tiles), tileset_(tileset), transposed_(transposed), random_(seed) {
    // The plan's top is the maplet's left when transposed, its right the bottom.
    static constexpr std::array<int, 4> kTransposedSide = {kLeft, kBottom, kRight, kTop};
    for (int side = 0; side < 4; ++side)
      outline_[side] = outline[transposed ? kTransposedSide[side] : side];
    for (int x = 0; x < N; ++x)
      for (int y = 0; y < N; ++y) Rock(x, y);
    // The level's outline: a closed wall along every outer edge.
    for (int i = 0; i < N; ++i) {
      if (outline_[kTop]) Wall(i, 0);
      if (outline_[kBottom]) Wall(i, N - 1);
      if (outline_[kLeft]) Wall(0, i);
      if (outline_[kRight]) Wall(N - 1, i);
    }
  }

  const Tiles& t;

  bool Outline(int side) const { return outline_[side]; }
  int Rand(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
  bool Chance(int percent) { return Rand(100) < percent; }

  PlanCell& At(int x, int y) { return cells_[static_cast<std::size_t>(x * N + y)]; }
  bool Valid(int x, int y) const { return x >= 0 && y >= 0 && x < N && y < N; }
  bool OnEdge(int x, int y) const { return x == 0 || y == 0 || x == N - 1 || y == N - 1; }
  bool OnOutline(int x, int y) const {
    return (y == 0 && outline_[kTop]) || (y == N - 1 && outline_[kBottom]) ||
           (x == 0 && outline_[kLeft]) || (x == N - 1 && outline_[kRight]);
  }

  void Rock(int x, int y) {
    Set(x, y, Kind::Rock, t.cave_wall);
    // Faded, the rock recedes behind the rooms and ways cut into it.
    At(x, y).slots[static_cast<std::size_t>(LayerOf(t.cave_wall))].TileEffect = kRockEffect;
  }
  void Wall(int x, int y) { Set(x, y, Kind::Wall, t.stone_wall); }
  void Floor(int x, int y, int tile) {
    // The outline is never opened, whatever a room or a cave would like.
    if (OnOutline(x, y)) return;
    Set(x, y, Kind::Floor, tile);
  }
  // A tile on its own layer over what the cell holds.
  void Put(int x, int y, int tile, std::uint8_t rotation = 0) {
    PlanCell& cell = At(x, y);
    cell.slots[static_cast<std::size_t>(LayerOf(tile))] = {static_cast<std::uint16_t>(tile),
                                                           rotation, 0};
  }
  // A door leaf or gate across a way through; `across_vertical_wall` for one
  // passed left to right, which is turned a quarter.
  void PutAcross(int x, int y, int tile, bool across_vertical_wall) {
    Put(x, y, tile, across_vertical_wall ? kQuarterTurn : 0);
    At(x, y).turned_layer = LayerOf(tile);
  }
  // Something one walks around, on a floor cell that is free for it.
  bool Prop(int x, int y, int tile) {
    if (!Free(x, y)) return false;
    Put(x, y, tile);
    At(x, y).blocked = true;
    return true;
  }
  // A door in a wall cell.
  void Door(int x, int y, int tile, int floor, bool across_vertical_wall) {
    Floor(x, y, floor);
    if (At(x, y).kind != Kind::Floor) return;
    PutAcross(x, y, tile, across_vertical_wall);
    At(x, y).door = true;
  }

  // A floor cell where a prop blocks no way through: off the crossing bands the
  // mouths lead into and not beside a door.
  bool Free(int x, int y) {
    if (!Valid(x, y) || At(x, y).kind != Kind::Floor || At(x, y).blocked || At(x, y).door)
      return false;
    if (InBand(x) || InBand(y)) return false;
    for (const auto& [dx, dy] : kSteps)
      if (Valid(x + dx, y + dy) && At(x + dx, y + dy).door) return false;
    return true;
  }

  // A walled room; walls on the outline are the outline's own.
  void Room(Rect r, int floor) {
    for (int x = r.x0; x <= r.x1; ++x)
      for (int y = r.y0; y <= r.y1; ++y) {
        if (r.Inside(x, y)) {
          Floor(x, y, floor);
        } else if (At(x, y).kind != Kind::Floor) {
          Wall(x, y);
        }
      }
  }

  // Walls for a room that spans the crossing bands, closer to an open edge or
  // further in; on the outline the wall is the outline itself.
  Rect RoomRect(int max_inset) {
    const auto inset = [&](int side) {
      if (outline_[side] && Chance(75)) return 0;
      return 1 + Rand(max_inset);
    };
    Rect r{inset(kLeft), inset(kTop), 0, 0};
    r.x1 = N - 1 - inset(kRight);
    r.y1 = N - 1 - inset(kBottom);
    return r;
  }

  // From the mouth of an open side into the maplet along the band, through rock,
  // until it meets floor or a wall, where it puts a door.
  void Arm(int side, int floor, int door_tile) {
    if (outline_[side]) return;
    for (int depth = 0; depth < N; ++depth) {
      bool met_floor = false, met_wall = false;
      for (int band = kMouthFirst; band <= kMouthLast; ++band) {
        const auto [x, y] = BandCell(side, depth, band);
        if (At(x, y).kind == Kind::Floor) met_floor = true;
        if (At(x, y).kind == Kind::Wall && depth > 0) met_wall = true;
      }
      if (met_floor) return;
      for (int band = kMouthFirst; band <= kMouthLast; ++band) {
        const auto [x, y] = BandCell(side, depth, band);
        if (met_wall) {
          Door(x, y, door_tile, floor, side == kLeft || side == kRight);
        } else {
          Floor(x, y, floor);
        }
      }
      if (met_wall) return;
    }
  }

  static std::pair<int, int> BandCell(int side, int depth, int band) {
    switch (side) {
      case kTop:
        return {band, depth};
      case kBottom:
        return {band, N - 1 - depth};
      case kLeft:
        return {depth, band};
      default:
        return {N - 1 - depth, band};
    }
  }

  // The mouths themselves: floor on every open side, so neighbours always meet.
  void Mouths(int floor) {
    for (int side = 0; side < 4; ++side) {
      if (outline_[side]) continue;
      for (int band = kMouthFirst; band <= kMouthLast; ++band) {
        const auto [x, y] = BandCell(side, 0, band);
        if (At(x, y).kind != Kind::Floor) Floor(x, y, floor);
      }
    }
  }

  // Interior cells of `r` that touch its walls.
  std::vector<Cell> AlongWalls(Rect r) {
    std::vector<Cell> cells;
    for (int x = r.x0 + 1; x < r.x1; ++x)
      for (int y = r.y0 + 1; y < r.y1; ++y)
        if (x == r.x0 + 1 || x == r.x1 - 1 || y == r.y0 + 1 || y == r.y1 - 1)
          cells.push_back({x, y});
    return cells;
  }

  // Every way and room gets a wall where it meets the rock: masonry along what was
  // built, the rough rock itself, unfaded, along caves.
  void Enclose() {
    std::vector<std::pair<Cell, bool>> walls;
    for (int x = 0; x < N; ++x)
      for (int y = 0; y < N; ++y) {
        if (At(x, y).kind != Kind::Rock) continue;
        bool built = false, cave = false;
        for (int dx = -1; dx <= 1; ++dx)
          for (int dy = -1; dy <= 1; ++dy) {
            if (!Valid(x + dx, y + dy) || At(x + dx, y + dy).kind != Kind::Floor) continue;
            const auto& floor =
                At(x + dx, y + dy).slots[static_cast<std::size_t>(LayerOf(t.cave_floor))];
            (floor.TileIndex == t.cave_floor ? cave : built) = true;
          }
        if (built || cave) walls.push_back({{x, y}, built});
      }
    for (const auto& [cell, built] : walls) {
      if (built) {
        Wall(cell.first, cell.second);
      } else {
        Set(cell.first, cell.second, Kind::Wall, t.cave_wall);
      }
    }
  }

  void WriteTo(MapletSet& set, int position, int section) {
    for (int x = 0; x < N; ++x)
      for (int y = 0; y < N; ++y) {
        const int mx = transposed_ ? y : x, my = transposed_ ? x : y;
        for (int layer = 0; layer < kLayerCount; ++layer) {
          LayerSlot slot = At(x, y).slots[static_cast<std::size_t>(layer)];
          // A leaf across the way turns with the plan.
          if (transposed_ && At(x, y).turned_layer == layer)
            slot.TileRotation = slot.TileRotation == 0 ? kQuarterTurn : 0;
          set.SetSlot(position, section, mx, my, layer, slot);
        }
      }
  }

 private:
  int LayerOf(int tile) const {
    const int layer = tileset_.Properties(tile).DefaultLayer();
    return layer >= 0 && layer < kLayerCount ? layer : 0;
  }
  void Set(int x, int y, Kind kind, int tile) {
    PlanCell& cell = At(x, y);
    cell = PlanCell{};
    cell.kind = kind;
    Put(x, y, tile);
  }

  const Tileset& tileset_;
  std::array<bool, 4> outline_{};
  bool transposed_;
  std::mt19937 random_;
  std::array<PlanCell, N * N> cells_{};
};

// ---- rooms ---------------------------------------------------------------------

void AllArms(Plan& p, int floor, int door) {
  for (int side = 0; side < 4; ++side) p.Arm(side, floor, door);
  p.Mouths(floor);
}

void Library(Plan& p) {
  const Rect r = p.RoomRect(2);
  p.Room(r, p.t.wood);
  AllArms(p, p.t.flagstone, p.t.wooden_door);
  // Shelves line the walls above and below.
  for (int x = r.x0 + 1; x < r.x1; ++x) {
    p.Prop(x, r.y0 + 1, p.t.bookshelf);
    p.Prop(x, r.y1 - 1, p.t.bookshelf);
  }
  // Reading tables in two opposite corners, a brazier and a chest in the others.
  const bool flip = p.Chance(50);
  const std::array<Cell, 2> tables{{{3, flip ? 3 : 8}, {8, flip ? 8 : 3}}};
  for (const auto& [tx, ty] : tables) {
    if (p.Prop(tx, ty, p.t.table)) p.Prop(tx + (tx < 6 ? 1 : -1), ty, p.t.chair);
  }
  p.Prop(3, flip ? 8 : 3, p.t.brazier);
  p.Prop(8, flip ? 3 : 8, p.t.chest);
  p.Put(kMouthFirst, kMouthFirst, p.t.rug);
  p.Put(kMouthLast, kMouthLast, p.t.rug);
}

void Barracks(Plan& p) {
  const Rect r = p.RoomRect(2);
  p.Room(r, p.t.dark_wood);
  AllArms(p, p.t.flagstone, p.t.wooden_door);
  // Bunks along the side walls, each with a chest at its foot.
  for (const int x : {r.x0 + 1, r.x1 - 1}) {
    for (int y = r.y0 + 1; y < r.y1; ++y) {
      if (p.Free(x, y) && (y % 2 == 0)) {
        p.Prop(x, y, p.t.bed);
        p.Prop(x + (x < 6 ? 1 : -1), y, p.t.chest);
      }
    }
  }
  p.Put(kMouthFirst, kMouthFirst, p.t.round_table);
  p.At(kMouthFirst, kMouthFirst).blocked = true;
  p.Put(kMouthFirst - 1, kMouthFirst, p.t.chair);
  p.Put(kMouthLast, kMouthFirst, p.t.chair);
  if (p.Chance(60)) p.Put(kMouthLast, kMouthLast, p.t.bones);
}

void Hall(Plan& p) {
  const Rect r = p.RoomRect(1);
  p.Room(r, p.t.sandstone);
  AllArms(p, p.t.flagstone, p.t.open_door);
  // A carpet runs door to door along the middle; pillars flank it.
  for (int v = 0; v < N; ++v)
    for (int band = kMouthFirst; band <= kMouthLast; ++band) {
      if (r.Inside(band, v) && p.At(band, v).kind == Kind::Floor) p.Put(band, v, p.t.carpet);
    }
  for (int y = r.y0 + 2; y <= r.y1 - 2; y += 2) {
    p.Prop(3, y, p.t.round_pillar);
    p.Prop(8, y, p.t.round_pillar);
  }
  // With its back to the outline, the hall is a throne room.
  for (const int side : {kTop, kBottom}) {
    if (!p.Outline(side)) continue;
    const int y = side == kTop ? r.y0 + 1 : r.y1 - 1;
    p.Put(kMouthFirst, y, p.t.throne);
    p.At(kMouthFirst, y).blocked = true;
    p.Put(kMouthLast, y, p.t.brazier);
    p.At(kMouthLast, y).blocked = true;
    return;
  }
  p.Prop(r.x0 + 1, r.y0 + 1, p.t.brazier);
  p.Prop(r.x1 - 1, r.y1 - 1, p.t.brazier);
  p.Prop(r.x1 - 1, r.y0 + 1, p.t.statue);
}

void Crypt(Plan& p) {
  const Rect r = p.RoomRect(2);
  // Bare earth, so the grey stone of the coffins stands out.
  p.Room(r, p.t.dirt);
  AllArms(p, p.t.flagstone, p.t.iron_door);
  for (int x = r.x0 + 2; x < r.x1 - 1; x += 2)
    for (int y = r.y0 + 2; y < r.y1 - 1; y += 3) p.Prop(x, y, p.t.sarcophagus);
  const std::array<Cell, 4> corners{
      {{r.x0 + 1, r.y0 + 1}, {r.x1 - 1, r.y0 + 1}, {r.x0 + 1, r.y1 - 1}, {r.x1 - 1, r.y1 - 1}}};
  for (const auto& [x, y] : corners) {
    if (p.Prop(x, y, p.t.urn) && p.Chance(50)) p.Put(x, y, p.t.web);
  }
  for (const auto& [x, y] : p.AlongWalls(r))
    if (p.Free(x, y) && p.Chance(12)) p.Put(x, y, p.Chance(50) ? p.t.skull : p.t.bones);
}

void FountainHall(Plan& p) {
  const Rect r = p.RoomRect(1);
  p.Room(r, p.t.marble);
  AllArms(p, p.t.flagstone, p.t.wooden_door);
  // The fountain stands where the ways cross; one walks round it.
  p.Put(kMouthFirst, kMouthFirst, p.t.fountain);
  p.At(kMouthFirst, kMouthFirst).blocked = true;
  for (const auto& [x, y] : std::array<Cell, 4>{{{3, 3}, {8, 3}, {3, 8}, {8, 8}}})
    p.Prop(x, y, p.t.square_pillar);
  for (const auto& [x, y] : p.AlongWalls(r))
    if (p.Chance(20)) p.Prop(x, y, p.Chance(50) ? p.t.statue : p.t.urn);
}

void StoreRoom(Plan& p) {
  const Rect r = p.RoomRect(3);
  p.Room(r, p.t.flagstone);
  AllArms(p, p.t.flagstone, p.t.wooden_door);
  for (const auto& [x, y] : p.AlongWalls(r))
    if (p.Chance(70)) p.Prop(x, y, p.Chance(50) ? p.t.crate : p.t.barrel);
  // A way down in one corner, a guard's table in another.
  const int sx = p.Chance(50) ? r.x0 + 1 : r.x1 - 1, sy = p.Chance(50) ? r.y0 + 1 : r.y1 - 1;
  p.At(sx, sy).blocked = false;
  for (int layer = 1; layer < kLayerCount; ++layer)
    p.At(sx, sy).slots[static_cast<std::size_t>(layer)] = {};
  p.Prop(sx, sy, p.Chance(30) ? p.t.spiral_stairs : p.t.stairs_down);
  const int tx = sx < 6 ? 8 : 3, ty = sy < 6 ? 8 : 3;
  if (p.Free(tx, ty)) {
    p.Prop(tx, ty, p.t.table);
    p.Put(tx, ty + (ty < 6 ? 1 : -1), p.t.chair);
  }
}

// A corridor across the maplet with a small room on each side of it.
void TwoRooms(Plan& p) {
  const int x0 = p.Outline(kLeft) ? 0 : 1, x1 = p.Outline(kRight) ? N - 1 : N - 2;
  const int y0 = p.Outline(kTop) ? 0 : 1, y1 = p.Outline(kBottom) ? N - 1 : N - 2;
  const Rect upper{x0, y0, x1, kMouthFirst - 1};
  const Rect lower{x0, kMouthLast + 1, x1, y1};
  p.Room(upper, p.t.wood);
  p.Room(lower, p.t.dirt);
  for (int x = x0 + 1; x < x1; ++x)
    for (int band = kMouthFirst; band <= kMouthLast; ++band) p.Floor(x, band, p.t.flagstone);
  AllArms(p, p.t.flagstone, p.t.wooden_door);
  // Each room opens on the corridor. A room with its back to the outline may hide
  // behind a secret door; one that a neighbour's corridor leads into may not.
  const int ux = 2 + p.Rand(3), lx = 7 + p.Rand(3);
  p.Door(ux, kMouthFirst - 1, p.t.wooden_door, p.t.wood, false);
  if (p.Outline(kBottom) && p.Chance(60)) {
    p.Floor(lx, kMouthLast + 1, p.t.dirt);
    p.Put(lx, kMouthLast + 1, p.t.stone_wall);
    p.Put(lx, kMouthLast + 1, p.t.secret_door);
    p.At(lx, kMouthLast + 1).door = true;
  } else {
    p.Door(lx, kMouthLast + 1, p.t.wooden_door, p.t.dirt, false);
  }
  // The upper room sleeps, the lower one stores.
  p.Prop(upper.x0 + 1, upper.y1 - 1, p.t.bed);
  p.Prop(upper.x1 - 1, upper.y1 - 1, p.t.chest);
  p.Prop(upper.x1 - 2, upper.y0 + 1, p.t.table);
  p.Put(kMouthLast + 2, upper.y1 - 1, p.t.rug);
  for (int x = lower.x0 + 1; x < lower.x1; ++x) {
    if (p.Chance(45)) p.Prop(x, lower.y1 - 1, p.Chance(50) ? p.t.crate : p.t.barrel);
  }
  if (p.Chance(50)) p.Put(3, kMouthFirst, p.t.rubble);
}

// ---- passages ------------------------------------------------------------------

void Crossing(Plan& p) {
  // A small square chamber where the corridors meet.
  const int floor = p.Chance(50) ? p.t.cobble : p.t.flagstone;
  for (int x = 4; x <= 7; ++x)
    for (int y = 4; y <= 7; ++y) p.Floor(x, y, floor);
  for (int side = 0; side < 4; ++side) p.Arm(side, p.t.flagstone, p.t.wooden_door);
  p.Mouths(p.t.flagstone);
  const int feature = p.Rand(3);
  if (feature == 0) {
    p.Put(kMouthFirst, kMouthFirst, p.t.statue);
    p.At(kMouthFirst, kMouthFirst).blocked = true;
  } else if (feature == 1) {
    p.Put(kMouthLast, kMouthFirst, p.t.well);
    p.At(kMouthLast, kMouthFirst).blocked = true;
  } else {
    p.Put(kMouthFirst, kMouthLast, p.t.pit_trap);
  }
  for (const auto& [x, y] : std::array<Cell, 4>{{{4, 4}, {7, 4}, {4, 7}, {7, 7}}}) {
    if (p.Chance(40)) p.Prop(x, y, p.Chance(50) ? p.t.broken_pillar : p.t.rubble);
  }
  // A gate closes one corridor; a trap waits in another.
  std::vector<int> open;
  for (int side = 0; side < 4; ++side)
    if (!p.Outline(side)) open.push_back(side);
  if (!open.empty()) {
    const int gate = open[static_cast<std::size_t>(p.Rand(static_cast<int>(open.size())))];
    for (int band = kMouthFirst; band <= kMouthLast; ++band) {
      const auto [x, y] = Plan::BandCell(gate, 2, band);
      p.PutAcross(x, y, p.t.portcullis, gate == kLeft || gate == kRight);
    }
    const int trap = open[static_cast<std::size_t>(p.Rand(static_cast<int>(open.size())))];
    const auto [x, y] = Plan::BandCell(trap, 1, kMouthFirst + p.Rand(2));
    p.Put(x, y, p.t.spike_trap);
  }
  // A niche off the chamber, where the outline leaves room for one.
  if (p.Chance(70)) {
    p.Floor(3, 7, floor);
    p.Put(3, 7, p.Chance(50) ? p.t.stairs_up : p.t.chest);
    p.At(3, 7).blocked = true;
  }
  for (int x = 0; x < N; ++x)
    for (int y = 0; y < N; ++y)
      if (p.At(x, y).kind == Kind::Floor && !p.At(x, y).blocked && p.Chance(6))
        p.Put(x, y, p.Chance(50) ? p.t.bones : p.t.rubble);
}

void Cave(Plan& p) {
  // A rounded hollow whose edge wanders, and rough passages into it.
  const double phase = p.Rand(628) / 100.0;
  const double lobes = 2 + p.Rand(3);
  for (int x = 1; x < N - 1; ++x)
    for (int y = 1; y < N - 1; ++y) {
      const double dx = x + 0.5 - N / 2.0, dy = y + 0.5 - N / 2.0;
      const double radius =
          3.4 + 1.1 * std::sin(lobes * std::atan2(dy, dx) + phase) + (p.Rand(100) - 50) / 120.0;
      if (std::hypot(dx, dy) < radius) p.Floor(x, y, p.t.cave_floor);
    }
  for (int side = 0; side < 4; ++side) {
    p.Arm(side, p.t.cave_floor, p.t.wooden_door);
    if (p.Outline(side)) continue;
    // Widen the passage here and there so it does not look dug by rule.
    for (int depth = 1; depth < 4; ++depth) {
      if (!p.Chance(45)) continue;
      const int band = p.Chance(50) ? kMouthFirst - 1 : kMouthLast + 1;
      const auto [x, y] = Plan::BandCell(side, depth, band);
      p.Floor(x, y, p.t.cave_floor);
    }
  }
  p.Mouths(p.t.cave_floor);
  // A pool in the hollow, on cells off the ways through.
  std::vector<Cell> free;
  for (int x = 0; x < N; ++x)
    for (int y = 0; y < N; ++y)
      if (p.Free(x, y)) free.push_back({x, y});
  std::shuffle(free.begin(), free.end(), std::mt19937(static_cast<unsigned>(p.Rand(1 << 20))));
  std::size_t next = 0;
  const auto take = [&]() -> Cell {
    while (next < free.size()) {
      const auto cell = free[next++];
      if (p.Free(cell.first, cell.second)) return cell;
    }
    return {-1, -1};
  };
  if (p.Chance(60)) {
    const auto [x, y] = take();
    if (x >= 0) {
      p.Floor(x, y, p.t.cave_floor);
      p.Put(x, y, p.t.deep_water);
      p.At(x, y).blocked = true;
      for (const auto& [dx, dy] : kSteps)
        if (p.Free(x + dx, y + dy) && p.Chance(60)) {
          p.Put(x + dx, y + dy, p.t.water);
          p.At(x + dx, y + dy).blocked = true;
        }
    }
  }
  for (const int tile : {p.t.stalagmite, p.t.stalagmite, p.t.boulder, p.t.rocks, p.t.rocks}) {
    const auto [x, y] = take();
    if (x >= 0) p.Prop(x, y, tile);
  }
  if (p.Chance(50)) {
    const auto [x, y] = take();
    if (x >= 0) p.Prop(x, y, p.t.campfire);
  }
  for (const int tile : {p.t.bones, p.t.skull, p.t.web}) {
    const auto [x, y] = take();
    if (x >= 0) p.Put(x, y, tile);
  }
}

using Theme = void (*)(Plan&);
// One theme for each section number, so the nine maplets of a position differ.
constexpr std::array<Theme, kMapletSections> kThemes = {
    Library, Cave, Crossing, Barracks, Hall, TwoRooms, Crypt, FountainHall, StoreRoom};

}  // namespace

std::array<bool, 4> OutlineSides(int position) {
  const int column = (position - 1) % 3, row = (position - 1) / 3;
  std::array<bool, 4> sides{};
  sides[kTop] = row == 0;
  sides[kBottom] = row == 2;
  sides[kLeft] = column == 0;
  sides[kRight] = column == 2;
  return sides;
}

MapletSet DrawDefaultMaplets(const Tileset& tileset) {
  const Tiles tiles = LookUpTiles(tileset);
  MapletSet set;
  for (int position = 1; position <= kMapletPositions; ++position) {
    for (int section = 1; section <= kMapletSections; ++section) {
      const auto seed = static_cast<std::uint32_t>(position * 1009 + section * 101);
      const bool transposed = (position + section) % 2 == 0;
      Plan plan(tiles, tileset, OutlineSides(position), transposed, seed);
      kThemes[static_cast<std::size_t>(section - 1)](plan);
      plan.Enclose();
      plan.WriteTo(set, position, section);
    }
  }
  set.SetSetTilesetName("default.qts");
  set.SetEditorPosition(1);
  set.SetEditorSection(1);
  set.SetEditorLayer(kAutoLayering);
  return set;
}

}  // namespace qm::mapletgen
