// The maplet editor driven through its widgets: the lists choose the maplet and
// layer, a palette click and a grid click or drag place tiles, and the tool bar's
// New, Open and Save go through fake dialogs.
#include "maplets/geoedit.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "maplet_fixtures.h"
#include "testing/document_fakes.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

using testing::FakeDialogs;
using testing::FakeTilesets;
using testing::TempDir;

constexpr int kFixtureTiles = 301;

// Each fixture tile is one flat colour, so a cell's picture names its top tile.
QRgb TileColour(int tile) {
  return qRgb(tile * 37 % 200 + 20, tile * 91 % 200 + 20, tile * 53 % 200 + 20);
}

PngImage FlatImage(QRgb colour) {
  PngImage image = PngImage::Blank(PngColorType::RGB, 4, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      image.Row(y)[3 * x] = static_cast<std::uint8_t>(qRed(colour));
      image.Row(y)[3 * x + 1] = static_cast<std::uint8_t>(qGreen(colour));
      image.Row(y)[3 * x + 2] = static_cast<std::uint8_t>(qBlue(colour));
    }
  }
  return image;
}

// 301 tiles, so palette rows past 255 exist. Tile 300 lives on layer 6, tile 7 on
// layer 3, and tile 9's record names a layer that does not exist.
void FillFixtureTileset(Tileset& tiles, int count = kFixtureTiles) {
  tiles.Clear();
  for (int tile = 0; tile < count; ++tile) {
    TTileProperties properties;
    properties.SetDefaultLayer(tile == 300 ? 5 : tile == 7 ? 2 : tile == 9 ? 99 : 1);
    tiles.AddTile(FlatImage(TileColour(tile)), properties);
  }
}

// What the main window does with the set commands' calls: it hands them on.
class EditorDisplay : public MapletSetDisplay {
 public:
  TGeoEditForm* editor = nullptr;
  std::optional<bool> generate_enabled;
  void EnableGenerateRandomMap(bool enabled) override { generate_enabled = enabled; }
  void SelectEditorMaplet(int position, int section, std::optional<int> layer) override {
    if (editor) editor->SelectEditorMaplet(position, section, layer);
  }
  void RepaintMapletEditor() override {
    if (editor) editor->RepaintMapletEditor();
  }
};

// Every cell of every maplet holds tiles 1..8 on layers 1..8 with rotation 3,
// effect 4 and the reserved word 0xBEEF, so a placement shows exactly which bytes
// it changed.
void FillAllLayers(MapletSet& set) {
  for (int p = 1; p <= kMapletPositions; ++p)
    for (int s = 1; s <= kMapletSections; ++s)
      for (int x = 0; x < kMapletSide; ++x)
        for (int y = 0; y < kMapletSide; ++y) {
          for (int layer = 0; layer < kLayerCount; ++layer)
            set.SetSlot(p, s, x, y, layer, {static_cast<std::uint16_t>(layer + 1), 3, 4});
          set.Cell(p, s, x, y)[32] = 0xEF;
          set.Cell(p, s, x, y)[33] = 0xBE;
        }
}

class GeoEditTest : public ::testing::Test {
 protected:
  MapletSet set;
  Tileset tiles;
  FakeDialogs dialogs;
  FakeTilesets tilesets;
  EditorDisplay display;
  MapletSetCommands commands{set, {dialogs, dialogs, tilesets, display}};
  std::unique_ptr<TGeoEditForm> form;
  TempDir dir;

  GeoEditTest() {
    FillFixtureTileset(tiles);
    set.SetEditorPosition(1);
    set.SetEditorSection(1);
    set.SetEditorLayer(kAutoLayering);
  }

  void Open() {
    form = std::make_unique<TGeoEditForm>(set, tiles, commands);
    display.editor = form.get();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }

  QImage Grab(QTableView* grid) { return grid->viewport()->grab().toImage(); }

  QRgb CellColour(int x, int y) {
    return Grab(form->GeoGrid()).pixel(x * kGeoCellPixels + 16, y * kGeoCellPixels + 16);
  }

  void ClickPalette(int row) {
    QTableView* palette = form->GeoSymbolGrid();
    const QModelIndex index = palette->model()->index(row, 0);
    palette->scrollTo(index);
    QTest::mouseClick(palette->viewport(), Qt::LeftButton, {}, palette->visualRect(index).center());
  }

  QPoint CellPoint(int x, int y) {
    return {x * kGeoCellPixels + kGeoCellPixels / 2, y * kGeoCellPixels + kGeoCellPixels / 2};
  }

  void DragGrid(int x0, int y0, int x1, int y1, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* grid = form->GeoGrid()->viewport();
    QTest::mousePress(grid, button, {}, CellPoint(x0, y0));
    QTest::mouseMove(grid, CellPoint(x1, y1));
    QTest::mouseRelease(grid, button, {}, CellPoint(x1, y1));
  }

  void Trigger(QAction* action) {
    QTest::mouseClick(form->ToolBar1()->widgetForAction(action), Qt::LeftButton);
  }
};

TEST_F(GeoEditTest, ListsShowTheStoredMapletAndKeepTheChoiceInTheSet) {
  set.SetSlot(2, 4, 0, 0, 0, {20, 0, 0});
  set.SetSlot(9, 9, 0, 0, 0, {10, 0, 0});
  set.SetSlot(9, 9, 0, 0, 1, {11, 0, 0});  // drawn over tile 10
  set.SetEditorPosition(2);
  set.SetEditorSection(4);
  set.SetEditorLayer(2);
  Open();
  EXPECT_EQ(form->windowTitle(), "Maplet Editor");
  EXPECT_EQ(form->PositionBox()->currentText(), "Upper Center");
  EXPECT_EQ(form->SectionBox()->currentText(), "4");
  EXPECT_EQ(form->LayerBox()->currentText(), "Layer 3");
  EXPECT_EQ(form->PositionBox()->toolTip(), " Select The Position For This GeoSet Section.");
  EXPECT_EQ(form->SectionBox()->toolTip(), " Select The Number For This GeoSet Section.");
  EXPECT_EQ(CellColour(0, 0), TileColour(20));
  EXPECT_EQ(CellColour(1, 0), qRgb(255, 255, 255));

  QTest::keyClick(form->PositionBox(), Qt::Key_End);
  QTest::keyClick(form->SectionBox(), Qt::Key_End);
  EXPECT_EQ(form->PositionBox()->currentText(), "Lower Right");
  EXPECT_EQ(form->SectionBox()->currentText(), "9");
  EXPECT_EQ(set.EditorPosition(), 9);
  EXPECT_EQ(set.EditorSection(), 9);
  EXPECT_EQ(CellColour(0, 0), TileColour(11));

  QTest::keyClick(form->LayerBox(), Qt::Key_Home);
  EXPECT_EQ(form->LayerBox()->currentText(), "Layer 1");
  EXPECT_EQ(set.EditorLayer(), 0);

  // Lower Right, section 9 is the last maplet of the file: cell (11, 11) starts at
  // byte 396,702 of it.
  ClickPalette(5);
  DragGrid(11, 11, 11, 11);
  EXPECT_EQ(set.Bytes()[396702], 5);
  EXPECT_EQ(set.Bytes()[396703], 0);
  EXPECT_EQ(CellColour(11, 11), TileColour(5));
}

struct PlacementCase {
  const char* name;
  int layer_entry;  // 0..7, or 8 = "Auto-Layering"
  int tile;
  int drawn_layer;  // the layer that gets the tile; -1: the cell is emptied
};
void PrintTo(const PlacementCase& c, std::ostream* out) {
  *out << c.name;
}

class GeoEditPlacementTest : public GeoEditTest,
                             public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(GeoEditPlacementTest, PaletteThenGridWritesTheTileIntoTheSelectedCells) {
  const PlacementCase& c = GetParam();
  FillAllLayers(set);
  set.SetEditorPosition(4);
  set.SetEditorSection(6);
  set.SetEditorLayer(c.layer_entry);
  const MapletSet before = set;
  Open();
  ClickPalette(c.tile);
  EXPECT_EQ(form->CurrentTile(), c.tile);
  EXPECT_EQ(set.EditorTile(), c.tile & 0xFF);
  // A 3 x 2 block dragged from its lower right to its upper left.
  DragGrid(5, 8, 3, 7);

  for (int x = 0; x < kMapletSide; ++x) {
    for (int y = 0; y < kMapletSide; ++y) {
      const bool inside = x >= 3 && x <= 5 && y >= 7 && y <= 8;
      for (int layer = 0; layer < kLayerCount; ++layer) {
        LayerSlot expected = before.Slot(4, 6, x, y, layer);
        if (inside && c.drawn_layer < 0) expected = {};
        if (inside && layer == c.drawn_layer) expected.TileIndex = c.tile;
        EXPECT_EQ(set.Slot(4, 6, x, y, layer), expected)
            << "cell " << x << "," << y << " layer " << layer;
      }
      EXPECT_EQ(set.Cell(4, 6, x, y)[32], 0xEF);
      EXPECT_EQ(set.Cell(4, 6, x, y)[33], 0xBE);
    }
  }
  // Only the shown maplet changes.
  EXPECT_TRUE(
      std::equal(set.Maplet(4, 5).begin(), set.Maplet(4, 5).end(), before.Maplet(4, 5).begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeoEditPlacementTest,
    ::testing::Values(
        // Tile 300 needs all 16 bits of the slot; the set's EditorTile keeps 44.
        PlacementCase{"AutoLayeringUsesTheDefaultLayer", kAutoLayering, 300, 5},
        PlacementCase{"ChosenLayerOnly", 2, 7, 2},
        PlacementCase{"ChosenLayerIgnoresTheDefaultLayer", 7, 300, 7},
        PlacementCase{"ZeroOnAChosenLayerEmptiesThatTile", 4, 0, 4},
        PlacementCase{"AutoLayeringZeroEmptiesTheWholeCell", kAutoLayering, 0, -1},
        // A damaged record names layer 99, which no cell has.
        PlacementCase{"AutoLayeringWithAnImpossibleDefaultLayerUsesLayer1", kAutoLayering, 9, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GeoEditTest, AnyMouseButtonPlacesAndAClickPlacesOneCell) {
  Open();
  ClickPalette(12);
  DragGrid(2, 3, 2, 3, Qt::RightButton);
  EXPECT_EQ(set.Slot(1, 1, 2, 3, 1).TileIndex, 12);
  EXPECT_EQ(set.Slot(1, 1, 2, 4, 1).TileIndex, 0);
  EXPECT_EQ(set.Slot(1, 1, 3, 3, 1).TileIndex, 0);
  EXPECT_EQ(CellColour(2, 3), TileColour(12));
}

struct DamagedState {
  std::uint8_t position, section, layer;
};
void PrintTo(const DamagedState& d, std::ostream* out) {
  *out << int{d.position} << "/" << int{d.section} << "/" << int{d.layer};
}

class GeoEditDamagedTest : public GeoEditTest,
                           public ::testing::WithParamInterface<DamagedState> {};

TEST_P(GeoEditDamagedTest, OutOfRangeEditorBytesAreShownAndStoredInRange) {
  const DamagedState& d = GetParam();
  set.SetSlot(1, 1, 0, 0, 0, {30, 0, 0});
  set.Bytes()[kEditorPositionOffset] = d.position;
  set.Bytes()[kEditorSectionOffset] = d.section;
  set.Bytes()[kEditorLayerOffset] = d.layer;
  Open();
  EXPECT_EQ(form->PositionBox()->currentText(), "Upper Left");
  EXPECT_EQ(form->SectionBox()->currentText(), "1");
  EXPECT_EQ(form->LayerBox()->currentText(), "Auto-Layering");
  EXPECT_EQ(set.EditorPositionByte(), 1);
  EXPECT_EQ(set.EditorSectionByte(), 1);
  EXPECT_EQ(set.EditorLayerByte(), kAutoLayering);
  EXPECT_EQ(CellColour(0, 0), TileColour(30));
  // Drawing goes to the maplet shown, not past the end of the record.
  ClickPalette(3);
  DragGrid(0, 0, 0, 0);
  EXPECT_EQ(set.Slot(1, 1, 0, 0, 1).TileIndex, 3);
}

INSTANTIATE_TEST_SUITE_P(Cases, GeoEditDamagedTest,
                         ::testing::Values(DamagedState{0, 0, 9}, DamagedState{10, 255, 200},
                                           DamagedState{255, 10, 255}));

TEST_F(GeoEditTest, NewEmptiesTheSetAndResetsTheLists) {
  FillAllLayers(set);
  set.SetEditorPosition(6);
  set.SetEditorSection(2);
  set.SetEditorLayer(1);
  tilesets.loaded = "fixture.qts";
  Open();
  ASSERT_NE(CellColour(4, 4), qRgb(255, 255, 255));
  Trigger(form->GeoNewAction());
  EXPECT_EQ(form->PositionBox()->currentText(), "Upper Left");
  EXPECT_EQ(form->SectionBox()->currentText(), "1");
  EXPECT_EQ(form->LayerBox()->currentText(), "Auto-Layering");
  EXPECT_EQ(display.generate_enabled, false);
  EXPECT_EQ(set.SetTilesetName(), "fixture.qts");
  const QImage grid = Grab(form->GeoGrid());
  for (int x = 0; x < kMapletSide; ++x)
    for (int y = 0; y < kMapletSide; ++y)
      EXPECT_EQ(grid.pixel(CellPoint(x, y)), qRgb(255, 255, 255)) << x << "," << y;
  EXPECT_EQ(form->GeoNewAction()->text(), "New");
  EXPECT_EQ(form->GeoNewAction()->toolTip(), " Create A New Maplet Set.");
}

TEST_F(GeoEditTest, OpenShowsTheStoredMapletAndTheLayerOnTheNextShowing) {
  MapletSet file;
  file.SetSetTilesetName("default.qts");
  file.SetSlot(9, 9, 5, 5, 0, {12, 0, 0});
  file.SetEditorPosition(9);
  file.SetEditorSection(9);
  file.SetEditorLayer(3);
  const std::string path = dir.File("stored.set");
  SaveMapletSetFile(file, path);

  Open();
  dialogs.open_paths.push_back(path);
  Trigger(form->GeoOpenAction());
  ASSERT_TRUE(dialogs.errors.empty());
  EXPECT_EQ(form->PositionBox()->currentText(), "Lower Right");
  EXPECT_EQ(form->SectionBox()->currentText(), "9");
  EXPECT_EQ(form->LayerBox()->currentText(), "Auto-Layering");
  EXPECT_EQ(CellColour(5, 5), TileColour(12));
  EXPECT_EQ(display.generate_enabled, true);
  form->hide();
  form->show();
  EXPECT_EQ(form->LayerBox()->currentText(), "Layer 4");

  // A file that cannot be read is reported and leaves the maplet as it was.
  dialogs.open_paths.push_back(dir.File("missing.set"));
  Trigger(form->GeoOpenAction());
  ASSERT_EQ(dialogs.errors.size(), 1u);
  EXPECT_NE(dialogs.errors[0].find("Cannot open file"), std::string::npos);
  EXPECT_EQ(CellColour(5, 5), TileColour(12));

  // Cancel changes nothing.
  Trigger(form->GeoOpenAction());
  EXPECT_EQ(dialogs.errors.size(), 1u);
  EXPECT_EQ(set.Slot(9, 9, 5, 5, 0).TileIndex, 12);
}

TEST_F(GeoEditTest, SaveWritesTheEditedSetAndOffersTheRememberedFile) {
  Open();
  ClickPalette(300);
  DragGrid(0, 0, 1, 0);
  const std::string path = dir.File("drawn.set");
  dialogs.save_paths.push_back(path);
  Trigger(form->GeoSaveAction());
  ASSERT_TRUE(dialogs.errors.empty());
  EXPECT_EQ(form->GeoSaveAction()->toolTip(), " Save The Current Maplet Set.");
  ASSERT_EQ(dialogs.save_requests.size(), 1u);
  EXPECT_EQ(dialogs.save_requests[0].filter, "Quillmarch Pro Maplet Sets (*.set)|*.set");
  EXPECT_EQ(dialogs.save_requests[0].initial_file, "");

  MapletSet saved;
  ASSERT_EQ(ReadMapletSetFile(path, saved), kMapletSetBytes);
  EXPECT_EQ(saved.Slot(1, 1, 1, 0, 5).TileIndex, 300);
  EXPECT_EQ(saved.EditorTile(), 300 & 0xFF);

  // The second save starts on the file written, and a cancel still saves there.
  ClickPalette(7);
  DragGrid(4, 4, 4, 4);
  Trigger(form->GeoSaveAction());
  ASSERT_EQ(dialogs.save_requests.size(), 2u);
  EXPECT_EQ(dialogs.save_requests[1].initial_file, path);
  ASSERT_EQ(ReadMapletSetFile(path, saved), kMapletSetBytes);
  EXPECT_EQ(saved.Slot(1, 1, 4, 4, 2).TileIndex, 7);
}

TEST_F(GeoEditTest, PaletteShowsEveryTileAndOutlinesTheChosenOne) {
  Open();
  QTableView* palette = form->GeoSymbolGrid();
  EXPECT_EQ(palette->model()->rowCount(), kFixtureTiles);
  ClickPalette(2);
  palette->scrollToTop();
  const QImage picture = Grab(palette);
  const QRect chosen = palette->visualRect(palette->model()->index(2, 0));
  const QRect other = palette->visualRect(palette->model()->index(3, 0));
  EXPECT_EQ(picture.pixel(chosen.topLeft()), qRgb(255, 0, 0));
  EXPECT_EQ(picture.pixel(chosen.center()), TileColour(2));
  EXPECT_EQ(picture.pixel(other.topLeft()), qRgb(255, 255, 255));
  EXPECT_EQ(picture.pixel(other.center()), TileColour(3));
}

TEST_F(GeoEditTest, AnEmptyTilesetGivesAnEmptyWhitePalette) {
  tiles.Clear();
  set.SetSlot(1, 1, 2, 2, 0, {5, 0, 0});
  Open();
  EXPECT_EQ(form->GeoSymbolGrid()->model()->rowCount(), 0);
  const QImage palette = Grab(form->GeoSymbolGrid());
  for (int y = 0; y < palette.height(); y += 7)
    for (int x = 0; x < palette.width(); x += 5)
      ASSERT_EQ(palette.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
  // Tile 5 is stored but this tileset has no picture for it.
  EXPECT_EQ(CellColour(2, 2), qRgb(255, 0, 0));
  EXPECT_EQ(CellColour(3, 2), qRgb(255, 255, 255));
}

TEST_F(GeoEditTest, ATilesetChangeRelaysThePaletteAndRedrawsTheMaplet) {
  set.SetSlot(1, 1, 0, 0, 0, {150, 0, 0});
  Open();
  ClickPalette(200);
  EXPECT_EQ(CellColour(0, 0), TileColour(150));

  FillFixtureTileset(tiles, 100);
  form->TilesetChanged();
  EXPECT_EQ(form->GeoSymbolGrid()->model()->rowCount(), 100);
  // Tile 200 is gone; the highlighted row 0 is what a click now places.
  EXPECT_EQ(form->CurrentTile(), 0);
  EXPECT_EQ(CellColour(0, 0), qRgb(255, 0, 0));

  FillFixtureTileset(tiles);
  form->TilesetChanged();
  EXPECT_EQ(form->GeoSymbolGrid()->model()->rowCount(), kFixtureTiles);
  EXPECT_EQ(CellColour(0, 0), TileColour(150));
}

TEST(MapletCellPicture, LayersStackWithTheirTransparency) {
  Tileset tiles;
  FillFixtureTileset(tiles, 4);
  // Tile 4: opaque red left half, transparent right half.
  PngImage half = PngImage::Blank(PngColorType::RGBA, 2, 2);
  for (int y = 0; y < 2; ++y) {
    half.Row(y)[0] = 255;
    half.AlphaRow(y)[0] = 255;
  }
  tiles.AddTile(std::move(half), {});
  MapletSet set;
  set.SetSlot(3, 2, 1, 1, 0, {1, 0, 0});
  set.SetSlot(3, 2, 1, 1, 6, {4, 90, 20});  // rotation and effect are not drawn
  const QImage picture = MapletCellPicture(set, tiles, 3, 2, 1, 1, 16, 16);
  EXPECT_EQ(picture.pixel(2, 8), qRgb(255, 0, 0));
  EXPECT_EQ(picture.pixel(13, 8), TileColour(1));
}

}  // namespace
}  // namespace qm
