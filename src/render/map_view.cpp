#include "render/map_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace qm {

MapView::MapView(const MapDocument& document, const Tileset& tileset, QWidget* parent)
    : QAbstractScrollArea(parent), document_(document), tileset_(tileset) {
  setObjectName("DrawGrid1");
  setFocusPolicy(Qt::StrongFocus);
  // Every pixel of a cell is drawn by the renderer; nothing needs clearing first.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(false);
  UpdateScrollBars();
}

void MapView::SetCellSize(int size) {
  if (size <= 0) return;
  // Keep the cell at the top-left corner in place across the zoom.
  const int column = horizontalScrollBar()->value() / cell_size_;
  const int row = verticalScrollBar()->value() / cell_size_;
  cell_size_ = size;
  UpdateScrollBars();
  horizontalScrollBar()->setValue(column * size);
  verticalScrollBar()->setValue(row * size);
  viewport()->update();
}

void MapView::SetSelection(GridSelection selection) {
  if (!ClipToGrid(selection)) return;
  InvalidateSelection(selection_);
  selection_ = selection;
  anchor_ = {selection.left, selection.top};
  InvalidateSelection(selection_);
}

void MapView::InvalidateCell(GridCell cell) {
  viewport()->update(CellRect(cell));
}

void MapView::InvalidateCells(const std::vector<GridCell>& cells) {
  for (const GridCell& cell : cells) InvalidateCell(cell);
}

void MapView::InvalidateAll() {
  viewport()->update();
}

void MapView::TilesetChanged() {
  renderer_.Clear();
  reported_.clear();
  viewport()->update();
}

QRect MapView::CellRect(GridCell cell) const {
  return {cell.column * cell_size_ - horizontalScrollBar()->value(),
          cell.row * cell_size_ - verticalScrollBar()->value(), cell_size_, cell_size_};
}

std::optional<GridCell> MapView::CellAt(QPoint point) const {
  const int x = point.x() + horizontalScrollBar()->value();
  const int y = point.y() + verticalScrollBar()->value();
  if (x < 0 || y < 0) return std::nullopt;
  const GridCell cell{x / cell_size_, y / cell_size_};
  if (cell.column >= MapSize || cell.row >= MapSize) return std::nullopt;
  return cell;
}

GridCell MapView::ClampedCellAt(QPoint point) const {
  const int x = point.x() + horizontalScrollBar()->value();
  const int y = point.y() + verticalScrollBar()->value();
  return {std::clamp(x / cell_size_, 0, MapSize - 1), std::clamp(y / cell_size_, 0, MapSize - 1)};
}

void MapView::EnsureVisible(GridCell cell) {
  const int left = cell.column * cell_size_;
  const int top = cell.row * cell_size_;
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  const int width = viewport()->width();
  const int height = viewport()->height();
  if (left < h->value())
    h->setValue(left);
  else if (left + cell_size_ > h->value() + width)
    h->setValue(left + cell_size_ - width);
  if (top < v->value())
    v->setValue(top);
  else if (top + cell_size_ > v->value() + height)
    v->setValue(top + cell_size_ - height);
}

void MapView::UpdateScrollBars() {
  const int extent = MapSize * cell_size_;
  const QSize page = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, extent - page.width()));
  verticalScrollBar()->setRange(0, std::max(0, extent - page.height()));
  horizontalScrollBar()->setPageStep(std::max(1, page.width()));
  verticalScrollBar()->setPageStep(std::max(1, page.height()));
  horizontalScrollBar()->setSingleStep(cell_size_);
  verticalScrollBar()->setSingleStep(cell_size_);
}

void MapView::InvalidateSelection(GridSelection selection) {
  const QRect first = CellRect({selection.left, selection.top});
  const QRect last = CellRect({selection.right, selection.bottom});
  viewport()->update(first.united(last));
}

MapView::RenderedCells MapView::RenderCells(QRect area, int scale) {
  RenderedCells out;
  // The cells the area touches, in screen pixels.
  const int cell = cell_size_ * scale;
  const int x0 = (area.left() + horizontalScrollBar()->value()) * scale;
  const int y0 = (area.top() + verticalScrollBar()->value()) * scale;
  const int extent = MapSize * cell;
  const int x1 = std::min(x0 + area.width() * scale, extent);
  const int y1 = std::min(y0 + area.height() * scale, extent);
  if (x0 >= x1 || y0 >= y1 || x0 < 0 || y0 < 0) return out;
  CellBlock block;
  block.column = x0 / cell;
  block.row = y0 / cell;
  block.columns = (x1 - 1) / cell - block.column + 1;
  block.rows = (y1 - 1) / cell - block.row + 1;

  // The renderer draws whole cells from the first cell's corner, which may lie up
  // to a cell above and left of the area; the part inside the area is `source`.
  out.cells = QImage(block.columns * cell, block.rows * cell, QImage::Format_RGB888);
  if (out.cells.isNull()) return out;
  RgbView target{out.cells.bits(), out.cells.width(), out.cells.height(),
                 static_cast<std::size_t>(out.cells.bytesPerLine())};
  const auto failure =
      renderer_.Render(document_.Current(), tileset_, block, cell, target, &selection_);
  if (failure && std::find(reported_.begin(), reported_.end(), *failure) == reported_.end()) {
    reported_.push_back(*failure);
    emit RenderFailed(QString::fromStdString(*failure));
  }
  out.source = QRect(x0 - block.column * cell, y0 - block.row * cell, x1 - x0, y1 - y0);
  return out;
}

void MapView::DrawArea(QPainter& painter, QRect area, int scale) {
  const RenderedCells rendered = RenderCells(area, scale);
  const QRectF covered(QPointF(area.topLeft()), QSizeF(rendered.source.size()) / scale);
  // Beyond the level's last row or column the view shows its dark ground.
  if (covered.width() < area.width() || covered.height() < area.height())
    painter.fillRect(area, palette().color(QPalette::Dark));
  if (!rendered.source.isEmpty()) painter.drawImage(covered, rendered.cells, rendered.source);
}

QImage MapView::RenderArea(QRect area, int scale) {
  scale = std::max(1, scale);
  QImage picture(area.size() * scale, QImage::Format_RGB888);
  if (picture.isNull()) return picture;
  picture.setDevicePixelRatio(scale);
  QPainter painter(&picture);
  // The picture's own coordinates start at the area's corner.
  painter.translate(-area.topLeft());
  DrawArea(painter, area, scale);
  painter.end();
  return picture;
}

void MapView::paintEvent(QPaintEvent* event) {
  const QRect area = event->rect().intersected(viewport()->rect());
  if (area.isEmpty()) return;
  QPainter painter(viewport());
  DrawArea(painter, area, std::max(1, qRound(devicePixelRatioF())));
}

void MapView::SelectTo(GridCell cell) {
  GridSelection next{std::min(anchor_.column, cell.column), std::min(anchor_.row, cell.row),
                     std::max(anchor_.column, cell.column), std::max(anchor_.row, cell.row)};
  if (next == selection_) return;
  InvalidateSelection(selection_);
  selection_ = next;
  InvalidateSelection(selection_);
}

void MapView::mousePressEvent(QMouseEvent* event) {
  // Only the left button moves the selection, as a grid does; the other buttons
  // act on the selection there is when they are released.
  if (event->button() != Qt::LeftButton) return;
  const auto cell = CellAt(event->position().toPoint());
  if (!cell) return;
  if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = *cell;
  dragging_ = true;
  SelectTo(*cell);
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return;
  const GridCell cell = ClampedCellAt(event->position().toPoint());
  EnsureVisible(cell);
  SelectTo(cell);
}

void MapView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  if (!viewport()->rect().contains(event->position().toPoint()) &&
      event->button() != Qt::LeftButton)
    return;
  emit CellsReleased(event->button());
}

void MapView::keyPressEvent(QKeyEvent* event) {
  int dx = 0;
  int dy = 0;
  switch (event->key()) {
    case Qt::Key_Left:
      dx = -1;
      break;
    case Qt::Key_Right:
      dx = 1;
      break;
    case Qt::Key_Up:
      dy = -1;
      break;
    case Qt::Key_Down:
      dy = 1;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  // The moving corner is the one away from the anchor.
  const GridCell moving{selection_.left == anchor_.column ? selection_.right : selection_.left,
                        selection_.top == anchor_.row ? selection_.bottom : selection_.top};
  const GridCell cell{std::clamp(moving.column + dx, 0, MapSize - 1),
                      std::clamp(moving.row + dy, 0, MapSize - 1)};
  if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = cell;
  SelectTo(cell);
  EnsureVisible(cell);
}

void MapView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void MapView::scrollContentsBy(int dx, int dy) {
  // Move what is already drawn; only the strip that scrolls into view is painted.
  viewport()->scroll(dx, dy);
}

}  // namespace qm
