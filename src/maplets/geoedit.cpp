#include "maplets/geoedit.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <algorithm>
#include <cmath>

#include "app/record_text.h"
#include "render/cell_pictures.h"
#include "render/image_drawing.h"

namespace qm {
namespace {

constexpr int kTopBarHeight = 33;
constexpr int kPanelBorder = 4;
constexpr int kPaletteWidth = 64;

bool NamesLayer(std::int32_t layer) {
  return layer >= 0 && layer < kLayerCount;
}

// Pixels of a widget rectangle on a painter's device, so pictures stay sharp when
// the screen scales the window.
QSize DevicePixels(const QPainter& painter, const QRect& rect) {
  const qreal ratio = painter.device()->devicePixelRatioF();
  return {std::max(1, static_cast<int>(std::lround(rect.width() * ratio))),
          std::max(1, static_cast<int>(std::lround(rect.height() * ratio)))};
}

void DrawAt(QPainter& painter, const QRect& rect, QImage picture) {
  picture.setDevicePixelRatio(static_cast<qreal>(picture.width()) / rect.width());
  painter.drawImage(rect.topLeft(), picture);
}

}  // namespace

void PlaceMapletTile(MapletSet& set, const Tileset& tileset, int position, int section,
                     MapletCellRect cells, std::uint16_t tile, int layer_choice) {
  const int left = std::max(0, cells.left), top = std::max(0, cells.top);
  const int right = std::min(kMapletSide - 1, cells.right);
  const int bottom = std::min(kMapletSide - 1, cells.bottom);
  int layer = layer_choice;
  if (layer_choice == kAutoLayering && tile != 0) {
    layer = 0;
    // A damaged tileset may name any layer; only 0..7 address a slot of the cell.
    const auto& properties = tileset.TilePropertyList();
    if (tile < properties.size() && properties[tile] &&
        NamesLayer(properties[tile]->DefaultLayer()))
      layer = properties[tile]->DefaultLayer();
  }
  for (int x = left; x <= right; ++x) {
    for (int y = top; y <= bottom; ++y) {
      if (layer_choice == kAutoLayering && tile == 0) {
        for (int l = 0; l < kLayerCount; ++l) set.SetSlot(position, section, x, y, l, {});
        continue;
      }
      if (!NamesLayer(layer)) continue;
      LayerSlot slot = set.Slot(position, section, x, y, layer);
      slot.TileIndex = tile;
      set.SetSlot(position, section, x, y, layer, slot);
    }
  }
}

QImage MapletCellPicture(const MapletSet& set, const Tileset& tileset, int position, int section,
                         int x, int y, int width, int height) {
  CellBuffer buffer(width, height);
  bool missing = false;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    const int tile = set.Slot(position, section, x, y, layer).TileIndex;
    if (tile == 0) continue;
    if (tile >= tileset.TileCount()) {
      missing = true;
      continue;
    }
    DrawImageScaled(tileset.Image(tile), {0, 0, width, height}, buffer.View());
  }
  if (missing) {
    // The set was drawn with a larger tileset: show that something is stored here
    // even though this tileset has no picture for it.
    const int side = std::min(width, height);
    for (int i = 0; i < side; ++i) {
      for (const int column : {i, width - 1 - i}) {
        std::uint8_t* pixel = buffer.Row(i * height / side) + 3 * column;
        pixel[0] = 255;
        pixel[1] = 0;
        pixel[2] = 0;
      }
    }
  }
  return CellBufferImage(buffer);
}

namespace geoedit {

int PaletteModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int PaletteModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1;
}

QVariant PaletteModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::ToolTipRole || index.row() >= tileset_.TileCount()) return {};
  const QString name = RecordTextToQString(tileset_.Properties(index.row()).TileName());
  return name.isEmpty() ? QString::number(index.row())
                        : QString("%1: %2").arg(index.row()).arg(name);
}

void PaletteModel::Refresh() {
  beginResetModel();
  rows_ = tileset_.TileCount();
  endResetModel();
}

int MapletModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kMapletSide;
}

int MapletModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kMapletSide;
}

QVariant MapletModel::data(const QModelIndex&, int) const {
  return {};
}

void PaletteDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const QRect rect = option.rect;
  painter->save();
  painter->fillRect(rect, Qt::white);
  const int tile = index.row();
  if (tileset_.TileCount() > 0 && tile < tileset_.TileCount()) {
    const QSize pixels = DevicePixels(*painter, rect);
    DrawAt(*painter, rect, TilePicture(tileset_.Image(tile), pixels.width(), pixels.height()));
    painter->setPen(QPen(option.state & QStyle::State_Selected ? Qt::red : Qt::white, 0));
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
  }
  painter->restore();
}

void MapletDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  const QRect rect = option.rect;
  const QSize pixels = DevicePixels(*painter, rect);
  painter->save();
  DrawAt(*painter, rect,
         MapletCellPicture(set_, tileset_, set_.EditorPosition(), set_.EditorSection(),
                           index.column(), index.row(), pixels.width(), pixels.height()));
  if (option.state & QStyle::State_Selected) {
    painter->setPen(QPen(Qt::black, 0));
    painter->drawRect(rect.adjusted(1, 1, -2, -2));
  }
  painter->restore();
}

void MapletGridView::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  emit MouseReleased();
}

}  // namespace geoedit

TGeoEditForm::TGeoEditForm(MapletSet& set, const Tileset& tileset, MapletSetCommands& commands,
                           QWidget* parent)
    : QDialog(parent), set_(set), tileset_(tileset), commands_(commands) {
  setWindowTitle(kGeoEditCaption);
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
  setFixedSize(464, 429);

  tool_bar_ = new QToolBar("ToolBar1", this);
  tool_bar_->setObjectName("ToolBar1");
  tool_bar_->setIconSize({16, 16});
  tool_bar_->setGeometry(0, 0, 124, kTopBarHeight);
  const auto add_action = [this](const char* name, const char* caption, const char* hint,
                                 QStyle::StandardPixmap icon) {
    auto* action = new QAction(style()->standardIcon(icon), caption, this);
    action->setObjectName(name);
    action->setToolTip(hint);
    action->setStatusTip(hint);
    tool_bar_->addAction(action);
    return action;
  };
  geo_new_ = add_action("GeoNew", kGeoNewCaption, kGeoNewHint, QStyle::SP_FileIcon);
  geo_open_ = add_action("GeoOpen", kGeoOpenCaption, kGeoOpenHint, QStyle::SP_DialogOpenButton);
  geo_save_ = add_action("GeoSave", kGeoSaveCaption, kGeoSaveHint, QStyle::SP_DialogSaveButton);
  // The commands call back through the main window into SelectEditorMaplet and
  // RepaintMapletEditor, which bring the lists and grids up to date.
  connect(geo_new_, &QAction::triggered, this, [this] { commands_.GeoNew(); });
  connect(geo_open_, &QAction::triggered, this, [this] { commands_.GeoOpen(); });
  connect(geo_save_, &QAction::triggered, this, [this] { commands_.GeoSave(); });

  const auto add_box = [this](const char* name, int left, int width, const QStringList& entries) {
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    box->addItems(entries);
    box->setMaxVisibleItems(9);
    box->setGeometry(left, 4, width, kTopBarHeight - 8);
    return box;
  };
  QStringList layers;
  for (int layer = 1; layer <= kLayerCount; ++layer) layers << QString("Layer %1").arg(layer);
  layers << kAutoLayeringEntry;
  QStringList positions;
  for (int position = 1; position <= kMapletPositions; ++position)
    positions << QString::fromUtf8(MapletPositionName(position));
  QStringList sections;
  for (int section = 1; section <= kMapletSections; ++section) sections << QString::number(section);
  layer_box_ = add_box("LayerBox", 128, 120, layers);
  position_box_ = add_box("PositionBox", 256, 120, positions);
  section_box_ = add_box("SectionBox", 384, 70, sections);
  layer_box_->setCurrentIndex(kAutoLayering);
  position_box_->setToolTip(kPositionBoxHint);
  position_box_->setStatusTip(kPositionBoxHint);
  section_box_->setToolTip(kSectionBoxHint);
  section_box_->setStatusTip(kSectionBoxHint);
  connect(position_box_, &QComboBox::currentIndexChanged, this, &TGeoEditForm::PositionBoxChange);
  connect(section_box_, &QComboBox::currentIndexChanged, this, &TGeoEditForm::SectionBoxChange);
  connect(layer_box_, &QComboBox::currentIndexChanged, this, &TGeoEditForm::LayerBoxChange);

  const auto set_up_grid = [](QTableView* grid) {
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->horizontalHeader()->setDefaultSectionSize(kGeoCellPixels);
    grid->verticalHeader()->setDefaultSectionSize(kGeoCellPixels);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFrameShape(QFrame::Box);
    grid->setLineWidth(1);
  };

  const int grid_top = kTopBarHeight + kPanelBorder;
  const int grid_height = height() - grid_top - kPanelBorder;
  palette_model_ = new geoedit::PaletteModel(tileset_, this);
  symbol_grid_ = new QTableView(this);
  symbol_grid_->setObjectName("GeoSymbolGrid");
  set_up_grid(symbol_grid_);
  symbol_grid_->setModel(palette_model_);
  symbol_grid_->setItemDelegate(new geoedit::PaletteDelegate(tileset_, symbol_grid_));
  symbol_grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  symbol_grid_->setShowGrid(true);
  symbol_grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  symbol_grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  symbol_grid_->setGeometry(kPanelBorder, grid_top, kPaletteWidth - 2 * kPanelBorder, grid_height);
  connect(symbol_grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TGeoEditForm::GeoSymbolGridSelectCell);

  geo_grid_ = new geoedit::MapletGridView(this);
  geo_grid_->setObjectName("GeoGrid");
  set_up_grid(geo_grid_);
  geo_grid_->setModel(new geoedit::MapletModel(this));
  geo_grid_->setItemDelegate(new geoedit::MapletDelegate(set_, tileset_, geo_grid_));
  // Dragging selects a rectangle of cells, as a maplet is drawn in blocks.
  geo_grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  geo_grid_->setShowGrid(false);
  geo_grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  const int grid_side = kMapletSide * kGeoCellPixels + 2 * geo_grid_->frameWidth();
  geo_grid_->setGeometry(kPaletteWidth + kPanelBorder, grid_top, grid_side, grid_side);
  connect(geo_grid_, &geoedit::MapletGridView::MouseReleased, this, &TGeoEditForm::GeoGridMouseUp);

  FormShow();
}

void TGeoEditForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) {
    // The editor opens centred on the screen; later showings keep where the user
    // moved it.
    centred_ = true;
    if (const QScreen* where = screen())
      move(where->availableGeometry().center() - rect().center());
  }
  FormShow();
}

void TGeoEditForm::SetEntry(QComboBox* box, int entry) {
  const QSignalBlocker quiet(box);
  box->setCurrentIndex(entry);
}

void TGeoEditForm::FormShow() {
  // A damaged file can hold any byte in the editor state; the lists show the set's
  // in-range reading of it and the record is made to say the same, so what a save
  // writes is what the user saw.
  set_.SetEditorPosition(set_.EditorPosition());
  set_.SetEditorSection(set_.EditorSection());
  set_.SetEditorLayer(set_.EditorLayer());
  SetEntry(position_box_, set_.EditorPosition() - 1);
  SetEntry(section_box_, set_.EditorSection() - 1);
  SetEntry(layer_box_, set_.EditorLayer());
  TilesetChanged();
}

void TGeoEditForm::TilesetChanged() {
  palette_model_->Refresh();
  // The palette has lost its highlight with its rows; the chosen tile keeps it
  // while the tileset still has that tile, and otherwise falls back to row 0, so
  // the highlighted row is always the tile a click places.
  if (current_tile_ >= tileset_.TileCount()) current_tile_ = 0;
  ShowCurrentTile();
  RepaintMapletEditor();
}

void TGeoEditForm::ShowCurrentTile() {
  const QSignalBlocker quiet(symbol_grid_->selectionModel());
  const QModelIndex row = palette_model_->index(current_tile_, 0);
  if (row.isValid()) {
    symbol_grid_->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
  } else {
    symbol_grid_->selectionModel()->clear();
  }
}

void TGeoEditForm::SelectEditorMaplet(int position, int section, std::optional<int> layer) {
  SetEntry(position_box_, std::clamp(position, 1, kMapletPositions) - 1);
  SetEntry(section_box_, std::clamp(section, 1, kMapletSections) - 1);
  if (layer) SetEntry(layer_box_, std::clamp(*layer, 0, kAutoLayering));
  RepaintMapletEditor();
}

void TGeoEditForm::RepaintMapletEditor() {
  symbol_grid_->viewport()->update();
  geo_grid_->viewport()->update();
}

void TGeoEditForm::PositionBoxChange(int entry) {
  if (entry < 0) return;
  set_.SetEditorPosition(entry + 1);
  geo_grid_->viewport()->update();
}

void TGeoEditForm::SectionBoxChange(int entry) {
  if (entry < 0) return;
  set_.SetEditorSection(entry + 1);
  geo_grid_->viewport()->update();
}

void TGeoEditForm::LayerBoxChange(int entry) {
  if (entry < 0) return;
  set_.SetEditorLayer(entry);
}

void TGeoEditForm::GeoSymbolGridSelectCell(const QModelIndex& current) {
  // Tile numbers are 16 bits in a cell; a tileset with more rows than that has
  // nothing a cell could name past them.
  if (!current.isValid() || current.row() > 0xFFFF) return;
  current_tile_ = current.row();
  set_.SetEditorTile(static_cast<std::uint8_t>(current_tile_ & 0xFF));
}

void TGeoEditForm::GeoGridMouseUp() {
  const QModelIndexList selected = geo_grid_->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return;
  MapletCellRect cells{kMapletSide, kMapletSide, -1, -1};
  for (const QModelIndex& index : selected) {
    cells.left = std::min(cells.left, index.column());
    cells.right = std::max(cells.right, index.column());
    cells.top = std::min(cells.top, index.row());
    cells.bottom = std::max(cells.bottom, index.row());
  }
  PlaceMapletTile(set_, tileset_, set_.EditorPosition(), set_.EditorSection(), cells,
                  static_cast<std::uint16_t>(current_tile_), layer_box_->currentIndex());
  geo_grid_->viewport()->update();
}

}  // namespace qm
