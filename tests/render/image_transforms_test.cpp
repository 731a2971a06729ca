#include "render/image_transforms.h"

#include <gtest/gtest.h>

#include "common/errors.h"
#include "render/render_support.h"

namespace qm {
namespace {

using test::PatternTile;
using test::SolidTile;

TEST(NumericHelpers, ClampTestsTheUpperBoundFirst) {
  struct Case {
    int v, low, high, expected;
  } cases[] = {{5, 0, 10, 5},
               {-1, 0, 10, 0},
               {11, 0, 10, 10},
               {0, 0, 0, 0},
               // Crossed bounds: the upper one wins for a large value, the lower
               // one for a small value.
               {7, 5, 3, 3},
               {4, 5, 3, 3},
               {2, 5, 3, 5}};
  for (const Case& c : cases) {
    EXPECT_EQ(Clamp(c.v, c.low, c.high), c.expected) << c.v << " in " << c.low << ".." << c.high;
  }
}

TEST(NumericHelpers, ClampByteAndCeiling) {
  EXPECT_EQ(ClampByte(-5), 0);
  EXPECT_EQ(ClampByte(0), 0);
  EXPECT_EQ(ClampByte(255), 255);
  EXPECT_EQ(ClampByte(256), 255);
  EXPECT_EQ(ClampByte(128), 128);
  struct Case {
    double x;
    int expected;
  } cases[] = {{0.0, 0}, {3.0, 3}, {3.0001, 4}, {45.254, 46}, {-1.5, -1}, {-2.0, -2}};
  for (const Case& c : cases) EXPECT_EQ(Ceiling(c.x), c.expected) << c.x;
}

TEST(CropImage, LowerRightQuarterKeepsColourAndAlpha) {
  PngImage tile = PatternTile(32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) tile.AlphaRow(y)[x] = static_cast<std::uint8_t>(x + y);
  }
  const std::optional<PngImage> quarter = CropImage(tile, {16, 16, 32, 32});
  ASSERT_TRUE(quarter);
  ASSERT_EQ(quarter->ColorType(), PngColorType::RGBA);
  ASSERT_EQ(quarter->Width(), 16);
  ASSERT_EQ(quarter->Height(), 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      EXPECT_EQ(quarter->Row(y)[3 * x], 16 + x);
      EXPECT_EQ(quarter->Row(y)[3 * x + 1], 16 + y);
      EXPECT_EQ(quarter->Row(y)[3 * x + 2], static_cast<std::uint8_t>(7 * (16 + x) + 3 * (16 + y)));
      EXPECT_EQ(quarter->AlphaRow(y)[x], 32 + x + y);
    }
  }
}

TEST(CropImage, RgbSourceGivesRgb) {
  const std::optional<PngImage> part =
      CropImage(PatternTile(10, 6, PngColorType::RGB), {2, 1, 5, 6});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->ColorType(), PngColorType::RGB);
  EXPECT_EQ(part->Width(), 3);
  EXPECT_EQ(part->Height(), 5);
  EXPECT_EQ(part->Row(0)[0], 2);
  EXPECT_EQ(part->Row(4)[3 * 2 + 1], 5);
}

TEST(CropImage, UnusableRectanglesAndTypesGiveNoImage) {
  const PngImage rgba = PatternTile(32, 32);
  const PixelRect bad[] = {{0, 0, 0, 0},  {16, 0, 33, 16}, {0, 0, 32, 33}, {-1, 0, 8, 8},
                           {0, -1, 8, 8}, {8, 8, 4, 16},   {8, 8, 16, 8}};
  for (const PixelRect& r : bad) {
    EXPECT_FALSE(CropImage(rgba, r)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
  EXPECT_TRUE(CropImage(rgba, {0, 0, 32, 32}));
  for (PngColorType type : {PngColorType::Grey, PngColorType::GreyAlpha, PngColorType::Palette}) {
    EXPECT_FALSE(CropImage(PngImage::Blank(type, 32, 32), {0, 0, 16, 16}));
  }
}

TEST(RotatedSize, BoundingBoxes) {
  struct Case {
    int w, h;
    double degrees;
    ImageSize expected;
  } cases[] = {{32, 32, 0, {32, 32}},
               {32, 32, 90, {32, 32}},
               {32, 32, 180, {32, 32}},
               {32, 32, 360, {32, 32}},
               {32, 32, 270, {32, 32}},
               {32, 32, 45, {46, 46}},
               {40, 20, 90, {20, 40}},
               {40, 20, 270, {20, 40}},
               {40, 20, 180, {40, 20}},
               // 64 cos 30 + 64 sin 30 = 87.4
               {64, 64, 30, {88, 88}},
               {33, 17, 90, {17, 33}}};
  for (const Case& c : cases) {
    EXPECT_EQ(RotatedSize(c.w, c.h, c.degrees), c.expected)
        << c.w << "x" << c.h << " at " << c.degrees;
  }
}

TEST(RotateImage, QuarterAndHalfTurnsArePixelMoves) {
  const PngImage source = PatternTile(32, 32);
  PngImage turned = source;
  RotateImage(turned, 90);
  ASSERT_EQ(turned.Width(), 32);
  ASSERT_EQ(turned.Height(), 32);
  PngImage half = source;
  RotateImage(half, 180);
  PngImage full = source;
  RotateImage(full, 360);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(turned.Row(y)[3 * x + k], source.Row(31 - x)[3 * y + k]) << x << "," << y;
        ASSERT_EQ(half.Row(y)[3 * x + k], source.Row(31 - y)[3 * (31 - x) + k]) << x << "," << y;
        ASSERT_EQ(full.Row(y)[3 * x + k], source.Row(y)[3 * x + k]);
      }
      ASSERT_EQ(turned.AlphaRow(y)[x], 255);
    }
  }
  // The top row becomes the right column, top to bottom.
  for (int i = 0; i < 32; ++i) EXPECT_EQ(turned.Row(i)[3 * 31], source.Row(0)[3 * i]);
}

TEST(RotateImage, QuarterTurnOfANonSquareImageSwapsItsSides) {
  const PngImage source = PatternTile(40, 20, PngColorType::RGB);
  PngImage turned = source;
  RotateImage(turned, 90);
  ASSERT_EQ(turned.Width(), 20);
  ASSERT_EQ(turned.Height(), 40);
  EXPECT_EQ(turned.ColorType(), PngColorType::RGB);
  // Clockwise: the source's top-left corner ends at the top right.
  EXPECT_EQ(turned.Row(0)[3 * 19], source.Row(0)[0]);
  EXPECT_EQ(turned.Row(0)[3 * 19 + 1], source.Row(0)[1]);
  EXPECT_EQ(turned.Row(39)[3 * 19], source.Row(0)[3 * 39]);
}

TEST(RotateImage, FortyFiveDegreesLeavesTransparentCorners) {
  PngImage image = SolidTile(32, 32, {200, 100, 50});
  RotateImage(image, 45);
  ASSERT_EQ(image.Width(), 46);
  ASSERT_EQ(image.Height(), 46);
  ASSERT_EQ(image.ColorType(), PngColorType::RGBA);
  for (auto [x, y] : {std::pair{0, 0}, {45, 0}, {0, 45}, {45, 45}, {5, 5}, {40, 40}}) {
    EXPECT_EQ(image.AlphaRow(y)[x], 0) << x << "," << y;
  }
  // The middle is the tile's colour, fully opaque.
  EXPECT_EQ(image.AlphaRow(23)[23], 255);
  EXPECT_EQ(image.Row(23)[3 * 23], 200);
  EXPECT_EQ(image.Row(23)[3 * 23 + 1], 100);
  EXPECT_EQ(image.Row(23)[3 * 23 + 2], 50);
}

TEST(RotateImage, ThirtyDegreesOnRgbLeavesBlackCorners) {
  PngImage image = SolidTile(32, 32, {255, 255, 255}, 255, PngColorType::RGB);
  RotateImage(image, 30);
  ASSERT_EQ(image.ColorType(), PngColorType::RGB);
  const ImageSize size = RotatedSize(32, 32, 30);
  ASSERT_EQ(image.Width(), size.width);
  ASSERT_EQ(image.Height(), size.height);
  const int w = image.Width() - 1;
  const int h = image.Height() - 1;
  for (auto [x, y] : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}}) {
    EXPECT_EQ(image.Row(y)[3 * x], 0) << x << "," << y;
  }
  EXPECT_EQ(image.Row(h / 2)[3 * (w / 2)], 255);
}

TEST(RotateImage, ThirtyDegreesInterpolatesBetweenNeighbours) {
  // A vertical edge from black to white: rotated, the pixels along it take values
  // in between, never outside 0..255, and the far sides keep the pure values.
  PngImage image = PngImage::Blank(PngColorType::RGBA, 32, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      std::fill_n(image.Row(y) + 3 * x, 3, static_cast<std::uint8_t>(x < 16 ? 0 : 255));
      image.AlphaRow(y)[x] = 255;
    }
  }
  RotateImage(image, 30);
  bool between = false;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const int v = image.Row(y)[3 * x];
      if (image.AlphaRow(y)[x] == 255 && v > 0 && v < 255) between = true;
    }
  }
  EXPECT_TRUE(between);
}

TEST(RotateImage, OtherColourTypesAreRefusedAndKept) {
  for (PngColorType type : {PngColorType::Grey, PngColorType::GreyAlpha, PngColorType::Palette}) {
    PngImage image =
        SolidTile(8, 4, {90, 0, 0}, 255, type == PngColorType::Palette ? PngColorType::Grey : type);
    if (type == PngColorType::Palette) image = PngImage::Blank(PngColorType::Palette, 8, 4);
    try {
      RotateImage(image, 90);
      ADD_FAILURE() << "no error for colour type " << static_cast<int>(type);
    } catch (const UserError& e) {
      EXPECT_STREQ(e.what(), "Only COLOR_RGBALPHA and COLOR_RGB formats are supported");
    }
    EXPECT_EQ(image.ColorType(), type);
    EXPECT_EQ(image.Width(), 8);
    EXPECT_EQ(image.Height(), 4);
  }
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

TEST(RotatedSampler, GivesRotateImagesPixels) {
  PngImage rgba = test::PatternTile(30, 22);
  for (int y = 0; y < 22; ++y) rgba.AlphaRow(y)[y] = 17;
  const PngImage rgb = test::PatternTile(13, 13, PngColorType::RGB);
  for (const PngImage* source : {static_cast<const PngImage*>(&rgba), &rgb}) {
    for (double degrees : {0.0, 30.0, 44.0, 90.0, 180.0, 270.0, 300.0, 358.0, 360.0}) {
      PngImage full = *source;
      RotateImage(full, degrees);
      const RotatedSampler sampler(*source, degrees);
      ASSERT_EQ(sampler.Size(), (ImageSize{full.Width(), full.Height()}));
      for (int y = 0; y < full.Height(); ++y) {
        for (int x = 0; x < full.Width(); ++x) {
          std::uint8_t rgb_bytes[3];
          std::uint8_t alpha = 0;
          sampler.Sample(x, y, rgb_bytes, alpha);
          ASSERT_EQ(std::memcmp(rgb_bytes, full.Row(y) + 3 * x, 3), 0)
              << degrees << " " << x << "," << y;
          if (full.HasAlpha()) {
            ASSERT_EQ(alpha, full.AlphaRow(y)[x]) << degrees;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace qm
