#pragma once
// The map view's selection as the editing commands receive it, and what they hand
// back so the view repaints only what it must.
#include <vector>

namespace qm {

// A cell of the map view's grid: 0-based column and row (map column = column + 1).
struct GridCell {
  int column = 0;
  int row = 0;
  bool operator==(const GridCell&) const = default;
};

// The view's selection rectangle: 0-based, inclusive edges.
struct GridSelection {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const GridSelection&) const = default;

  static GridSelection SingleCell(int column, int row) { return {column, row, column, row}; }
};

// The rectangle with its edges in order and cut to the 72 x 72 grid. False when
// nothing of it lies on the grid. The view never hands over anything else, but the
// records do not check ranges, so every command goes through this first.
bool ClipToGrid(GridSelection& selection);

struct EditOutcome {
  // Redraw every visible cell; otherwise only `cells` (none: nothing to redraw).
  bool whole_view = false;
  // The cells written, in the order they were written, each once.
  std::vector<GridCell> cells;
};

}  // namespace qm
