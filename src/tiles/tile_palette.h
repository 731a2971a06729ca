#pragma once
// The tile palette `SymbolGrid`: every tile of the loaded tileset in square cells,
// left to right and then top to bottom, as many columns as fit the grid. Choosing a
// cell chooses its tile.
#include <QAbstractScrollArea>
#include <QImage>
#include <vector>

#include "tiles/tileset.h"

namespace qm {

class SymbolGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit SymbolGrid(const Tileset& tileset, QWidget* parent = nullptr);

  int CellSize() const { return cell_size_; }
  void SetCellSize(int size);
  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  // The selected cell's tile, -1 before the first choice.
  int SelectedTile() const { return selected_; }

  // Recomputes columns and rows for the grid's width and the tile count, then
  // repaints. Runs after a tileset load, a zoom step and a resize.
  void LayoutTilePalette();
  // The tileset's images changed: drop the pictures made of them and lay out anew.
  void TilesetChanged();

  // Chooses the tile of cell (column, row); a cell past the last tile is refused
  // (false) and the selection stays where it was.
  bool SymbolGridSelectCell(int column, int row);

  QRect CellRect(int column, int row) const;

 signals:
  void TileChosen(int tile);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SymbolGridDrawCell(QPainter& painter, int column, int row);
  const QImage& Picture(int tile);
  void UpdateScrollBar();

  const Tileset& tileset_;
  int cell_size_;
  int columns_ = 1;
  int rows_ = 1;
  int selected_ = -1;
  std::vector<QImage> pictures_;  // per tile at cell_size_, made when first shown
};

}  // namespace qm
