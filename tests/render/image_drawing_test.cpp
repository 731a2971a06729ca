#include "render/image_drawing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "render/render_support.h"

namespace qm {
namespace {

// The blend every drawing path promises, one byte at a time.
std::uint8_t Expected(unsigned source, unsigned target, unsigned alpha) {
  const unsigned v = source * alpha + target * (255 - alpha) + 128;
  return static_cast<std::uint8_t>((v + (v >> 8)) >> 8);
}

// Source pixels whose alphas hit the special values 0 and 255 as well as values
// in between, and a target row with guard bytes on both sides that no kernel
// may touch.
struct RowFixture {
  std::vector<std::uint8_t> rgba;
  std::vector<std::uint8_t> target;  // 8 guard bytes, 3n bytes, 8 guard bytes
  RowFixture(int n, unsigned seed) : rgba(4 * static_cast<std::size_t>(n)), target(3 * n + 16) {
    std::mt19937 random(seed);
    for (int i = 0; i < n; ++i) {
      for (int k = 0; k < 3; ++k) rgba[4 * i + k] = static_cast<std::uint8_t>(random());
      const unsigned pick = random() % 4;
      rgba[4 * i + 3] = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<std::uint8_t>(random());
    }
    for (auto& b : target) b = static_cast<std::uint8_t>(random());
  }
  std::uint8_t* Row() { return target.data() + 8; }
};

using Kernel = void (*)(const std::uint8_t*, std::uint8_t*, int);

TEST(RowKernels, EveryVersionBlendsAndCopiesExactly) {
  struct Version {
    const char* name;
    Kernel blend;
    Kernel copy;
    bool available;
  } versions[] = {
      {"portable", row_kernels::BlendPortable, row_kernels::CopyPortable, true},
      {"ssse3", row_kernels::BlendSsse3, row_kernels::CopySsse3, row_kernels::HaveSsse3()},
      {"chosen", BlendRgbaRow, CopyRgbaRow, true},
  };
  // Lengths around the four-pixel steps and the 16 bytes a step needs.
  for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 16, 17, 31, 64, 193}) {
    for (const Version& version : versions) {
      if (!version.available) continue;
      RowFixture blended(n, 100 + n), copied(n, 200 + n);
      const std::vector<std::uint8_t> before = blended.target;
      const std::vector<std::uint8_t> copied_before = copied.target;
      version.blend(blended.rgba.data(), blended.Row(), n);
      version.copy(copied.rgba.data(), copied.Row(), n);
      for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) {
          const std::size_t at = 8 + 3 * static_cast<std::size_t>(i) + k;
          ASSERT_EQ(blended.target[at],
                    Expected(blended.rgba[4 * i + k], before[at], blended.rgba[4 * i + 3]))
              << version.name << " n " << n << " pixel " << i;
          ASSERT_EQ(copied.target[at], copied.rgba[4 * i + k]) << version.name << " n " << n;
        }
      }
      for (std::size_t g = 0; g < 8; ++g) {
        const std::size_t end = 8 + 3 * static_cast<std::size_t>(n) + g;
        EXPECT_EQ(blended.target[g], before[g]) << version.name << " wrote before the row";
        EXPECT_EQ(blended.target[end], before[end]) << version.name << " wrote past the row";
        EXPECT_EQ(copied.target[end], copied_before[end]) << version.name << " copied past";
      }
    }
  }
}

// What DrawImageScaled must produce, pixel by pixel through PixelRgba.
void ReferenceDraw(const PngImage& image, PixelRect dest, RgbView target) {
  for (int y = std::max(dest.top, 0); y < std::min(dest.bottom, target.height); ++y) {
    const int sy = ScaledSample(y - dest.top, image.Height(), dest.Height());
    for (int x = std::max(dest.left, 0); x < std::min(dest.right, target.width); ++x) {
      const int sx = ScaledSample(x - dest.left, image.Width(), dest.Width());
      std::uint8_t p[4];
      image.PixelRgba(sx, sy, p);
      std::uint8_t* out = target.data + static_cast<std::size_t>(y) * target.stride + 3 * x;
      for (int k = 0; k < 3; ++k) out[k] = Expected(p[k], out[k], p[3]);
    }
  }
}

TEST(DrawImageScaled, RepeatedRowsAndClearEdgesDrawAsEveryPixelAlone) {
  // Scaling up repeats source rows, which drawing reuses; rows that are clear,
  // opaque or clear only at their ends take shortcuts. All must give the pixels
  // of drawing each one on its own.
  std::mt19937 random(5);
  PngImage rgba = PngImage::Blank(PngColorType::RGBA, 13, 11);
  for (int y = 0; y < rgba.Height(); ++y) {
    for (std::size_t i = 0; i < rgba.RowBytes(); ++i)
      rgba.Row(y)[i] = static_cast<std::uint8_t>(random());
    for (int x = 0; x < rgba.Width(); ++x) {
      // Row 2 clear, row 3 opaque, row 4 clear at both ends, the rest mixed.
      std::uint8_t a = static_cast<std::uint8_t>(random() % 3 == 0 ? 0 : random());
      if (y == 2) a = 0;
      if (y == 3) a = 255;
      if (y == 4) a = x < 3 || x > 9 ? 0 : 200;
      rgba.AlphaRow(y)[x] = a;
    }
  }
  const PngImage rgb = test::PatternTile(13, 11, PngColorType::RGB);
  const PixelRect rects[] = {{0, 0, 40, 40},   {3, 5, 60, 50}, {-7, -4, 30, 33},
                             {10, 10, 64, 64}, {0, 0, 6, 5},   {2, 1, 15, 12}};
  for (const PngImage* image : {static_cast<const PngImage*>(&rgba), &rgb}) {
    for (const PixelRect& rect : rects) {
      std::vector<std::uint8_t> got(3 * 48 * 48), want;
      for (std::size_t i = 0; i < got.size(); ++i) got[i] = static_cast<std::uint8_t>(i * 7);
      want = got;
      DrawImageScaled(*image, rect, {got.data(), 48, 48, 3 * 48});
      ReferenceDraw(*image, rect, {want.data(), 48, 48, 3 * 48});
      ASSERT_EQ(got, want) << (image == &rgb ? "rgb" : "rgba") << " into " << rect.left << ","
                           << rect.top << "," << rect.right << "," << rect.bottom;
    }
  }
}

}  // namespace
}  // namespace qm
