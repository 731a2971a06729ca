// The main window driven through its real widgets: the palette, the map view, the
// tool and layer choices, the track bar, the actions and their shortcuts.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImageReader>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "app/tips.h"
#include "common/byte_stream.h"
#include "common/file_io.h"
#include "document/levelpropedit.h"
#include "editing/effect_bar.h"
#include "maplets/geoedit.h"
#include "maplets/maplet_fixtures.h"
#include "render/map_view.h"
#include "testing/document_fakes.h"
#include "testing/modal_dialog.h"
#include "testing/temp_dir.h"
#include "tiles/tile_palette.h"

namespace qm {
namespace {

using testing::FakeDialogs;
using testing::ReadBytes;
using testing::TempDir;

constexpr int kAutoTile = 3;   // DefaultLayer 4
constexpr int kSmartTile = 5;  // a smart-tool group
constexpr int kTileCount = 10;

// A program directory whose default tileset has ten small tiles.
void WriteDefaultTileset(const std::string& program_directory) {
  Tileset tiles;
  for (int n = 0; n < kTileCount; ++n) {
    PngImage image = PngImage::Blank(PngColorType::RGBA, 8, 8);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        image.Row(y)[3 * x] = static_cast<std::uint8_t>(20 * n);
        image.AlphaRow(y)[x] = 255;
      }
    }
    TTileProperties properties;
    if (n == kAutoTile) properties.SetDefaultLayer(4);
    if (n == kSmartTile) properties.SetSmartTool(1);
    tiles.AddTile(std::move(image), properties);
  }
  std::filesystem::create_directories(program_directory + "/Tilesets");
  MemorySink sink;
  WriteTileset(tiles, sink);
  AtomicFileWriter writer(program_directory + "/Tilesets/default.qts");
  writer.Write(sink.Bytes().data(), sink.Bytes().size());
  writer.Commit();
}

// A maplet set whose cells name their maplet, as the program's default set.
void WriteDefaultMapletSet(const std::string& program_directory) {
  MapletSet set = testing::MarkedSet();
  set.SetSetTilesetName("default.qts");
  std::filesystem::create_directories(program_directory + "/Maplets");
  AtomicFileWriter writer(program_directory + "/Maplets/default.set");
  writer.Write(set.Bytes().data(), set.Bytes().size());
  writer.Commit();
}

class FakePictureDialog : public SavePictureDialog {
 public:
  std::optional<PictureChoice> next;
  std::optional<PictureChoice> ChooseSavePicture() override { return next; }
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDefaultTileset(dir_.Path());
    if (WithMaplets()) WriteDefaultMapletSet(dir_.Path());
    session_ = std::make_unique<EditorSession>(dir_.Path());
    MainWindowServices services;
    services.dialogs = &fakes_;
    services.map_files = &fakes_;
    services.maplet_files = &fakes_;
    services.picture_files = &pictures_;
    services.choose_tileset = [this](const QString&) { return chosen_tileset_; };
    services.show_whats_new = [this] {
      ++whats_new_shown_;
      tiles_when_whats_new_ = session_->tileset.TileCount();
    };
    window_ = std::make_unique<Twinviewform>(*session_, services);
    window_->resize(1000, 700);
    window_->show();
    window_->FormActivate();
    window_->activateWindow();
    // Shortcuts reach only the active window.
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  virtual bool WithMaplets() const { return false; }
  MapDocument& Doc() { return session_->document; }
  MapView* View() { return window_->DrawGrid1(); }
  QWidget* MapSurface() { return View()->viewport(); }

  QPoint CellCentre(int column, int row) { return View()->CellRect({column, row}).center(); }
  void PickTile(int tile) {
    SymbolGrid* grid = window_->PaletteGrid();
    const int columns = grid->Columns();
    const QRect cell = grid->CellRect(tile % columns, tile / columns);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  }
  void Drag(GridCell from, GridCell to, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(MapSurface(), button, {}, CellCentre(from.column, from.row));
    QTest::mouseMove(MapSurface(), CellCentre(to.column, to.row));
    QTest::mouseRelease(MapSurface(), button, {}, CellCentre(to.column, to.row));
  }
  void Click(GridCell cell, Qt::MouseButton button = Qt::LeftButton) { Drag(cell, cell, button); }
  void ChooseLayer(int index) { window_->LayerChoice()->setCurrentIndex(index); }
  void Trigger(const char* action) {
    QAction* found = window_->Action(action);
    ASSERT_NE(found, nullptr) << action;
    found->trigger();
  }
  QToolButton* ToolButton(const char* name) { return window_->findChild<QToolButton*>(name); }
  LayerSlot Slot(GridCell cell, int layer) {
    return Doc().Current().Slot(cell.column + 1, cell.row + 1, layer);
  }

  TempDir dir_;
  FakeDialogs fakes_;
  FakePictureDialog pictures_;
  std::optional<QString> chosen_tileset_;
  int whats_new_shown_ = 0;
  int tiles_when_whats_new_ = -1;
  std::unique_ptr<EditorSession> session_;
  std::unique_ptr<Twinviewform> window_;
};

TEST_F(MainWindowTest, FirstActivationLoadsTilesetAndStartsANewMap) {
  EXPECT_EQ(session_->tileset.TileCount(), kTileCount);
  EXPECT_EQ(window_->windowTitle(), "Quillmarch Pro");
  EXPECT_EQ(window_->SelLevel()->count(), 1);
  EXPECT_EQ(window_->SelLevel()->currentText(), "Level 1");
  EXPECT_EQ(window_->LayerChoice()->currentText(), "Auto Layering");
  EXPECT_EQ(window_->LayerChoice()->count(), 9);
  EXPECT_TRUE(ToolButton("ToolButton28")->isChecked());
  EXPECT_TRUE(window_->Effects()->Button(0)->isChecked());
  EXPECT_TRUE(fakes_.errors.empty());
  // What's New comes last, once the map and tileset are ready, and only once.
  EXPECT_EQ(whats_new_shown_, 1);
  EXPECT_EQ(tiles_when_whats_new_, kTileCount);
  window_->FormActivate();
  EXPECT_EQ(whats_new_shown_, 1);
  Trigger("WhatsNew1");
  EXPECT_EQ(whats_new_shown_, 2);
}

TEST_F(MainWindowTest, MenusHoldTheirItemsInOrder) {
  auto captions = [this](const char* menu) {
    QStringList items;
    for (QAction* action : window_->findChild<QMenu*>(menu)->actions()) {
      if (!action->isSeparator()) items << action->text();
    }
    return items;
  };
  EXPECT_EQ(captions("File1"),
            (QStringList{"New", "Open...", "Save", "Save As...", "Maplets...",
                         "Generate Random Map", "Export...", "Properties...", "E&xit"}));
  EXPECT_EQ(captions("Export1"), (QStringList{"Image...", "Tiled Map Images..."}));
  EXPECT_EQ(captions("Level1"),
            (QStringList{"&Up One Level", "&Down One Level", "&Add", "Insert", "&Delete", "Move Up",
                         "Move Down", "Set Background", "P&roperties"}));
  EXPECT_EQ(captions("Help1"),
            (QStringList{"Help Index", "Whats New", "Check For Updates", "&About..."}));
  // Without a maplet set there is nothing to generate from.
  EXPECT_FALSE(window_->Action("GenerateRandomMap1")->isEnabled());
}

TEST_F(MainWindowTest, CtrlTOpensTheTipsThoughNoItemShowsThem) {
  bool shown = false;
  auto close_tips = testing::OnNextModal<Tips>([&](Tips* tips) {
    shown = true;
    tips->reject();
  });
  QTest::keyClick(window_.get(), Qt::Key_T, Qt::ControlModifier);
  EXPECT_TRUE(shown);
}

TEST_F(MainWindowTest, LevelPropertiesDialogHidesALayerOnScreen) {
  PickTile(1);
  ChooseLayer(2);
  Click({0, 0});
  auto untick = testing::OnNextModal<TLevelProperties>([](TLevelProperties* dialog) {
    dialog->LayerCheckList()->item(2)->setCheckState(Qt::Unchecked);
    dialog->OkButton()->click();
  });
  Trigger("Properties1");
  EXPECT_FALSE(Doc().Current().LayerVisible(2));
  EXPECT_TRUE(Doc().Current().LayerVisible(1));
  const QImage shown = View()->RenderArea(View()->CellRect({0, 0}).adjusted(2, 2, -2, -2));
  EXPECT_EQ(shown.pixelColor(4, 4), QColor(Qt::white));
}

TEST_F(MainWindowTest, MapletEditorOpensFromTheFileMenu) {
  bool shown = false;
  auto close_editor = testing::OnNextModal<TGeoEditForm>([&](TGeoEditForm* editor) {
    shown = editor->windowTitle() == "Maplet Editor";
    editor->reject();
  });
  Trigger("Geoset1");
  EXPECT_TRUE(shown);
}

TEST_F(MainWindowTest, RoadOfOneEditDrawsSixSlotsAndSavesThem) {
  PickTile(7);
  EXPECT_EQ(window_->Tools().CurrentTile(), 7);
  EXPECT_TRUE(ToolButton("ButtonDraw")->isChecked());
  ChooseLayer(2);
  Drag({4, 10}, {6, 11});  // 3 x 2 cells
  EXPECT_EQ(View()->Selection(), (GridSelection{4, 10, 6, 11}));
  for (int column = 4; column <= 6; ++column) {
    for (int row = 10; row <= 11; ++row) {
      EXPECT_EQ(Slot({column, row}, 2).TileIndex, 7) << column << "," << row;
      EXPECT_EQ(Slot({column, row}, 1).TileIndex, 0);
    }
  }
  EXPECT_EQ(Slot({3, 10}, 2).TileIndex, 0);
  EXPECT_EQ(Slot({7, 11}, 2).TileIndex, 0);
  EXPECT_TRUE(Doc().Modified());

  const std::string path = dir_.File("road.map");
  fakes_.save_paths.push_back(path);
  QTest::keyClick(window_.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_FALSE(Doc().Modified());
  EXPECT_EQ(window_->windowTitle(), "Quillmarch Pro - road.map");
  const auto bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), kHeaderBytes + kLevelBytes);
  auto slot_offset = [](GridCell cell, int layer) {
    return kHeaderBytes + static_cast<std::size_t>(cell.column) * kColumnBytes +
           static_cast<std::size_t>(cell.row) * kCellBytes + 4 * static_cast<std::size_t>(layer);
  };
  int written = 0;
  for (int column = 0; column < MapSize; ++column) {
    for (int row = 0; row < MapSize; ++row) {
      const std::size_t at = slot_offset({column, row}, 2);
      const int tile = bytes[at] | bytes[at + 1] << 8;
      if (tile != 0) {
        ++written;
        EXPECT_EQ(tile, 7);
        EXPECT_TRUE(column >= 4 && column <= 6 && row >= 10 && row <= 11);
      }
    }
  }
  EXPECT_EQ(written, 6);
}

TEST_F(MainWindowTest, ReleasesOfEveryToolAndLayerChoice) {
  // Auto layering writes the tile's DefaultLayer.
  PickTile(kAutoTile);
  Click({0, 0});
  EXPECT_EQ(Slot({0, 0}, 4).TileIndex, kAutoTile);
  EXPECT_EQ(Slot({0, 0}, 0).TileIndex, 0);

  // A right-button release draws over the selection too.
  PickTile(2);
  ChooseLayer(6);
  Click({9, 9});
  Click({1, 1}, Qt::RightButton);
  EXPECT_EQ(View()->Selection(), GridSelection::SingleCell(9, 9));
  EXPECT_EQ(Slot({9, 9}, 6).TileIndex, 2);

  // The eraser under auto layering empties all eight slots.
  for (int layer = 0; layer < kLayerCount; ++layer)
    Doc().Current().SetSlot(10, 10, layer, {1, 0, 0});
  ChooseLayer(kAutoLayering);
  ToolButton("ButtonErase")->click();
  Click({9, 9});
  for (int layer = 0; layer < kLayerCount; ++layer)
    EXPECT_EQ(Slot({9, 9}, layer).TileIndex, 0) << layer;

  // The selection tool changes nothing.
  ToolButton("ToolButton28")->click();
  Doc().SetModified(false);
  Click({0, 0});
  EXPECT_EQ(Slot({0, 0}, 4).TileIndex, kAutoTile);
  EXPECT_FALSE(Doc().Modified());
}

TEST_F(MainWindowTest, AngleRotatesTheSelectionOnOneLayerWithoutModified) {
  PickTile(1);
  ChooseLayer(0);
  Drag({2, 2}, {3, 2});
  Doc().SetModified(false);
  window_->Angle()->setValue(90);
  EXPECT_EQ(Slot({2, 2}, 0).TileRotation, 45);
  EXPECT_EQ(Slot({3, 2}, 0).TileRotation, 45);
  EXPECT_EQ(Slot({4, 2}, 0).TileRotation, 0);
  EXPECT_FALSE(Doc().Modified());
  // Later drawing uses the rotation as well.
  Click({20, 20});
  EXPECT_EQ(Slot({20, 20}, 0).TileRotation, 45);
}

TEST_F(MainWindowTest, SmartTileSelectsTheSmartToolAndResetsTheEffect) {
  window_->Effects()->Button(24)->click();
  EXPECT_EQ(window_->Tools().CurrentEffect(), 24);
  PickTile(kSmartTile);
  EXPECT_TRUE(ToolButton("ButtonWall")->isChecked());
  EXPECT_EQ(window_->Tools().ActiveTool(), Tool::Smart);
  EXPECT_EQ(window_->Tools().CurrentEffect(), 0);
  EXPECT_TRUE(window_->Effects()->Button(0)->isChecked());
  PickTile(1);
  EXPECT_TRUE(ToolButton("ButtonDraw")->isChecked());
}

TEST_F(MainWindowTest, ZoomStaysOnTheLadderThroughItsShortcuts) {
  for (int i = 0; i < 12; ++i) QTest::keyClick(window_.get(), Qt::Key_I, Qt::ControlModifier);
  EXPECT_EQ(View()->CellSize(), 192);
  EXPECT_EQ(Doc().Header().CellSize(), 192);
  EXPECT_TRUE(Doc().Modified());
  for (int i = 0; i < 12; ++i) QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(View()->CellSize(), 8);
  Trigger("ZoomIn");
  EXPECT_EQ(View()->CellSize(), 16);
}

TEST_F(MainWindowTest, PaletteLayoutZoomAndSnapping) {
  SymbolGrid* grid = window_->PaletteGrid();
  EXPECT_EQ(grid->CellSize(), 64);
  EXPECT_EQ(window_->Splitter1CanResize(200), 229);
  QApplication::processEvents();
  EXPECT_EQ(window_->SymbolPanel()->width(), 229);
  EXPECT_EQ(grid->Columns(), 3);
  EXPECT_EQ(grid->Rows(), 4);
  // Cells 10 and 11 of the last row are white and cannot be chosen.
  EXPECT_FALSE(grid->SymbolGridSelectCell(1, 3));
  EXPECT_EQ(window_->Tools().CurrentTile(), 0);
  EXPECT_TRUE(grid->SymbolGridSelectCell(0, 3));
  EXPECT_EQ(window_->Tools().CurrentTile(), 9);

  QTest::keyClick(window_.get(), Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(grid->CellSize(), 128);
  QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier | Qt::AltModifier);
  QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(grid->CellSize(), 32);
  EXPECT_EQ(grid->Columns(), 6);
}

TEST_F(MainWindowTest, SecondActivationReloadsNothing) {
  PickTile(1);
  Click({5, 5});
  std::filesystem::remove(dir_.File("Tilesets/default.qts"));
  window_->FormActivate();
  window_->activateWindow();
  QApplication::processEvents();
  EXPECT_EQ(Slot({5, 5}, 0).TileIndex, 1);
  EXPECT_TRUE(Doc().Modified());
  EXPECT_EQ(session_->tileset.TileCount(), kTileCount);
}

TEST_F(MainWindowTest, NewOnAModifiedMapAsksOnce) {
  PickTile(1);
  Click({5, 5});
  fakes_.answers.push_back(Answer::No);
  Trigger("FileNew1");
  EXPECT_EQ(fakes_.questions.size(), 1u);
  EXPECT_EQ(Slot({5, 5}, 0).TileIndex, 0);
  EXPECT_FALSE(Doc().Modified());
  EXPECT_EQ(window_->windowTitle(), "Quillmarch Pro");
}

TEST_F(MainWindowTest, ClosingWithUnsavedChangesAsksAndCancelKeepsRunning) {
  PickTile(1);
  Click({5, 5});
  fakes_.answers.push_back(Answer::Cancel);
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(fakes_.questions.size(), 1u);

  // Yes with a cancelled save dialog has saved nothing: still running.
  fakes_.answers.push_back(Answer::Yes);
  fakes_.save_paths.push_back(std::nullopt);
  Trigger("FileExit1");
  EXPECT_TRUE(window_->isVisible());

  fakes_.answers.push_back(Answer::No);
  EXPECT_TRUE(window_->close());
}

TEST_F(MainWindowTest, CleanMapClosesWithoutAsking) {
  EXPECT_TRUE(window_->close());
  EXPECT_TRUE(fakes_.questions.empty());
}

TEST_F(MainWindowTest, LoadCustomTilesetAndDefault) {
  // Ok without a choice loads the default tileset again; Cancel loads nothing.
  Tileset& tiles = session_->tileset;
  tiles.Clear();
  chosen_tileset_ = QString();
  Trigger("TilesetCustom");
  EXPECT_EQ(tiles.TileCount(), kTileCount);
  tiles.Clear();
  chosen_tileset_.reset();
  Trigger("TilesetCustom");
  EXPECT_EQ(tiles.TileCount(), 0);
  Trigger("TilesetDefault");
  EXPECT_EQ(tiles.TileCount(), kTileCount);
}

TEST_F(MainWindowTest, LevelMenuThroughShortcuts) {
  QTest::keyClick(window_.get(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(window_.get(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Doc().LevelCount(), 3);
  EXPECT_EQ(window_->SelLevel()->count(), 3);
  EXPECT_EQ(window_->SelLevel()->currentIndex(), 2);
  QTest::keyClick(window_.get(), Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(Doc().CurrentLevel(), 1);
  QTest::keyClick(window_.get(), Qt::Key_U, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(Doc().CurrentLevel(), 0);
  EXPECT_EQ(window_->SelLevel()->itemText(0), "Level 2");
  fakes_.yes_no.push_back(true);
  Trigger("Remove1");
  EXPECT_EQ(Doc().LevelCount(), 2);
  EXPECT_EQ(Doc().CurrentLevel(), 1);
  EXPECT_EQ(window_->SelLevel()->currentIndex(), 1);
}

TEST_F(MainWindowTest, StatusBarShowsHints) {
  QAction* zoom = window_->Action("ZoomIn");
  EXPECT_EQ(zoom->statusTip(), " View Map At Increased Detail.");
  EXPECT_EQ(window_->findChild<QToolButton*>("ZoomIn")->statusTip(),
            "  Zoom In To View A Smaller Map Area At Increased Detail.");
  EXPECT_EQ(window_->Effects()->Button(26)->statusTip(), "Mask Upper-T Wall Section");
  // The pointer over a tool button shows its hint in the status bar.
  QWidget* button = window_->findChild<QToolButton*>("ZoomOut");
  QTest::mouseMove(button, button->rect().center());
  QApplication::processEvents();
  EXPECT_EQ(window_->statusBar()->currentMessage(),
            " Zoom Out To View A Larger Map Area At Reduced Detail.");
}

TEST_F(MainWindowTest, CopyPasteAndUndoThroughTheEditShortcuts) {
  PickTile(4);
  ChooseLayer(1);
  Drag({2, 2}, {3, 3});
  Doc().Current().SetSlot(4, 4, 5, {9, 0, 0});  // another layer of the copied region
  QTest::keyClick(window_.get(), Qt::Key_C, Qt::ControlModifier);
  View()->SetSelection(GridSelection::SingleCell(20, 30));
  ChooseLayer(6);
  QTest::keyClick(window_.get(), Qt::Key_V, Qt::ControlModifier);
  for (GridCell cell : {GridCell{20, 30}, GridCell{21, 30}, GridCell{20, 31}, GridCell{21, 31}}) {
    EXPECT_EQ(Slot(cell, 6).TileIndex, 4) << cell.column << "," << cell.row;
    EXPECT_EQ(Slot(cell, 1).TileIndex, 0);
    EXPECT_EQ(Slot(cell, 5).TileIndex, 0);
  }
  QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Slot({20, 30}, 6).TileIndex, 0);
  EXPECT_EQ(Slot({2, 2}, 1).TileIndex, 4);
}

TEST_F(MainWindowTest, PictureExportsOfTheSelection) {
  Drag({1, 1}, {3, 2});  // 3 x 2 cells at 32 pixels
  window_->Action("ExportClipboard")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(96, 64));

  const std::string path = dir_.File("level");
  pictures_.next = PictureChoice{path, 3};  // PNG chosen, no extension typed
  window_->Action("ExportDisk")->trigger();
  QImageReader picture(QString::fromStdString(path + ".png"));
  EXPECT_EQ(picture.size(), QSize(96, 64));
  EXPECT_TRUE(fakes_.errors.empty());
}

TEST_F(MainWindowTest, SmartToolGrowsAPatchAndUndoTakesItBack) {
  PickTile(kSmartTile);
  Doc().SetModified(false);
  Click({10, 10});
  int written = 0;
  for (int column = 8; column <= 12; ++column) {
    for (int row = 8; row <= 12; ++row) {
      const int tile = Slot({column, row}, 0).TileIndex;
      if (tile == 0) continue;
      ++written;
      EXPECT_GE(tile, kSmartTile);
      EXPECT_LT(tile, kSmartTile + 16);
    }
  }
  EXPECT_GT(written, 0);
  EXPECT_TRUE(Doc().Modified());
  Trigger("Undo");
  EXPECT_EQ(Slot({10, 10}, 0).TileIndex, 0);
}

class MainWindowWithMapletsTest : public MainWindowTest {
 protected:
  bool WithMaplets() const override { return true; }
};

TEST_F(MainWindowWithMapletsTest, GenerateAndInsertRandomMaplets) {
  ASSERT_TRUE(window_->Action("GenerateRandomMap1")->isEnabled());
  Doc().SetModified(false);
  QTest::keyClick(window_.get(), Qt::Key_R, Qt::ControlModifier);
  // Every cell comes from a maplet; the corners are always the corner pieces, and
  // the tail and Modified stay.
  EXPECT_EQ(Slot({0, 0}, 0).TileIndex / 10, 1);
  EXPECT_EQ(Slot({71, 71}, 0).TileIndex / 10, 9);
  EXPECT_NE(Slot({30, 40}, 0).TileIndex, 0);
  EXPECT_FALSE(Doc().Modified());

  Trigger("FileNew1");
  View()->SetSelection(GridSelection::SingleCell(65, 70));
  QTest::keyClick(window_.get(), Qt::Key_M, Qt::ControlModifier);
  int written = 0;
  for (int column = 0; column < MapSize; ++column) {
    for (int row = 0; row < MapSize; ++row) written += Slot({column, row}, 0).TileIndex != 0;
  }
  EXPECT_EQ(written, 7 * 2) << "the maplet is cut at the level's edge";
  EXPECT_NE(Slot({65, 70}, 0).TileIndex, 0);
  EXPECT_TRUE(Doc().Modified());
  QTest::keyClick(window_.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Slot({65, 70}, 0).TileIndex, 0);
}

}  // namespace
}  // namespace qm
