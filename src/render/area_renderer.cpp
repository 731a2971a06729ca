#include "render/area_renderer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>

namespace qm {

void DrawSelectionOutline(RgbView target, PixelRect cell) {
  const int left = std::max(cell.left + 1, 0);
  const int right = std::min(cell.right - 2, target.width - 1);
  const int top = std::max(cell.top + 1, 0);
  const int bottom = std::min(cell.bottom - 2, target.height - 1);
  if (left > right || top > bottom) return;
  auto black = [&](int x, int y) {
    std::memset(target.data + static_cast<std::size_t>(y) * target.stride + 3 * x, 0, 3);
  };
  for (int x = left; x <= right; ++x) {
    if (cell.top + 1 == top) black(x, top);
    if (cell.bottom - 2 == bottom) black(x, bottom);
  }
  for (int y = top; y <= bottom; ++y) {
    if (cell.left + 1 == left) black(left, y);
    if (cell.right - 2 == right) black(right, y);
  }
}

AreaRenderer::AreaRenderer(int threads)
    : threads_(threads > 0
                   ? threads
                   : std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4)) {}

AreaRenderer::~AreaRenderer() = default;

void AreaRenderer::Clear() {
  cache_.Clear();
}

std::optional<std::string> AreaRenderer::Render(const TMap& level, const Tileset& tileset,
                                                CellBlock block, int cell_size, RgbView target,
                                                const GridSelection* selection) {
  if (cell_size <= 0 || block.columns <= 0 || block.rows <= 0) return std::nullopt;
  const int workers = std::min(Threads(), block.rows);

  struct Outcome {
    std::optional<std::string> error;
  };
  std::vector<Outcome> outcomes(static_cast<std::size_t>(workers));

  // Worker w draws rows w, w + workers, ...: neighbouring rows cost about the same,
  // so interleaving keeps the threads evenly loaded.
  auto draw_rows = [&](int w) {
    CellBuffer buffer(cell_size, cell_size);
    for (int r = w; r < block.rows; r += workers) {
      const int top = r * cell_size;
      if (top >= target.height) break;
      const int rows_in_target = std::min(cell_size, target.height - top);
      for (int c = 0; c < block.columns; ++c) {
        const int left = c * cell_size;
        if (left >= target.width) break;
        const int column = block.column + c;
        const int row = block.row + r;
        // A cell wholly inside the target is drawn where it lies; one cut by the
        // target's edge goes through a buffer of its own size first.
        const bool whole = left + cell_size <= target.width && top + cell_size <= target.height;
        std::uint8_t* at = target.data + static_cast<std::size_t>(top) * target.stride + 3 * left;
        if (whole) {
          for (int y = 0; y < cell_size; ++y)
            std::memset(at + static_cast<std::size_t>(y) * target.stride, 255, 3 * cell_size);
        } else {
          buffer.Reset();
        }
        try {
          if (whole) {
            RenderCell(level, tileset, column + 1, row + 1,
                       RgbView{at, cell_size, cell_size, target.stride}, &cache_);
          } else {
            RenderCell(level, tileset, column + 1, row + 1, buffer, &cache_);
          }
        } catch (const std::exception& failure) {
          auto& error = outcomes[static_cast<std::size_t>(w)].error;
          if (!error) error = failure.what();
        }
        if (!whole) {
          const int bytes = 3 * std::min(cell_size, target.width - left);
          for (int y = 0; y < rows_in_target; ++y) {
            std::memcpy(at + static_cast<std::size_t>(y) * target.stride, buffer.Row(y),
                        static_cast<std::size_t>(bytes));
          }
        }
        if (selection && column >= selection->left && column <= selection->right &&
            row >= selection->top && row <= selection->bottom) {
          DrawSelectionOutline(target, {left, top, left + cell_size, top + cell_size});
        }
      }
    }
  };

  std::vector<std::thread> helpers;
  for (int w = 1; w < workers; ++w) helpers.emplace_back(draw_rows, w);
  draw_rows(0);
  for (auto& helper : helpers) helper.join();

  for (const Outcome& outcome : outcomes) {
    if (outcome.error) return outcome.error;
  }
  return std::nullopt;
}

}  // namespace qm
