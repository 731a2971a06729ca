// qmtool maplets info and qmtool random, run as the user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "common/byte_stream.h"
#include "document/map_file.h"
#include "maplet_fixtures.h"
#include "testing/qmtool_runner.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::Qmtool;
using testing::ReadBytes;
using testing::TempDir;
using testing::ToolRun;
using testing::WriteBytes;

std::string WriteSet(const TempDir& dir, const MapletSet& set, const std::string& name = "s.set") {
  const std::string path = dir.File(name);
  WriteBytes(path, {set.Bytes().begin(), set.Bytes().end()});
  return path;
}

// A set with a few drawn maplets, a non-ASCII tileset name and damaged editor bytes.
MapletSet SampleSet() {
  MapletSet set;
  set.SetSetTilesetName("Caf\xE9.qts");
  set.SetEditorTile(17);
  set.Bytes()[kEditorPositionOffset] = 6;
  set.Bytes()[kEditorSectionOffset] = 0;  // damaged
  set.Bytes()[kEditorLayerOffset] = 2;
  set.SetSlot(1, 1, 0, 0, 0, {5, 0, 0});
  set.SetSlot(9, 9, 11, 11, 7, {300, 0, 0});
  set.SetSlot(5, 4, 3, 3, 2, {0, 45, 3});  // no tile: still empty
  return set;
}

TEST(QmtoolMapletsTest, InfoAsJson) {
  TempDir dir;
  const ToolRun run = Qmtool("maplets info --json " + WriteSet(dir, SampleSet()), dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["tileset"], "Caf\xC3\xA9.qts");
  EXPECT_EQ(json["editorTile"], 17);
  EXPECT_EQ(json["editorPosition"], 6);
  EXPECT_EQ(json["editorSection"], 1);
  EXPECT_EQ(json["storedEditorSection"], 0);
  EXPECT_EQ(json["editorLayer"], 2);
  ASSERT_EQ(json["positions"].size(), 9u);
  int drawn = 0;
  for (const auto& position : json["positions"]) {
    ASSERT_EQ(position["empty"].size(), 9u);
    for (const auto& empty : position["empty"]) drawn += !empty.get<bool>();
  }
  EXPECT_EQ(drawn, 2);
  EXPECT_EQ(json["positions"][0]["name"], "Upper Left");
  EXPECT_EQ(json["positions"][0]["empty"][0], false);
  EXPECT_EQ(json["positions"][8]["empty"][8], false);
  EXPECT_EQ(json["positions"][4]["empty"][3], true);
}

TEST(QmtoolMapletsTest, InfoAsText) {
  TempDir dir;
  const ToolRun run = Qmtool("maplets info " + WriteSet(dir, SampleSet()), dir);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line : {
           "tileset: \"Caf\xC3\xA9.qts\"\n",
           "editor: tile 17, position 6 \"Right\", section 1 (stored 0), layer \"Layer 3\"\n",
           "  1 Upper Left:    # . . . . . . . .\n",
           "  5 Center:        . . . . . . . . .\n",
           "  9 Lower Right:   . . . . . . . . #\n",
       }) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "in\n" << run.out;
  }
}

TEST(QmtoolMapletsTest, InfoFailures) {
  TempDir dir;
  WriteBytes(dir.File("short.set"), std::vector<unsigned char>(100, 0));
  const ToolRun short_run = Qmtool("maplets info " + dir.File("short.set"), dir);
  EXPECT_EQ(short_run.status, 0);
  EXPECT_NE(short_run.err.find("holds 100 of 396998 bytes"), std::string::npos) << short_run.err;

  const ToolRun missing = Qmtool("maplets info " + dir.File("none.set"), dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Cannot open file \"" + dir.File("none.set") + "\""),
            std::string::npos)
      << missing.err;
}

// The corner slots of a level generated from the marked set name their maplets.
void ExpectCornersFromMarkedSet(const TMap& level) {
  EXPECT_EQ(level.TileIndex(1, 1, 0) / 10, kUpperLeft);
  EXPECT_EQ(level.TileIndex(72, 1, 0) / 10, kUpperRight);
  EXPECT_EQ(level.TileIndex(1, 72, 0) / 10, kLowerLeft);
  EXPECT_EQ(level.TileIndex(72, 72, 0) / 10, kLowerRight);
}

TEST(QmtoolMapletsTest, RandomMakesANewMapWhenThereIsNone) {
  TempDir dir;
  const std::string set = WriteSet(dir, testing::MarkedSet());
  const std::string map = dir.File("new.map");
  const ToolRun run = Qmtool("random " + map + " --maplets " + set + " --seed 7", dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("(seed 7)"), std::string::npos) << run.out;
  const LoadedMap loaded = LoadMapFile(map, MapHeader());
  ASSERT_EQ(loaded.levels.size(), 1u);
  EXPECT_EQ(loaded.levels[0]->Title(), "Level 1");
  ExpectCornersFromMarkedSet(*loaded.levels[0]);
}

TEST(QmtoolMapletsTest, RandomWithASeedRepeatsAndWithoutOneVaries) {
  TempDir dir;
  const std::string set = WriteSet(dir, testing::MarkedSet());
  auto level_bytes = [&](const std::string& name, const std::string& seed) {
    const ToolRun run = Qmtool("random " + dir.File(name) + " --maplets " + set + seed, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadBytes(dir.File(name));
  };
  EXPECT_EQ(level_bytes("a.map", " --seed 99"), level_bytes("b.map", " --seed=99"));
  EXPECT_NE(level_bytes("a.map", " --seed 99"), level_bytes("c.map", " --seed 100"));
  EXPECT_NE(level_bytes("d.map", ""), level_bytes("e.map", ""));
}

TEST(QmtoolMapletsTest, RandomFillsOnlyTheChosenLevelAndSavesWhereAsked) {
  TempDir dir;
  MapHeader header = NewMapHeader(48);
  header.SetStoredLevelCount(2);
  std::vector<std::unique_ptr<TMap>> levels;
  levels.push_back(std::make_unique<TMap>("Top"));
  levels.back()->SetTileIndex(5, 5, 0, 3);
  levels.push_back(std::make_unique<TMap>("Cellar"));
  levels.back()->SetBackgroundTile(12);
  MemorySink sink;
  WriteMapFile(header, levels, sink);
  const std::string map = dir.File("two.map");
  WriteBytes(map, {sink.Bytes().begin(), sink.Bytes().end()});
  const auto original = ReadBytes(map);

  const std::string set = WriteSet(dir, testing::MarkedSet());
  const std::string out = dir.File("out.map");
  const ToolRun run =
      Qmtool("random " + map + " --maplets " + set + " --level 1 --seed 3 -o " + out, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(map), original);
  const LoadedMap loaded = LoadMapFile(out, MapHeader());
  ASSERT_EQ(loaded.levels.size(), 2u);
  EXPECT_TRUE(std::equal(levels[0]->Bytes().begin(), levels[0]->Bytes().end(),
                         loaded.levels[0]->Bytes().begin()));
  ExpectCornersFromMarkedSet(*loaded.levels[1]);
  EXPECT_TRUE(std::equal(levels[1]->Tail().begin(), levels[1]->Tail().end(),
                         loaded.levels[1]->Tail().begin()));
  EXPECT_EQ(loaded.header.CellSize(), 48);

  // Without -o the map itself is replaced.
  ASSERT_EQ(Qmtool("random " + map + " --maplets " + set + " --seed 3 --level 1", dir).status, 0);
  EXPECT_EQ(ReadBytes(map), ReadBytes(out));
}

TEST(QmtoolMapletsTest, RandomFailures) {
  TempDir dir;
  const std::string set = WriteSet(dir, testing::MarkedSet());
  struct Case {
    std::string args;
    std::string message;
  };
  const Case cases[] = {
      {"random " + dir.File("m.map"), "usage: qmtool random MAP --maplets SET"},
      {"random --maplets " + set, "usage: qmtool random MAP --maplets SET"},
      {"random " + dir.File("m.map") + " --maplets " + set + " --level 1",
       "--level must be a number from 0 to 0"},
      {"random " + dir.File("m.map") + " --maplets " + set + " --seed -1",
       "--seed must be a number from 0"},
      {"random " + dir.File("m.map") + " --maplets " + dir.File("none.set"),
       "Cannot open file \"" + dir.File("none.set") + "\""},
      {"random " + dir.File("m.map") + " --maplets " + set + " -o " + dir.File("no/dir/x.map"),
       "Cannot create file \"" + dir.File("no/dir/x.map") + "\""},
  };
  for (const Case& c : cases) {
    const ToolRun run = Qmtool(c.args, dir);
    EXPECT_EQ(run.status, 1) << c.args;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
  }
  EXPECT_TRUE(ReadBytes(dir.File("m.map")).empty()) << "a failed run left a map behind";
}

}  // namespace
}  // namespace qm
