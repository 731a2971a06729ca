// qmtool export end to end: a map file and the default tileset of the build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/file_io.h"
#include "common/user_interaction.h"
#include "document/map_file.h"
#include "output/image_export.h"
#include "tiles/tileset.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

class QuietDialogs : public UserDialogs {
 public:
  Answer AskYesNoCancel(const std::string&) override { return Answer::Cancel; }
  bool AskYesNo(const std::string&) override { return false; }
  void ShowError(const std::string& message) override { ADD_FAILURE() << message; }
};

class QmtoolExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(QM_BIN_DIR) / "Tilesets" / "default.qts")) {
      GTEST_SKIP() << "no default tileset in " << QM_BIN_DIR;
    }
    dir_ = fs::path(testing::TempDir()) / ("qmtool_export_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    MapDocument document;
    std::vector<std::unique_ptr<TMap>> levels;
    for (int i = 0; i < 2; ++i) {
      auto level = std::make_unique<TMap>("Level");
      for (int x = 1; x <= MapSize; ++x) {
        for (int y = 1; y <= MapSize; ++y) {
          level->SetSlot(x, y, 0, {static_cast<std::uint16_t>(1 + (x + y + i) % 5), 0, 0});
          if (x % 7 == 0) level->SetSlot(x, y, 2, {14, 45, 25});  // turned wall section
        }
      }
      if (i == 1) level->SetLayerVisible(2, false);  // "Layer 3" unchecked on this level
      levels.push_back(std::move(level));
    }
    document.ReplaceLevels(std::move(levels));
    SaveMapFile(document, Map(), 16);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  std::string Map() const { return (dir_ / "test.map").string(); }
  std::string Out(const std::string& name) const { return (dir_ / name).string(); }
  int Run(const std::string& args) const {
    const std::string command = std::string(QM_BIN_DIR) + "/qmtool export " + args + " >" +
                                (dir_ / "stdout").string() + " 2>" + (dir_ / "stderr").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir_;
};

TEST_F(QmtoolExportTest, WritesTheLevelAsTheCoreRendersIt) {
  ASSERT_EQ(Run(Map() + " " + Out("l1.png") + " --level 1"), 0);
  const PngImage written = PngImage::LoadFile(Out("l1.png"));
  // The map's CellSize (16) is the default.
  ASSERT_EQ(written.Width(), 72 * 16);
  ASSERT_EQ(written.Height(), 72 * 16);

  Tileset tileset;
  QuietDialogs dialogs;
  ASSERT_TRUE(LoadTileset(tileset, "default.qts", QM_BIN_DIR, dialogs));
  const LoadedMap map = LoadMapFile(Map(), NewMapHeader(32));
  const ExportPicture want = RenderRegionPicture(*map.levels[1], tileset, kWholeLevel, 16);
  for (int y = 0; y < want.height; ++y) {
    ASSERT_EQ(std::memcmp(written.Row(y), want.Row(y), 3 * static_cast<std::size_t>(want.width)), 0)
        << "row " << y;
  }
}

TEST_F(QmtoolExportTest, LayerUncheckedOnALevelIsLeftOutOfItsPictureOnly) {
  ASSERT_EQ(Run(Map() + " " + Out("hidden.png") + " --level 1 --cell-size 8"), 0);
  ASSERT_EQ(Run(Map() + " " + Out("shown.png") + " --level 0 --cell-size 8"), 0);
  Tileset tileset;
  QuietDialogs dialogs;
  ASSERT_TRUE(LoadTileset(tileset, "default.qts", QM_BIN_DIR, dialogs));
  const LoadedMap map = LoadMapFile(Map(), NewMapHeader(32));
  // Level 1 as it would look with its third layer emptied instead of hidden.
  TMap bare = *map.levels[1];
  bare.SetLayerVisible(2, true);
  for (int x = 1; x <= MapSize; ++x)
    for (int y = 1; y <= MapSize; ++y) bare.SetSlot(x, y, 2, {});
  const ExportPicture want = RenderRegionPicture(bare, tileset, kWholeLevel, 8);
  const PngImage hidden = PngImage::LoadFile(Out("hidden.png"));
  for (int y = 0; y < want.height; ++y) {
    ASSERT_EQ(std::memcmp(hidden.Row(y), want.Row(y), 3 * static_cast<std::size_t>(want.width)), 0)
        << "row " << y;
  }
  // Level 0 keeps the layer: its wall columns differ from the bare floor.
  const PngImage shown = PngImage::LoadFile(Out("shown.png"));
  const ExportPicture with_layer = RenderRegionPicture(*map.levels[0], tileset, kWholeLevel, 8);
  EXPECT_EQ(std::memcmp(shown.Row(4), with_layer.Row(4), 3 * static_cast<std::size_t>(want.width)), 0);
  EXPECT_TRUE(map.levels[0]->LayerVisible(2));
}

TEST_F(QmtoolExportTest, RegionCellSizeAndQuarters) {
  ASSERT_EQ(Run(Map() + " " + Out("r.jpg") + " --region 2,3,4,3 --cell-size 8"), 0);
  ASSERT_EQ(Run(Map() + " " + Out("r.bmp") + " --region 2,3,4,3 --cell-size 8"), 0);
  EXPECT_EQ(fs::file_size(Out("r.bmp")), 54u + 8 * 72);  // 24 x 8 pixels, 72-byte rows
  ASSERT_EQ(Run(Map() + " " + Out("q.png") + " --quarters --cell-size 2"), 0);
  for (const char* name : {"qA.png", "qB.png", "qC.png", "qD.png"}) {
    const PngImage quarter = PngImage::LoadFile(Out(name));
    EXPECT_EQ(quarter.Width(), 72);
    EXPECT_EQ(quarter.Height(), 72);
  }
}

TEST_F(QmtoolExportTest, BadArgumentsFailWithAMessageAndNoFile) {
  const std::string cases[] = {
      Map() + " " + Out("x.gif"),
      Map() + " " + Out("x"),
      Map() + " " + Out("x.png") + " --level 2",
      Map() + " " + Out("x.png") + " --cell-size 0",
      Map() + " " + Out("x.png") + " --region 1,1,73,2",
      Map() + " " + Out("x.png") + " --region 3,1,2,2",
      Map() + " " + Out("x.png") + " --region 1,1,2",
      Map() + " " + Out("x.png") + " --tileset missing.qts",
      Map() + " " + Out("x.png") + " --quarters --region 1,1,5,5",
      Out("none.map") + " " + Out("x.png"),
  };
  for (const std::string& args : cases) {
    EXPECT_NE(Run(args), 0) << args;
    EXPECT_GT(fs::file_size(dir_ / "stderr"), 0u) << args;
    EXPECT_FALSE(fs::exists(Out("x.png")) || fs::exists(Out("x.gif")) || fs::exists(Out("x")))
        << args;
  }
}

}  // namespace
}  // namespace qm
