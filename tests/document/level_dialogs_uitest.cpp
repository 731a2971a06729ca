// The Level Properties and Map Properties dialogs, driven through their widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "document/document_commands.h"
#include "document/levelpropedit.h"
#include "document/mapsetedit.h"
#include "editing/editing_actions.h"
#include "testing/document_fakes.h"
#include "testing/modal_dialog.h"

namespace qm {
namespace {

using testing::FakeDialogs;
using testing::FakeView;
using testing::OnNextModal;

class LevelDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DocumentCommands(doc, {dialogs, dialogs, view}).NewMap();
    AddLevel(doc, view);
    AddLevel(doc, view);
    doc.SetCurrentLevel(1);
    doc.SetModified(false);
    view.refills = 0;
    view.repaints = 0;
  }

  // Replaces the edit box's text as a user does: select all, then type.
  static void TypeInto(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    for (const QChar c : text) {
      // QTest only maps ASCII to keys; other characters arrive as the text of a key
      // press, as a keyboard layout delivers them.
      if (c.unicode() < 0x80) {
        QTest::keyClick(edit, c.toLatin1());
      } else {
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
      }
    }
  }

  // Checks or unchecks check-list entry `row` with the keyboard.
  static void ToggleEntry(QListWidget* list, int row) {
    list->setCurrentRow(row);
    QTest::keyClick(list, Qt::Key_Space);
  }

  FakeDialogs dialogs;
  FakeView view;
  MapDocument doc;
};

TEST_F(LevelDialogsTest, LevelPropertiesShowTheCurrentLevel) {
  TMap& level = doc.Current();
  level.SetTitle("Crypt");
  level.SetLayerVisible(4, false);
  level.SetShowHidden(0);
  TLevelProperties dialog;
  bool checked = false;
  const auto dialog_action1 = OnNextModal<TLevelProperties>([&](TLevelProperties* shown) {
    EXPECT_EQ(shown->windowTitle(), "Level Properties");
    EXPECT_EQ(shown->Title()->text(), "Crypt");
    QListWidget* list = shown->LayerCheckList();
    ASSERT_EQ(list->count(), kLayerCount);
    for (int i = 0; i < kLayerCount; ++i) {
      // The entries name layers by number, not by the map's layer names.
      EXPECT_EQ(list->item(i)->text(), QString("Layer %1").arg(i + 1));
      EXPECT_EQ(list->item(i)->checkState(), i == 4 ? Qt::Unchecked : Qt::Checked) << i;
    }
    EXPECT_EQ(list->toolTip(), " Check / Uncheck Levels To Toggle Their Display On/Off.");
    EXPECT_FALSE(shown->ShowHidden()->isChecked());
    EXPECT_EQ(shown->ShowHidden()->text(), "Show Tiles Marked As Hidden.");
    EXPECT_EQ(shown->OkButton()->text(), "Ok");
    EXPECT_TRUE(shown->OkButton()->isDefault());
    EXPECT_EQ(shown->CancelButton()->text(), "Cancel");
    checked = true;
    shown->CancelButton()->click();
  });
  EXPECT_FALSE(dialog.Execute(doc, view));
  EXPECT_TRUE(checked);
}

TEST_F(LevelDialogsTest, OkStoresTitleCutTo64LayersAndHiddenTilesOnTheCurrentLevelOnly) {
  const std::string other_before(doc.Level(0).Tail().begin(), doc.Level(0).Tail().end());
  TLevelProperties dialog;
  const auto dialog_action2 = OnNextModal<TLevelProperties>([&](TLevelProperties* shown) {
    TypeInto(shown->Title(), QString(40, 'a') + QString(30, 'b'));
    EXPECT_EQ(shown->Title()->text().size(), 64);
    ToggleEntry(shown->LayerCheckList(), 2);
    QTest::mouseClick(shown->ShowHidden(), Qt::LeftButton);
    // Return presses the default button, "Ok".
    QTest::keyClick(shown->Title(), Qt::Key_Return);
  });
  ASSERT_TRUE(dialog.Execute(doc, view));

  const TMap& level = doc.Level(1);
  EXPECT_EQ(level.Title(), std::string(40, 'a') + std::string(24, 'b'));
  for (int layer = 0; layer < kLayerCount; ++layer) {
    EXPECT_EQ(level.LayerVisible(layer), layer != 2) << layer;
  }
  EXPECT_EQ(level.ShowHidden(), 0);  // AddLevel made it 1; the click cleared it
  EXPECT_EQ(std::string(doc.Level(0).Tail().begin(), doc.Level(0).Tail().end()), other_before);
  EXPECT_TRUE(doc.Modified());
  // The level list shows the new title and keeps the level selected.
  ASSERT_EQ(view.titles.size(), 3u);
  EXPECT_EQ(view.titles[1], level.Title());
  EXPECT_EQ(view.selected, 1);
  EXPECT_GE(view.repaints, 1);
}

TEST_F(LevelDialogsTest, CancelChangesNothing) {
  const std::vector<std::uint8_t> before(doc.Current().Bytes().begin(),
                                         doc.Current().Bytes().end());
  TLevelProperties dialog;
  const auto dialog_action3 = OnNextModal<TLevelProperties>([&](TLevelProperties* shown) {
    TypeInto(shown->Title(), "Renamed");
    ToggleEntry(shown->LayerCheckList(), 0);
    QTest::mouseClick(shown->ShowHidden(), Qt::LeftButton);
    QTest::mouseClick(shown->CancelButton(), Qt::LeftButton);
  });
  EXPECT_FALSE(dialog.Execute(doc, view));
  EXPECT_EQ(std::vector<std::uint8_t>(doc.Current().Bytes().begin(), doc.Current().Bytes().end()),
            before);
  EXPECT_FALSE(doc.Modified());
  EXPECT_EQ(view.refills, 0);

  // Escape is Cancel too, and the dialog shows the level afresh each time.
  const auto dialog_action4 = OnNextModal<TLevelProperties>([&](TLevelProperties* shown) {
    EXPECT_EQ(shown->Title()->text(), "Level 2");
    EXPECT_EQ(shown->LayerCheckList()->item(0)->checkState(), Qt::Checked);
    QTest::keyClick(shown, Qt::Key_Escape);
  });
  EXPECT_FALSE(dialog.Execute(doc, view));
  EXPECT_FALSE(doc.Modified());
}

TEST_F(LevelDialogsTest, TitlesAreWindows1252) {
  struct Case {
    QString typed;
    std::string stored;
  } cases[] = {
      {QString::fromUtf8("Caf\u00e9 \u20ac5"),
       "Caf\xe9 \x80"
       "5"},
      {QString::fromUtf8("Gate \u03a9"), "Gate ?"},  // no Greek in Windows-1252
      {QString::fromUtf8("\u00e9").repeated(70), std::string(64, '\xe9')},
  };
  TLevelProperties dialog;
  for (const Case& c : cases) {
    const auto dialog_action5 = OnNextModal<TLevelProperties>([&](TLevelProperties* shown) {
      TypeInto(shown->Title(), c.typed);
      shown->OkButton()->click();
    });
    ASSERT_TRUE(dialog.Execute(doc, view));
    EXPECT_EQ(doc.Current().Title(), c.stored) << c.typed.toStdString();
  }
  // What was stored reads back as typed.
  const auto dialog_action6 = OnNextModal<TLevelProperties>([&](TLevelProperties* shown) {
    EXPECT_EQ(shown->Title()->text(), QString::fromUtf8("\u00e9").repeated(64));
    shown->reject();
  });
  dialog.Execute(doc, view);
}

TEST_F(LevelDialogsTest, MapPropertiesShowAndStoreLayerNames) {
  doc.Header().SetLayerName(5, "Roofs");
  TMapSetProperties dialog;
  const auto dialog_action7 = OnNextModal<TMapSetProperties>([&](TMapSetProperties* shown) {
    EXPECT_EQ(shown->windowTitle(), "Map Properties");
    for (int layer = 0; layer < kLayerCount; ++layer) {
      QLineEdit* edit = shown->LayerEdit(layer);
      EXPECT_EQ(edit->objectName(), QString("Layer%1").arg(layer + 1));
      EXPECT_EQ(edit->text(), layer == 5 ? "Roofs" : QString("Layer %1").arg(layer + 1));
      const QString caption = QString("Layer %1 - Name").arg(layer + 1);
      bool labelled = false;
      for (QLabel* label : shown->findChildren<QLabel*>()) {
        if (label->buddy() == edit) labelled = label->text() == caption;
      }
      EXPECT_TRUE(labelled) << caption.toStdString();
    }
    // Layers 1-4 down the left column, 5-8 down the right.
    for (int layer = 0; layer < 4; ++layer) {
      QLineEdit* left = shown->LayerEdit(layer);
      QLineEdit* right = shown->LayerEdit(layer + 4);
      EXPECT_EQ(left->x(), shown->LayerEdit(0)->x());
      EXPECT_LT(left->geometry().right(), right->x());
      EXPECT_EQ(left->y(), right->y());
      if (layer > 0) {
        EXPECT_GT(left->y(), shown->LayerEdit(layer - 1)->y());
      }
    }
    EXPECT_EQ(shown->OkButton()->text(), "OK");
    EXPECT_TRUE(shown->OkButton()->isDefault());

    TypeInto(shown->LayerEdit(2), QString(40, 'w'));
    TypeInto(shown->LayerEdit(7), "Fog");
    QTest::mouseClick(shown->OkButton(), Qt::LeftButton);
  });
  ASSERT_TRUE(dialog.Execute(doc));

  EXPECT_EQ(doc.Header().LayerName(2), std::string(32, 'w'));
  EXPECT_EQ(doc.Header().LayerName(7), "Fog");
  EXPECT_EQ(doc.Header().LayerName(5), "Roofs");
  EXPECT_EQ(doc.Header().LayerName(0), "Layer 1");
  // The names are saved with the map: changing them is unsaved work.
  EXPECT_TRUE(doc.Modified());
}

TEST_F(LevelDialogsTest, MapPropertiesCancelChangesNothing) {
  const std::vector<std::uint8_t> before(doc.Header().Bytes().begin(), doc.Header().Bytes().end());
  TMapSetProperties dialog;
  const auto dialog_action8 = OnNextModal<TMapSetProperties>([&](TMapSetProperties* shown) {
    TypeInto(shown->LayerEdit(0), "Floor");
    shown->CancelButton()->click();
  });
  EXPECT_FALSE(dialog.Execute(doc));
  EXPECT_EQ(std::vector<std::uint8_t>(doc.Header().Bytes().begin(), doc.Header().Bytes().end()),
            before);
}

TEST_F(LevelDialogsTest, LayerChoiceIsRebuiltFromTheNamesKeepingItsSelection) {
  doc.Header().SetLayerName(0, "Floor");
  doc.Header().SetLayerName(7, "Caf\xe9");
  const QStringList items = LayerChoiceItems(doc.Header());
  ASSERT_EQ(items.size(), kLayerCount + 1);
  EXPECT_EQ(items[0], "Floor");
  EXPECT_EQ(items[3], "Layer 4");
  EXPECT_EQ(items[7], QString::fromUtf8("Caf\u00e9"));
  EXPECT_EQ(items[8], "Auto-Layering");

  for (int selected : {8, 3}) {
    QComboBox layer;
    for (int i = 1; i <= kLayerCount; ++i) layer.addItem(QString("Layer %1").arg(i));
    layer.addItem(QString::fromUtf8(kAutoLayeringItem.data(), kAutoLayeringItem.size()));
    layer.setCurrentIndex(selected);
    int changes = 0;
    QObject::connect(&layer, &QComboBox::currentIndexChanged, [&] { ++changes; });
    RebuildLayerChoice(layer, doc.Header());
    EXPECT_EQ(layer.count(), kLayerCount + 1);
    EXPECT_EQ(layer.currentIndex(), selected);
    EXPECT_EQ(layer.itemText(0), "Floor");
    EXPECT_EQ(layer.itemText(8), "Auto-Layering");
    // The tool's layer choice never passes through another entry.
    EXPECT_EQ(changes, selected == 0 ? 0 : 1) << selected;
  }
}

}  // namespace
}  // namespace qm
