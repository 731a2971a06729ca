#include "tiles/png_image.h"

#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <png.h>

#include "common/byte_stream.h"
#include "common/errors.h"
#include "png_fixtures.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::Append;
using testing::Chunk;
using testing::EncodePng;
using ::testing::HasSubstr;
using testing::IhdrData;
using testing::PatternImage;
using testing::PngSignature;
using testing::PngRecipe;

PngRecipe Recipe(int width, int height, int color_type, int bit_depth, std::vector<unsigned> samples) {
  PngRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.color_type = color_type;
  recipe.bit_depth = bit_depth;
  recipe.samples = std::move(samples);
  return recipe;
}

std::vector<std::uint8_t> Encode(const PngImage& image) {
  MemorySink sink;
  image.Save(sink);
  return sink.Bytes();
}

PngImage Decode(const std::vector<std::uint8_t>& bytes) {
  MemorySource source(bytes);
  return PngImage::Load(source);
}

std::string LoadError(const std::vector<std::uint8_t>& bytes) {
  try {
    Decode(bytes);
  } catch (const UserError& error) {
    return error.what();
  }
  return "(loaded)";
}

void ExpectSamePixels(const PngImage& a, const PngImage& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) {
      std::uint8_t p[4], q[4];
      a.PixelRgba(x, y, p);
      b.PixelRgba(x, y, q);
      ASSERT_EQ(std::vector<int>(p, p + 4), std::vector<int>(q, q + 4)) << "at " << x << "," << y;
    }
  }
}

// Every row filter, on every 8-bit layout and on widths of one pixel upwards:
// rows are undone pixel by pixel with vector lanes for three and four bytes a
// pixel, and must agree with libpng's own decoding.
TEST(PngLoad, EveryRowFilterDecodesAsLibpngDoes) {
  const struct {
    const char* name;
    int bits;
  } filters[] = {{"none", PNG_FILTER_NONE},
                 {"sub", PNG_FILTER_SUB},
                 {"up", PNG_FILTER_UP},
                 {"average", PNG_FILTER_AVG},
                 {"paeth", PNG_FILTER_PAETH}};
  for (int color : {0, 2, 3, 4, 6}) {
    for (int width : {1, 2, 5, 16}) {
      const int channels = color == 2 ? 3 : color == 6 ? 4 : color == 4 ? 2 : 1;
      PngRecipe recipe;
      recipe.width = width;
      recipe.height = 6;
      recipe.color_type = color;
      for (int i = 0; i < width * 6 * channels; ++i) {
        // Runs and jumps, so that each predictor is picked somewhere.
        recipe.samples.push_back(color == 3 ? (i * 7) % 4 : (i % 5 == 0 ? 250 : (i * 37) % 256));
      }
      if (color == 3) recipe.palette = {{1, 2, 3}, {40, 50, 60}, {200, 0, 9}, {255, 255, 255}};
      for (const auto& filter : filters) {
        recipe.filters = filter.bits;
        const std::vector<std::uint8_t> bytes = EncodePng(recipe);
        const PngImage ours = Decode(bytes);
        const PngImage libpng = DecodePngWithLibpng(bytes);
        SCOPED_TRACE(std::string(filter.name) + " filter, colour type " + std::to_string(color) +
                     ", width " + std::to_string(width));
        ASSERT_EQ(ours.ColorType(), libpng.ColorType());
        ExpectSamePixels(ours, libpng);
      }
    }
  }
}

class RoundTrip : public ::testing::TestWithParam<PngColorType> {};

// Saving and loading keeps the colour type, the rows, the alpha plane and the palette,
// and the load stops right after IEND even with more bytes behind it.
TEST_P(RoundTrip, KeepsEveryByteAndStopsAtIend) {
  const PngImage image = PatternImage(GetParam(), 13, 7, 3);
  std::vector<std::uint8_t> bytes = Encode(image);
  const std::size_t png_size = bytes.size();
  Append(bytes, {0xDE, 0xAD, 0xBE, 0xEF});
  MemorySource source(bytes);
  const PngImage loaded = PngImage::Load(source);
  EXPECT_EQ(source.Position(), png_size);
  EXPECT_EQ(loaded.ColorType(), GetParam());
  ASSERT_EQ(loaded.RowBytes(), image.RowBytes());
  for (int y = 0; y < image.Height(); ++y) {
    EXPECT_EQ(std::memcmp(loaded.Row(y), image.Row(y), image.RowBytes()), 0) << "row " << y;
    if (image.HasAlpha()) {
      EXPECT_EQ(std::memcmp(loaded.AlphaRow(y), image.AlphaRow(y), 13), 0);
    }
  }
  EXPECT_EQ(loaded.PaletteAlpha(), image.PaletteAlpha());
  ExpectSamePixels(loaded, image);
}

INSTANTIATE_TEST_SUITE_P(ColorTypes, RoundTrip,
                         ::testing::Values(PngColorType::Grey, PngColorType::RGB,
                                           PngColorType::Palette, PngColorType::GreyAlpha,
                                           PngColorType::RGBA));

// Files from other tools come in every bit depth and layout; each must arrive as
// 8-bit rows of its own colour type.
TEST(PngLoad, ReducesOtherLayoutsToEightBitRows) {
  struct Case {
    const char* name;
    PngRecipe recipe;
    PngColorType type;
    std::vector<std::array<int, 4>> rgba;  // expected pixels, row by row
  };
  const PngRecipe grey16 = Recipe(2, 1, 0, 16, {0x0000, 0xFFFF});
  const PngRecipe rgba16 = Recipe(1, 1, 6, 16, {0xFFFF, 0x8080, 0x0000, 0x8000});
  const PngRecipe grey1 = Recipe(3, 1, 0, 1, {1, 0, 1});
  const PngRecipe grey4 = Recipe(2, 1, 0, 4, {0xF, 0x5});
  PngRecipe pal2 = Recipe(3, 1, 3, 2, {2, 0, 1});
  pal2.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  pal2.palette_alpha = {0, 128};
  PngRecipe grey_key = Recipe(2, 1, 0, 8, {7, 9});
  grey_key.key = 7;
  PngRecipe rgb_key = Recipe(2, 1, 2, 8, {1, 2, 3, 4, 5, 6});
  rgb_key.key_rgb[0] = 4, rgb_key.key_rgb[1] = 5, rgb_key.key_rgb[2] = 6;
  const Case cases[] = {
      {"16-bit grey", grey16, PngColorType::Grey, {{0, 0, 0, 255}, {255, 255, 255, 255}}},
      {"16-bit RGBA", rgba16, PngColorType::RGBA, {{255, 128, 0, 128}}},
      {"1-bit grey",
       grey1,
       PngColorType::Grey,
       {{255, 255, 255, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}}},
      {"4-bit grey", grey4, PngColorType::Grey, {{255, 255, 255, 255}, {85, 85, 85, 255}}},
      {"2-bit palette",
       pal2,
       PngColorType::Palette,
       {{70, 80, 90, 255}, {10, 20, 30, 0}, {40, 50, 60, 128}}},
      {"grey colour key", grey_key, PngColorType::GreyAlpha, {{7, 7, 7, 0}, {9, 9, 9, 255}}},
      {"RGB colour key", rgb_key, PngColorType::RGBA, {{1, 2, 3, 255}, {4, 5, 6, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PngImage image = Decode(EncodePng(c.recipe));
    EXPECT_EQ(image.ColorType(), c.type);
    ASSERT_EQ(image.Width() * image.Height(), static_cast<int>(c.rgba.size()));
    for (int i = 0; i < static_cast<int>(c.rgba.size()); ++i) {
      std::uint8_t p[4];
      image.PixelRgba(i % image.Width(), i / image.Width(), p);
      EXPECT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}), c.rgba[i]) << "pixel " << i;
    }
  }
}

TEST(PngLoad, InterlacedImageDecodesLikeAPlainOne) {
  for (int type : {2, 6}) {
    PngRecipe recipe = Recipe(11, 9, type, 8, {});
    const int channels = type == 2 ? 3 : 4;
    for (int i = 0; i < 11 * 9 * channels; ++i) recipe.samples.push_back((i * 37) % 256);
    const PngImage plain = Decode(EncodePng(recipe));
    recipe.interlaced = true;
    std::vector<std::uint8_t> bytes = EncodePng(recipe);
    const std::size_t size = bytes.size();
    Append(bytes, {1, 2, 3});
    MemorySource source(bytes);
    const PngImage interlaced = PngImage::Load(source);
    EXPECT_EQ(source.Position(), size);
    ExpectSamePixels(interlaced, plain);
  }
}

// Every way a datastream can be broken ends in a UserError that says what is wrong,
// never in a crash or a half image.
TEST(PngLoad, RefusesBrokenData) {
  const std::vector<std::uint8_t> good = Encode(PatternImage(PngColorType::RGBA, 8, 8));
  std::vector<std::uint8_t> bad_crc = good;
  bad_crc[40] ^= 0x55;  // inside the IDAT data
  std::vector<std::uint8_t> bad_sig = good;
  bad_sig[1] = 'Q';
  std::vector<std::uint8_t> no_ihdr = PngSignature();
  Append(no_ihdr, Chunk("IEND", {}));
  std::vector<std::uint8_t> no_idat = PngSignature();
  Append(no_idat, Chunk("IHDR", IhdrData(4, 4, 8, 2)));
  Append(no_idat, Chunk("IEND", {}));
  std::vector<std::uint8_t> bad_depth = PngSignature();
  Append(bad_depth, Chunk("IHDR", IhdrData(4, 4, 3, 2)));
  std::vector<std::uint8_t> huge_length = PngSignature();
  Append(huge_length, {0x80, 0, 0, 0, 'I', 'H', 'D', 'R'});
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* message;
  };
  const Case cases[] = {
      {"empty", {}, "PNG signature"},
      {"bad signature", bad_sig, "PNG signature"},
      {"cut in the signature", {good.begin(), good.begin() + 5}, "PNG signature"},
      {"cut in IHDR", {good.begin(), good.begin() + 20}, "ends before the IEND"},
      {"cut in IDAT", {good.begin(), good.begin() + 45}, "ends before the IEND"},
      {"cut in IEND's CRC", {good.begin(), good.end() - 1}, "ends before the IEND"},
      {"CRC error", bad_crc, "Invalid PNG image"},
      {"first chunk not IHDR", no_ihdr, "IHDR"},
      {"no image data", no_idat, "Invalid PNG image"},
      {"bad bit depth", bad_depth, "Invalid PNG image"},
      {"chunk length out of range", huge_length, "chunk length"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(LoadError(c.bytes), HasSubstr(c.message));
  }
}

// The size check runs on IHDR alone: the stream here has nothing after IHDR, so a
// message about size (rather than about the missing data) shows the check came first.
TEST(PngLoad, RefusesOversizedImagesFromTheHeader) {
  struct Case {
    std::uint32_t width, height;
    int color_type;
    const char* message;
  };
  const Case cases[] = {
      {9000, 10, 2, "9000 x 10 pixels"},
      {10, 8193, 0, "10 x 8193 pixels"},
      {0, 10, 2, "no pixels"},
      {0xFFFFFFFF, 1, 6, "pixels"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = PngSignature();
    Append(bytes, Chunk("IHDR", IhdrData(c.width, c.height, 8, c.color_type)));
    EXPECT_THAT(LoadError(bytes), HasSubstr(c.message)) << c.width << "x" << c.height;
  }
  // At the largest accepted size the header passes and the missing data is the complaint.
  std::vector<std::uint8_t> largest = PngSignature();
  Append(largest, Chunk("IHDR", IhdrData(8192, 8192, 8, 6)));
  EXPECT_THAT(LoadError(largest), HasSubstr("ends before the IEND"));
}

TEST(PngImage, BlankIsBlackAndTransparent) {
  const PngImage image = PngImage::Blank(PngColorType::RGBA, 5, 4);
  EXPECT_EQ(image.RowBytes(), 15u);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      std::uint8_t p[4];
      image.PixelRgba(x, y, p);
      EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0);
    }
  }
  EXPECT_TRUE(PngImage().Empty());
  EXPECT_THROW(PngImage().Save(*std::make_unique<MemorySink>()), UserError);
}

TEST(PngImage, AddAlphaKeepsColoursAndMakesThemOpaque) {
  for (PngColorType type : {PngColorType::Grey, PngColorType::RGB, PngColorType::Palette,
                            PngColorType::GreyAlpha, PngColorType::RGBA}) {
    SCOPED_TRACE(static_cast<int>(type));
    const PngImage before = PatternImage(type, 6, 3);
    PngImage after = before;
    after.AddAlpha();
    EXPECT_TRUE(after.HasAlpha());
    const PngColorType expected = type == PngColorType::Grey        ? PngColorType::GreyAlpha
                                  : type == PngColorType::GreyAlpha ? PngColorType::GreyAlpha
                                                                    : PngColorType::RGBA;
    EXPECT_EQ(after.ColorType(), expected);
    // Pixels look the same; a palette's tRNS alpha becomes the alpha plane.
    ExpectSamePixels(after, before);
  }
}

struct Target {
  int width, height;
  std::size_t stride;
  std::vector<std::uint8_t> bytes;
  Target(int w, int h, int pad, std::uint8_t fill)
      : width(w),
        height(h),
        stride(static_cast<std::size_t>(w + pad) * 3),
        bytes(stride * (h + 1), fill) {}
  RgbView View() { return {bytes.data(), width, height, stride}; }
  const std::uint8_t* At(int x, int y) const { return bytes.data() + y * stride + 3 * x; }
};

TEST(PngImage, DrawScaledBlendsByAlpha) {
  PngImage image = PngImage::Blank(PngColorType::RGBA, 3, 1);
  const std::uint8_t alpha[] = {0, 255, 128};
  for (int x = 0; x < 3; ++x) {
    image.Row(0)[3 * x] = 200;
    image.Row(0)[3 * x + 1] = 0;
    image.Row(0)[3 * x + 2] = 100;
    image.AlphaRow(0)[x] = alpha[x];
  }
  Target target(3, 1, 0, 50);
  image.DrawScaled(target.View());
  EXPECT_THAT(std::vector<int>(target.At(0, 0), target.At(0, 0) + 3),
              ::testing::ElementsAre(50, 50, 50));
  EXPECT_THAT(std::vector<int>(target.At(1, 0), target.At(1, 0) + 3),
              ::testing::ElementsAre(200, 0, 100));
  // 200 * 128/255 + 50 * 127/255 = 125.3; 0 + 24.9; 50.2 + 24.9
  EXPECT_THAT(std::vector<int>(target.At(2, 0), target.At(2, 0) + 3),
              ::testing::ElementsAre(125, 25, 75));
}

TEST(PngImage, DrawScaledFillsTheRectangleAndNothingElse) {
  // 2 x 2 source with four distinct grey levels.
  PngImage image = PngImage::Blank(PngColorType::Grey, 2, 2);
  image.Row(0)[0] = 10, image.Row(0)[1] = 20, image.Row(1)[0] = 30, image.Row(1)[1] = 40;
  struct Case {
    int width, height;
  };
  for (const Case& c : {Case{2, 2}, Case{4, 4}, Case{5, 3}, Case{1, 1}, Case{7, 2}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    Target target(c.width, c.height, 2, 99);
    image.DrawScaled(target.View());
    for (int y = 0; y <= c.height; ++y) {
      for (int x = 0; x < c.width + 2; ++x) {
        const int v = *target.At(x, y);
        if (x >= c.width || y >= c.height) {
          EXPECT_EQ(v, 99) << "outside at " << x << "," << y;
          continue;
        }
        // Each target pixel shows the source pixel under its centre.
        const int sx = (2 * x + 1) * 2 / (2 * c.width), sy = (2 * y + 1) * 2 / (2 * c.height);
        EXPECT_EQ(v, 10 * (1 + sx + 2 * sy)) << x << "," << y;
      }
    }
  }
}

TEST(PngImage, DrawScaledUsesPaletteAlpha) {
  PngImage image = PngImage::Blank(PngColorType::Palette, 2, 1);
  image.SetPalette({{255, 0, 0}, {0, 255, 0}}, {0, 255});
  image.Row(0)[0] = 0;
  image.Row(0)[1] = 1;
  Target target(2, 1, 0, 7);
  image.DrawScaled(target.View());
  EXPECT_THAT(std::vector<int>(target.bytes.begin(), target.bytes.begin() + 6),
              ::testing::ElementsAre(7, 7, 7, 0, 255, 0));
}

TEST(PngImage, SaveFileAndLoadFile) {
  testing::TempDir dir;
  const PngImage image = PatternImage(PngColorType::RGBA, 9, 4);
  image.SaveFile(dir.File("tile.png"));
  ExpectSamePixels(PngImage::LoadFile(dir.File("tile.png")), image);
  EXPECT_THAT(
      [&] {
        try {
          PngImage::LoadFile(dir.File("missing.png"));
        } catch (const UserError& e) {
          return std::string(e.what());
        }
        return std::string();
      }(),
      HasSubstr("Cannot open file"));
}

}  // namespace
}  // namespace qm
