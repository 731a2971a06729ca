#include "default_tiles.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "canvas.h"

namespace qm::tilegen {
namespace {

constexpr float kPi = 3.14159265f;
constexpr float S = kTileSize;  // tile size as float
constexpr float C = S / 2;      // centre

// Where the layers go when the editor places tiles by their DefaultLayer.
enum Layer { kFloor = 0, kLiquid = 1, kWall = 2, kDoor = 3, kProp = 4, kTall = 5, kMarker = 7 };

// ---- texture building blocks -------------------------------------------------

// Rows of bricks or slabs; everything divides 64, so the pattern repeats per tile.
struct BrickCell {
  int id;
  float edge;  // distance to the nearest joint
  float lx, ly;
};
BrickCell Bricks(float x, float y, float row_h, float brick_w, float stagger) {
  const int row = static_cast<int>(std::floor(y / row_h));
  const float bx = x + (row % 2 != 0 ? stagger : 0.0f);
  const int col = static_cast<int>(std::floor(bx / brick_w));
  const float lx = bx - col * brick_w, ly = y - row * row_h;
  const int cols = static_cast<int>(S / brick_w);
  const int wrapped = ((col % cols) + cols) % cols;
  const float edge = std::min(std::min(lx, brick_w - lx), std::min(ly, row_h - ly));
  return {row * 131 + wrapped, edge, lx, ly};
}

// Cells around jittered points, repeating per tile: F1 and F2 are the distances to
// the nearest and second nearest point.
struct VoronoiCell {
  int id;
  float f1, f2;
  float px, py;  // the nearest point
};
VoronoiCell Voronoi(float x, float y, int n, std::uint32_t seed, float jitter = 0.8f) {
  const float size = S / n;
  const int cx = static_cast<int>(std::floor(x / size)),
            cy = static_cast<int>(std::floor(y / size));
  VoronoiCell best{0, 1e9f, 1e9f, 0, 0};
  for (int j = -1; j <= 1; ++j) {
    for (int i = -1; i <= 1; ++i) {
      const int gx = cx + i, gy = cy + j;
      const int wx = ((gx % n) + n) % n, wy = ((gy % n) + n) % n;
      const float px = (gx + 0.5f + (Hash01(wx, wy, seed) - 0.5f) * jitter) * size;
      const float py = (gy + 0.5f + (Hash01(wx, wy, seed + 7) - 0.5f) * jitter) * size;
      const float d = std::hypot(x - px, y - py);
      if (d < best.f1) {
        best.f2 = best.f1;
        best.f1 = d;
        best.id = wy * n + wx;
        best.px = px;
        best.py = py;
      } else if (d < best.f2) {
        best.f2 = d;
      }
    }
  }
  return best;
}

Color Tint(Color c, float amount) {
  return Scale(c, 1 + amount);
}

// ---- floors --------------------------------------------------------------------

Canvas Flagstone(std::uint32_t seed, Color stone) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    // Noise bends the joints a little so the slabs do not look ruled.
    const float wx = x + (Noise(x, y, 8, seed) - 0.5f) * 3;
    const float wy = y + (Noise(x, y, 8, seed + 1) - 0.5f) * 3;
    const BrickCell b = Bricks(wx, wy, 21.3334f, 32, 13);
    const float tone = (Hash01(b.id, seed) - 0.5f) * 0.25f;
    const float grain = (Fbm(x, y, 8, 3, seed + 2) - 0.5f) * 0.35f;
    Color c = Tint(stone, tone + grain);
    const float joint = SmoothStep(0.6f, 2.2f, b.edge);
    // Slab edges catch the light on their upper left and fall off below.
    const float bevel = (b.ly < 3 || b.lx < 3) ? 0.08f : ((21.33f - b.ly < 3) ? -0.1f : 0.0f);
    c = Tint(c, bevel);
    c = Mix(Scale(stone, 0.35f), c, joint);
    return c;
  });
  return cv;
}

Canvas Cobble(std::uint32_t seed) {
  Canvas cv;
  const Color stone = Hex(0x8a8478);
  cv.Paint([&](float x, float y) {
    const VoronoiCell v = Voronoi(x, y, 7, seed);
    const float edge = v.f2 - v.f1;
    const float tone = (Hash01(v.id, seed) - 0.5f) * 0.35f;
    // Each cobble is domed: lighter toward the upper left of its centre.
    const float dome = -((x - v.px) + (y - v.py)) / 12.0f * 0.18f;
    Color c = Tint(stone, tone + dome + (Noise(x, y, 16, seed + 3) - 0.5f) * 0.2f);
    return Mix(Hex(0x3b3630), c, SmoothStep(0.8f, 2.6f, edge));
  });
  return cv;
}

Canvas Wood(std::uint32_t seed, Color wood) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const BrickCell b = Bricks(y, x, 16, 64, 32);  // swapped: planks run across
    const float tone = (Hash01(b.id, seed) - 0.5f) * 0.3f;
    const float grain = std::sin((y * 0.9f + Noise(x, y, 4, seed + b.id) * 9.0f) * 1.3f) * 0.06f +
                        (Noise(x * 0.25f, y * 4, 16, seed + 5) - 0.5f) * 0.18f;
    Color c = Tint(wood, tone + grain);
    c = Tint(c, b.ly < 1.5f ? 0.12f : (16 - b.ly < 1.5f ? -0.15f : 0.0f));
    // A nail at each end of every plank.
    const float nail =
        std::min(SdCircle(b.ly, b.lx, 8, 3, 1.1f), SdCircle(b.ly, b.lx, 8, 61, 1.1f));
    c = Mix(c, Hex(0x2a2118), Clamp01(0.5f - nail));
    return Mix(Scale(wood, 0.3f), c, SmoothStep(0.3f, 1.2f, b.edge));
  });
  return cv;
}

Canvas Ground(std::uint32_t seed, Color dark, Color light, int cells, float speckle) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const float n = Fbm(x, y, cells, 4, seed);
    Color c = Mix(dark, light, SmoothStep(0.25f, 0.75f, n));
    const float s = Hash01(static_cast<int>(x), static_cast<int>(y), seed + 9);
    if (s > 1 - speckle)
      c = Tint(c, (Hash01(static_cast<int>(x), static_cast<int>(y), seed + 10) - 0.5f) * 0.5f);
    return c;
  });
  return cv;
}

Canvas Dirt(std::uint32_t seed) {
  Canvas cv = Ground(seed, Hex(0x5a4330), Hex(0x8a6a48), 4, 0.08f);
  // Scattered pebbles.
  for (int i = 0; i < 7; ++i) {
    const float px = Hash01(i, seed, 1) * S, py = Hash01(i, seed, 2) * S;
    const float r = 1.2f + Hash01(i, seed, 3) * 1.8f;
    Canvas::ShapeStyle st;
    st.shadow = 0.3f;
    st.shadow_dx = st.shadow_dy = 1;
    st.shadow_blur = 1;
    st.bevel = 1.5f;
    st.outline = 0.6f;
    cv.Shape([=](float x, float y) { return SdCircle(x, y, px, py, r); }, Hex(0x9a8e7c), st);
  }
  return cv;
}

Canvas Sand(std::uint32_t seed) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const float ripple = std::sin((y + Noise(x, y, 4, seed) * 10) * (2 * kPi / 8)) * 0.05f;
    const float n = (Fbm(x, y, 8, 3, seed + 1) - 0.5f) * 0.15f;
    const float grain = (Hash01(static_cast<int>(x), static_cast<int>(y), seed) - 0.5f) * 0.08f;
    return Tint(Hex(0xd8c08a), ripple + n + grain);
  });
  return cv;
}

Canvas Grass(std::uint32_t seed, bool flowers) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const float n = Fbm(x, y, 4, 4, seed);
    Color c = Mix(Hex(0x3e6b2a), Hex(0x6f9a3c), SmoothStep(0.3f, 0.7f, n));
    // Blades: short streaks of fine noise stretched upright.
    const float blade = Noise(x * 4, y * 1.2f, 64, seed + 4);
    c = Tint(c, (blade - 0.5f) * 0.35f);
    return c;
  });
  if (flowers) {
    const Color colors[] = {Hex(0xf2e35a), Hex(0xf5f5f0), Hex(0xd86ad0), Hex(0xe8553d)};
    for (int i = 0; i < 9; ++i) {
      const float px = 4 + Hash01(i, seed, 5) * 56, py = 4 + Hash01(i, seed, 6) * 56;
      const Color col = colors[i % 4];
      Canvas::ShapeStyle st;
      st.shadow = 0.25f;
      st.shadow_dx = st.shadow_dy = 0.8f;
      st.shadow_blur = 1;
      st.bevel = 0;
      st.outline = 0.5f;
      cv.Shape(
          [=](float x, float y) {
            float d = 1e9f;
            for (int k = 0; k < 5; ++k) {
              const float a = k * 2 * kPi / 5;
              d = std::min(d,
                           SdCircle(x, y, px + std::cos(a) * 1.6f, py + std::sin(a) * 1.6f, 1.2f));
            }
            return d;
          },
          col, st);
      cv.Paint([=](float x, float y) {
        return WithAlpha(Hex(0xe0a020), Clamp01(0.5f - SdCircle(x, y, px, py, 0.8f)));
      });
    }
  }
  return cv;
}

Canvas SquareTiles(std::uint32_t seed, Color a, Color b, bool checker) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const BrickCell t = Bricks(x, y, 16, 16, 0);
    const int ix = static_cast<int>(x / 16), iy = static_cast<int>(y / 16);
    Color c = checker && ((ix + iy) % 2) ? b : a;
    if (checker) {
      // Marble veins.
      const float vein = std::fabs(std::sin((x + y) * 0.15f + Fbm(x, y, 4, 3, seed + ix) * 8));
      c = Mix(Scale(c, 0.82f), c, SmoothStep(0.0f, 0.25f, vein));
    } else {
      c = Tint(c, (Hash01(t.id, seed) - 0.5f) * 0.2f + (Fbm(x, y, 8, 3, seed) - 0.5f) * 0.2f);
    }
    c = Tint(c, (t.ly < 1.5f || t.lx < 1.5f) ? 0.08f : 0.0f);
    return Mix(Scale(a, 0.3f), c, SmoothStep(0.3f, 1.2f, t.edge));
  });
  return cv;
}

Canvas Carpet() {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    // A woven pattern of diamonds that repeats every 32 pixels.
    const float u = std::fmod(x, 32.0f) - 16, v = std::fmod(y, 32.0f) - 16;
    const float diamond = std::fabs(u) + std::fabs(v);
    Color c = Hex(0x7a1c22);
    if (diamond < 10 && diamond > 7) c = Hex(0xc89a3a);
    if (diamond < 3) c = Hex(0x1f3a6a);
    const float weave = ((static_cast<int>(x) + static_cast<int>(y)) % 2) ? 0.04f : -0.04f;
    return Tint(c, weave + (Noise(x, y, 16, 77) - 0.5f) * 0.1f);
  });
  return cv;
}

// ---- walls: full-cell materials, which the wall masks cut into sections --------

Canvas BrickWall(std::uint32_t seed) {
  Canvas cv;
  const Color brick = Hex(0x8e4a34);
  cv.Paint([&](float x, float y) {
    const BrickCell b = Bricks(x, y, 8, 16, 8);
    Color c =
        Tint(brick, (Hash01(b.id, seed) - 0.5f) * 0.3f + (Fbm(x, y, 16, 2, seed) - 0.5f) * 0.25f);
    c = Tint(c, b.ly < 1.5f ? 0.15f : (8 - b.ly < 1.5f ? -0.2f : 0.0f));
    return Mix(Hex(0x4a4440), c, SmoothStep(0.4f, 1.3f, b.edge));
  });
  return cv;
}

Canvas StoneWall(std::uint32_t seed) {
  Canvas cv;
  const Color stone = Hex(0x6e6a66);
  cv.Paint([&](float x, float y) {
    const float wx = x + (Noise(x, y, 8, seed) - 0.5f) * 2;
    const BrickCell b = Bricks(wx, y, 16, 21.3334f, 10.6667f);
    const float rough = (Fbm(x, y, 8, 4, seed + 1) - 0.5f) * 0.45f;
    Color c = Tint(stone, (Hash01(b.id, seed) - 0.5f) * 0.25f + rough);
    const float rim = 1 - SmoothStep(0, 4, b.edge);
    c = Tint(c, (b.ly < 8 ? 0.15f : -0.2f) * rim);
    return Mix(Hex(0x24211f), c, SmoothStep(0.5f, 1.8f, b.edge));
  });
  return cv;
}

Canvas CaveWall(std::uint32_t seed) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const float h = Fbm(x, y, 4, 5, seed);
    const float hx = Fbm(x + 1, y, 4, 5, seed) - h, hy = Fbm(x, y + 1, 4, 5, seed) - h;
    const float light = (-hx - hy) * 18;
    Color c = Mix(Hex(0x3a3430), Hex(0x7a7066), h);
    return Tint(c, light);
  });
  return cv;
}

Canvas Palisade(std::uint32_t seed) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const float lx = std::fmod(x, 8.0f);
    const int log = static_cast<int>(x / 8);
    const float round = std::sin(lx / 8 * kPi);
    Color c = Tint(Hex(0x6b4a2c), (Hash01(log, seed) - 0.5f) * 0.25f + (round - 0.7f) * 0.4f +
                                      (Noise(x * 3, y * 0.3f, 32, seed) - 0.5f) * 0.2f);
    return c;
  });
  return cv;
}

// ---- liquids and holes ---------------------------------------------------------

Canvas Water(std::uint32_t seed, bool deep) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const float n = Fbm(x, y, 4, 4, seed);
    Color c = deep ? Mix(Hex(0x0e2748), Hex(0x1d4a78), n) : Mix(Hex(0x1f5f8e), Hex(0x3d8fbf), n);
    const float wave = std::sin((x * 0.6f + y * 0.25f) + Fbm(x, y, 8, 2, seed + 1) * 12);
    const float crest = SmoothStep(0.82f, 0.97f, wave) * (deep ? 0.25f : 0.45f);
    return Mix(c, Hex(0xcfe8f5), crest);
  });
  return cv;
}

Canvas Lava(std::uint32_t seed) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    const float wx = x + (Noise(x, y, 4, seed) - 0.5f) * 8,
                wy = y + (Noise(x, y, 4, seed + 1) - 0.5f) * 8;
    const VoronoiCell v = Voronoi(wx, wy, 5, seed + 2);
    const float crack = 1 - SmoothStep(0.5f, 4.0f, v.f2 - v.f1);
    const float heat = Fbm(x, y, 8, 3, seed + 3);
    Color crust = Tint(Hex(0x3a1a12), (heat - 0.5f) * 0.6f);
    Color glow = Mix(Hex(0xe04a10), Hex(0xffd040), crack * heat * 1.4f);
    return Mix(crust, glow, Clamp01(crack * 1.2f + (heat > 0.72f ? 0.6f : 0.0f)));
  });
  return cv;
}

Canvas Pit(bool square) {
  Canvas cv;
  const auto sd = [square](float x, float y) {
    return square ? SdBox(x, y, C, C, 26, 26, 4) : SdCircle(x, y, C, C, 25);
  };
  Canvas::ShapeStyle rim;
  rim.bevel = 4;
  rim.light = 0.5f;
  cv.Shape(
      [&](float x, float y) { return sd(x, y) - 3; },
      [](float x, float y) { return Tint(Hex(0x6a625a), (Fbm(x, y, 8, 3, 40) - 0.5f) * 0.4f); },
      rim);
  // The hole: darker the further down, lit on the far (south-east) inner wall.
  cv.Paint([&](float x, float y) {
    const float d = sd(x, y);
    const float depth = Clamp01(-d / 14);
    const float wall = Clamp01((x + y - 2 * C) / 40);
    Color c = Mix(Hex(0x3a342e), Hex(0x050403), depth);
    c = Tint(c, wall * (1 - depth) * 0.6f);
    return WithAlpha(c, Clamp01(0.5f - d));
  });
  return cv;
}

// ---- doors, stairs, pillars ----------------------------------------------------

Color WoodAt(float x, float y, Color base, std::uint32_t seed) {
  return Tint(base, std::sin(y * 1.7f + Noise(x, y, 8, seed) * 6) * 0.05f +
                        (Noise(x * 0.3f, y * 3, 32, seed + 1) - 0.5f) * 0.25f);
}

// A door across the middle of the cell, as a horizontal wall section holds it.
Canvas Door(int kind) {  // 0 wood, 1 iron, 2 double, 3 open, 4 portcullis
  Canvas cv;
  Canvas::ShapeStyle st;
  st.bevel = 2;
  const Color frame = Hex(0x5c5650);
  // Jambs on both sides.
  cv.Shape(
      [](float x, float y) {
        return std::min(SdBox(x, y, 4, C, 4, 11, 1), SdBox(x, y, 60, C, 4, 11, 1));
      },
      frame, st);
  if (kind == 3) {
    // Swung open against the jamb.
    cv.Shape([](float x, float y) { return SdBox(x, y, 11, C - 20, 3, 18, 1); },
             [](float x, float y) { return WoodAt(y, x, Hex(0x8a5a30), 5); }, st);
    return cv;
  }
  if (kind == 4) {
    cv.Shape(
        [](float x, float y) {
          float d = SdBox(x, y, C, C - 7, 24, 1.2f, 0.5f);
          d = std::min(d, SdBox(x, y, C, C + 7, 24, 1.2f, 0.5f));
          for (int i = 0; i < 6; ++i) d = std::min(d, SdCircle(x, y, 12 + i * 8, C, 2.2f));
          return d;
        },
        Hex(0x4a4a52), st);
    return cv;
  }
  const Color base = kind == 1 ? Hex(0x5a5e66) : Hex(0x8a5a30);
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 24, 6, 1); },
           [&](float x, float y) {
             Color c =
                 kind == 1 ? Tint(base, (Noise(x, y, 16, 3) - 0.5f) * 0.2f) : WoodAt(x, y, base, 9);
             // Plank joints along the door, or the seam of a double door.
             const float seam =
                 kind == 2 ? std::fabs(x - C) : std::fabs(std::fmod(x - 8, 10.0f) - 5);
             if (kind != 1)
               c = Mix(Scale(base, 0.55f), c, SmoothStep(0.2f, 0.9f, kind == 2 ? seam : 5 - seam));
             return c;
           },
           st);
  // Bands and studs.
  const Color metal = kind == 1 ? Hex(0x9aa0a8) : Hex(0x3a3430);
  Canvas::ShapeStyle small;
  small.bevel = 1;
  small.shadow = 0.2f;
  small.shadow_dx = small.shadow_dy = 0.8f;
  small.shadow_blur = 0.8f;
  small.outline = 0.6f;
  cv.Shape(
      [kind](float x, float y) {
        float d = 1e9f;
        for (int i = 0; i < 5; ++i) d = std::min(d, SdCircle(x, y, 14 + i * 9, C - 3.5f, 0.9f));
        for (int i = 0; i < 5; ++i) d = std::min(d, SdCircle(x, y, 14 + i * 9, C + 3.5f, 0.9f));
        if (kind == 2)
          d = std::min(d, std::min(SdCircle(x, y, C - 4, C, 1.5f), SdCircle(x, y, C + 4, C, 1.5f)));
        else
          d = std::min(d, SdCircle(x, y, 50, C, 1.7f));
        return d;
      },
      metal, small);
  return cv;
}

Canvas Stairs(bool down) {
  Canvas cv;
  Canvas::ShapeStyle st;
  st.bevel = 0;
  st.outline = 0;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 30, 30, 2); },
           [down](float x, float y) {
             const int step = static_cast<int>((y - 2) / 7.5f);
             const float ly = std::fmod(y - 2, 7.5f);
             // Going down, each step is darker; going up, lighter toward the top.
             const float level = down ? -step * 0.09f : (step - 7) * 0.07f;
             Color c = Tint(Hex(0x8c857c), level + (Noise(x, y, 16, 21) - 0.5f) * 0.15f);
             if (ly < 1.2f) c = Tint(c, 0.25f);  // nosing catches the light
             if (ly > 6.0f) c = Scale(c, 0.6f);  // riser in shadow
             return c;
           },
           st);
  // Side walls.
  Canvas::ShapeStyle wall;
  wall.bevel = 2;
  cv.Shape(
      [](float x, float y) {
        return std::min(SdBox(x, y, 2.5f, C, 2.5f, 31, 0), SdBox(x, y, 61.5f, C, 2.5f, 31, 0));
      },
      Hex(0x5c5650), wall);
  // An arrow shows the way down or up.
  const float dir = down ? 1 : -1;
  cv.Paint([dir](float x, float y) {
    const float tip = C + dir * 14, back = C - dir * 8;
    float d = SdSegment(x, y, C, back, C, tip - dir * 4, 2.2f);
    d = std::min(d, SdSegment(x, y, C - 8, tip - dir * 8, C, tip, 2.2f));
    d = std::min(d, SdSegment(x, y, C + 8, tip - dir * 8, C, tip, 2.2f));
    return WithAlpha(Hex(0xf0e8d0), 0.75f * Clamp01(0.5f - d));
  });
  return cv;
}

Canvas SpiralStairs() {
  Canvas cv;
  Canvas::ShapeStyle st;
  st.bevel = 0;
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 28); },
           [](float x, float y) {
             const float a = std::atan2(y - C, x - C) + kPi;
             const int step = static_cast<int>(a / (2 * kPi) * 12);
             const float la = std::fmod(a / (2 * kPi) * 12, 1.0f);
             Color c = Tint(Hex(0x8c857c), -step * 0.05f + (Noise(x, y, 16, 3) - 0.5f) * 0.1f);
             if (la < 0.08f) c = Scale(c, 0.55f);
             return c;
           },
           st);
  Canvas::ShapeStyle post;
  post.bevel = 2;
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 5); }, Hex(0x6a625a), post);
  return cv;
}

Canvas Ladder() {
  Canvas cv;
  Canvas::ShapeStyle st;
  st.bevel = 1.5f;
  cv.Shape(
      [](float x, float y) {
        float d = std::min(SdBox(x, y, 20, C, 2.5f, 29, 1), SdBox(x, y, 44, C, 2.5f, 29, 1));
        for (int i = 0; i < 6; ++i) d = std::min(d, SdBox(x, y, C, 9 + i * 9.2f, 12, 1.6f, 0.8f));
        return d;
      },
      [](float x, float y) { return WoodAt(x, y, Hex(0x9a6a3a), 4); }, st);
  return cv;
}

Canvas Pillar(int kind) {  // 0 round, 1 square, 2 broken
  Canvas cv;
  Canvas::ShapeStyle st;
  st.bevel = kind == 1 ? 5 : 14;
  st.light = 0.55f;
  st.shadow = 0.45f;
  st.shadow_dx = st.shadow_dy = 4;
  st.shadow_blur = 4;
  const Color stone = Hex(0xa49c90);
  const auto marble = [stone](float x, float y) {
    return Tint(stone, (Fbm(x, y, 8, 3, 12) - 0.5f) * 0.2f);
  };
  if (kind == 1) {
    cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 22, 22, 2); }, Scale(stone, 0.85f),
             st);
    Canvas::ShapeStyle top = st;
    top.shadow = 0;
    top.bevel = 4;
    cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 15, 15, 1); }, marble, top);
    return cv;
  }
  // Plinth, then the shaft seen from above.
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 24, 24, 5); }, Scale(stone, 0.8f), st);
  Canvas::ShapeStyle shaft = st;
  shaft.shadow = 0.3f;
  shaft.shadow_dx = shaft.shadow_dy = 2;
  if (kind == 0) {
    cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 18); }, marble, shaft);
    // Fluting.
    cv.Paint([](float x, float y) {
      const float r = std::hypot(x - C, y - C);
      const float a = std::atan2(y - C, x - C);
      const float flute = std::cos(a * 16);
      return WithAlpha(Hex(0x40382f), (r > 12 && r < 17.5f) ? 0.12f * (flute + 1) : 0.0f);
    });
  } else {
    cv.Shape(
        [](float x, float y) {
          // A jagged break across the shaft.
          const float a = std::atan2(y - C, x - C);
          return SdCircle(x, y, C, C, 18) + (Noise(a * 10 + 40, 3, 16, 8) - 0.5f) * 4;
        },
        marble, shaft);
    cv.Paint([](float x, float y) {
      const float d = SdCircle(x, y, C, C, 12);
      const float cracks = 1 - SmoothStep(0, 0.15f, std::fabs(Fbm(x, y, 8, 2, 31) - 0.5f));
      return WithAlpha(Hex(0x5a5248), Clamp01(0.5f - d) * cracks * 0.7f);
    });
    Canvas::ShapeStyle chip;
    chip.bevel = 2;
    chip.shadow = 0.3f;
    chip.shadow_dx = chip.shadow_dy = 1.5f;
    for (int i = 0; i < 5; ++i) {
      const float px = 6 + Hash01(i, 3, 1) * 52, py = 46 + Hash01(i, 3, 2) * 14;
      cv.Shape([=](float x, float y) { return SdBox(x, y, px, py, 2.5f, 1.8f, 1); }, stone, chip);
    }
  }
  return cv;
}

Canvas Statue() {
  Canvas cv;
  Canvas::ShapeStyle st;
  st.bevel = 6;
  st.light = 0.5f;
  st.shadow = 0.45f;
  st.shadow_dx = st.shadow_dy = 3;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 24, 24, 3); }, Hex(0x7a746c), st);
  // A figure seen from above: shoulders, head, a raised sword.
  const Color bronze = Hex(0x6d8a6a);
  Canvas::ShapeStyle fig = st;
  fig.shadow_dx = fig.shadow_dy = 2;
  fig.bevel = 5;
  cv.Shape(
      [](float x, float y) {
        float d = SdEllipse(x, y, C, C + 3, 15, 8);
        d = std::min(d, SdSegment(x, y, C + 12, C + 2, C + 18, C - 18, 2));
        return d;
      },
      bronze, fig);
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C + 1, 6); }, Tint(bronze, 0.1f), fig);
  return cv;
}

// ---- furniture and props -------------------------------------------------------

Canvas::ShapeStyle PropStyle(float bevel = 3) {
  Canvas::ShapeStyle st;
  st.bevel = bevel;
  st.shadow = 0.4f;
  st.shadow_dx = st.shadow_dy = 2.5f;
  return st;
}

Canvas Table(bool round) {
  Canvas cv;
  cv.Shape(
      [round](float x, float y) {
        return round ? SdCircle(x, y, C, C, 22) : SdBox(x, y, C, C, 26, 16, 3);
      },
      [](float x, float y) { return WoodAt(x, y, Hex(0x8a5a32), 17); }, PropStyle());
  // A candle and a plate make it a table rather than a board.
  cv.Shape([](float x, float y) { return SdCircle(x, y, C - 8, C - 2, 5); }, Hex(0xd8d0c0),
           PropStyle(1.5f));
  cv.Shape([](float x, float y) { return SdCircle(x, y, C + 9, C + 2, 2.2f); }, Hex(0xf2e8c8),
           PropStyle(1));
  cv.Paint([](float x, float y) {
    return WithAlpha(Hex(0xffd060), 0.8f * Clamp01(1 - SdCircle(x, y, C + 9, C + 2, 0.2f) / 4));
  });
  return cv;
}

Canvas Chair() {
  Canvas cv;
  const auto wood = [](float x, float y) { return WoodAt(x, y, Hex(0x7a4e2a), 23); };
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C + 4, 13, 12, 2); }, wood, PropStyle());
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C - 11, 14, 3, 1.5f); },
           Scale(Hex(0x7a4e2a), 0.85f), PropStyle(1.5f));
  return cv;
}

Canvas Bed() {
  Canvas cv;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 18, 29, 2); },
           [](float x, float y) { return WoodAt(x, y, Hex(0x6a4226), 29); }, PropStyle());
  Canvas::ShapeStyle soft = PropStyle(5);
  soft.shadow = 0.25f;
  soft.shadow_dx = soft.shadow_dy = 1;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C + 6, 15, 21, 4); },
           [](float x, float y) {
             const float check =
                 (static_cast<int>(x / 5) + static_cast<int>(y / 5)) % 2 ? 0.06f : -0.06f;
             return Tint(Hex(0x3a5f8e), check);
           },
           soft);
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C - 19, 13, 5, 4); }, Hex(0xeae4d8), soft);
  return cv;
}

Canvas Chest() {
  Canvas cv;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 20, 13, 2); },
           [](float x, float y) { return WoodAt(y, x, Hex(0x7a4a22), 37); }, PropStyle());
  Canvas::ShapeStyle metal = PropStyle(1.5f);
  metal.shadow = 0;
  cv.Shape(
      [](float x, float y) {
        return std::min(SdBox(x, y, C - 12, C, 2, 13, 0.5f), SdBox(x, y, C + 12, C, 2, 13, 0.5f));
      },
      Hex(0xb08a3a), metal);
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C + 9, 3.5f, 3, 1); }, Hex(0xd8b050),
           metal);
  return cv;
}

Canvas Barrel() {
  Canvas cv;
  Canvas::ShapeStyle st = PropStyle(8);
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 20); },
           [](float x, float y) {
             const float r = std::hypot(x - C, y - C);
             Color c = WoodAt(x, y, Hex(0x86572e), 41);
             if (std::fabs(r - 17) < 1.4f || std::fabs(r - 8) < 1.1f) c = Hex(0x4a4a4e);
             return c;
           },
           st);
  return cv;
}

Canvas Crate() {
  Canvas cv;
  const auto wood = [](float x, float y) { return WoodAt(x, y, Hex(0xa07844), 43); };
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 21, 21, 1.5f); }, wood, PropStyle(2));
  Canvas::ShapeStyle brace = PropStyle(1.2f);
  brace.shadow = 0.25f;
  brace.shadow_dx = brace.shadow_dy = 1;
  cv.Shape(
      [](float x, float y) {
        float d = SdSegment(x, y, C - 17, C - 17, C + 17, C + 17, 2.6f);
        d = std::min(d, SdSegment(x, y, C + 17, C - 17, C - 17, C + 17, 2.6f));
        const float outer = SdBox(x, y, C, C, 21, 21, 1.5f);
        const float ring = std::max(outer, -SdBox(x, y, C, C, 16, 16, 0));
        return std::min(std::max(d, outer), ring);
      },
      Scale(Hex(0xa07844), 0.85f), brace);
  return cv;
}

Canvas Bookshelf() {
  Canvas cv;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C - 14, 29, 10, 1.5f); },
           [](float x, float y) { return WoodAt(x, y, Hex(0x5a3a20), 47); }, PropStyle(2));
  // Book spines in a row.
  const Color books[] = {Hex(0x8a2a2a), Hex(0x2a5a3a), Hex(0x2a3a7a), Hex(0x8a6a2a), Hex(0x5a2a6a)};
  cv.Paint([&](float x, float y) {
    if (x < 6 || x > 58 || y < C - 21 || y > C - 7) return Color{};
    const int book = static_cast<int>((x - 6) / 4);
    const float lx = std::fmod(x - 6, 4.0f);
    Color c = Tint(books[(book * 7 + 3) % 5], (Hash01(book, 5) - 0.5f) * 0.3f);
    if (lx < 0.7f) c = Scale(c, 0.5f);
    if (std::fabs(y - (C - 17)) < 0.6f || std::fabs(y - (C - 11)) < 0.6f) c = Hex(0xc8a850);
    return c;
  });
  return cv;
}

Canvas Altar() {
  Canvas cv;
  cv.Shape(
      [](float x, float y) { return SdBox(x, y, C, C, 24, 14, 2); },
      [](float x, float y) { return Tint(Hex(0xb0a8a0), (Fbm(x, y, 8, 3, 51) - 0.5f) * 0.25f); },
      PropStyle(4));
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 17, 4, 1); }, Hex(0x8a1c22),
           PropStyle(1));
  for (float cx : {C - 18.0f, C + 18.0f}) {
    cv.Shape([cx](float x, float y) { return SdCircle(x, y, cx, C, 2.5f); }, Hex(0xf2e8c8),
             PropStyle(1));
    cv.Paint([cx](float x, float y) {
      return WithAlpha(Hex(0xffc050), 0.7f * Clamp01(1 - SdCircle(x, y, cx, C, 0.5f) / 5));
    });
  }
  return cv;
}

Canvas Fountain() {
  Canvas cv;
  cv.Shape(
      [](float x, float y) { return SdCircle(x, y, C, C, 28); },
      [](float x, float y) { return Tint(Hex(0xa49c90), (Fbm(x, y, 8, 3, 61) - 0.5f) * 0.25f); },
      PropStyle(3));
  Canvas water = Water(62, false);
  cv.Paint([&](float x, float y) {
    const float d = SdCircle(x, y, C, C, 23);
    Color c = water.At(static_cast<int>(x), static_cast<int>(y));
    c = Tint(c, -Clamp01(1 - std::fabs(d) / 4) * 0.3f * (d < 0));
    return WithAlpha(c, Clamp01(0.5f - d));
  });
  Canvas::ShapeStyle st = PropStyle(4);
  st.shadow = 0.3f;
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 7); }, Hex(0xa49c90), st);
  cv.Paint([](float x, float y) {
    const float r = std::hypot(x - C, y - C);
    return WithAlpha(Hex(0xe0f0ff),
                     (std::fabs(r - 11) < 0.8f || std::fabs(r - 16) < 0.6f) ? 0.55f : 0.0f);
  });
  return cv;
}

Canvas Throne() {
  Canvas cv;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C + 2, 18, 20, 3); }, Hex(0xb08a30),
           PropStyle(3));
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C - 15, 19, 5, 2); }, Hex(0xc89a3a),
           PropStyle(2));
  Canvas::ShapeStyle cushion = PropStyle(5);
  cushion.shadow = 0.2f;
  cushion.shadow_dx = cushion.shadow_dy = 1;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C + 5, 12, 13, 4); }, Hex(0x8a1c30),
           cushion);
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C - 15, 2.5f); }, Hex(0x40a0e0),
           PropStyle(1));
  return cv;
}

Canvas Rug() {
  Canvas cv;
  Canvas::ShapeStyle st;
  st.bevel = 0;
  st.shadow = 0.15f;
  st.shadow_dx = st.shadow_dy = 1;
  st.outline = 0;
  Canvas pattern = Carpet();
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 26, 18, 1); },
           [&](float x, float y) {
             const float border = -SdBox(x, y, C, C, 26, 18, 1);
             if (border < 3) return Hex(0xc89a3a);
             return pattern.At(static_cast<int>(x), static_cast<int>(y));
           },
           st);
  // Fringes.
  cv.Paint([](float x, float y) {
    const bool fringe = (x < 6 || x > 58) && std::fabs(y - C) < 17 && static_cast<int>(y) % 3 == 0;
    return WithAlpha(Hex(0xe8dcc0), fringe ? 0.9f : 0.0f);
  });
  return cv;
}

Canvas Fire(bool brazier) {
  Canvas cv;
  if (brazier) {
    cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 16); }, Hex(0x4a4440),
             PropStyle(4));
  } else {
    Canvas::ShapeStyle st = PropStyle(2);
    for (int i = 0; i < 8; ++i) {
      const float a = i * 2 * kPi / 8;
      const float px = C + std::cos(a) * 17, py = C + std::sin(a) * 17;
      cv.Shape([=](float x, float y) { return SdCircle(x, y, px, py, 4.5f); }, Hex(0x7a726a), st);
    }
    cv.Shape(
        [](float x, float y) {
          return std::min(SdSegment(x, y, C - 11, C - 6, C + 11, C + 6, 2.5f),
                          SdSegment(x, y, C - 11, C + 6, C + 11, C - 6, 2.5f));
        },
        Hex(0x5a3a22), st);
  }
  cv.Paint([](float x, float y) {
    const float r = std::hypot(x - C, y - C);
    const float flick = Fbm(x, y, 8, 3, 71);
    const float heat = Clamp01(1 - r / 13) * (0.6f + flick * 0.8f);
    Color c = Mix(Hex(0xd03010), Hex(0xfff0a0), SmoothStep(0.4f, 1.0f, heat));
    return WithAlpha(c, SmoothStep(0.15f, 0.45f, heat));
  });
  return cv;
}

Canvas Bones(bool skull) {
  Canvas cv;
  const Color bone = Hex(0xe6dcc4);
  Canvas::ShapeStyle st = PropStyle(1.5f);
  st.shadow_dx = st.shadow_dy = 1.2f;
  st.shadow_blur = 1.2f;
  if (skull) {
    cv.Shape(
        [](float x, float y) {
          return std::min(SdCircle(x, y, C, C - 3, 12), SdBox(x, y, C, C + 9, 7, 5, 2));
        },
        bone, st);
    cv.Paint([](float x, float y) {
      float d = std::min(SdCircle(x, y, C - 5, C - 1, 3.5f), SdCircle(x, y, C + 5, C - 1, 3.5f));
      d = std::min(d, SdBox(x, y, C, C + 5, 1, 2, 0.5f));
      for (int i = -2; i <= 2; ++i)
        d = std::min(d, SdBox(x, y, C + i * 2.6f, C + 11.5f, 0.5f, 2, 0));
      return WithAlpha(Hex(0x2a2420), Clamp01(0.5f - d));
    });
    return cv;
  }
  const auto bone_sd = [](float x, float y, float ax, float ay, float bx, float by) {
    float d = SdSegment(x, y, ax, ay, bx, by, 1.7f);
    const float nx = (by - ay), ny = -(bx - ax), len = std::hypot(nx, ny);
    for (float s : {-1.0f, 1.0f}) {
      d = std::min(d, SdCircle(x, y, ax + s * nx / len * 1.8f, ay + s * ny / len * 1.8f, 2.2f));
      d = std::min(d, SdCircle(x, y, bx + s * nx / len * 1.8f, by + s * ny / len * 1.8f, 2.2f));
    }
    return d;
  };
  cv.Shape([&](float x, float y) { return bone_sd(x, y, 14, 20, 44, 30); }, bone, st);
  cv.Shape([&](float x, float y) { return bone_sd(x, y, 24, 46, 50, 40); }, bone, st);
  cv.Shape([&](float x, float y) { return bone_sd(x, y, 18, 36, 30, 50); }, Scale(bone, 0.95f), st);
  return cv;
}

Canvas Rubble() {
  Canvas cv;
  Canvas::ShapeStyle st = PropStyle(2);
  st.shadow_dx = st.shadow_dy = 1.5f;
  for (int i = 0; i < 16; ++i) {
    const float px = 8 + Hash01(i, 81, 1) * 48, py = 8 + Hash01(i, 81, 2) * 48;
    const float w = 2 + Hash01(i, 81, 3) * 4, h = 2 + Hash01(i, 81, 4) * 3;
    const Color c = Tint(Hex(0x7a746c), (Hash01(i, 81, 5) - 0.5f) * 0.4f);
    cv.Shape(
        [=](float x, float y) {
          return SdBox(x, y, px, py, w, h, 1.2f) + (Noise(x, y, 32, i) - 0.5f) * 1.5f;
        },
        c, st);
  }
  return cv;
}

Canvas Web() {
  Canvas cv;
  cv.Paint([](float x, float y) {
    // Radial threads from the upper-left corner, crossed by sagging arcs.
    const float r = std::hypot(x, y), a = std::atan2(y, x);
    const float spoke = std::fabs(std::fmod(a + 10 * kPi, kPi / 2 / 6) - kPi / 24) * r;
    const float arc = std::fabs(std::fmod(r + 2 * std::sin(a * 12), 9.0f) - 4.5f);
    const float line = std::min(spoke, 4.5f - arc);
    const float fade = 1 - SmoothStep(40, 60, r);
    return WithAlpha(Hex(0xeeeeee), fade * Clamp01(1 - line) * 0.8f);
  });
  return cv;
}

Canvas Well() {
  Canvas cv;
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 22); },
           [](float x, float y) {
             const BrickCell b =
                 Bricks(std::atan2(y - C, x - C) * 20 + 64, std::hypot(x - C, y - C), 6, 8, 4);
             return Mix(Hex(0x3a3430), Tint(Hex(0x8a8278), (Hash01(b.id, 9) - 0.5f) * 0.3f),
                        SmoothStep(0.3f, 1.0f, b.edge));
           },
           PropStyle(3));
  cv.Paint([](float x, float y) {
    const float d = SdCircle(x, y, C, C, 14);
    Color c = Mix(Hex(0x101820), Hex(0x1d3a5a), Clamp01(Fbm(x, y, 8, 2, 91)));
    return WithAlpha(c, Clamp01(0.5f - d));
  });
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 26, 2, 1); },
           [](float x, float y) { return WoodAt(x, y, Hex(0x6a4a2a), 92); }, PropStyle(1));
  return cv;
}

Canvas Coffin() {
  Canvas cv;
  cv.Shape(
      [](float x, float y) {
        // Wider at the shoulders, as coffins are.
        const float t = Clamp01((y - 6) / 52);
        const float half = 10 + 6 * (1 - std::fabs(t - 0.3f) / 0.7f);
        return std::max(std::fabs(x - C) - half, std::fabs(y - C) - 27);
      },
      [](float x, float y) { return Tint(Hex(0x8a847a), (Fbm(x, y, 8, 3, 101) - 0.5f) * 0.25f); },
      PropStyle(3));
  cv.Shape(
      [](float x, float y) {
        return std::min(SdBox(x, y, C, C - 4, 1.5f, 14, 0.5f),
                        SdBox(x, y, C, C - 10, 8, 1.5f, 0.5f));
      },
      Hex(0x5a5248), PropStyle(0.8f));
  return cv;
}

Canvas Urn() {
  Canvas cv;
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 14); }, Hex(0x9a5a34), PropStyle(9));
  cv.Paint([](float x, float y) {
    const float d = SdCircle(x, y, C, C, 6);
    return WithAlpha(Hex(0x201410), Clamp01(0.5f - d));
  });
  cv.Paint([](float x, float y) {
    const float r = std::hypot(x - C, y - C);
    return WithAlpha(Hex(0xe0c070), std::fabs(r - 10) < 0.8f ? 0.8f : 0.0f);
  });
  return cv;
}

// ---- trees and rocks -----------------------------------------------------------

Canvas Tree(int kind) {  // 0 oak, 1 pine, 2 dead, 3 bush, 4 stump
  Canvas cv;
  Canvas::ShapeStyle st = PropStyle(10);
  st.shadow = 0.45f;
  st.shadow_dx = st.shadow_dy = 5;
  st.shadow_blur = 4;
  st.light = 0.6f;
  if (kind == 0 || kind == 3) {
    const float radius = kind == 0 ? 26 : 17;
    const Color leaf = kind == 0 ? Hex(0x3f7a2e) : Hex(0x4e8a34);
    cv.Shape(
        [=](float x, float y) {
          // A crown of overlapping clumps with a leafy rim.
          float d = SdCircle(x, y, C, C, radius * 0.7f);
          for (int i = 0; i < 7; ++i) {
            const float a = i * 2 * kPi / 7 + 0.3f;
            d = std::min(d, SdCircle(x, y, C + std::cos(a) * radius * 0.45f,
                                     C + std::sin(a) * radius * 0.45f, radius * 0.5f));
          }
          return d + (Noise(x, y, 16, 111 + kind) - 0.5f) * 3;
        },
        [=](float x, float y) {
          const VoronoiCell v = Voronoi(x, y, 8, 112);
          const float clump = -((x - v.px) + (y - v.py)) / 8 * 0.15f;
          return Tint(leaf, clump + (Noise(x, y, 32, 113) - 0.5f) * 0.25f);
        },
        st);
    return cv;
  }
  if (kind == 1) {
    // Tiers of needles, each smaller and lighter, seen from above.
    for (int tier = 0; tier < 4; ++tier) {
      const float r = 27 - tier * 6.5f;
      Canvas::ShapeStyle t = st;
      t.shadow = tier == 0 ? 0.45f : 0.25f;
      t.shadow_dx = t.shadow_dy = tier == 0 ? 5 : 1.5f;
      t.bevel = 4;
      cv.Shape(
          [=](float x, float y) {
            const float a = std::atan2(y - C, x - C);
            return SdCircle(x, y, C, C, r) + std::fabs(std::sin(a * 5 + tier)) * 4;
          },
          Tint(Hex(0x24563a), tier * 0.12f), t);
    }
    return cv;
  }
  if (kind == 2) {
    Canvas::ShapeStyle b = st;
    b.bevel = 1.5f;
    b.shadow_dx = b.shadow_dy = 3;
    cv.Shape(
        [](float x, float y) {
          float d = SdCircle(x, y, C, C, 5);
          for (int i = 0; i < 6; ++i) {
            const float a = i * 2 * kPi / 6 + 0.5f;
            const float ex = C + std::cos(a) * 24, ey = C + std::sin(a) * 24;
            d = std::min(d, SdSegment(x, y, C, C, ex, ey, 2.2f - 0.0f));
            const float bx = C + std::cos(a) * 14, by = C + std::sin(a) * 14;
            d = std::min(d, SdSegment(x, y, bx, by, bx + std::cos(a + 0.8f) * 9,
                                      by + std::sin(a + 0.8f) * 9, 1.2f));
          }
          return d;
        },
        Hex(0x5a4a3a), b);
    return cv;
  }
  cv.Shape([](float x, float y) { return SdCircle(x, y, C, C, 12); },
           [](float x, float y) {
             const float r = std::hypot(x - C, y - C);
             const float ring = std::sin(r * 1.6f + Noise(x, y, 8, 121) * 3) * 0.08f;
             return r > 10 ? Hex(0x4a3424) : Tint(Hex(0xb08a5a), ring);
           },
           PropStyle(2));
  return cv;
}

Canvas Rock(int kind) {  // 0 boulder, 1 small rocks, 2 stalagmite
  Canvas cv;
  Canvas::ShapeStyle st = PropStyle(9);
  st.light = 0.6f;
  st.shadow_dx = st.shadow_dy = 4;
  st.shadow_blur = 3;
  const auto stone = [](float x, float y) {
    return Tint(Hex(0x807a72), (Fbm(x, y, 8, 4, 131) - 0.5f) * 0.4f);
  };
  if (kind == 0) {
    cv.Shape(
        [](float x, float y) {
          return SdEllipse(x, y, C, C, 23, 18) + (Fbm(x, y, 4, 3, 132) - 0.5f) * 8;
        },
        stone, st);
  } else if (kind == 1) {
    st.bevel = 4;
    st.shadow_dx = st.shadow_dy = 2;
    for (int i = 0; i < 5; ++i) {
      const float px = 12 + Hash01(i, 133, 1) * 40, py = 12 + Hash01(i, 133, 2) * 40;
      const float r = 4 + Hash01(i, 133, 3) * 4;
      cv.Shape(
          [=](float x, float y) {
            return SdCircle(x, y, px, py, r) + (Noise(x, y, 16, 134 + i) - 0.5f) * 3;
          },
          stone, st);
    }
  } else {
    st.bevel = 16;
    st.light = 0.8f;
    cv.Shape(
        [](float x, float y) {
          const float a = std::atan2(y - C, x - C);
          return SdCircle(x, y, C, C, 17) + std::sin(a * 7) * 1.5f;
        },
        [](float x, float y) {
          return Tint(Hex(0x8a7a68),
                      (Fbm(x, y, 8, 3, 135) - 0.5f) * 0.3f - std::hypot(x - C, y - C) / 60);
        },
        st);
  }
  return cv;
}

// ---- markers and labels ---------------------------------------------------------

Canvas::ShapeStyle MarkerStyle() {
  Canvas::ShapeStyle st;
  st.bevel = 2;
  st.outline = 1.5f;
  st.outline_dark = 0.35f;
  st.shadow = 0.35f;
  st.shadow_dx = st.shadow_dy = 1.5f;
  st.shadow_blur = 1.5f;
  return st;
}

Canvas Marker(int kind) {  // 0 X, 1 arrow, 2 flag, 3 star, 4 ring
  Canvas cv;
  switch (kind) {
    case 0:
      cv.Shape(
          [](float x, float y) {
            return std::min(SdSegment(x, y, 14, 14, 50, 50, 4.5f),
                            SdSegment(x, y, 50, 14, 14, 50, 4.5f));
          },
          Hex(0xd02828), MarkerStyle());
      break;
    case 1:
      cv.Shape(
          [](float x, float y) {
            float d = SdSegment(x, y, C, 50, C, 18, 4);
            d = std::min(d, SdSegment(x, y, C, 12, C - 13, 26, 4));
            return std::min(d, SdSegment(x, y, C, 12, C + 13, 26, 4));
          },
          Hex(0xf0c030), MarkerStyle());
      break;
    case 2:
      cv.Shape([](float x, float y) { return SdBox(x, y, 20, C, 2, 24, 1); }, Hex(0x7a5a3a),
               MarkerStyle());
      cv.Shape(
          [](float x, float y) {
            const float wave = std::sin(x * 0.35f) * 2;
            return SdBox(x, y - wave, 34, 19, 12, 9, 1);
          },
          Hex(0x2e9a40), MarkerStyle());
      break;
    case 3:
      cv.Shape(
          [](float x, float y) {
            const float a = std::atan2(y - C, x - C) + kPi / 2;
            const float r = std::hypot(x - C, y - C);
            const float k = std::cos(std::fmod(a + 10 * kPi, 2 * kPi / 5) - kPi / 5);
            const float edge = 12 / (0.35f + 0.65f * std::pow(k, 9.0f) + 0.001f);
            return (r - std::min(edge, 24.0f)) * 0.8f;
          },
          Hex(0xf2d040), MarkerStyle());
      break;
    default:
      cv.Shape([](float x, float y) { return std::fabs(SdCircle(x, y, C, C, 20)) - 3.5f; },
               Hex(0x3080e0), MarkerStyle());
      break;
  }
  return cv;
}

Canvas Label(int number) {
  Canvas cv;
  cv.Shape(
      [](float x, float y) { return SdCircle(x, y, C, C, 19); },
      [](float x, float y) { return Tint(Hex(0xf0e4c0), (Fbm(x, y, 8, 2, 141) - 0.5f) * 0.12f); },
      MarkerStyle());
  DrawNumber(cv, number, C, C, number >= 10 ? 2.6f : 3.4f, Hex(0x2a1a10));
  return cv;
}

// ---- hidden tiles ---------------------------------------------------------------

Canvas SecretDoor() {
  Canvas cv = StoneWall(151);
  // Only the middle band, where a wall's door would be, with a hairline outline
  // of the secret panel and an "S".
  cv.MaskAlpha([](float, float y) { return Clamp01(1 - (std::fabs(y - C) - 10)); });
  cv.Paint([](float x, float y) {
    const float d = std::fabs(SdBox(x, y, C, C, 20, 8, 1)) - 0.6f;
    return WithAlpha(Hex(0x1a1410),
                     Clamp01(0.5f - d) * ((static_cast<int>(x + y) / 3) % 2 ? 0.9f : 0.0f));
  });
  cv.Paint([](float x, float y) {
    // The letter S as two arcs.
    const float top = std::fabs(SdCircle(x, y, C, C - 3, 3)) - 0.9f;
    const float bottom = std::fabs(SdCircle(x, y, C, C + 3, 3)) - 0.9f;
    float d =
        std::min(x > C - 0.5f && y > C - 3 ? 9.0f : top, x < C + 0.5f && y < C + 3 ? 9.0f : bottom);
    return WithAlpha(Hex(0xe8c040), Clamp01(0.5f - d));
  });
  return cv;
}

Canvas Trap(bool pit) {
  Canvas cv;
  if (pit) {
    cv.Paint([](float x, float y) {
      const float d = std::fabs(SdBox(x, y, C, C, 24, 24, 2)) - 1.2f;
      const bool dash = (static_cast<int>((x + y) / 5)) % 2 == 0;
      return WithAlpha(Hex(0xd02828), dash ? Clamp01(0.5f - d) : 0.0f);
    });
    cv.Paint([](float x, float y) {
      return WithAlpha(Hex(0x000000), 0.25f * Clamp01(0.5f - SdBox(x, y, C, C, 22, 22, 2)));
    });
    return cv;
  }
  Canvas::ShapeStyle st;
  st.bevel = 2;
  st.shadow = 0.2f;
  st.shadow_dx = st.shadow_dy = 1;
  cv.Shape([](float x, float y) { return SdBox(x, y, C, C, 16, 16, 2); }, Hex(0x6a625a), st);
  // Spikes peeping through holes, and a red warning edge.
  Canvas::ShapeStyle spike = st;
  spike.bevel = 1.5f;
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) {
      const float px = C - 9 + i * 9, py = C - 9 + j * 9;
      cv.Shape([=](float x, float y) { return SdCircle(x, y, px, py, 2); }, Hex(0xc8c8d0), spike);
    }
  }
  cv.Paint([](float x, float y) {
    const float d = std::fabs(SdBox(x, y, C, C, 19, 19, 3)) - 1.0f;
    return WithAlpha(Hex(0xd02828), 0.85f * Clamp01(0.5f - d));
  });
  return cv;
}

// ---- smart-tool terrain ----------------------------------------------------------

// Distance from (x, y) to the quarters of a piece that hold no terrain. Empty
// quarters that touch the cell's edge reach on past it: the smart tool only puts
// pieces side by side whose quarters agree along the shared edge, so the field
// continues unbroken into the next cell and the borders line up.
float DistanceToEmpty(float x, float y, std::uint8_t quarters) {
  float best = 1e9f;
  for (int q = 0; q < 4; ++q) {
    if (quarters & (1 << q)) continue;
    const bool east = q & 1, south = q & 2;
    const float x0 = east ? C : -1000, x1 = east ? 1000 : C;
    const float y0 = south ? C : -1000, y1 = south ? 1000 : C;
    const float dx = std::max({x0 - x, 0.0f, x - x1}), dy = std::max({y0 - y, 0.0f, y - y1});
    best = std::min(best, std::hypot(dx, dy));
  }
  return best;
}

struct Terrain {
  const char* name;
  std::uint32_t seed;
  float border;  // how far the edge is pulled into the terrain quarters
  std::function<Color(float x, float y, float depth)> color;  // depth: pixels inside the edge
  float shadow;
};

// How far inside the edge (x, y) lies for a piece, with noise that repeats per tile
// so neighbouring pieces bend their edges the same way.
float Depth(const Terrain& t, float x, float y, int piece) {
  if (piece == 0) {
    // The palette's picture of the group: a round patch.
    return 24 - std::hypot(x - C, y - C) + (Fbm(x, y, 4, 3, t.seed + 5) - 0.5f) * 8;
  }
  const float d = DistanceToEmpty(x, y, kPieceQuarters[static_cast<std::size_t>(piece)]);
  // The noise only pulls the edge inward, so an empty quarter stays empty.
  return d - t.border - Fbm(x, y, 4, 3, t.seed + 5) * 9 - Noise(x, y, 16, t.seed + 6) * 4;
}

Canvas TerrainPiece(const Terrain& t, int piece) {
  Canvas cv;
  cv.Paint([&](float x, float y) {
    // A soft shadow to the south-east of the edge, then the terrain itself.
    const float shade_depth = Depth(t, x - 2.5f, y - 2.5f, piece);
    Color shadow{0.05f, 0.05f, 0.03f, t.shadow * SmoothStep(-3, 2, shade_depth)};
    const float depth = Depth(t, x, y, piece);
    const float alpha = Clamp01(depth + 0.5f);
    if (alpha <= 0) return shadow;
    Color c = t.color(x, y, depth);
    c.a = alpha;
    // Composite the terrain over its own shadow.
    const float out = alpha + shadow.a * (1 - alpha);
    return Color{(c.r * alpha + shadow.r * shadow.a * (1 - alpha)) / out,
                 (c.g * alpha + shadow.g * shadow.a * (1 - alpha)) / out,
                 (c.b * alpha + shadow.b * shadow.a * (1 - alpha)) / out, out};
  });
  return cv;
}

Color ForestColor(float x, float y, float depth) {
  const VoronoiCell v = Voronoi(x, y, 6, 201, 0.9f);
  // Every crown is a dome lit from the upper left; gaps between crowns are dark.
  const float dome = 1 - Clamp01(v.f1 / 9);
  const float lit = -((x - v.px) + (y - v.py)) / 10 * 0.2f;
  Color leaf = Mix(Hex(0x2a5a22), Hex(0x4c8a34), Hash01(v.id, 202));
  Color c = Tint(leaf, lit + dome * 0.15f + (Noise(x, y, 32, 203) - 0.5f) * 0.25f);
  c = Mix(Hex(0x14301a), c, SmoothStep(0.5f, 3.0f, v.f2 - v.f1));
  // The edge of the wood: darker leaves along the border.
  return Tint(c, -0.3f * (1 - SmoothStep(0, 5, depth)));
}

Color WaterColor(float x, float y, float depth) {
  const float n = Fbm(x, y, 4, 4, 211);
  Color deep = Mix(Hex(0x173f6a), Hex(0x245a8a), n);
  Color shallow = Hex(0x4a9ab8);
  Color c = Mix(shallow, deep, SmoothStep(2, 12, depth));
  const float wave = std::sin(x * 0.5f + y * 0.3f + Fbm(x, y, 8, 2, 212) * 12);
  c = Mix(c, Hex(0xd8eef8), SmoothStep(0.85f, 0.98f, wave) * 0.4f);
  // Sand and foam on the shore.
  if (depth < 3.0f)
    c = Mix(Hex(0xd8c490), Mix(Hex(0xeaf4f8), c, SmoothStep(1.8f, 3.0f, depth)),
            SmoothStep(0.6f, 1.6f, depth));
  return c;
}

Color MountainColor(float x, float y, float depth) {
  // Peaks: a ridge toward each of a few scattered summits, lit from the upper left
  // so that one flank is bright and the other in shade.
  const auto height = [](float px, float py) {
    const VoronoiCell v = Voronoi(px, py, 3, 221, 0.6f);
    const float peak = 1 - Clamp01(v.f1 / 17);
    const float ridge = 1 - Clamp01((v.f2 - v.f1) / 9);
    return peak * 0.85f - ridge * 0.25f + (Fbm(px, py, 16, 3, 222) - 0.5f) * 0.18f;
  };
  const float h = height(x, y);
  const float gx = height(x + 1, y) - h, gy = height(x, y + 1) - h;
  const float light = Clamp01(0.5f + (-gx - gy) * 9);
  Color c = Mix(Hex(0x4a4036), Hex(0xb0a28e), light);
  c = Tint(c, (h - 0.4f) * 0.3f);
  if (h > 0.62f)
    c = Mix(c, Scale(Hex(0xf4f4f8), 0.75f + light * 0.3f), SmoothStep(0.62f, 0.72f, h));
  return Tint(c, -0.35f * (1 - SmoothStep(0, 4, depth)));
}

void AddGroup(std::vector<TileArt>& tiles, const Terrain& terrain) {
  for (int piece = 0; piece < 16; ++piece) {
    TileArt art;
    art.name = std::string(terrain.name) + (piece == 0 ? "" : " " + std::to_string(piece));
    art.default_layer = kLiquid;
    art.smart_tool = piece == 0 ? 1 : 0;
    art.image = TerrainPiece(terrain, piece).ToImage();
    tiles.push_back(std::move(art));
  }
}

}  // namespace

std::vector<TileArt> DrawDefaultTiles() {
  std::vector<TileArt> tiles;
  const auto add = [&tiles](std::string name, int layer, Canvas canvas, std::uint8_t hidden = 0) {
    TileArt art;
    art.name = std::move(name);
    art.default_layer = layer;
    art.hidden = hidden;
    art.image = canvas.ToImage();
    tiles.push_back(std::move(art));
  };
  add("Blank", kFloor, Canvas());

  add("Flagstone", kFloor, Flagstone(1, Hex(0x8c8680)));
  add("Flagstone, sandstone", kFloor, Flagstone(2, Hex(0xb09a78)));
  add("Cobblestone", kFloor, Cobble(3));
  add("Wooden floor", kFloor, Wood(4, Hex(0x9a6a3c)));
  add("Dark wooden floor", kFloor, Wood(5, Hex(0x5e3e24)));
  add("Dirt", kFloor, Dirt(6));
  add("Sand", kFloor, Sand(7));
  add("Grass", kFloor, Grass(8, false));
  add("Grass with flowers", kFloor, Grass(9, true));
  add("Stone tiles", kFloor, SquareTiles(10, Hex(0x77726c), Hex(0x77726c), false));
  add("Marble checkerboard", kFloor, SquareTiles(11, Hex(0xdedad2), Hex(0x3a3634), true));
  add("Carpet", kFloor, Carpet());
  add("Cave floor", kFloor, Ground(12, Hex(0x3e3832), Hex(0x5e564c), 8, 0.05f));

  add("Brick wall", kWall, BrickWall(21));
  add("Stone block wall", kWall, StoneWall(22));
  add("Cave wall", kWall, CaveWall(23));
  add("Palisade", kWall, Palisade(24));

  add("Water", kLiquid, Water(31, false));
  add("Deep water", kLiquid, Water(32, true));
  add("Lava", kLiquid, Lava(33));
  add("Pit", kLiquid, Pit(false));
  add("Square pit", kLiquid, Pit(true));

  add("Wooden door", kDoor, Door(0));
  add("Iron door", kDoor, Door(1));
  add("Double door", kDoor, Door(2));
  add("Open door", kDoor, Door(3));
  add("Portcullis", kDoor, Door(4));
  add("Stairs down", kDoor, Stairs(true));
  add("Stairs up", kDoor, Stairs(false));
  add("Spiral stairs", kDoor, SpiralStairs());
  add("Ladder", kDoor, Ladder());

  add("Round pillar", kProp, Pillar(0));
  add("Square pillar", kProp, Pillar(1));
  add("Broken pillar", kProp, Pillar(2));
  add("Statue", kProp, Statue());

  add("Table", kProp, Table(false));
  add("Round table", kProp, Table(true));
  add("Chair", kProp, Chair());
  add("Bed", kProp, Bed());
  add("Chest", kProp, Chest());
  add("Barrel", kProp, Barrel());
  add("Crate", kProp, Crate());
  add("Bookshelf", kProp, Bookshelf());
  add("Altar", kProp, Altar());
  add("Fountain", kProp, Fountain());
  add("Throne", kProp, Throne());
  add("Rug", kLiquid, Rug());
  add("Brazier", kProp, Fire(true));
  add("Campfire", kProp, Fire(false));
  add("Bones", kProp, Bones(false));
  add("Skull", kProp, Bones(true));
  add("Rubble", kProp, Rubble());
  add("Spider web", kTall, Web());
  add("Well", kProp, Well());
  add("Sarcophagus", kProp, Coffin());
  add("Urn", kProp, Urn());

  add("Oak tree", kTall, Tree(0));
  add("Pine tree", kTall, Tree(1));
  add("Dead tree", kTall, Tree(2));
  add("Bush", kTall, Tree(3));
  add("Tree stump", kProp, Tree(4));
  add("Boulder", kTall, Rock(0));
  add("Rocks", kProp, Rock(1));
  add("Stalagmite", kTall, Rock(2));

  add("Secret door", kDoor, SecretDoor(), 1);
  add("Spike trap", kProp, Trap(false), 1);
  add("Pit trap", kProp, Trap(true), 1);

  add("Marker X", kMarker, Marker(0));
  add("Arrow", kMarker, Marker(1));
  add("Start flag", kMarker, Marker(2));
  add("Star", kMarker, Marker(3));
  add("Ring", kMarker, Marker(4));
  for (int n = 1; n <= 20; ++n) add("Label " + std::to_string(n), kMarker, Label(n));

  AddGroup(tiles, {"Forest", 300, 4, ForestColor, 0.4f});
  AddGroup(tiles, {"Water", 310, 3, WaterColor, 0.15f});
  AddGroup(tiles, {"Mountains", 320, 4, MountainColor, 0.45f});
  return tiles;
}

}  // namespace qm::tilegen
