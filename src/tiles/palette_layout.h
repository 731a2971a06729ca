#pragma once
// How the tile palette lays its tiles out: square cells in reading order, as many
// columns as fit the panel, and the panel width snapped to whole cells.
namespace qm {

inline constexpr int kPaletteCellSizeAtStart = 64;
inline constexpr int kPalettePanelWidthAtStart = 162;

// Tiles Zoom In / Zoom Out: 32 -> 64 -> 128 and back.
int PaletteZoomIn(int cell_size);
int PaletteZoomOut(int cell_size);

// Columns for a grid `grid_width` pixels wide, before the grid drops the columns it
// cannot show fully: at least 1.
int PaletteColumns(int grid_width, int cell_size);
// Rows for `tile_count` tiles in `columns` columns; an empty tileset keeps one row.
int PaletteRows(int tile_count, int columns);
// The tile a palette cell shows, or -1 for a cell past the last tile.
int PaletteTileAt(int column, int row, int columns, int tile_count);

// The palette panel width the splitter snaps a proposed width to: 34 pixels plus
// whole cells, each one pixel wider than the cell size.
int SnapPalettePanelWidth(int proposed_width, int cell_size);

}  // namespace qm
