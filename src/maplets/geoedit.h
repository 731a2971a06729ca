#pragma once
// The maplet editor: a palette column of the loaded tileset's tiles, a 12 x 12 grid
// showing one maplet of the set, and a tool bar with the set's New, Open and Save
// and the lists that choose the drawing layer and the maplet shown. It edits the
// MapletSet record in place, so closing it loses nothing.
#include <QAbstractTableModel>
#include <QDialog>
#include <QStyledItemDelegate>
#include <QTableView>
#include <cstdint>
#include <optional>

#include "maplets/maplet_set.h"
#include "maplets/maplet_set_commands.h"
#include "tiles/tileset.h"

class QAction;
class QComboBox;
class QToolBar;

namespace qm {

inline constexpr const char* kGeoEditCaption = "Maplet Editor";
inline constexpr const char* kPositionBoxHint = " Select The Position For This GeoSet Section.";
inline constexpr const char* kSectionBoxHint = " Select The Number For This GeoSet Section.";
inline constexpr const char* kAutoLayeringEntry = "Auto-Layering";
// Pixels of one palette row and of one maplet cell.
inline constexpr int kGeoCellPixels = 32;

// A rectangle of maplet cells, columns and rows 0..11, inclusive.
struct MapletCellRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Writes `tile` into every cell of `cells` of one maplet. `layer_choice` 0..7 sets
// that layer's tile number; kAutoLayering puts the tile on its own default layer
// (layer 0 for a tile without properties), and tile 0 there empties all eight slots
// of the cell. Rotation, effect and the reserved word are never touched otherwise.
void PlaceMapletTile(MapletSet& set, const Tileset& tileset, int position, int section,
                     MapletCellRect cells, std::uint16_t tile, int layer_choice);

// The picture of maplet cell (x, y): white, then every layer's tile stretched over
// it with its transparency, layer 1 first. Rotation and effect bytes play no part,
// so the editor shows what a cell holds rather than how a level will turn it. A
// tile number the tileset lacks is marked with a red cross.
QImage MapletCellPicture(const MapletSet& set, const Tileset& tileset, int position, int section,
                         int x, int y, int width, int height);

namespace geoedit {

// One row per tile of the tileset; the delegate draws them.
class PaletteModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit PaletteModel(const Tileset& tileset, QObject* parent)
      : QAbstractTableModel(parent), tileset_(tileset) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // The tileset's tile count may have changed.
  void Refresh();

 private:
  const Tileset& tileset_;
  int rows_ = 0;
};

class MapletModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
};

class PaletteDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  PaletteDelegate(const Tileset& tileset, QObject* parent)
      : QStyledItemDelegate(parent), tileset_(tileset) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  const Tileset& tileset_;
};

class MapletDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  MapletDelegate(const MapletSet& set, const Tileset& tileset, QObject* parent)
      : QStyledItemDelegate(parent), set_(set), tileset_(tileset) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  const MapletSet& set_;
  const Tileset& tileset_;
};

// The maplet grid reports every released mouse button once the view has settled
// its selection, which a click inside a selected range changes only on release.
class MapletGridView : public QTableView {
  Q_OBJECT
 public:
  using QTableView::QTableView;

 signals:
  void MouseReleased();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace geoedit

class TGeoEditForm : public QDialog {
  Q_OBJECT
 public:
  TGeoEditForm(MapletSet& set, const Tileset& tileset, MapletSetCommands& commands,
               QWidget* parent = nullptr);

  // What the set commands ask of the editor (the main window forwards them): point
  // the position and section lists (1..9) and, when given, the layer list (0..8) at
  // these entries, and repaint both grids.
  void SelectEditorMaplet(int position, int section, std::optional<int> layer);
  void RepaintMapletEditor();
  // The loaded tileset's tiles changed: the palette gets one row per tile again
  // and both grids are drawn with the new images.
  void TilesetChanged();

  // The tile the next release on the maplet grid places: the palette row chosen
  // last. The set keeps only its low byte, so the editor holds the whole number.
  int CurrentTile() const { return current_tile_; }

  QToolBar* ToolBar1() const { return tool_bar_; }
  QAction* GeoNewAction() const { return geo_new_; }
  QAction* GeoOpenAction() const { return geo_open_; }
  QAction* GeoSaveAction() const { return geo_save_; }
  QComboBox* LayerBox() const { return layer_box_; }
  QComboBox* PositionBox() const { return position_box_; }
  QComboBox* SectionBox() const { return section_box_; }
  QTableView* GeoSymbolGrid() const { return symbol_grid_; }
  QTableView* GeoGrid() const { return geo_grid_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void PositionBoxChange(int entry);
  void SectionBoxChange(int entry);
  void LayerBoxChange(int entry);
  void GeoSymbolGridSelectCell(const QModelIndex& current);
  void GeoGridMouseUp();
  // Sets a list's entry without running its change handler.
  static void SetEntry(QComboBox* box, int entry);
  // Highlights the palette row of the current tile, or none.
  void ShowCurrentTile();

  MapletSet& set_;
  const Tileset& tileset_;
  MapletSetCommands& commands_;
  int current_tile_ = 0;
  bool centred_ = false;

  QToolBar* tool_bar_ = nullptr;
  QAction* geo_new_ = nullptr;
  QAction* geo_open_ = nullptr;
  QAction* geo_save_ = nullptr;
  QComboBox* layer_box_ = nullptr;
  QComboBox* position_box_ = nullptr;
  QComboBox* section_box_ = nullptr;
  geoedit::PaletteModel* palette_model_ = nullptr;
  QTableView* symbol_grid_ = nullptr;
  geoedit::MapletGridView* geo_grid_ = nullptr;
};

}  // namespace qm
