// qmtool info and resave, run as the user runs them.
#include <gtest/gtest.h>
#include <algorithm>
#include <nlohmann/json.hpp>

#include "common/byte_stream.h"
#include "document/map_file.h"
#include "testing/qmtool_runner.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::Qmtool;
using testing::WriteBytes;

// A two-level map with a marked cell, a hidden layer and a non-ASCII title.
std::string SampleMap(const TempDir& dir) {
  MapHeader header = NewMapHeader(48);
  header.SetStoredLevelCount(2);
  header.SetLastLevelID(7);
  header.SetLayerName(2, "Walls");
  std::vector<std::unique_ptr<TMap>> levels;
  levels.push_back(std::make_unique<TMap>("Caf\xE9"));
  levels.back()->SetLevelID(1);
  levels.back()->SetShowHidden(1);
  levels.back()->SetBackgroundTile(12);
  levels.back()->SetTileIndex(3, 4, 0, 5);
  levels.back()->SetTileIndex(3, 4, 6, 9);
  levels.push_back(std::make_unique<TMap>("Cellar"));
  levels.back()->SetLevelID(7);
  levels.back()->SetLayerVisible(2, false);
  MemorySink sink;
  WriteMapFile(header, levels, sink);
  const std::string path = dir.File("sample.map");
  WriteBytes(path, {sink.Bytes().begin(), sink.Bytes().end()});
  return path;
}

TEST(QmtoolMapTest, InfoAsJson) {
  TempDir dir;
  const testing::ToolRun run = Qmtool("info --json " + SampleMap(dir), dir);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["levelCount"], 2);
  EXPECT_EQ(json["cellSize"], 48);
  EXPECT_EQ(json["lastLevelId"], 7);
  EXPECT_EQ(json["layerNames"].size(), 8u);
  EXPECT_EQ(json["layerNames"][2], "Walls");
  const auto& first = json["levels"][0];
  EXPECT_EQ(first["title"], "Caf\xC3\xA9");
  EXPECT_EQ(first["levelId"], 1);
  EXPECT_EQ(first["backgroundTile"], 12);
  EXPECT_EQ(first["showHidden"], true);
  EXPECT_EQ(first["usedSlots"], 2);
  EXPECT_EQ(json["levels"][1]["layerVisible"][2], false);
  EXPECT_EQ(json["levels"][1]["layerVisible"][3], true);
  EXPECT_EQ(json["levels"][1]["usedSlots"], 0);
}

TEST(QmtoolMapTest, InfoAsText) {
  TempDir dir;
  const testing::ToolRun run = Qmtool("info " + SampleMap(dir), dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("levels: 2"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1: \"Cellar\" id 7, background 0, visible layers 1,2,4,5,6,7,8"),
            std::string::npos)
      << run.out;
}

TEST(QmtoolMapTest, ResaveKeepsEveryByte) {
  TempDir dir;
  const std::string in = SampleMap(dir);
  const std::string out = dir.File("out.map");
  const testing::ToolRun run = Qmtool("resave " + in + " " + out, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(out), ReadBytes(in));
}

TEST(QmtoolMapTest, FailuresExitNonZeroWithOneLine) {
  TempDir dir;
  const std::string map = SampleMap(dir);
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"info " + dir.File("missing.map"), "Cannot open file"},
      {"info", "usage: qmtool info"},
      {"info --colour " + map, "unknown option --colour"},
      {"resave " + map + " " + dir.File("no/dir/out.map"), "Cannot create file"},
      {"frobnicate", "unknown subcommand"},
  };
  for (const auto& c : cases) {
    const testing::ToolRun run = Qmtool(c.args, dir);
    EXPECT_NE(run.status, 0) << c.args;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
}

TEST(QmtoolMapTest, HelpListsTheSubcommands) {
  TempDir dir;
  const testing::ToolRun run = Qmtool("--help", dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("info [--json] MAP"), std::string::npos);
  EXPECT_NE(run.out.find("resave IN OUT"), std::string::npos);
}

}  // namespace
}  // namespace qm
