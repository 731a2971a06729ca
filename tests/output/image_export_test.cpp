#include "output/image_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <jpeglib.h>

#include "common/errors.h"
#include "render/cell_renderer.h"
#include "render/render_support.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::AddTile;
using test::MakeTileset;
using test::PatternTile;
using test::Rgb;
using test::SolidTile;

TEST(ExportRegionRule, SmallSelectionsExportTheWholeLevel) {
  struct Case {
    int left, top, right, bottom;
    ExportRegion expected;
  } cases[] = {{5, 5, 5, 5, kWholeLevel},      {5, 5, 6, 6, kWholeLevel},
               {0, 0, 1, 0, kWholeLevel},      {10, 3, 12, 3, {11, 4, 13, 4}},
               {10, 3, 10, 5, {11, 4, 11, 6}}, {0, 0, 71, 71, kWholeLevel},
               {2, 2, 4, 3, {3, 3, 5, 4}}};
  for (const Case& c : cases) {
    EXPECT_EQ(RegionForSelection(c.left, c.top, c.right, c.bottom), c.expected)
        << c.left << "," << c.top << "," << c.right << "," << c.bottom;
  }
}

TEST(ExportNames, ExtensionDecidesTheFormatInAnyCase) {
  struct Case {
    const char* name;
    std::optional<PictureFormat> format;
  } cases[] = {{"map.bmp", PictureFormat::Bmp},
               {"MAP.BMP", PictureFormat::Bmp},
               {"a.jpg", PictureFormat::Jpeg},
               {"a.JpG", PictureFormat::Jpeg},
               {"a.JPEG", PictureFormat::Jpeg},
               {"a.jpeg", PictureFormat::Jpeg},
               {"x/y.png", PictureFormat::Png},
               {"a.PNG", PictureFormat::Png},
               {"a.gif", std::nullopt},
               {"a.", std::nullopt},
               {"a", std::nullopt},
               {"dir.png/a", std::nullopt},
               {"a.png.txt", std::nullopt},
               {"a.jp", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(PictureFormatFor(c.name), c.format) << c.name;
}

TEST(ExportNames, UnsupportedExtensionIsRefusedNamingTheSupportedOnes) {
  const fs::path dir = fs::path(testing::TempDir()) / "export_ext";
  fs::create_directories(dir);
  const Tileset tileset = MakeTileset();
  const TMap level("L");
  for (const char* name : {"a.gif", "a.", "a"}) {
    const std::string path = (dir / name).string();
    try {
      ExportRegionImage(path, level, tileset, kWholeLevel, 8);
      ADD_FAILURE() << name;
    } catch (const UserError& e) {
      const std::string text = e.what();
      for (const char* ext : {".bmp", ".jpg", ".jpeg", ".png"}) {
        EXPECT_NE(text.find(ext), std::string::npos) << text;
      }
    }
    EXPECT_FALSE(fs::exists(path)) << name;
  }
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST(ExportNames, DialogNamesAndQuarterFiles) {
  EXPECT_EQ(ExtensionForFilterIndex(1), ".bmp");
  EXPECT_EQ(ExtensionForFilterIndex(2), ".jpg");
  EXPECT_EQ(ExtensionForFilterIndex(3), ".png");
  EXPECT_EQ(ExtensionForFilterIndex(0), ".jpg");
  EXPECT_EQ(ExtensionForFilterIndex(7), ".jpg");
  EXPECT_EQ(ExportFileName("/m/cave", 2), "/m/cave.jpg");
  EXPECT_EQ(ExportFileName("/m/cave", 1), "/m/cave.bmp");
  EXPECT_EQ(ExportFileName("/m/cave.png", 1), "/m/cave.png");
  EXPECT_EQ(ExportFileName("/m/cave.Gif", 1), "/m/cave.Gif");  // typed: kept, refused later

  const auto typed = QuarterFiles("/m/cave.png", 1);
  const auto untyped = QuarterFiles("/m/cave", 2);
  const char* letters = "ABCD";
  const ExportRegion regions[] = {
      {1, 1, 36, 36}, {37, 1, 72, 36}, {1, 37, 36, 72}, {37, 37, 72, 72}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(typed[i].file_name, std::string("/m/cave") + letters[i] + ".png");
    EXPECT_EQ(untyped[i].file_name, std::string("/m/cave") + letters[i] + ".jpg");
    EXPECT_EQ(typed[i].region, regions[i]);
  }
  EXPECT_EQ(QuarterFiles("/m.d/x.JPEG", 3)[1].file_name, "/m.d/xB.JPEG");
  EXPECT_EQ(QuarterFiles("/m.d/x", 3)[2].file_name, "/m.d/xC.png");
}

// --- decoding the written files back -----------------------------------------

ExportPicture ReadPng(const std::string& path) {
  const PngImage image = PngImage::LoadFile(path);
  EXPECT_EQ(image.ColorType(), PngColorType::RGB);
  ExportPicture out{image.Width(), image.Height(), {}};
  for (int y = 0; y < image.Height(); ++y) {
    out.pixels.insert(out.pixels.end(), image.Row(y), image.Row(y) + image.RowBytes());
  }
  return out;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

ExportPicture ReadBmp(const std::string& path) {
  const std::vector<std::uint8_t> b = ReadBytes(path);
  EXPECT_GE(b.size(), 54u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le32(b, 2), b.size());
  EXPECT_EQ(b[28], 24);        // bits per pixel
  EXPECT_EQ(Le32(b, 30), 0u);  // uncompressed
  const int width = static_cast<int>(Le32(b, 18));
  const int height = static_cast<int>(Le32(b, 22));  // positive: bottom row first
  const std::size_t stride = (3 * static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
  EXPECT_EQ(b.size(), Le32(b, 10) + stride * static_cast<std::size_t>(height));
  ExportPicture out{width, height, std::vector<std::uint8_t>(3 * width * height)};
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row =
        b.data() + Le32(b, 10) + stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = out.pixels.data() + 3 * (static_cast<std::size_t>(y) * width + x);
      p[0] = row[3 * x + 2];
      p[1] = row[3 * x + 1];
      p[2] = row[3 * x];
    }
  }
  return out;
}

ExportPicture ReadJpeg(const std::string& path, bool* progressive) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  EXPECT_NE(file, nullptr);
  jpeg_decompress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  *progressive = jpeg_has_multiple_scans(&info);
  EXPECT_EQ(info.num_components, 3);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  ExportPicture out{static_cast<int>(info.output_width), static_cast<int>(info.output_height), {}};
  out.pixels.resize(3 * static_cast<std::size_t>(out.width) * out.height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row =
        out.pixels.data() + 3 * static_cast<std::size_t>(out.width) * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return out;
}

class ImageExportTest : public ::testing::Test {
 protected:
  ImageExportTest() : tileset_(MakeTileset()), level_("Export") {
    dir_ = fs::path(testing::TempDir()) / ("export_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    // Smooth tiles, so the JPEG check can be tight: gradients, a translucent
    // overlay, a wall-masked piece, and a hidden one.
    AddTile(tileset_, PatternTile(32, 32));
    AddTile(tileset_, SolidTile(24, 24, {40, 160, 90}, 140));
    AddTile(tileset_, SolidTile(16, 16, {200, 60, 30}, 255, PngColorType::RGB));
    AddTile(tileset_, SolidTile(16, 16, {0, 0, 0}), /*hidden=*/true);
    std::mt19937 random(3);
    for (int x = 1; x <= MapSize; ++x) {
      for (int y = 1; y <= MapSize; ++y) {
        level_.SetSlot(x, y, 0, {static_cast<std::uint16_t>(1 + (x + y) % 3), 0, 0});
        if (random() % 2) {
          level_.SetSlot(x, y, 3,
                         {static_cast<std::uint16_t>(1 + random() % 4),
                          static_cast<std::uint8_t>(random() % 3 == 0 ? 45 : 0),
                          static_cast<std::uint8_t>(random() % 50)});
        }
      }
    }
  }
  ~ImageExportTest() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // The picture as the renderer draws it, cell by cell.
  ExportPicture Expected(ExportRegion region, int s) const {
    ExportPicture out{region.Columns() * s, region.Rows() * s, {}};
    out.pixels.resize(3 * static_cast<std::size_t>(out.width) * out.height);
    for (int i = 0; i < region.Columns(); ++i) {
      for (int j = 0; j < region.Rows(); ++j) {
        CellBuffer cell(s, s);
        RenderCell(level_, tileset_, region.first_column + i, region.first_row + j, cell);
        for (int r = 0; r < s; ++r) {
          std::memcpy(out.pixels.data() + 3 * ((static_cast<std::size_t>(j) * s + r) * out.width +
                                               static_cast<std::size_t>(i) * s),
                      cell.Row(r), cell.Stride());
        }
      }
    }
    return out;
  }

  fs::path dir_;
  Tileset tileset_;
  TMap level_;
};

double MeanError(const ExportPicture& got, const ExportPicture& want) {
  double total = 0;
  for (std::size_t i = 0; i < got.pixels.size(); ++i)
    total += std::abs(got.pixels[i] - want.pixels[i]);
  return total / static_cast<double>(got.pixels.size());
}

void ExpectSamePicture(const ExportPicture& got, const ExportPicture& want,
                       const std::string& what) {
  ASSERT_EQ(got.width, want.width) << what;
  ASSERT_EQ(got.height, want.height) << what;
  EXPECT_TRUE(got.pixels == want.pixels) << what << ": mean error " << MeanError(got, want);
}

TEST_F(ImageExportTest, EveryFormatDecodesToTheRenderedPixels) {
  const ExportRegion region{3, 5, 14, 11};  // 12 x 7 cells
  const ExportPicture want = Expected(region, 16);
  ExpectSamePicture(RenderRegionPicture(level_, tileset_, region, 16), want, "clipboard");

  ExportRegionImage(Path("r.png"), level_, tileset_, region, 16);
  ExpectSamePicture(ReadPng(Path("r.png")), want, "PNG");

  ExportRegionImage(Path("r.BMP"), level_, tileset_, region, 16);
  ExpectSamePicture(ReadBmp(Path("r.BMP")), want, "BMP");

  // 13 cells at 15 pixels: rows of 195 pixels need padding to 588 bytes.
  const ExportRegion odd{1, 1, 13, 2};
  ExportRegionImage(Path("odd.bmp"), level_, tileset_, odd, 15);
  ExpectSamePicture(ReadBmp(Path("odd.bmp")), Expected(odd, 15), "padded BMP");

  for (const char* name : {"r.jpg", "r.JPEG"}) {
    ExportRegionImage(Path(name), level_, tileset_, region, 16);
    bool progressive = true;
    const ExportPicture got = ReadJpeg(Path(name), &progressive);
    EXPECT_FALSE(progressive) << name;
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    // The test tiles have hard colour edges, which JPEG's chroma subsampling
    // blurs; the same picture with red and blue swapped is far further off.
    ExportPicture swapped = want;
    for (std::size_t i = 0; i < swapped.pixels.size(); i += 3) {
      std::swap(swapped.pixels[i], swapped.pixels[i + 2]);
    }
    EXPECT_LT(MeanError(got, want), 8) << name;
    EXPECT_GT(MeanError(got, swapped), 3 * MeanError(got, want)) << name;
  }
}

TEST_F(ImageExportTest, PictureSizes) {
  struct Case {
    ExportRegion region;
    int s, width, height;
  } cases[] = {{kWholeLevel, 32, 2304, 2304},
               {{1, 1, 36, 36}, 32, 1152, 1152},
               {{37, 37, 72, 72}, 32, 1152, 1152},
               {{11, 4, 13, 4}, 20, 60, 20},
               {{1, 1, 1, 1}, 1, 1, 1}};
  for (const Case& c : cases) {
    ExportRegionImage(Path("size.bmp"), level_, tileset_, c.region, c.s);
    const std::vector<std::uint8_t> b = ReadBytes(Path("size.bmp"));
    EXPECT_EQ(static_cast<int>(Le32(b, 18)), c.width);
    EXPECT_EQ(static_cast<int>(Le32(b, 22)), c.height);
  }
  ExportRegionImage(Path("size.png"), level_, tileset_, {11, 4, 13, 4}, 20);
  const PngImage png = PngImage::LoadFile(Path("size.png"));
  EXPECT_EQ(png.Width(), 60);
  EXPECT_EQ(png.Height(), 20);
}

TEST_F(ImageExportTest, QuartersTogetherAreTheWholeLevel) {
  const ExportPicture whole = RenderRegionPicture(level_, tileset_, kWholeLevel, 4);
  for (const QuarterFile& q : QuarterFiles(Path("tiled.png"), 1)) {
    ExportQuarterImage(q.file_name, level_, tileset_, q.region, 4, {});
    const ExportPicture part = ReadPng(q.file_name);
    ASSERT_EQ(part.width, 144);
    ASSERT_EQ(part.height, 144);
    const int x0 = (q.region.first_column - 1) * 4;
    const int y0 = (q.region.first_row - 1) * 4;
    for (int y = 0; y < part.height; ++y) {
      ASSERT_EQ(std::memcmp(part.Row(y), whole.Row(y0 + y) + 3 * x0, 3 * 144), 0) << q.file_name;
    }
  }
  for (const char* name : {"tiledA.png", "tiledB.png", "tiledC.png", "tiledD.png"}) {
    EXPECT_TRUE(fs::exists(Path(name))) << name;
  }
}

TEST_F(ImageExportTest, HiddenLayersAndHiddenTilesStayOut) {
  const ExportRegion region{1, 1, 6, 6};
  const ExportPicture all = RenderRegionPicture(level_, tileset_, region, 8);
  level_.SetLayerVisible(3, false);
  const ExportPicture without = RenderRegionPicture(level_, tileset_, region, 8);
  EXPECT_NE(all.pixels, without.pixels);
  // With layer 4 hidden only layer 1 is left: every cell is its plain floor tile.
  for (int x = 1; x <= 6; ++x) level_.SetSlot(x, 1, 3, {});
  level_.SetLayerVisible(3, true);
  const ExportPicture cleared = RenderRegionPicture(level_, tileset_, {1, 1, 6, 1}, 8);
  for (int y = 0; y < 8; ++y) {
    EXPECT_EQ(std::memcmp(cleared.Row(y), without.Row(y), cleared.width * 3), 0);
  }
}

TEST_F(ImageExportTest, ProgressCountsBands) {
  std::vector<std::pair<int, int>> seen;
  ExportQuarterImage(Path("p.bmp"), level_, tileset_, {1, 1, 36, 5}, 2,
                     [&](int done, int total) { seen.emplace_back(done, total); });
  ASSERT_EQ(seen.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(seen[i], (std::pair{i + 1, 5}));
}

TEST_F(ImageExportTest, BadArgumentsAndUnwritableFilesFailWithoutAFile) {
  for (int s : {0, -3, kMaxExportCellSize + 1}) {
    EXPECT_THROW(ExportRegionImage(Path("bad.png"), level_, tileset_, kWholeLevel, s), UserError)
        << s;
  }
  for (ExportRegion r :
       {ExportRegion{0, 1, 5, 5}, ExportRegion{1, 1, 73, 5}, ExportRegion{5, 5, 4, 5}}) {
    EXPECT_THROW(ExportRegionImage(Path("bad.png"), level_, tileset_, r, 8), UserError);
  }
  EXPECT_FALSE(fs::exists(Path("bad.png")));
  EXPECT_THROW(ExportRegionImage(Path("no/such/dir/x.png"), level_, tileset_, kWholeLevel, 8),
               UserError);
  // A failing export leaves the previous file as it was.
  ExportRegionImage(Path("keep.png"), level_, tileset_, {1, 1, 3, 3}, 8);
  const std::vector<std::uint8_t> before = ReadBytes(Path("keep.png"));
  PngImage grey = SolidTile(8, 8, {1, 1, 1}, 255, PngColorType::Grey);
  AddTile(tileset_, std::move(grey));
  level_.SetSlot(2, 2, 5, {5, 45, 0});  // a rotated grey tile: the renderer fails
  EXPECT_THROW(ExportRegionImage(Path("keep.png"), level_, tileset_, {1, 1, 3, 3}, 8), UserError);
  EXPECT_EQ(ReadBytes(Path("keep.png")), before);
}

TEST(JpegLimits, PicturesWiderThanJpegAllowsAreRefused) {
  // 72 cells of 256 pixels is within JPEG's 65500; the check guards larger
  // calls of the writer, which the cell size limit keeps from export.
  EXPECT_LE(MapSize * kMaxExportCellSize, 65500);
}

}  // namespace
}  // namespace qm
