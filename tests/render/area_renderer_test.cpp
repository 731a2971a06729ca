#include "render/area_renderer.h"

#include <gtest/gtest.h>

#include <vector>

#include "render/render_support.h"

namespace qm {
namespace {

constexpr int kCell = 6;

// A level whose cells all differ, drawn from a few tiles under several effects
// and rotations, so a cell drawn at the wrong place or with the wrong cache shows.
struct Fixture {
  Tileset tiles;
  std::unique_ptr<TMap> level = std::make_unique<TMap>("Area");
  Fixture() {
    tiles.AddTile(PngImage::Blank(PngColorType::RGBA, 1, 1), TTileProperties());
    for (int n = 1; n <= 4; ++n) test::AddTile(tiles, test::PatternTile(8 + n, 8 + 2 * n));
    for (int x = 1; x <= MapSize; ++x) {
      for (int y = 1; y <= MapSize; ++y) {
        const int mix = x * 7 + y * 3;
        level->SetSlot(x, y, 0, {static_cast<std::uint16_t>(1 + mix % 4), 0, 0});
        level->SetSlot(
            x, y, 1,
            {static_cast<std::uint16_t>(1 + (mix / 4) % 4),
             static_cast<std::uint8_t>((mix % 3) * 45), static_cast<std::uint8_t>(mix % 49)});
      }
    }
  }
};

std::vector<std::uint8_t> Render(const Fixture& f, int threads, CellBlock block, int width,
                                 int height, const GridSelection* selection) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3, 77);
  AreaRenderer renderer(threads);
  const auto failure = renderer.Render(*f.level, f.tiles, block, kCell,
                                       {pixels.data(), width, height, 3u * width}, selection);
  EXPECT_FALSE(failure) << *failure;
  return pixels;
}

TEST(AreaRenderer, EveryCellIsWhatRenderCellDrawsAtItsPlaceOnAnyNumberOfThreads) {
  const Fixture f;
  const CellBlock block{60, 50, 12, 9};
  const int width = block.columns * kCell - 4;  // the last column and row are cut
  const int height = block.rows * kCell - 1;
  const auto one = Render(f, 1, block, width, height, nullptr);
  for (int threads : {2, 3, 4}) EXPECT_EQ(Render(f, threads, block, width, height, nullptr), one);

  for (int r = 0; r < block.rows; ++r) {
    for (int c = 0; c < block.columns; ++c) {
      CellBuffer cell(kCell, kCell);
      RenderCell(*f.level, f.tiles, block.column + c + 1, block.row + r + 1, cell);
      for (int y = 0; y < kCell && r * kCell + y < height; ++y) {
        for (int x = 0; x < kCell && c * kCell + x < width; ++x) {
          const std::size_t at =
              3 * (static_cast<std::size_t>(r * kCell + y) * width + c * kCell + x);
          ASSERT_EQ(0, std::memcmp(&one[at], cell.Row(y) + 3 * x, 3)) << c << "," << r;
        }
      }
    }
  }
}

TEST(AreaRenderer, SelectedCellsGetTheirOwnOutlineOnePixelInside) {
  Fixture f;
  f.level = std::make_unique<TMap>("Empty");  // white cells
  const CellBlock block{0, 0, 3, 1};
  const GridSelection selection{1, 0, 2, 0};
  const int width = 3 * kCell;
  const auto pixels = Render(f, 2, block, width, kCell, &selection);
  auto black = [&](int x, int y) {
    const std::size_t at = 3 * (static_cast<std::size_t>(y) * width + x);
    return pixels[at] == 0 && pixels[at + 1] == 0 && pixels[at + 2] == 0;
  };
  for (int y = 0; y < kCell; ++y) {
    for (int x = 0; x < width; ++x) {
      const int cx = x % kCell;
      const bool selected = x >= kCell;
      const bool ring = (cx >= 1 && cx <= kCell - 2 && y >= 1 && y <= kCell - 2) &&
                        (cx == 1 || cx == kCell - 2 || y == 1 || y == kCell - 2);
      EXPECT_EQ(black(x, y), selected && ring) << x << "," << y;
    }
  }
}

TEST(AreaRenderer, FailingCellIsReportedAndTheOthersAreDrawn) {
  Fixture f;
  // A turned grey tile cannot be drawn.
  test::AddTile(f.tiles, test::SolidTile(4, 4, {80, 0, 0}, 255, PngColorType::Grey));
  f.level->SetSlot(2, 1, 2, {5, 45, 0});
  std::vector<std::uint8_t> pixels(3 * 3 * kCell * kCell);
  AreaRenderer renderer(2);
  const auto failure = renderer.Render(*f.level, f.tiles, {0, 0, 3, 1}, kCell,
                                       {pixels.data(), 3 * kCell, kCell, 9u * kCell});
  ASSERT_TRUE(failure);
  EXPECT_EQ(*failure, "Only COLOR_RGBALPHA and COLOR_RGB formats are supported");
  CellBuffer third(kCell, kCell);
  RenderCell(*f.level, f.tiles, 3, 1, third);
  EXPECT_EQ(0, std::memcmp(&pixels[3 * 2 * kCell], third.Row(0), 3 * kCell));
}

}  // namespace
}  // namespace qm
