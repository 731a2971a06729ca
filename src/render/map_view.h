#pragma once
// The map view `DrawGrid1`: the current level as 72 x 72 square cells at the zoom's
// cell size, with a rectangular range selection. It owns no map data; every cell
// it shows is drawn by RenderCell, and only the cells a paint event exposes are
// drawn. A released mouse button is handed on to whoever applies the tools.
#include <QAbstractScrollArea>
#include <QImage>
#include <QPainter>
#include <optional>
#include <vector>

#include "document/map_document.h"
#include "editing/edit_outcome.h"
#include "render/area_renderer.h"
#include "tiles/tileset.h"

namespace qm {

class MapView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  MapView(const MapDocument& document, const Tileset& tileset, QWidget* parent = nullptr);

  int CellSize() const { return cell_size_; }
  // Column width and row height together; the selection stays.
  void SetCellSize(int size);

  GridSelection Selection() const { return selection_; }
  void SetSelection(GridSelection selection);

  // Repaint requests: one cell, some cells, or everything on screen.
  void InvalidateCell(GridCell cell);
  void InvalidateCells(const std::vector<GridCell>& cells);
  void InvalidateAll();
  // The tileset's images were replaced: drop every kept work image, repaint.
  void TilesetChanged();

  // Where a grid cell lies in viewport coordinates, and which cell is under a point.
  QRect CellRect(GridCell cell) const;
  std::optional<GridCell> CellAt(QPoint viewport_point) const;
  // Scrolls so that the cell is visible.
  void EnsureVisible(GridCell cell);

  // Draws the viewport area `area` as a paint would, into a picture of its size
  // times `scale` (the screen's pixels per logical pixel), so cells stay sharp on
  // high-density screens.
  QImage RenderArea(QRect area, int scale = 1);

 signals:
  // DrawGrid1MouseUp: a mouse button was released over the map; the selection has
  // been settled by then.
  void CellsReleased(Qt::MouseButton button);
  // A cell could not be drawn; reported once per message until the next
  // tileset change.
  void RenderFailed(const QString& message);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();
  void InvalidateSelection(GridSelection selection);
  GridCell ClampedCellAt(QPoint viewport_point) const;
  void SelectTo(GridCell cell);

  // The whole cells under a viewport area, drawn at `scale`, and the part of them
  // the area shows.
  struct RenderedCells {
    QImage cells;
    QRect source;
  };
  RenderedCells RenderCells(QRect area, int scale);
  // Draws the area with its top-left corner at the area's own position.
  void DrawArea(QPainter& painter, QRect area, int scale);

  const MapDocument& document_;
  const Tileset& tileset_;
  AreaRenderer renderer_;
  int cell_size_ = 32;
  GridSelection selection_{};
  GridCell anchor_{};
  bool dragging_ = false;
  std::vector<std::string> reported_;
};

}  // namespace qm
