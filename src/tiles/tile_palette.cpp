#include "tiles/tile_palette.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "render/cell_pictures.h"
#include "tiles/palette_layout.h"

namespace qm {

SymbolGrid::SymbolGrid(const Tileset& tileset, QWidget* parent)
    : QAbstractScrollArea(parent), tileset_(tileset), cell_size_(kPaletteCellSizeAtStart) {
  setObjectName("SymbolGrid");
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Always shown, so laying out never changes the width it was computed for.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  LayoutTilePalette();
}

void SymbolGrid::SetCellSize(int size) {
  if (size <= 0 || size == cell_size_) return;
  cell_size_ = size;
  pictures_.clear();
  LayoutTilePalette();
}

void SymbolGrid::TilesetChanged() {
  pictures_.clear();
  if (selected_ >= tileset_.TileCount()) selected_ = -1;
  LayoutTilePalette();
}

void SymbolGrid::LayoutTilePalette() {
  // As many whole cells as the width holds; a grid shows at least one column even
  // when it is narrower than a cell.
  columns_ = PaletteColumns(viewport()->width(), cell_size_);
  while (columns_ > 1 && columns_ * cell_size_ > viewport()->width()) --columns_;
  rows_ = PaletteRows(tileset_.TileCount(), columns_);
  UpdateScrollBar();
  viewport()->update();
}

void SymbolGrid::UpdateScrollBar() {
  const int extent = rows_ * cell_size_;
  verticalScrollBar()->setRange(0, std::max(0, extent - viewport()->height()));
  verticalScrollBar()->setPageStep(std::max(1, viewport()->height()));
  verticalScrollBar()->setSingleStep(cell_size_);
}

QRect SymbolGrid::CellRect(int column, int row) const {
  return {column * cell_size_, row * cell_size_ - verticalScrollBar()->value(), cell_size_,
          cell_size_};
}

bool SymbolGrid::SymbolGridSelectCell(int column, int row) {
  const int tile = PaletteTileAt(column, row, columns_, tileset_.TileCount());
  if (tile < 0) return false;
  const int before = selected_;
  selected_ = tile;
  if (before >= 0) viewport()->update(CellRect(before % columns_, before / columns_));
  viewport()->update(CellRect(column, row));
  // Keep the chosen cell in view, as a grid does when the keyboard moves on.
  const QRect rect = CellRect(column, row);
  if (rect.top() < 0)
    verticalScrollBar()->setValue(verticalScrollBar()->value() + rect.top());
  else if (rect.bottom() >= viewport()->height())
    verticalScrollBar()->setValue(verticalScrollBar()->value() + rect.bottom() -
                                  viewport()->height() + 1);
  emit TileChosen(tile);
  return true;
}

const QImage& SymbolGrid::Picture(int tile) {
  if (pictures_.size() != static_cast<std::size_t>(tileset_.TileCount()))
    pictures_.assign(static_cast<std::size_t>(tileset_.TileCount()), QImage());
  QImage& picture = pictures_[static_cast<std::size_t>(tile)];
  if (picture.isNull()) {
    // At the screen's own pixel size, so tiles stay sharp on high-density screens.
    const int scale = std::max(1, qRound(devicePixelRatioF()));
    picture = TilePicture(tileset_.Image(tile), cell_size_ * scale, cell_size_ * scale);
    picture.setDevicePixelRatio(scale);
  }
  return picture;
}

void SymbolGrid::SymbolGridDrawCell(QPainter& painter, int column, int row) {
  const QRect rect = CellRect(column, row);
  painter.fillRect(rect, Qt::white);
  const int tile = PaletteTileAt(column, row, columns_, tileset_.TileCount());
  if (tile < 0) return;
  painter.drawImage(rect.topLeft(), Picture(tile));
  painter.setPen(tile == selected_ ? Qt::red : Qt::white);
  painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

void SymbolGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect area = event->rect();
  painter.fillRect(area, palette().color(QPalette::Window));
  const int scroll = verticalScrollBar()->value();
  const int first_row = std::max(0, (area.top() + scroll) / cell_size_);
  const int last_row = std::min(rows_ - 1, (area.bottom() + scroll) / cell_size_);
  const int last_column = std::min(columns_ - 1, area.right() / cell_size_);
  for (int row = first_row; row <= last_row; ++row) {
    for (int column = std::max(0, area.left() / cell_size_); column <= last_column; ++column)
      SymbolGridDrawCell(painter, column, row);
  }
}

void SymbolGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (point.x() < 0 || point.y() < 0) return;
  const int column = point.x() / cell_size_;
  const int row = (point.y() + verticalScrollBar()->value()) / cell_size_;
  if (column < columns_ && row < rows_) SymbolGridSelectCell(column, row);
}

void SymbolGrid::keyPressEvent(QKeyEvent* event) {
  int column = selected_ < 0 ? 0 : selected_ % columns_;
  int row = selected_ < 0 ? 0 : selected_ / columns_;
  switch (event->key()) {
    case Qt::Key_Left:
      --column;
      break;
    case Qt::Key_Right:
      ++column;
      break;
    case Qt::Key_Up:
      --row;
      break;
    case Qt::Key_Down:
      ++row;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  SymbolGridSelectCell(column, row);
}

void SymbolGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  LayoutTilePalette();
}

}  // namespace qm
