#include "tiles/tileset.h"

#include <sys/stat.h>

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/byte_stream.h"
#include "common/errors.h"
#include "png_fixtures.h"
#include "testing/document_fakes.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PatternImage;
using testing::TilesetBytes;

std::vector<std::uint8_t> Encode(const PngImage& image) {
  MemorySink sink;
  image.Save(sink);
  return sink.Bytes();
}

TTileProperties Props(std::int32_t layer, std::uint8_t hidden, std::uint8_t smart,
                      std::uint8_t marker) {
  TTileProperties p;
  p.SetDefaultLayer(layer);
  p.SetHidden(hidden);
  p.SetSmartTool(smart);
  p.Bytes()[339] = marker;  // the last byte shows the record was read to its end
  return p;
}

// Three tiles of different sizes and colour types, each followed by its record.
struct ThreeTiles {
  std::vector<std::vector<std::uint8_t>> pngs = {
      Encode(PatternImage(PngColorType::RGB, 3, 5, 1)),
      Encode(PatternImage(PngColorType::Palette, 7, 2, 2)),
      Encode(PatternImage(PngColorType::RGBA, 4, 4, 3)),
  };
  std::vector<TTileProperties> props = {Props(0, 0, 0, 10), Props(5, 1, 0, 11),
                                        Props(-2, 0, 7, 12)};
  std::vector<std::uint8_t> Bytes() const { return TilesetBytes(3, pngs, props); }
};

TEST(ReadTileset, ReadsEachRecordRightAfterItsImage) {
  const ThreeTiles fixture;
  const auto bytes = fixture.Bytes();
  MemorySource source(bytes);
  Tileset tileset;
  ReadTileset(source, tileset);
  EXPECT_EQ(source.Position(), bytes.size());
  ASSERT_EQ(tileset.TileCount(), 3);
  EXPECT_EQ(tileset.TilePropertyList().size(), 3u);
  const struct {
    int w, h;
    PngColorType type;
    std::int32_t layer;
    bool hidden, smart;
  } expected[] = {{3, 5, PngColorType::RGB, 0, false, false},
                  {7, 2, PngColorType::Palette, 5, true, false},
                  {4, 4, PngColorType::RGBA, -2, false, true}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(tileset.Image(i).Width(), expected[i].w);
    EXPECT_EQ(tileset.Image(i).Height(), expected[i].h);
    EXPECT_EQ(tileset.Image(i).ColorType(), expected[i].type);
    EXPECT_EQ(tileset.Properties(i).DefaultLayer(), expected[i].layer);
    EXPECT_EQ(tileset.Properties(i).Hidden(), expected[i].hidden);
    EXPECT_EQ(tileset.Properties(i).SmartTool(), expected[i].smart);
    EXPECT_EQ(tileset.Properties(i).Bytes(), fixture.props[i].Bytes());
  }
  EXPECT_EQ(HeaderTileCount(tileset.TilesetHeader()), 3);
}

TEST(ReadTileset, CutFilesKeepWhatWasRead) {
  const ThreeTiles fixture;
  const auto bytes = fixture.Bytes();
  const std::size_t tile1_start = kTilesetHeaderBytes + fixture.pngs[0].size() + 340;
  const std::size_t tile2_props =
      tile1_start + fixture.pngs[1].size() + 340 + fixture.pngs[2].size();

  // Cut inside tile 1's image: tile 0 stays loaded, the error names tile 1.
  {
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + tile1_start + 30);
    MemorySource source(cut);
    Tileset tileset;
    tileset.AddTile(PatternImage(PngColorType::RGB, 1, 1), {});
    tileset.AddTile(PatternImage(PngColorType::RGB, 1, 1), {});
    try {
      ReadTileset(source, tileset);
      ADD_FAILURE() << "a cut image loaded";
    } catch (const UserError& error) {
      EXPECT_THAT(error.what(), HasSubstr("Tile 1"));
      EXPECT_THAT(error.what(), HasSubstr("ends before the IEND"));
    }
    ASSERT_EQ(tileset.TileCount(), 1);
    EXPECT_EQ(tileset.Image(0).Width(), 3);
  }
  // Cut inside tile 2's record: the bytes that are there are read, the rest stay 0.
  {
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + tile2_props + 5);
    MemorySource source(cut);
    Tileset tileset;
    ReadTileset(source, tileset);
    ASSERT_EQ(tileset.TileCount(), 3);
    EXPECT_EQ(tileset.Properties(2).DefaultLayer(), -2);
    EXPECT_TRUE(tileset.Properties(2).SmartTool() == false);  // byte 5 was cut off
    EXPECT_EQ(tileset.Properties(2).Bytes()[339], 0);
  }
}

TEST(ReadTileset, ZeroTilesAndShortHeaders) {
  Tileset tileset;
  tileset.AddTile(PatternImage(PngColorType::RGB, 2, 2), {});
  const std::vector<std::uint8_t> empty(kTilesetHeaderBytes, 0);
  MemorySource source(empty);
  ReadTileset(source, tileset);
  EXPECT_EQ(tileset.TileCount(), 0);
  EXPECT_TRUE(tileset.TilePropertyList().empty());

  // A file shorter than the header is not a tileset; what was loaded stays.
  tileset.AddTile(PatternImage(PngColorType::RGB, 2, 2), {});
  std::vector<std::uint8_t> short_header(300, 0);
  short_header[kTileCountOffset] = 1;
  MemorySource short_source(short_header);
  EXPECT_THROW(ReadTileset(short_source, tileset), UserError);
  EXPECT_EQ(tileset.TileCount(), 1);
}

TEST(ReadTileset, RefusesATilesetTooLargeInMemory) {
  // Three 4 x 4 RGBA tiles take 64 bytes each decoded; a limit of 150 admits two.
  std::vector<std::vector<std::uint8_t>> pngs(3, Encode(PatternImage(PngColorType::RGBA, 4, 4)));
  const auto bytes = TilesetBytes(3, pngs, std::vector<TTileProperties>(3));
  MemorySource source(bytes);
  Tileset tileset;
  try {
    ReadTileset(source, tileset, 150);
    ADD_FAILURE() << "loaded";
  } catch (const UserError& error) {
    EXPECT_THAT(error.what(), HasSubstr("Tile 2"));
    EXPECT_THAT(error.what(), HasSubstr("too large"));
  }
  EXPECT_EQ(tileset.TileCount(), 2);
}

// Large tilesets are decoded in batches on several threads; whatever goes wrong,
// the load must stop at the tile a one-by-one load stops at, with every tile
// before it in order and nothing after it.
TEST(ReadTileset, ManyTilesStopAtTheSameTileWhateverFails) {
  constexpr int kCount = 200;
  std::vector<std::vector<std::uint8_t>> pngs;
  std::vector<TTileProperties> props;
  std::uint64_t first_100_bytes = 0;
  std::vector<std::size_t> starts;  // of each tile's image in the file
  std::size_t at = kTilesetHeaderBytes;
  for (int i = 0; i < kCount; ++i) {
    const PngImage image =
        PatternImage(i % 3 == 0 ? PngColorType::RGB : PngColorType::RGBA, 1 + i % 7, 1 + i % 5, i);
    if (i < 100)
      first_100_bytes += std::uint64_t(image.Width()) * image.Height() * (image.HasAlpha() ? 4 : 3);
    pngs.push_back(Encode(image));
    props.push_back(Props(i % 8, 0, 0, static_cast<std::uint8_t>(i)));
    starts.push_back(at);
    at += pngs.back().size() + kTilePropertiesBytes;
  }
  const std::vector<std::uint8_t> good = TilesetBytes(kCount, pngs, props);

  std::vector<std::uint8_t> corrupt = good;  // a data byte of tile 130 flipped
  corrupt[starts[130] + pngs[130].size() - 20] ^= 0x40;
  const std::vector<std::uint8_t> cut(good.begin(), good.begin() + starts[150] + 40);

  struct Case {
    const char* name;
    const std::vector<std::uint8_t>* bytes;
    std::uint64_t limit;
    int loaded;
    const char* message;  // nullptr: loads completely
  } cases[] = {
      {"whole", &good, kMaxTilesetDecodedBytes, kCount, nullptr},
      {"bad image", &corrupt, kMaxTilesetDecodedBytes, 130, "Tile 130: "},
      {"cut image", &cut, kMaxTilesetDecodedBytes, 150, "Tile 150: "},
      {"memory limit", &good, first_100_bytes, 100, "Tile 100: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySource source(*c.bytes);
    Tileset tileset;
    try {
      ReadTileset(source, tileset, c.limit);
      EXPECT_EQ(c.message, nullptr) << "loaded";
    } catch (const UserError& error) {
      ASSERT_NE(c.message, nullptr) << error.what();
      EXPECT_THAT(error.what(), ::testing::StartsWith(c.message));
    }
    ASSERT_EQ(tileset.TileCount(), c.loaded);
    for (int i = 0; i < c.loaded; ++i) {
      ASSERT_EQ(tileset.Image(i).Width(), 1 + i % 7) << "tile " << i;
      ASSERT_EQ(tileset.Image(i).Row(0)[0], PatternImage(PngColorType::RGB, 1, 1, i).Row(0)[0])
          << "tile " << i;
      ASSERT_EQ(tileset.Properties(i).Bytes()[339], static_cast<std::uint8_t>(i)) << "tile " << i;
    }
  }
}

TEST(TileProperties, FieldsAndName) {
  TTileProperties p;
  EXPECT_EQ(p.Bytes(), (std::array<std::uint8_t, kTilePropertiesBytes>{}));
  p.SetDefaultLayer(-70000);
  EXPECT_EQ(p.DefaultLayer(), -70000);
  EXPECT_THAT(std::vector<int>(p.Bytes().begin(), p.Bytes().begin() + 4),
              ElementsAre(0x90, 0xEE, 0xFE, 0xFF));
  p.SetTileName("Oak tree");
  EXPECT_EQ(p.TileName(), "Oak tree");
  p.SetTileName(std::string(100, 'x'));
  EXPECT_EQ(p.TileName(), std::string(kTileNameCapacity, 'x'));
  EXPECT_TRUE(p.ReservedBytesZero());
  p.SetTileName("a");
  EXPECT_EQ(p.Bytes()[kTileNameOffset + 2], 0) << "a shorter name clears the old one";
  p.Bytes()[200] = 1;
  EXPECT_FALSE(p.ReservedBytesZero());
}

TEST(WriteTileset, ReadsBackWhatWasWritten) {
  Tileset tileset;
  tileset.AddTile(PatternImage(PngColorType::GreyAlpha, 5, 5), Props(1, 0, 0, 1));
  tileset.AddTile(PatternImage(PngColorType::RGBA, 64, 64), Props(7, 1, 1, 2));
  MemorySink sink;
  WriteTileset(tileset, sink);
  MemorySource source(sink.Bytes());
  Tileset loaded;
  ReadTileset(source, loaded);
  ASSERT_EQ(loaded.TileCount(), 2);
  EXPECT_EQ(loaded.Image(1).Width(), 64);
  EXPECT_EQ(loaded.Image(0).ColorType(), PngColorType::GreyAlpha);
  EXPECT_EQ(loaded.Properties(1).Bytes(), tileset.Properties(1).Bytes());

  // Raw tiles come back byte for byte.
  std::array<std::uint8_t, kTilesetHeaderBytes> header{};
  MemorySource raw_source(sink.Bytes());
  const auto raw = ReadRawTiles(raw_source, header);
  MemorySink again;
  WriteRawTiles(header, raw, again);
  EXPECT_EQ(again.Bytes(), sink.Bytes());
}

// A program directory with a Tilesets folder.
class LoadTilesetTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_.File("Tilesets")); }
  void Put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    testing::WriteBytes(dir_.File("Tilesets/" + name), bytes);
  }
  bool Load(const std::string& name) {
    return LoadTileset(tileset_, name, dir_.Path(), dialogs_, [this] { ++refreshes_; });
  }

  testing::TempDir dir_;
  testing::FakeDialogs dialogs_;
  Tileset tileset_;
  int refreshes_ = 0;
};

TEST_F(LoadTilesetTest, LoadsByNameFromTheProgramDirectory) {
  Put("dungeon.qts", ThreeTiles().Bytes());
  // Some other directory holds a file of the same name: it is not the one loaded.
  testing::TempDir elsewhere;
  testing::WriteBytes(elsewhere.File("dungeon.qts"),
                      std::vector<std::uint8_t>(kTilesetHeaderBytes, 0));
  for (const std::string& name : {std::string("dungeon.qts"), elsewhere.File("dungeon.qts"),
                                  std::string("C:\\maps\\dungeon.qts")}) {
    SCOPED_TRACE(name);
    tileset_.Clear();
    EXPECT_TRUE(Load(name));
    EXPECT_EQ(tileset_.TileCount(), 3);
    EXPECT_EQ(tileset_.TilesetFileName(), "dungeon.qts");
  }
  EXPECT_EQ(refreshes_, 3);
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(LoadTilesetTest, EmptyNameMeansTheDefault) {
  Put("default.qts", ThreeTiles().Bytes());
  EXPECT_TRUE(Load(""));
  EXPECT_EQ(tileset_.TilesetFileName(), "default.qts");
  EXPECT_EQ(tileset_.TileCount(), 3);
}

TEST_F(LoadTilesetTest, MissingFileChangesNothingButTheName) {
  Put("default.qts", ThreeTiles().Bytes());
  ASSERT_TRUE(Load(""));
  EXPECT_FALSE(Load("nowhere.qts"));
  EXPECT_EQ(tileset_.TileCount(), 3);
  EXPECT_EQ(tileset_.TilesetFileName(), "nowhere.qts");
  EXPECT_TRUE(dialogs_.errors.empty());
  EXPECT_EQ(refreshes_, 1);
}

TEST_F(LoadTilesetTest, BadImageIsShownAndEarlierTilesStay) {
  ThreeTiles fixture;
  fixture.pngs[2][1] = 'X';  // tile 2 no longer starts like a PNG
  Put("broken.qts", fixture.Bytes());
  EXPECT_FALSE(Load("broken.qts"));
  ASSERT_EQ(dialogs_.errors.size(), 1u);
  EXPECT_THAT(dialogs_.errors[0], HasSubstr("broken.qts"));
  EXPECT_THAT(dialogs_.errors[0], HasSubstr("Tile 2"));
  EXPECT_THAT(dialogs_.errors[0], HasSubstr("PNG signature"));
  EXPECT_EQ(tileset_.TileCount(), 2);
  EXPECT_EQ(refreshes_, 0) << "the palette keeps its layout";
}

TEST_F(LoadTilesetTest, UnopenableFileIsShownAndTilesStay) {
  Put("default.qts", ThreeTiles().Bytes());
  ASSERT_TRUE(Load(""));
  // A directory where the file should be cannot be read as one.
  std::filesystem::create_directories(dir_.File("Tilesets/folder.qts"));
  EXPECT_FALSE(Load("folder.qts"));
  ASSERT_EQ(dialogs_.errors.size(), 1u);
  EXPECT_THAT(dialogs_.errors[0], HasSubstr("Cannot open file"));
  EXPECT_EQ(tileset_.TileCount(), 3);
}

TEST_F(LoadTilesetTest, ReadOnlyFileLoads) {
  Put("locked.qts", ThreeTiles().Bytes());
  ASSERT_EQ(::chmod(dir_.File("Tilesets/locked.qts").c_str(), 0444), 0);
  EXPECT_TRUE(Load("locked.qts"));
  EXPECT_EQ(tileset_.TileCount(), 3);
}

}  // namespace
}  // namespace qm
