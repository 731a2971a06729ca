#include "render/cell_renderer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "common/errors.h"
#include "render/image_drawing.h"
#include "render/render_support.h"

namespace qm {
namespace {

using test::AddTile;
using test::MakeTileset;
using test::PatternTile;
using test::Rgb;
using test::SolidTile;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kGreen{0, 255, 0};

Rgb At(const CellBuffer& b, int x, int y) {
  const std::uint8_t* p = b.Row(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

// The set of buffer pixels that differ from white, as a predicate check.
void ExpectPainted(const CellBuffer& b, const std::function<bool(int, int)>& painted,
                   const std::string& what) {
  int wrong = 0;
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      const bool is = At(b, x, y) != kWhite;
      if (is != painted(x, y) && ++wrong <= 3) {
        ADD_FAILURE() << what << ": pixel (" << x << "," << y << ") is "
                      << (is ? "painted" : "white");
      }
    }
  }
}

std::function<bool(int, int)> InRects(std::vector<PixelRect> rects) {
  return [rects](int x, int y) {
    for (const PixelRect& r : rects) {
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    }
    return false;
  };
}

class CellRendererTest : public ::testing::Test {
 protected:
  CellRendererTest() : tileset_(MakeTileset()), level_("Test") {}

  // Puts tile `tile` on layer `layer` of cell (1, 1) and renders it at w x w.
  CellBuffer Render(int w, int tile, int effect, int rotation = 0, int layer = 0) {
    level_.SetSlot(1, 1, layer,
                   {static_cast<std::uint16_t>(tile), static_cast<std::uint8_t>(rotation),
                    static_cast<std::uint8_t>(effect)});
    return RenderOnly(w);
  }
  CellBuffer RenderOnly(int w) {
    CellBuffer buffer(w, w);
    RenderCell(level_, tileset_, 1, 1, buffer);
    return buffer;
  }

  // Tiles of several sizes and kinds, and cells 1 to `cells` square holding
  // random slots over them: every effect code below 60, some rotations.
  void FillRandomly(int cells) {
    AddTile(tileset_, PatternTile(32, 32));
    AddTile(tileset_, SolidTile(20, 20, kRed, 128));
    AddTile(tileset_, SolidTile(16, 16, kGreen, 255, PngColorType::RGB));
    PngImage holes = PatternTile(24, 24);
    for (int i = 0; i < 24; ++i) holes.AlphaRow(i)[i] = 0;
    AddTile(tileset_, std::move(holes));
    std::mt19937 random(7);
    for (int x = 1; x <= cells; ++x) {
      for (int y = 1; y <= cells; ++y) {
        for (int layer = 0; layer < kLayerCount; ++layer) {
          if (random() % 3 == 0) continue;
          level_.SetSlot(x, y, layer,
                         {static_cast<std::uint16_t>(random() % 5),
                          static_cast<std::uint8_t>(random() % 4 == 0 ? random() % 181 : 0),
                          static_cast<std::uint8_t>(random() % 60)});
        }
      }
    }
    level_.SetBackgroundTile(3);
  }

  Tileset tileset_;
  TMap level_;
};

TEST_F(CellRendererTest, EmptyCellStaysWhite) {
  AddTile(tileset_, SolidTile(32, 32, kRed));
  ExpectPainted(
      RenderOnly(32), [](int, int) { return false; }, "empty cell");
  // Tile 0 is never drawn, even when the tileset has an image for it.
  ExpectPainted(
      Render(32, 0, 0), [](int, int) { return false; }, "tile 0");
}

TEST_F(CellRendererTest, CoordinatesOutsideTheLevelDrawNothing) {
  AddTile(tileset_, SolidTile(32, 32, kRed));
  for (int x = 1; x <= MapSize; ++x) {
    for (int y = 1; y <= MapSize; ++y) level_.SetSlot(x, y, 0, {1, 0, 0});
  }
  for (auto [x, y] : {std::pair{0, 1}, {1, 0}, {73, 5}, {5, 73}, {-1, -1}}) {
    CellBuffer buffer(8, 8);
    RenderCell(level_, tileset_, x, y, buffer);
    EXPECT_EQ(At(buffer, 4, 4), kWhite) << x << "," << y;
  }
  CellBuffer inside(8, 8);
  RenderCell(level_, tileset_, 72, 72, inside);
  EXPECT_EQ(At(inside, 4, 4), kRed);
}

TEST(EffectDestinations, RectanglesFollowTheCellWidth) {
  struct Case {
    int effect;
    int w;
    std::vector<PixelRect> rects;
  } cases[] = {
      {0, 32, {{0, 0, 32, 32}}},
      {1, 32, {{0, 0, 16, 16}}},
      {2, 32, {{8, 0, 24, 16}}},
      {3, 32, {{16, 0, 32, 16}}},
      {4, 32, {{0, 8, 16, 24}}},
      {5, 32, {{8, 8, 24, 24}}},
      {6, 32, {{16, 8, 32, 24}}},
      {7, 32, {{0, 16, 16, 32}}},
      {8, 32, {{8, 16, 24, 32}}},
      {9, 32, {{16, 16, 32, 32}}},
      {10, 32, {{0, 0, 16, 16}, {16, 0, 32, 16}, {0, 16, 16, 32}, {16, 16, 32, 32}}},
      {11, 32, {{0, 0, 16, 16}, {16, 0, 32, 16}}},
      {12, 32, {{0, 16, 16, 32}, {16, 16, 32, 32}}},
      {13, 32, {{0, 0, 16, 16}, {0, 16, 16, 32}}},
      {14, 32, {{16, 0, 32, 16}, {16, 16, 32, 32}}},
      {15, 32, {{0, 0, 16, 16}, {16, 0, 32, 16}, {0, 16, 16, 32}}},
      {16, 32, {{0, 0, 16, 16}, {16, 0, 32, 16}, {16, 16, 32, 32}}},
      {17, 32, {{16, 0, 32, 16}, {0, 16, 16, 32}, {16, 16, 32, 32}}},
      {18, 32, {{0, 0, 16, 16}, {0, 16, 16, 32}, {16, 16, 32, 32}}},
      {47, 32, {{0, 8, 16, 24}, {16, 8, 32, 24}}},
      {48, 32, {{8, 0, 24, 16}, {8, 16, 24, 32}}},
      // W = 33: h = 16, q = 8; the right and lower halves are 17 pixels.
      {3, 33, {{16, 0, 33, 16}}},
      {5, 33, {{8, 8, 24, 24}}},
      {9, 33, {{16, 16, 33, 33}}},
      {10, 33, {{0, 0, 16, 16}, {16, 0, 33, 16}, {0, 16, 16, 33}, {16, 16, 33, 33}}},
      {47, 33, {{0, 8, 16, 24}, {16, 8, 33, 24}}},
      {0, 33, {{0, 0, 33, 33}}},
      // W = 8: h = 4, q = 2.
      {2, 8, {{2, 0, 6, 4}}},
      {5, 8, {{2, 2, 6, 6}}},
      {8, 8, {{2, 4, 6, 8}}},
      {48, 8, {{2, 0, 6, 4}, {2, 4, 6, 8}}},
      {17, 8, {{4, 0, 8, 4}, {0, 4, 4, 8}, {4, 4, 8, 8}}},
  };
  for (const Case& c : cases) {
    const EffectPlacement p = EffectDestinations(c.effect, c.w, c.w);
    ASSERT_EQ(p.count, static_cast<int>(c.rects.size())) << "code " << c.effect << " W " << c.w;
    for (int i = 0; i < p.count; ++i) {
      EXPECT_EQ(p.rects[static_cast<std::size_t>(i)], c.rects[static_cast<std::size_t>(i)])
          << "code " << c.effect << " W " << c.w << " rect " << i;
    }
  }
  // Every other code, masks, opacity and zoom included, covers the whole cell.
  for (int code = 19; code <= 255; ++code) {
    if (code == 47 || code == 48) continue;
    const EffectPlacement p = EffectDestinations(code, 32, 32);
    EXPECT_EQ(p.count, 1) << code;
    EXPECT_EQ(p.rects[0], (PixelRect{0, 0, 32, 32})) << code;
  }
}

TEST_F(CellRendererTest, PlacementsDrawWhereTheirRectanglesAre) {
  AddTile(tileset_, SolidTile(12, 12, kRed));
  struct Case {
    int effect;
    int w;
    std::vector<PixelRect> rects;
  } cases[] = {{10, 32, {{0, 0, 32, 32}}}, {5, 32, {{8, 8, 24, 24}}},
               {47, 32, {{0, 8, 32, 24}}}, {5, 33, {{8, 8, 24, 24}}},
               {3, 33, {{16, 0, 33, 16}}}, {15, 8, {{0, 0, 8, 4}, {0, 4, 4, 8}}},
               {48, 8, {{2, 0, 6, 8}}}};
  for (const Case& c : cases) {
    ExpectPainted(Render(c.w, 1, c.effect), InRects(c.rects),
                  "code " + std::to_string(c.effect) + " W " + std::to_string(c.w));
  }
}

TEST_F(CellRendererTest, TiledCodesStampTheWholeTileInEachRectangle) {
  // A tile with a blue left half and red right half: each 16 x 16 stamp of code 10
  // at W = 32 shows both halves.
  PngImage tile = SolidTile(32, 32, kRed);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 16; ++x) {
      tile.Row(y)[3 * x] = 0;
      tile.Row(y)[3 * x + 2] = 255;
    }
  }
  AddTile(tileset_, std::move(tile));
  const CellBuffer b = Render(32, 1, EffectTiledFull);
  for (int y : {0, 15, 16, 31}) {
    EXPECT_EQ(At(b, 0, y), kBlue);
    EXPECT_EQ(At(b, 7, y), kBlue);
    EXPECT_EQ(At(b, 8, y), kRed);
    EXPECT_EQ(At(b, 16, y), kBlue);
    EXPECT_EQ(At(b, 24, y), kRed);
  }
}

TEST_F(CellRendererTest, UnassignedCodesDrawTheTileUnchanged) {
  AddTile(tileset_, PatternTile(32, 32));
  const CellBuffer plain = Render(32, 1, 0);
  std::vector<int> codes = {49, 50, 51, 52, 53, 54};
  for (int code = 56; code <= 255; ++code) codes.push_back(code);
  for (int code : codes) {
    const CellBuffer b = Render(32, 1, code);
    for (int y = 0; y < 32; ++y) {
      ASSERT_EQ(std::memcmp(b.Row(y), plain.Row(y), b.Stride()), 0) << "code " << code;
    }
  }
}

// What each mask keeps on an N x N tile, written out from the wall-piece geometry:
// band = rows or columns t + 1 .. N - 2 - t with t = N div 3.
bool ExpectedKept(int code, int n, int r, int c) {
  const int t = n / 3;
  auto band = [&](int i) { return i >= t + 1 && i <= n - 2 - t; };
  switch (code) {
    case 19:
      return r + c <= n - 1;
    case 20:
      return r + c >= n;
    case 21:
      return r > c;
    case 22:
      return c > r;
    case 23:
      return band(r) || band(c);
    case 24:
      return band(r);
    case 25:
      return band(c);
    case 26:
      return band(r) || (band(c) && r <= t);
    case 27:
      return band(r) || (band(c) && r >= n - 1 - t);
    case 28:
      return band(c) || (band(r) && c <= t);
    case 29:
      return band(c) || (band(r) && c >= n - 1 - t);
    case 30:
      return (band(c) && r <= n - 2 - t) || (band(r) && c <= n - 2 - t);
    case 31:
      return (band(c) && r <= n - 2 - t) || (band(r) && c >= t + 1);
    case 32:
      return (band(c) && r >= t + 1) || (band(r) && c <= n - 2 - t);
    case 33:
      return (band(c) && r >= t + 1) || (band(r) && c >= t + 1);
  }
  return true;
}

TEST(AlphaEdits, EveryMaskOnSquareTiles) {
  for (int n : {32, 12}) {
    for (int code = 19; code <= 33; ++code) {
      PngImage image = PatternTile(n, n);
      ApplyAlphaEdit(image, code);
      int wrong = 0;
      for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
          const bool kept = image.AlphaRow(r)[c] == 255;
          if (kept != ExpectedKept(code, n, r, c) && ++wrong <= 2) {
            ADD_FAILURE() << "mask " << code << " N " << n << " at row " << r << " col " << c;
          }
          if (kept) {
            EXPECT_EQ(image.Row(r)[3 * c], c);  // colour untouched
          } else {
            EXPECT_EQ(image.AlphaRow(r)[c], 0);
          }
        }
      }
    }
  }
}

TEST(AlphaEdits, BandsOfThirtyTwoAndTwelve) {
  // The numbers behind the table above, pinned on their own.
  PngImage big = PatternTile(32, 32);
  ApplyAlphaEdit(big, EffectMaskHorizontalSection);
  for (int r = 0; r < 32; ++r) EXPECT_EQ(big.AlphaRow(r)[0], r >= 11 && r <= 20 ? 255 : 0) << r;
  PngImage small = PatternTile(12, 12);
  ApplyAlphaEdit(small, EffectMaskVerticalSection);
  for (int c = 0; c < 12; ++c) EXPECT_EQ(small.AlphaRow(0)[c], c == 5 || c == 6 ? 255 : 0) << c;
}

TEST(AlphaEdits, ShadedVerticalSection) {
  struct Case {
    int n;
    std::vector<int> shade;  // black at alpha 32
    int band_lo, band_hi;
  } cases[] = {{32, {9, 10, 21, 22}, 11, 20}, {12, {4, 7}, 5, 6}};
  for (const Case& c : cases) {
    PngImage image = PatternTile(c.n, c.n);
    ApplyAlphaEdit(image, EffectMaskShadedVerticalSection);
    for (int r = 0; r < c.n; ++r) {
      for (int col = 0; col < c.n; ++col) {
        const std::uint8_t* p = image.Row(r) + 3 * col;
        const std::uint8_t a = image.AlphaRow(r)[col];
        if (col >= c.band_lo && col <= c.band_hi) {
          EXPECT_EQ(a, 255);
          EXPECT_EQ(p[0], col);
        } else if (std::find(c.shade.begin(), c.shade.end(), col) != c.shade.end()) {
          EXPECT_EQ(a, 32) << "N " << c.n << " col " << col;
          EXPECT_EQ(p[0] + p[1] + p[2], 0);
        } else {
          EXPECT_EQ(a, 0) << "N " << c.n << " col " << col;
        }
      }
    }
  }
}

TEST(AlphaEdits, MasksOnTilesThatAreNotSquareStayInside) {
  // Rows follow the height, columns the width; a square tile sees no difference.
  for (auto [w, h] : {std::pair{12, 6}, {6, 12}, {40, 3}, {1, 1}, {2, 50}}) {
    for (int code : {19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 55}) {
      PngImage image = PatternTile(w, h);
      ApplyAlphaEdit(image, code);
      ASSERT_EQ(image.Width(), w);
      ASSERT_EQ(image.Height(), h);
    }
    // The two diagonal halves still split the tile without gap or overlap.
    PngImage upper = PatternTile(w, h), lower = PatternTile(w, h);
    ApplyAlphaEdit(upper, 19);
    ApplyAlphaEdit(lower, 20);
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) {
        EXPECT_EQ(upper.AlphaRow(r)[c] + lower.AlphaRow(r)[c], 255) << w << "x" << h;
      }
    }
  }
  // 12 x 9: the row band comes from the height (t = 3, row 4), the column band
  // from the width (t = 4, columns 5 and 6).
  PngImage wide = PatternTile(12, 9);
  ApplyAlphaEdit(wide, EffectMaskCrossSection);
  for (int r = 0; r < 9; ++r) {
    for (int c = 0; c < 12; ++c) {
      EXPECT_EQ(wide.AlphaRow(r)[c], r == 4 || c == 5 || c == 6 ? 255 : 0) << r << "," << c;
    }
  }
}

TEST(AlphaEdits, OpacityCodesSetEveryVisiblePixel) {
  for (int code = 34; code <= 42; ++code) {
    const int expected = 225 - 25 * (code - 34);
    PngImage image = PatternTile(12, 12);
    image.AlphaRow(0)[0] = 0;
    image.AlphaRow(0)[1] = 40;
    image.AlphaRow(0)[2] = 1;
    ApplyAlphaEdit(image, code);
    EXPECT_EQ(image.AlphaRow(0)[0], 0) << code;
    EXPECT_EQ(image.AlphaRow(0)[1], expected) << code;
    EXPECT_EQ(image.AlphaRow(0)[2], expected) << code;
    EXPECT_EQ(image.AlphaRow(11)[11], expected) << code;
  }
}

TEST_F(CellRendererTest, MasksThroughTheRenderer) {
  AddTile(tileset_, SolidTile(32, 32, kRed));
  AddTile(tileset_, SolidTile(12, 12, kBlue, 255, PngColorType::RGB));  // given alpha first
  for (int code : {19, 23, 24, 30, 33}) {
    ExpectPainted(
        Render(32, 1, code), [&](int x, int y) { return ExpectedKept(code, 32, y, x); },
        "32 px mask " + std::to_string(code));
  }
  // A 12 x 12 RGB tile drawn at 12 pixels, one layer per half: 19 and 20 cover
  // the cell, 21 and 22 leave the 12 pixels of the main diagonal white.
  level_.SetSlot(1, 1, 0, {2, 0, 19});
  level_.SetSlot(1, 1, 1, {2, 0, 20});
  ExpectPainted(
      RenderOnly(12), [](int, int) { return true; }, "19 + 20");
  level_.SetSlot(1, 1, 0, {2, 0, 21});
  level_.SetSlot(1, 1, 1, {2, 0, 22});
  ExpectPainted(
      RenderOnly(12), [](int x, int y) { return x != y; }, "21 + 22");
}

TEST_F(CellRendererTest, ShadedSectionDrawsTranslucentBlackEdges) {
  AddTile(tileset_, SolidTile(32, 32, kRed));
  const CellBuffer b = Render(32, 1, EffectMaskShadedVerticalSection);
  // Black at alpha 32 over white: 255 * 223 / 255.
  const Rgb shade{223, 223, 223};
  for (int x = 0; x < 32; ++x) {
    const Rgb expected = (x >= 11 && x <= 20)                        ? kRed
                         : (x == 9 || x == 10 || x == 21 || x == 22) ? shade
                                                                     : kWhite;
    EXPECT_EQ(At(b, x, 5), expected) << x;
  }
}

TEST_F(CellRendererTest, OpacityBlendsOverWhatIsBeneath) {
  PngImage tile = SolidTile(32, 32, kRed, 40);
  tile.AlphaRow(0)[0] = 0;
  AddTile(tileset_, std::move(tile));
  AddTile(tileset_, SolidTile(32, 32, kBlue));
  for (int code = 34; code <= 42; ++code) {
    const unsigned a = 225 - 25 * (code - 34);
    level_.SetSlot(1, 1, 0, {2, 0, 0});
    const CellBuffer b = Render(32, 1, code, 0, 1);
    const auto mix = [a](unsigned top, unsigned below) {
      return static_cast<std::uint8_t>((top * a + below * (255 - a) + 127) / 255);
    };
    EXPECT_EQ(At(b, 5, 5), (Rgb{mix(255, 0), 0, mix(0, 255)})) << "code " << code;
    EXPECT_EQ(At(b, 0, 0), kBlue) << "alpha 0 stays invisible, code " << code;
  }
}

TEST_F(CellRendererTest, ZoomQuartersFillTheCell) {
  // Quarters of a 32 x 32 tile in four colours: UL red, UR green, LL blue, LR black.
  PngImage tile = SolidTile(32, 32, kRed);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      std::uint8_t* p = tile.Row(y) + 3 * x;
      const Rgb c = y < 16 ? (x < 16 ? kRed : kGreen) : (x < 16 ? kBlue : Rgb{0, 0, 0});
      p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
  }
  AddTile(tileset_, std::move(tile));
  const Rgb expected[] = {kRed, kGreen, kBlue, {0, 0, 0}};
  for (int code = 43; code <= 46; ++code) {
    const CellBuffer b = Render(24, 1, code);
    for (auto [x, y] : {std::pair{0, 0}, {23, 0}, {0, 23}, {23, 23}, {12, 12}}) {
      EXPECT_EQ(At(b, x, y), expected[code - 43]) << "code " << code;
    }
  }
}

TEST_F(CellRendererTest, ZoomOnTilesThatCannotBeCutDrawsNothing) {
  AddTile(tileset_, SolidTile(32, 32, {90, 90, 90}, 255, PngColorType::Grey));
  AddTile(tileset_, SolidTile(32, 16, kRed));  // less high than wide
  AddTile(tileset_, SolidTile(16, 32, kRed));  // higher than wide: fine
  for (int code = 43; code <= 46; ++code) {
    ExpectPainted(
        Render(16, 1, code), [](int, int) { return false; }, "grey zoom");
    // The lower quarters of a wide tile reach below it; the upper ones fit.
    const bool lower = code >= 45;
    ExpectPainted(
        Render(16, 2, code), [lower](int, int) { return !lower; }, "wide zoom");
    ExpectPainted(
        Render(16, 3, code), [](int, int) { return true; }, "tall zoom");
  }
  // The plain code still draws the grey tile.
  ExpectPainted(
      Render(16, 1, 0), [](int, int) { return true; }, "grey plain");
}

TEST_F(CellRendererTest, HiddenTilesFollowShowHidden) {
  AddTile(tileset_, SolidTile(16, 16, kRed), /*hidden=*/true);
  AddTile(tileset_, SolidTile(16, 16, kBlue));
  level_.SetBackgroundTile(1);  // the background ignores the hidden flag
  level_.SetShowHidden(0);
  EXPECT_EQ(At(Render(16, 1, EffectPositionUpperLeft), 2, 2), kRed);  // background only
  EXPECT_EQ(At(Render(16, 1, EffectPositionUpperLeft), 12, 12), kRed);
  level_.SetBackgroundTile(2);
  EXPECT_EQ(At(Render(16, 1, EffectPositionUpperLeft), 2, 2), kBlue);
  level_.SetShowHidden(1);
  EXPECT_EQ(At(Render(16, 1, EffectPositionUpperLeft), 2, 2), kRed);
  EXPECT_EQ(At(Render(16, 1, EffectPositionUpperLeft), 12, 12), kBlue);
}

TEST_F(CellRendererTest, LayersDrawInOrderAndHiddenLayersNotAtAll) {
  AddTile(tileset_, SolidTile(16, 16, kRed));
  AddTile(tileset_, SolidTile(16, 16, kBlue));
  level_.SetSlot(1, 1, 2, {1, 0, 0});
  level_.SetSlot(1, 1, 6, {2, 0, EffectPositionCenter});
  CellBuffer b = RenderOnly(16);
  EXPECT_EQ(At(b, 1, 1), kRed);
  EXPECT_EQ(At(b, 8, 8), kBlue);
  level_.SetLayerVisible(6, false);
  b = RenderOnly(16);
  EXPECT_EQ(At(b, 8, 8), kRed);
  level_.SetLayerVisible(2, false);
  ExpectPainted(
      RenderOnly(16), [](int, int) { return false; }, "both layers hidden");
}

TEST_F(CellRendererTest, TilesAndBackgroundPastTheTileCountAreSkipped) {
  AddTile(tileset_, SolidTile(16, 16, kRed));
  level_.SetBackgroundTile(2);
  ExpectPainted(
      Render(16, 5, 0), [](int, int) { return false; }, "past the count");
  level_.SetBackgroundTile(1);
  EXPECT_EQ(At(Render(16, 5, 0), 3, 3), kRed);
}

TEST_F(CellRendererTest, BackgroundShowsThroughTransparentLayers) {
  AddTile(tileset_, SolidTile(16, 16, kGreen, 255, PngColorType::RGB));
  AddTile(tileset_, SolidTile(16, 16, kRed));
  level_.SetBackgroundTile(1);
  const CellBuffer b = Render(16, 2, EffectPositionLowerRight);
  EXPECT_EQ(At(b, 0, 0), kGreen);
  EXPECT_EQ(At(b, 12, 12), kRed);
}

TEST_F(CellRendererTest, RotationsTurnTheTileClockwise) {
  AddTile(tileset_, PatternTile(32, 32));
  AddTile(tileset_, SolidTile(32, 32, kRed));
  const PngImage& tile = tileset_.Image(1);
  // 45 units = 90 degrees: full size, D(y, x) = I(31 - x, y).
  const CellBuffer turned = Render(32, 1, 0, 45);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const std::uint8_t* s = tile.Row(31 - x) + 3 * y;
      ASSERT_EQ(At(turned, x, y), (Rgb{s[0], s[1], s[2]})) << x << "," << y;
    }
  }
  const CellBuffer half = Render(32, 1, 0, 90);
  EXPECT_EQ(At(half, 0, 0), (Rgb{31, 31, static_cast<std::uint8_t>(7 * 31 + 3 * 31)}));
  // 23 units = 46 degrees: the bigger bounding box is shrunk into the cell, so the
  // corner triangles outside the turned square stay white.
  const CellBuffer shrunk = Render(32, 2, 0, 23);
  for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}, {4, 4}, {27, 27}, {27, 4}}) {
    EXPECT_EQ(At(shrunk, x, y), kWhite) << x << "," << y;
  }
  EXPECT_EQ(At(shrunk, 16, 16), kRed);
  // 15 units = 30 degrees on an RGB tile: the uncovered corners are black.
  AddTile(tileset_, SolidTile(32, 32, kRed, 255, PngColorType::RGB));
  const CellBuffer rgb = Render(32, 3, 0, 15);
  EXPECT_EQ(At(rgb, 16, 16), kRed);
  EXPECT_EQ(At(rgb, 0, 0), kWhite) << "given alpha before turning, so corners are clear";
}

TEST_F(CellRendererTest, MasksTurnWithTheTile) {
  AddTile(tileset_, SolidTile(32, 32, kRed));
  // The horizontal band turned by 90 degrees is the vertical band.
  ExpectPainted(
      Render(32, 1, EffectMaskHorizontalSection, 45), [](int x, int) { return x >= 11 && x <= 20; },
      "turned band");
}

TEST_F(CellRendererTest, RotatedGreyTileFailsWithTheFormatError) {
  AddTile(tileset_, SolidTile(16, 16, {80, 0, 0}, 255, PngColorType::Grey));
  try {
    Render(16, 1, 0, 45);
    FAIL() << "no error";
  } catch (const UserError& e) {
    EXPECT_STREQ(e.what(), "Only COLOR_RGBALPHA and COLOR_RGB formats are supported");
  }
  // Unrotated it draws.
  EXPECT_EQ(At(Render(16, 1, 0, 0), 3, 3), (Rgb{80, 80, 80}));
}

TEST_F(CellRendererTest, PaletteTilesDrawWithTheirTransparency) {
  PngImage tile = PngImage::Blank(PngColorType::Palette, 4, 4);
  tile.SetPalette({{255, 0, 0}, {0, 0, 255}}, {0, 255});
  for (int y = 0; y < 4; ++y) tile.Row(y)[0] = 1;  // left column blue, rest clear
  AddTile(tileset_, std::move(tile));
  for (int code : {0, 34, 24}) {
    const CellBuffer b = Render(8, 1, code, code == 24 ? 45 : 0);
    EXPECT_EQ(At(b, 6, 1), kWhite) << code;
  }
  const CellBuffer plain = Render(8, 1, 0);
  EXPECT_EQ(At(plain, 0, 0), kBlue);
  EXPECT_EQ(At(plain, 1, 7), kBlue);
}

TEST_F(CellRendererTest, KeptWorkImagesNeverChangeAPixel) {
  // A level full of random slots rendered with one cache and without any: the
  // pictures are identical byte for byte, including under a tiny cache limit
  // that keeps dropping what it holds.
  FillRandomly(6);
  RenderCache cache;
  RenderCache tiny(1);
  for (int pass = 0; pass < 2; ++pass) {
    for (int x = 1; x <= 6; ++x) {
      for (int y = 1; y <= 6; ++y) {
        CellBuffer fresh(29, 29), kept(29, 29), dropped(29, 29);
        RenderCell(level_, tileset_, x, y, fresh);
        RenderCell(level_, tileset_, x, y, kept, &cache);
        RenderCell(level_, tileset_, x, y, dropped, &tiny);
        for (int r = 0; r < 29; ++r) {
          ASSERT_EQ(std::memcmp(fresh.Row(r), kept.Row(r), fresh.Stride()), 0) << x << "," << y;
          ASSERT_EQ(std::memcmp(fresh.Row(r), dropped.Row(r), fresh.Stride()), 0) << x << "," << y;
        }
      }
    }
  }
}

TEST_F(CellRendererTest, ThreadsSharingACacheDrawWhatOneThreadDraws) {
  // Four threads draw every cell twice from one cache, each in its own order, so
  // they derive the same images at the same time and draw from what the others
  // kept. The tiny cache drops everything again and again while other threads
  // are inside a cell. Small cells use the scaled copies, large ones the work
  // images.
  constexpr int kCells = 8;
  FillRandomly(kCells);
  for (int size : {29, 90}) {
    SCOPED_TRACE("cells of " + std::to_string(size));
    std::vector<CellBuffer> expected;
    for (int i = 0; i < kCells * kCells; ++i) {
      expected.emplace_back(size, size);
      RenderCell(level_, tileset_, 1 + i % kCells, 1 + i / kCells, expected.back());
    }
    for (std::size_t limit : {std::size_t{64} << 20, std::size_t{1}}) {
      RenderCache shared(limit);
      std::vector<int> mismatches(4, 0);
      std::vector<std::thread> threads;
      for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
          CellBuffer buffer(size, size);
          for (int n = 0; n < 2 * kCells * kCells; ++n) {
            const int i = (n * (2 * t + 1) + 11 * t) % (kCells * kCells);
            buffer.Reset();
            RenderCell(level_, tileset_, 1 + i % kCells, 1 + i / kCells, buffer, &shared);
            const CellBuffer& want = expected[static_cast<std::size_t>(i)];
            for (int r = 0; r < size; ++r) {
              if (std::memcmp(want.Row(r), buffer.Row(r), want.Stride()) != 0) {
                ++mismatches[static_cast<std::size_t>(t)];
                break;
              }
            }
          }
        });
      }
      for (auto& thread : threads) thread.join();
      EXPECT_EQ(mismatches, std::vector<int>(4, 0)) << "cache limit " << limit;
    }
  }
}

TEST_F(CellRendererTest, CurrentLevelOfTheDocument) {
  AddTile(tileset_, SolidTile(8, 8, kRed));
  MapDocument document;
  document.Current().SetSlot(3, 4, 0, {1, 0, 0});
  CellBuffer b(8, 8);
  RenderCell(document, tileset_, 3, 4, b);
  EXPECT_EQ(At(b, 4, 4), kRed);
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

TEST(RenderCacheTest, ScaledCopiesMatchDrawingTheWorkImage) {
  // Small rectangles are drawn from copies scaled once; they must give exactly
  // the pixels of drawing the full work image (rotated by RotateImage) scaled.
  Tileset tileset = test::MakeTileset();
  test::AddTile(tileset, test::PatternTile(32, 32));
  PngImage holes = test::PatternTile(20, 28);
  for (int i = 0; i < 20; ++i) holes.AlphaRow(i)[i] = 90;
  test::AddTile(tileset, std::move(holes));
  test::AddTile(tileset, test::PatternTile(16, 16, PngColorType::RGB));
  RenderCache cache;
  for (int tile = 1; tile <= 3; ++tile) {
    for (int effect : {0, 19, 24, 34, 43, 46, 55}) {
      for (int rotation : {0, 15, 23, 45, 90, 135, 180}) {
        for (auto [w, h] : {std::pair{8, 8}, {17, 16}, {32, 32}, {33, 33}, {64, 64}, {5, 40}}) {
          const RenderCache::Work work = cache.Get(tileset, tile, effect, rotation);
          const RenderCache::Scaled scaled = cache.GetScaled(tileset, tile, effect, rotation, w, h);
          ASSERT_EQ(work.image == nullptr, scaled.pixels == nullptr);
          if (!work.image) continue;
          CellBuffer a(w, h), b(w, h);
          DrawImageScaled(*work.image, {0, 0, w, h}, a.View());
          DrawRgbaAt(scaled.pixels, {0, 0, w, h}, b.View());
          for (int y = 0; y < h; ++y) {
            ASSERT_EQ(std::memcmp(a.Row(y), b.Row(y), a.Stride()), 0)
                << "tile " << tile << " effect " << effect << " rotation " << rotation << " " << w
                << "x" << h;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace qm
