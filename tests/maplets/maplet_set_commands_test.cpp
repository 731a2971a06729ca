// New, Open and Save of the maplet set through fakes of the dialogs, the tileset
// switch and the windows.
#include "maplets/maplet_set_commands.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "maplet_fixtures.h"
#include "testing/document_fakes.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::FakeDialogs;
using testing::FakeSetDisplay;
using testing::FakeTilesets;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Selection = FakeSetDisplay::Selection;

std::vector<unsigned char> SetFile(const MapletSet& set) {
  return {set.Bytes().begin(), set.Bytes().end()};
}

class MapletSetCommandsTest : public ::testing::Test {
 protected:
  MapletSet set;
  FakeDialogs dialogs;
  FakeTilesets tilesets;
  FakeSetDisplay display;
  MapletSetCommands commands{set, {dialogs, dialogs, tilesets, display}};
  TempDir dir;

  // A set file on disk with the given tileset name and editor state.
  std::string WriteSet(const std::string& name, const std::string& tileset, int position = 1,
                       int section = 1) {
    MapletSet file = testing::MarkedSet();
    file.SetSetTilesetName(tileset);
    file.Bytes()[kEditorPositionOffset] = static_cast<std::uint8_t>(position);
    file.Bytes()[kEditorSectionOffset] = static_cast<std::uint8_t>(section);
    const std::string path = dir.File(name);
    WriteBytes(path, SetFile(file));
    return path;
  }
};

TEST_F(MapletSetCommandsTest, SaveAfterNewIsZeroExceptTilesetNameAndEditorState) {
  tilesets.loaded = "dungeon.qts";
  set = testing::MarkedSet();
  commands.GeoNew();
  EXPECT_EQ(display.generate_enabled, false);
  EXPECT_EQ(display.selections, (std::vector<Selection>{{1, 1, 8}}));
  EXPECT_GE(display.editor_repaints, 1);

  dialogs.save_paths.push_back(dir.File("new.set"));
  ASSERT_TRUE(commands.GeoSave());
  const auto file = ReadBytes(dir.File("new.set"));
  ASSERT_EQ(file.size(), 396998u);
  std::vector<unsigned char> expected(396998, 0);
  expected[396738] = 11;
  std::copy_n("dungeon.qts", 11, expected.begin() + 396739);
  expected[396995] = 1;
  expected[396996] = 1;
  expected[396997] = 8;
  EXPECT_EQ(file, expected);
  EXPECT_EQ(display.generate_enabled, true);
  EXPECT_EQ(commands.MapletSetFileName(), dir.File("new.set"));
  ASSERT_EQ(dialogs.save_requests.size(), 1u);
  EXPECT_EQ(dialogs.save_requests[0].filter, "Quillmarch Pro Maplet Sets (*.set)|*.set");
  EXPECT_EQ(dialogs.save_requests[0].default_extension, "set");
}

TEST_F(MapletSetCommandsTest, ClearStoresTheTilesetNameAsWindows1252) {
  tilesets.loaded = "Caf\xC3\xA9.qts";  // as the file system spells it
  commands.ClearMapletSet();
  EXPECT_EQ(set.SetTilesetName(), "Caf\xE9.qts");
  tilesets.loaded = std::string(300, 't');
  commands.ClearMapletSet();
  EXPECT_EQ(set.SetTilesetName(), std::string(255, 't'));
}

TEST_F(MapletSetCommandsTest, NewKeepsTheRememberedFile) {
  const std::string path = WriteSet("a.set", "default.qts");
  ASSERT_TRUE(commands.LoadMapletSet(path));
  commands.GeoNew();
  EXPECT_EQ(commands.MapletSetFileName(), path);
  EXPECT_FALSE(commands.GenerateRandomMapEnabled());
}

// The set brings its own tileset unless the loaded one has the same name up to the
// case of its ASCII letters.
TEST_F(MapletSetCommandsTest, LoadSwitchesTilesetOnlyForAnotherName) {
  struct Case {
    const char* loaded;
    const char* in_set;  // Windows-1252, as stored
    std::optional<std::string> expected_load;
  };
  const Case cases[] = {
      {"Dungeon.qts", "DUNGEON.QTS", std::nullopt},
      {"dungeon.qts", "dungeon.qts", std::nullopt},
      {"dungeon.qts", "caves.qts", "caves.qts"},
      {"dungeon.qts", "", ""},  // the default tileset
      {"default.qts", "", ""},
      {"Caf\xC3\xA9.qts", "CAF\xC9.QTS", "CAF\xC3\x89.QTS"},  // only ASCII letters fold
      {"Caf\xC3\xA9.qts", "caf\xE9.QTS", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.loaded) + " / " + c.in_set);
    tilesets.loaded = c.loaded;
    tilesets.loads.clear();
    ASSERT_TRUE(commands.LoadMapletSet(WriteSet("t.set", c.in_set)));
    if (c.expected_load) {
      EXPECT_EQ(tilesets.loads, std::vector<std::string>{*c.expected_load});
    } else {
      EXPECT_TRUE(tilesets.loads.empty());
    }
  }
}

TEST_F(MapletSetCommandsTest, LoadRestoresTheEditorsMapletFromTheFile) {
  struct Case {
    int stored_position, stored_section;
    Selection shown;
  };
  const Case cases[] = {
      {9, 4, {9, 4, std::nullopt}},
      {1, 9, {1, 9, std::nullopt}},
      {0, 10, {1, 1, std::nullopt}},  // damaged: the first entries
      {255, 3, {1, 3, std::nullopt}},
  };
  for (const Case& c : cases) {
    display.selections.clear();
    ASSERT_TRUE(commands.LoadMapletSet(
        WriteSet("e.set", "default.qts", c.stored_position, c.stored_section)));
    EXPECT_EQ(display.selections, std::vector<Selection>{c.shown}) << c.stored_position;
  }
  EXPECT_EQ(display.generate_enabled, true);
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(MapletSetCommandsTest, AShortFileChangesOnlyTheBytesItHolds) {
  set = testing::MarkedSet();
  const MapletSet before = set;
  const std::vector<unsigned char> hundred(100, 0x5A);
  WriteBytes(dir.File("short.set"), hundred);
  ASSERT_TRUE(commands.LoadMapletSet(dir.File("short.set")));
  EXPECT_TRUE(dialogs.errors.empty());
  const auto bytes = set.Bytes();
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 100, [](auto b) { return b == 0x5A; }));
  EXPECT_TRUE(std::equal(bytes.begin() + 100, bytes.end(), before.Bytes().begin() + 100));
  EXPECT_EQ(display.generate_enabled, true);
}

TEST_F(MapletSetCommandsTest, AFileThatCannotBeOpenedChangesNothingButTheRememberedName) {
  set = testing::MarkedSet();
  const MapletSet before = set;
  const std::string missing = dir.File("missing.set");
  EXPECT_FALSE(commands.LoadMapletSet(missing));
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0].rfind("Cannot open file \"" + missing + "\". ", 0), 0u)
      << dialogs.errors[0];
  EXPECT_TRUE(std::equal(set.Bytes().begin(), set.Bytes().end(), before.Bytes().begin()));
  EXPECT_EQ(commands.MapletSetFileName(), missing);
  EXPECT_FALSE(display.generate_enabled.has_value());
  EXPECT_TRUE(tilesets.loads.empty());
  EXPECT_TRUE(display.selections.empty());
}

// A set on a read-only medium or shared from another user's folder opens all the
// same: nothing is ever written through the file that was read.
TEST_F(MapletSetCommandsTest, ASetFileIsOpenedForReadingOnly) {
  std::string path = WriteSet("ro.set", "default.qts", 6, 2);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  std::size_t expected_size = kMapletSetBytes;
  if (const int fd = ::open(path.c_str(), O_RDWR); fd >= 0) {
    // Root may write any file; a kernel file it cannot write shows the same.
    ::close(fd);
    path = "/sys/devices/system/cpu/possible";
    const int sys_fd = ::open(path.c_str(), O_RDWR);
    if (sys_fd >= 0 || ::access(path.c_str(), R_OK) != 0) {
      if (sys_fd >= 0) ::close(sys_fd);
      GTEST_SKIP() << "no file here is readable but not writable";
    }
    expected_size = 0;
  }
  EXPECT_TRUE(commands.LoadMapletSet(path));
  EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors[0];
  EXPECT_EQ(display.generate_enabled, true);
  if (expected_size == kMapletSetBytes) {
    EXPECT_EQ(set.EditorPosition(), 6);
  }
}

TEST_F(MapletSetCommandsTest, OpenLoadsTheChosenFileAndCancelChangesNothing) {
  const std::string path = WriteSet("chosen.set", "default.qts", 3, 7);
  dialogs.open_paths.push_back(std::nullopt);
  commands.GeoOpen();
  EXPECT_TRUE(std::all_of(set.Bytes().begin(), set.Bytes().end(), [](auto b) { return b == 0; }));
  EXPECT_EQ(commands.MapletSetFileName(), "");
  EXPECT_FALSE(display.generate_enabled.has_value());

  dialogs.open_paths.push_back(path);
  commands.GeoOpen();
  EXPECT_EQ(commands.MapletSetFileName(), path);
  EXPECT_EQ(SetFile(set), ReadBytes(path));
  EXPECT_EQ(display.generate_enabled, true);
  ASSERT_EQ(dialogs.open_requests.size(), 2u);
  EXPECT_EQ(dialogs.open_requests[1].filter, "Quillmarch Pro Maplet Sets (*.set)|*.set");
}

// Where Save writes: the chosen file, else the remembered one, else nowhere.
TEST_F(MapletSetCommandsTest, SaveGoesToTheChosenOrRememberedFile) {
  struct Case {
    bool remembered;
    std::optional<std::string> chosen;
    std::optional<std::string> written;  // nothing written when empty
  };
  const Case cases[] = {
      {false, std::nullopt, std::nullopt},
      {true, std::nullopt, "remembered.set"},
      {true, "chosen.set", "chosen.set"},
      {false, "chosen.set", "chosen.set"},
  };
  for (const Case& c : cases) {
    TempDir case_dir;
    MapletSet case_set = testing::MarkedSet();
    FakeDialogs case_dialogs;
    FakeSetDisplay case_display;
    MapletSetCommands save{case_set, {case_dialogs, case_dialogs, tilesets, case_display}};
    if (c.remembered) {
      const std::string path = case_dir.File("remembered.set");
      WriteBytes(path, std::vector<unsigned char>(10, 1));
      ASSERT_TRUE(save.LoadMapletSet(path));  // a 10-byte file: only those bytes change
      case_display.generate_enabled.reset();
    }
    case_dialogs.save_paths.push_back(c.chosen ? std::optional(case_dir.File(*c.chosen))
                                               : std::nullopt);
    EXPECT_EQ(save.GeoSave(), c.written.has_value());
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(case_dir.Path())) {
      if (entry.path().filename().string()[0] != '.') ++files;
    }
    if (c.written) {
      EXPECT_EQ(ReadBytes(case_dir.File(*c.written)), SetFile(case_set));
      EXPECT_EQ(save.MapletSetFileName(), case_dir.File(*c.written));
      EXPECT_EQ(case_display.generate_enabled, true);
      EXPECT_EQ(files, c.remembered && *c.written != "remembered.set" ? 2u : 1u);
    } else {
      EXPECT_EQ(files, 0u);
      EXPECT_EQ(save.MapletSetFileName(), "");
      EXPECT_FALSE(case_display.generate_enabled.has_value()) << "the menu state changed";
    }
  }
}

TEST_F(MapletSetCommandsTest, AFailedSaveIsShownAndLosesNothing) {
  const std::string path = WriteSet("kept.set", "default.qts");
  ASSERT_TRUE(commands.LoadMapletSet(path));
  const auto on_disk = ReadBytes(path);
  commands.GeoNew();  // "Generate Random Map" off, the remembered file kept
  display.generate_enabled.reset();

  const std::string bad = dir.File("no/such/dir/new.set");
  dialogs.save_paths.push_back(bad);
  EXPECT_FALSE(commands.GeoSave());
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0].rfind("Cannot create file \"" + bad + "\". ", 0), 0u)
      << dialogs.errors[0];
  EXPECT_EQ(commands.MapletSetFileName(), path);
  EXPECT_FALSE(display.generate_enabled.has_value());
  EXPECT_EQ(ReadBytes(path), on_disk);
}

TEST_F(MapletSetCommandsTest, StartUpLoadsTheDefaultSetWhenThereIsOne) {
  // Without one the set is empty and "Generate Random Map" stays off.
  commands.LoadDefaultMapletSet(dir.Path());
  EXPECT_EQ(display.generate_enabled, false);
  EXPECT_EQ(commands.MapletSetFileName(), "");
  EXPECT_EQ(set.SetTilesetName(), "default.qts");
  EXPECT_EQ(set.EditorLayer(), kAutoLayering);

  std::filesystem::create_directory(dir.File("Maplets"));
  const std::string path = WriteSet("Maplets/default.set", "default.qts", 2, 5);
  commands.LoadDefaultMapletSet(dir.Path());
  EXPECT_EQ(display.generate_enabled, true);
  EXPECT_EQ(commands.MapletSetFileName(), path);
  EXPECT_EQ(SetFile(set), ReadBytes(path));
  EXPECT_EQ(display.selections.back(), (Selection{2, 5, std::nullopt}));
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST(AsciiUpperTest, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(AsciiUpper("abz-AZ_09.qts"), "ABZ-AZ_09.QTS");
  EXPECT_EQ(AsciiUpper("caf\xE9"), "CAF\xE9");
}

}  // namespace
}  // namespace qm
