#pragma once
// Drawing a block of map cells into one RGB picture, as the map view paints what
// is on screen. Each cell goes through RenderCell; the block is split by rows of
// cells across worker threads, which share one render cache.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/map_records.h"
#include "editing/edit_outcome.h"
#include "render/cell_renderer.h"
#include "tiles/tileset.h"

namespace qm {

// Cells of the 72 x 72 grid, 0-based: columns [column, column + columns), rows
// likewise.
struct CellBlock {
  int column = 0;
  int row = 0;
  int columns = 0;
  int rows = 0;
};

// Sets the one-pixel outline of a selected cell: the pixels from (left + 1, top + 1)
// to (right - 2, bottom - 2) along the four sides of `cell`, black, cut to the
// target.
void DrawSelectionOutline(RgbView target, PixelRect cell);

class AreaRenderer {
 public:
  // threads 0: as many as the machine has cores, at most 4.
  explicit AreaRenderer(int threads = 0);
  ~AreaRenderer();
  AreaRenderer(const AreaRenderer&) = delete;
  AreaRenderer& operator=(const AreaRenderer&) = delete;

  int Threads() const { return threads_; }

  // Draws the cells of `block` of `level` at `cell_size` pixels a cell into
  // `target`, the block's top-left cell at the target's (0, 0); what falls outside
  // the target is not drawn. Cells inside `selection` (when given) get their
  // outline. A cell whose drawing fails keeps what was drawn of it; the first
  // failure's message is returned so the caller can report it once.
  std::optional<std::string> Render(const TMap& level, const Tileset& tileset, CellBlock block,
                                    int cell_size, RgbView target,
                                    const GridSelection* selection = nullptr);

  // The tileset's images changed: no kept work image may be used again.
  void Clear();

 private:
  int threads_;
  RenderCache cache_;
};

}  // namespace qm
