#include "document/document_commands.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <filesystem>

#include "document/map_file.h"
#include "testing/document_fakes.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::FakeDialogs;
using testing::FakeView;
using testing::ReadBytes;
using testing::TempDir;

class DocumentCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { commands.NewMap(); }

  // A saved map with two levels, the second titled "second".
  std::string SavedMap(const std::string& name) {
    MapDocument other;
    FakeView other_view;
    DocumentCommands other_commands(other, {dialogs, dialogs, other_view});
    other_commands.NewMap();
    other.InsertLevel(1, std::make_unique<TMap>("second"));
    const std::string path = dir.File(name);
    EXPECT_TRUE(other_commands.SaveMap(path));
    return path;
  }

  // An edit that makes the map modified and can be recognised afterwards.
  void Edit() {
    doc.Current().SetTileIndex(5, 5, 0, 77);
    doc.SetModified(true);
  }
  bool EditPresent() const { return doc.Level(0).TileIndex(5, 5, 0) == 77; }

  TempDir dir;
  FakeDialogs dialogs;
  FakeView view;
  MapDocument doc;
  DocumentCommands commands{doc, {dialogs, dialogs, view}};
};

TEST_F(DocumentCommandsTest, NewMakesOneCompleteLevel) {
  view.cell_size = 96;
  doc.InsertLevel(1, std::make_unique<TMap>("extra"));
  doc.SetCurrentLevel(1);
  commands.NewCommand();
  ASSERT_EQ(doc.LevelCount(), 1);
  EXPECT_EQ(doc.Current().Title(), "Level 1");
  EXPECT_EQ(doc.Current().LevelID(), 1);
  EXPECT_EQ(doc.Current().ShowHidden(), 1);
  EXPECT_EQ(doc.Header().LastLevelID(), 1);
  EXPECT_EQ(doc.Header().CellSize(), 96);
  EXPECT_EQ(doc.CurrentLevel(), 0);
  EXPECT_EQ(doc.DocumentFileName(), "");
  EXPECT_FALSE(doc.Modified());
  EXPECT_EQ(view.caption, "Quillmarch Pro");
  EXPECT_EQ(view.titles, std::vector<std::string>{"Level 1"});
  EXPECT_EQ(view.selected, 0);
  EXPECT_TRUE(dialogs.questions.empty());
}

// The question about unsaved changes, for New and Open alike: which answers and
// save outcomes let the command go ahead.
TEST_F(DocumentCommandsTest, UnsavedChangesQuestion) {
  const struct {
    const char* name;
    Answer answer;
    bool titled;
    std::optional<std::string> save_dialog;  // what the save dialog returns if shown
    bool goes_ahead;
    bool saved;
  } cases[] = {
      {"no discards", Answer::No, false, std::nullopt, true, false},
      {"cancel abandons", Answer::Cancel, true, std::nullopt, false, false},
      {"yes saves a titled map", Answer::Yes, true, std::nullopt, true, true},
      {"yes asks for a name", Answer::Yes, false, "named.map", true, true},
      {"yes then cancelled dialog abandons", Answer::Yes, false, std::nullopt, false, false},
  };
  for (const bool open : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (open ? " (Open)" : " (New)"));
      const std::string target = SavedMap("target.map");
      doc.SetModified(false);
      ASSERT_TRUE(commands.NewMap());
      std::string own;
      if (c.titled) {
        own = dir.File("own.map");
        ASSERT_TRUE(commands.SaveMap(own));
      }
      Edit();
      dialogs = FakeDialogs();
      dialogs.answers = {c.answer};
      if (c.save_dialog) dialogs.save_paths = {dir.File(*c.save_dialog)};
      std::filesystem::remove(dir.File("named.map"));
      const bool went = open ? commands.OpenMap(target) : commands.NewMap();

      EXPECT_EQ(dialogs.questions, std::vector<std::string>{kSaveChangesQuestion});
      EXPECT_EQ(went, c.goes_ahead);
      if (c.goes_ahead) {
        EXPECT_FALSE(EditPresent());
        EXPECT_FALSE(doc.Modified());
        EXPECT_EQ(doc.DocumentFileName(), open ? target : "");
      } else {
        EXPECT_TRUE(EditPresent());
        EXPECT_TRUE(doc.Modified());
        EXPECT_EQ(doc.DocumentFileName(), own);
      }
      if (c.saved) {
        const std::string saved_to = c.titled ? own : dir.File(*c.save_dialog);
        MapDocument check;
        FakeView check_view;
        DocumentCommands reader(check, {dialogs, dialogs, check_view});
        ASSERT_TRUE(reader.OpenMap(saved_to));
        EXPECT_EQ(check.Level(0).TileIndex(5, 5, 0), 77);
      }
      EXPECT_TRUE(dialogs.errors.empty());
    }
  }
}

TEST_F(DocumentCommandsTest, OpenAsksBeforeTheDialogAndACancelledDialogChangesNothing) {
  const std::string path = dir.File("mine.map");
  ASSERT_TRUE(commands.SaveMap(path));
  view.caption = "before";
  Edit();
  dialogs.answers = {Answer::No};
  EXPECT_FALSE(commands.OpenMap(""));
  EXPECT_EQ(dialogs.questions.size(), 1u);
  ASSERT_EQ(dialogs.open_requests.size(), 1u);
  EXPECT_EQ(dialogs.open_requests[0].filter, "Quillmarch Map Files (*.map)|*.map");
  EXPECT_EQ(dialogs.open_requests[0].default_extension, "map");
  EXPECT_TRUE(EditPresent());
  EXPECT_TRUE(doc.Modified());
  EXPECT_EQ(doc.DocumentFileName(), path);
  EXPECT_EQ(view.caption, "before");
}

TEST_F(DocumentCommandsTest, OpenReadsTheFileAndMakesTheFirstLevelCurrent) {
  const std::string path = SavedMap("two.map");
  doc.InsertLevel(1, std::make_unique<TMap>("x"));
  doc.InsertLevel(2, std::make_unique<TMap>("y"));
  doc.SetCurrentLevel(2);
  dialogs.open_paths = {path};
  ASSERT_TRUE(commands.OpenMap(""));
  EXPECT_EQ(doc.LevelCount(), 2);
  EXPECT_EQ(doc.CurrentLevel(), 0);
  EXPECT_EQ(doc.Level(1).Title(), "second");
  EXPECT_EQ(doc.DocumentFileName(), path);
  EXPECT_EQ(view.caption, "Quillmarch Pro - two.map");
  EXPECT_EQ(view.titles, (std::vector<std::string>{"Level 1", "second"}));
  EXPECT_EQ(view.selected, 0);
}

TEST_F(DocumentCommandsTest, OpenFailureShowsTheErrorAndChangesNothing) {
  Edit();
  view.caption = "before";
  dialogs.answers = {Answer::No};
  const std::string missing = dir.File("missing.map");
  EXPECT_FALSE(commands.OpenMap(missing));
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0], "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_TRUE(EditPresent());
  EXPECT_TRUE(doc.Modified());
  EXPECT_EQ(view.caption, "before");

  dialogs.errors.clear();
  dialogs.answers = {Answer::No};
  EXPECT_FALSE(commands.OpenMap(dir.Path()));  // a directory is no map
  EXPECT_EQ(dialogs.errors.size(), 1u);
  EXPECT_TRUE(EditPresent());
}

TEST_F(DocumentCommandsTest, ReadOnlyMapOpens) {
  const std::string path = SavedMap("readonly.map");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_TRUE(commands.OpenMap(path));
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(DocumentCommandsTest, SaveAsksForANameOnlyWhenItHasNone) {
  // Untitled, dialog cancelled: nothing written, failure.
  Edit();
  EXPECT_FALSE(commands.SaveMap(doc.DocumentFileName()));
  EXPECT_EQ(dialogs.save_requests.size(), 1u);
  EXPECT_TRUE(doc.Modified());
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));

  // Untitled, a name chosen.
  const std::string path = dir.File("chosen.map");
  dialogs.save_paths = {path};
  EXPECT_TRUE(commands.SaveMap(""));
  EXPECT_EQ(doc.DocumentFileName(), path);
  EXPECT_FALSE(doc.Modified());
  EXPECT_EQ(view.caption, "Quillmarch Pro - chosen.map");

  // Save As cancelled on a titled map rewrites the current file.
  doc.Current().SetTileIndex(1, 1, 0, 5);
  doc.SetModified(true);
  EXPECT_TRUE(commands.SaveMap(""));
  EXPECT_EQ(dialogs.save_requests.size(), 3u);
  EXPECT_EQ(ReadBytes(path)[kHeaderBytes], 5);

  // Saving over an existing file replaces it without a question.
  const std::string other = SavedMap("other.map");
  dialogs.questions.clear();
  EXPECT_TRUE(commands.SaveMap(other));
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_EQ(ReadBytes(other)[kHeaderBytes], 5);
  EXPECT_EQ(ReadBytes(other).size(), kHeaderBytes + kLevelBytes);
}

// A failed save shows why, keeps the previous file, the file name and the flag.
TEST_F(DocumentCommandsTest, SaveFailuresLoseNothing) {
  const std::string path = dir.File("kept.map");
  ASSERT_TRUE(commands.SaveMap(path));
  const auto before = ReadBytes(path);
  Edit();

  const std::string nowhere = dir.File("no/such/dir/x.map");
  EXPECT_FALSE(commands.SaveMap(nowhere));
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0], "Cannot create file \"" + nowhere + "\". No such file or directory");
  EXPECT_TRUE(doc.Modified());
  EXPECT_EQ(doc.DocumentFileName(), path);
  EXPECT_EQ(view.caption, "Quillmarch Pro - kept.map");

  // A device that is always full.
  dialogs.errors.clear();
  EXPECT_FALSE(commands.SaveMap("/dev/full"));
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0], "Cannot write file \"/dev/full\". No space left on device");
  EXPECT_TRUE(doc.Modified());

  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
      << "no temporary file is left behind";
}

// A disk that fills up in the middle of the save: the previous file survives.
TEST_F(DocumentCommandsTest, FullDiskKeepsThePreviousFile) {
  const std::string mount_point = dir.File("tiny");
  std::filesystem::create_directory(mount_point);
  if (::mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=300k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  }
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount(path.c_str()); }
  } unmount{mount_point};

  const std::string path = mount_point + "/map.map";
  ASSERT_TRUE(commands.SaveMap(path));  // 178 KB: fits once, not twice
  const auto before = ReadBytes(path);
  Edit();
  EXPECT_FALSE(commands.SaveMap(path));
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(dialogs.errors[0], "Cannot write file \"" + path + "\". No space left on device");
  EXPECT_TRUE(doc.Modified());
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mount_point), {}), 1);
}

}  // namespace
}  // namespace qm
