// qmtool tileset pack, unpack and info, run as a user runs them.
#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/byte_stream.h"
#include "png_fixtures.h"
#include "testing/qmtool_runner.h"
#include "testing/temp_dir.h"
#include "tiles/tileset.h"

namespace qm {
namespace {

using ::testing::HasSubstr;
using testing::PatternImage;
using testing::Qmtool;
using testing::ReadBytes;
using testing::TempDir;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A tile directory as a tileset maker writes it.
void MakeTileDir(const TempDir& dir, const std::string& tsv) {
  std::filesystem::create_directories(dir.File("tiles"));
  PatternImage(PngColorType::RGBA, 8, 8, 1).SaveFile(dir.File("tiles/0000.png"));
  PatternImage(PngColorType::Palette, 5, 3, 2).SaveFile(dir.File("tiles/0001.png"));
  PatternImage(PngColorType::Grey, 2, 9, 3).SaveFile(dir.File("tiles/0002.png"));
  WriteText(dir.File("tiles/tiles.tsv"), tsv);
}

constexpr const char* kTsv =
    "# number\tDefaultLayer\tHidden\tSmartTool\tname\n"
    "0\t0\t0\t0\tBlank\n"
    "1\t3\t1\t0\tSecret door\r\n"
    "\n"
    "2\t1\t0\t1\tForest, with\ttabs\n";

TEST(TilesetTool, PackThenInfoThenUnpackGivesTheSameFile) {
  TempDir dir;
  MakeTileDir(dir, kTsv);
  const auto pack = Qmtool("tileset pack " + dir.File("tiles") + " " + dir.File("a.qts"), dir);
  ASSERT_EQ(pack.status, 0) << pack.err;

  Tileset tileset;
  {
    const auto bytes = ReadBytes(dir.File("a.qts"));
    MemorySource source(bytes);
    ReadTileset(source, tileset);
  }
  ASSERT_EQ(tileset.TileCount(), 3);
  EXPECT_EQ(tileset.Properties(1).DefaultLayer(), 3);
  EXPECT_TRUE(tileset.Properties(1).Hidden());
  EXPECT_TRUE(tileset.Properties(2).SmartTool());
  EXPECT_EQ(tileset.Properties(2).TileName(), "Forest, with\ttabs");
  EXPECT_EQ(tileset.Image(1).ColorType(), PngColorType::Palette);

  const auto info = Qmtool("tileset info " + dir.File("a.qts"), dir);
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_THAT(info.out, HasSubstr("tiles: 3\n"));
  EXPECT_THAT(info.out, HasSubstr("1\t5x3\tpalette\t3\t1\t0\tSecret door\n"));
  EXPECT_THAT(info.out, HasSubstr("2\t2x9\tgrey\t1\t0\t1\tForest, with\ttabs\n"));
  EXPECT_THAT(info.out, HasSubstr("smart-tool groups: 1\n"));
  EXPECT_THAT(info.out, HasSubstr("incomplete"));

  const auto unpack = Qmtool("tileset unpack " + dir.File("a.qts") + " " + dir.File("out"), dir);
  ASSERT_EQ(unpack.status, 0) << unpack.err;
  EXPECT_EQ(ReadBytes(dir.File("out/0001.png")), ReadBytes(dir.File("tiles/0001.png")));
  const auto repack = Qmtool("tileset pack " + dir.File("out") + " " + dir.File("b.qts"), dir);
  ASSERT_EQ(repack.status, 0) << repack.err;
  EXPECT_EQ(ReadBytes(dir.File("b.qts")), ReadBytes(dir.File("a.qts")));
}

TEST(TilesetTool, PackRefusesBadInput) {
  struct Case {
    const char* name;
    std::string tsv;
    const char* message;
  };
  const Case cases[] = {
      {"numbers out of order", "0\t0\t0\t0\ta\n2\t0\t0\t0\tb\n", "tile 1 expected, not 2"},
      {"missing field", "0\t0\t0\n", "separated by tabs"},
      {"Hidden out of range", "0\t0\t256\t0\tx\n", "Hidden must be a whole number from 0 to 255"},
      {"DefaultLayer not a number", "0\tlow\t0\t0\tx\n", "DefaultLayer"},
      {"no image for the tile", "0\t0\t0\t0\ta\n1\t0\t0\t0\tb\n2\t0\t0\t0\tc\n3\t0\t0\t0\td\n",
       "0003.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    MakeTileDir(dir, c.tsv);
    const auto run = Qmtool("tileset pack " + dir.File("tiles") + " " + dir.File("a.qts"), dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr(c.message));
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.qts")));
  }
  // A file that is not a PNG is named in the message.
  TempDir dir;
  MakeTileDir(dir, "0\t0\t0\t0\ta\n");
  WriteText(dir.File("tiles/0000.png"), "not a picture");
  const auto run = Qmtool("tileset pack " + dir.File("tiles") + " " + dir.File("a.qts"), dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("0000.png: Invalid PNG image"));
}

TEST(TilesetTool, InfoAndUnpackReportBrokenFiles) {
  TempDir dir;
  WriteText(dir.File("short.qts"), "tiny");
  for (const std::string& command :
       {"tileset info " + dir.File("short.qts"),
        "tileset unpack " + dir.File("short.qts") + " " + dir.File("out")}) {
    const auto run = Qmtool(command, dir);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_THAT(run.err, HasSubstr("header"));
  }
}

TEST(TilesetTool, UnpackWarnsAboutBytesItCannotKeep) {
  TempDir dir;
  Tileset tileset;
  TTileProperties p;
  p.Bytes()[300] = 9;
  tileset.AddTile(PatternImage(PngColorType::RGB, 2, 2), p);
  MemorySink sink;
  WriteTileset(tileset, sink);
  testing::WriteBytes(dir.File("odd.qts"), {sink.Bytes().begin(), sink.Bytes().end()});
  const auto run = Qmtool("tileset unpack " + dir.File("odd.qts") + " " + dir.File("out"), dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_THAT(run.err, HasSubstr("tile 0: reserved property bytes are not zero"));
}

}  // namespace
}  // namespace qm
