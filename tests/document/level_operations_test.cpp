#include "document/level_operations.h"

#include <gtest/gtest.h>

#include "document/document_commands.h"
#include "testing/document_fakes.h"

namespace qm {
namespace {

using testing::FakeDialogs;
using testing::FakeView;

class LevelOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override { DocumentCommands(doc, {dialogs, dialogs, view}).NewMap(); }

  // Levels "Level 1" .. "Level n" made by Add, as the Level menu makes them.
  void AddUpTo(int n) {
    while (doc.LevelCount() < n) AddLevel(doc, view);
  }
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (const auto& level : doc.LevelList()) titles.push_back(level->Title());
    return titles;
  }

  FakeDialogs dialogs;
  FakeView view;
  MapDocument doc;
};

TEST_F(LevelOperationsTest, AddAppendsNumberedLevelsAndMakesThemCurrent) {
  AddUpTo(3);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Level 1", "Level 2", "Level 3"}));
  EXPECT_EQ(doc.CurrentLevel(), 2);
  EXPECT_EQ(doc.Current().LevelID(), 3);
  EXPECT_EQ(doc.Current().ShowHidden(), 1);
  EXPECT_EQ(view.titles, Titles());
  EXPECT_EQ(view.selected, 2);
  EXPECT_FALSE(doc.Modified());

  // IDs are never reused: delete level 3, and the next one is 4.
  ASSERT_TRUE(DeleteLevel(doc, view, nullptr));
  AddLevel(doc, view);
  EXPECT_EQ(doc.Current().Title(), "Level 4");
  EXPECT_EQ(doc.Current().LevelID(), 4);
}

TEST_F(LevelOperationsTest, LevelIdCounterWrapsAfter65535) {
  doc.Header().SetLastLevelID(65535);
  AddLevel(doc, view);
  EXPECT_EQ(doc.Current().LevelID(), 0);
  EXPECT_EQ(doc.Current().Title(), "Level 0");
  EXPECT_EQ(doc.Header().LastLevelID(), 0);
}

TEST_F(LevelOperationsTest, InsertGoesBeforeTheCurrentLevel) {
  AddUpTo(3);
  doc.SetCurrentLevel(2);
  InsertLevel(doc, view);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Level 1", "Level 2", "Level 4", "Level 3"}));
  EXPECT_EQ(doc.CurrentLevel(), 2);
  EXPECT_EQ(view.selected, 2);
}

TEST_F(LevelOperationsTest, DeleteLeavesTheLastLevelCurrent) {
  AddUpTo(5);
  doc.SetCurrentLevel(1);
  dialogs.yes_no = {true};
  ASSERT_TRUE(DeleteLevel(doc, view, &dialogs));
  EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Remove Current Level.  Are You Sure?"});
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Level 1", "Level 3", "Level 4", "Level 5"}));
  EXPECT_EQ(doc.CurrentLevel(), 3);
  EXPECT_EQ(view.selected, 3);
}

TEST_F(LevelOperationsTest, DeleteRefusesTheLastLevelAndHonoursNo) {
  EXPECT_FALSE(DeleteLevel(doc, view, &dialogs));
  EXPECT_TRUE(dialogs.questions.empty()) << "one level: nothing is asked";
  AddUpTo(2);
  dialogs.yes_no = {false};
  EXPECT_FALSE(DeleteLevel(doc, view, &dialogs));
  EXPECT_EQ(doc.LevelCount(), 2);
}

TEST_F(LevelOperationsTest, MovesAndStepsStopAtTheEnds) {
  AddUpTo(3);
  const struct {
    const char* name;
    void (*op)(MapDocument&, MapViewHost&);
    int from;
    std::vector<std::string> titles;
    int current;
  } cases[] = {
      {"move up", MoveLevelUp, 1, {"Level 2", "Level 1", "Level 3"}, 0},
      {"move up at top", MoveLevelUp, 0, {"Level 1", "Level 2", "Level 3"}, 0},
      {"move down", MoveLevelDown, 1, {"Level 1", "Level 3", "Level 2"}, 2},
      {"move down at bottom", MoveLevelDown, 2, {"Level 1", "Level 2", "Level 3"}, 2},
      {"up one level", PreviousLevel, 1, {"Level 1", "Level 2", "Level 3"}, 0},
      {"up at top", PreviousLevel, 0, {"Level 1", "Level 2", "Level 3"}, 0},
      {"down one level", NextLevel, 1, {"Level 1", "Level 2", "Level 3"}, 2},
      {"down at bottom", NextLevel, 2, {"Level 1", "Level 2", "Level 3"}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Put the levels back in order.
    doc.SetCurrentLevel(0);
    while (Titles() != std::vector<std::string>{"Level 1", "Level 2", "Level 3"}) {
      for (int i = 0; i + 1 < doc.LevelCount(); ++i) {
        if (Titles()[i] > Titles()[i + 1]) doc.SwapLevels(i, i + 1);
      }
    }
    doc.SetCurrentLevel(c.from);
    c.op(doc, view);
    EXPECT_EQ(Titles(), c.titles);
    EXPECT_EQ(doc.CurrentLevel(), c.current);
  }
  EXPECT_FALSE(doc.Modified());
}

TEST_F(LevelOperationsTest, SelectIgnoresIndicesOutsideTheList) {
  AddUpTo(2);
  SelectLevel(doc, view, 0);
  EXPECT_EQ(doc.CurrentLevel(), 0);
  SelectLevel(doc, view, 2);
  SelectLevel(doc, view, -1);
  EXPECT_EQ(doc.CurrentLevel(), 0);
}

TEST_F(LevelOperationsTest, LevelPropertiesApplyToTheCurrentLevelOnly) {
  AddUpTo(2);
  doc.SetCurrentLevel(0);
  LevelProperties values = ReadLevelProperties(doc.Current());
  EXPECT_EQ(values.title, "Level 1");
  EXPECT_TRUE(values.show_hidden);
  values.title = std::string(70, 't');
  values.layer_visible[2] = false;
  values.show_hidden = false;
  ApplyLevelProperties(doc, view, values);

  EXPECT_EQ(doc.Level(0).Title(), std::string(64, 't'));
  EXPECT_FALSE(doc.Level(0).LayerVisible(2));
  EXPECT_TRUE(doc.Level(0).LayerVisible(3));
  EXPECT_EQ(doc.Level(0).ShowHidden(), 0);
  EXPECT_TRUE(doc.Level(1).LayerVisible(2));
  EXPECT_EQ(doc.Level(1).ShowHidden(), 1);
  EXPECT_TRUE(doc.Modified());
  EXPECT_EQ(view.titles[0], std::string(64, 't'));
  EXPECT_EQ(view.selected, 0);
}

TEST_F(LevelOperationsTest, LayerNamesAreCutAndAChangeIsUnsavedWork) {
  std::array<std::string, kLayerCount> names;
  for (int i = 0; i < kLayerCount; ++i) names[i] = doc.Header().LayerName(i);
  ApplyLayerNames(doc, names);
  EXPECT_FALSE(doc.Modified()) << "the same names again change nothing";

  for (int i = 0; i < kLayerCount; ++i) names[i] = "Floor " + std::to_string(i);
  names[4] = std::string(40, 'w');
  ApplyLayerNames(doc, names);
  EXPECT_EQ(doc.Header().LayerName(0), "Floor 0");
  EXPECT_EQ(doc.Header().LayerName(4), std::string(32, 'w'));
  EXPECT_TRUE(doc.Modified());
}

}  // namespace
}  // namespace qm
