#pragma once
// The picture of one map cell: the level's background tile, then layers 1 to 8,
// each tile passed through its slot's effect code and rotation and blended by its
// alpha. The map view, printing and export all draw cells through RenderCell.
//
// Caller contract: make a CellBuffer of the target cell's size (it starts white),
// call RenderCell, draw the buffer at the cell's rectangle, then drop or Reset() it.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "absl/container/flat_hash_map.h"

#include "document/map_document.h"
#include "document/map_records.h"
#include "render/image_transforms.h"
#include "tiles/png_image.h"
#include "tiles/tileset.h"

namespace qm {

// Effect codes with a meaning of their own; every other value draws the tile over
// the whole cell unchanged.
enum EffectCode : std::uint8_t {
  EffectPositionFull = 0,
  EffectPositionUpperLeft = 1,
  EffectPositionUpperCenter = 2,
  EffectPositionUpperRight = 3,
  EffectPositionCenterLeft = 4,
  EffectPositionCenter = 5,
  EffectPositionCenterRight = 6,
  EffectPositionLowerLeft = 7,
  EffectPositionLowerCenter = 8,
  EffectPositionLowerRight = 9,
  EffectTiledFull = 10,
  EffectTiledHorizontalUpper = 11,
  EffectTiledHorizontalLower = 12,
  EffectTiledVerticalLeft = 13,
  EffectTiledVerticalRight = 14,
  EffectTiledUpperLeftDiagonal = 15,
  EffectTiledUpperRightDiagonal = 16,
  EffectTiledLowerRightDiagonal = 17,
  EffectTiledLowerLeftDiagonal = 18,
  EffectMaskUpperLeftDiagonal = 19,
  EffectMaskLowerRightDiagonal = 20,
  EffectMaskLowerLeftDiagonal = 21,
  EffectMaskUpperRightDiagonal = 22,
  EffectMaskCrossSection = 23,
  EffectMaskHorizontalSection = 24,
  EffectMaskVerticalSection = 25,
  EffectMaskUpperTSection = 26,
  EffectMaskLowerTSection = 27,
  EffectMaskLeftTSection = 28,
  EffectMaskRightTSection = 29,
  EffectMaskUpperLeftSection = 30,
  EffectMaskUpperRightSection = 31,
  EffectMaskLowerLeftSection = 32,
  EffectMaskLowerRightSection = 33,
  EffectTransparent10 = 34,
  EffectTransparent20 = 35,
  EffectTransparent30 = 36,
  EffectTransparent40 = 37,
  EffectTransparent50 = 38,
  EffectTransparent60 = 39,
  EffectTransparent70 = 40,
  EffectTransparent80 = 41,
  EffectTransparent90 = 42,
  EffectZoomUpperLeftQuarter = 43,
  EffectZoomUpperRightQuarter = 44,
  EffectZoomLowerLeftQuarter = 45,
  EffectZoomLowerRightQuarter = 46,
  EffectTiledHorizontalCenter = 47,
  EffectTiledVerticalCenter = 48,
  EffectMaskShadedVerticalSection = 55,
};

// The picture one cell is drawn into: 8-bit RGB, no alpha, white when made.
class CellBuffer {
 public:
  CellBuffer(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  std::uint8_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * Stride(); }
  const std::uint8_t* Row(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * Stride();
  }
  std::size_t Stride() const { return 3 * static_cast<std::size_t>(width_); }
  RgbView View() { return {pixels_.data(), width_, height_, Stride()}; }
  // White again, for a caller that draws cell after cell of one size.
  void Reset();

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

// Where an effect code draws its tile in a cell `width` pixels wide and `height`
// high: one to four rectangles, in drawing order.
struct EffectPlacement {
  int count = 0;
  std::array<PixelRect, 4> rects{};
};
EffectPlacement EffectDestinations(int effect, int width, int height);

// Applies the alpha edit of a mask (19 to 33, 55) or opacity (34 to 42) code to an
// image that has an alpha plane; other codes leave it alone. Rows follow the
// image's height and columns its width, so a tile that is not square is masked
// in proportion and never written outside.
void ApplyAlphaEdit(PngImage& image, int effect);

// Work images derived from tile images (cut, masked, made transparent, rotated),
// kept between cells. The result of a derivation depends only on the tile image
// and the slot's effect and rotation, so a kept image is exactly what would be
// derived again. Clear() it whenever the tileset's images change.
//
// Threads drawing cells of one picture share one cache, so each image is derived
// once however many threads draw. Lookups share a lock; a derivation runs
// outside it, and when two threads derive the same image at once the first one
// kept wins.
class RenderCache {
 public:
  explicit RenderCache(std::size_t byte_limit = 64u << 20) : byte_limit_(byte_limit) {}
  RenderCache(const RenderCache&) = delete;
  RenderCache& operator=(const RenderCache&) = delete;

  // Not while a cell is being drawn from the cache.
  void Clear();
  std::size_t Bytes() const { return bytes_.load(std::memory_order_relaxed); }

  struct Work {
    const PngImage* image = nullptr;  // nullptr: the layer draws nothing
    bool opaque = false;              // every pixel alpha 255
  };
  // The work image of `tile` under `effect` and `rotation` (stored units of 2
  // degrees). Throws what RotateImage throws. Looked up outside a Cell (below),
  // it stays valid until the cache is cleared or trimmed.
  Work Get(const Tileset& tileset, int tile, int effect, int rotation);

  // The same work image already scaled to a width x height rectangle, 4 bytes a
  // pixel: what DrawImageScaled would sample from it, kept for small rectangles
  // (a view cell samples a fraction of a big tile's pixels, so this is both less
  // memory and less work than the work image). pixels is null when the layer
  // draws nothing.
  struct Scaled {
    const std::uint8_t* pixels = nullptr;
    const std::uint16_t* spans = nullptr;  // for DrawRgbaAt
    bool opaque = false;
  };
  Scaled GetScaled(const Tileset& tileset, int tile, int effect, int rotation, int width,
                   int height);
  // Rectangles up to this many pixels are drawn from scaled copies.
  static constexpr int kScaledMaxPixels = 64 * 64;

  // One cell being drawn: the images it hands out stay alive until it ends. A
  // cell that starts while the kept images exceed the limit waits for the cells
  // under way on other threads to end, and then everything is dropped. Its
  // lookups take the cache's lock once and hold it until DoneLooking(), letting
  // it go only to derive an image.
  class Cell {
   public:
    explicit Cell(RenderCache& cache);
    ~Cell();
    Cell(const Cell&) = delete;
    Cell& operator=(const Cell&) = delete;

    Work Get(const Tileset& tileset, int tile, int effect, int rotation);
    Scaled GetScaled(const Tileset& tileset, int tile, int effect, int rotation, int width,
                     int height);
    // After the last lookup, before drawing: other threads may keep what they
    // derive meanwhile.
    void DoneLooking();

   private:
    void Leave();
    RenderCache& cache_;
    std::shared_lock<std::shared_mutex> lock_;
  };

 private:
  using SharedLock = std::shared_lock<std::shared_mutex>;
  struct ScaledPixels {
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint16_t> spans;
  };
  Work Get(SharedLock& lock, const Tileset& tileset, int tile, int effect, int rotation);
  Scaled GetScaled(SharedLock& lock, const Tileset& tileset, int tile, int effect, int rotation,
                   int width, int height);
  // What `map` hands out for `key`, looked up under `lock` (taken when not held).
  // A miss is derived with the lock let go and kept, unless another thread kept
  // one first.
  template <typename Map, typename Derive>
  typename Map::mapped_type Find(SharedLock& lock, Map& map, typename Map::key_type key,
                                 Derive derive);
  void Own(std::unique_ptr<PngImage> image);
  void Own(std::unique_ptr<ScaledPixels> pixels);

  // What lookups hand out, by key, and the images behind them. The images never
  // move, so what a lookup handed out stays where it is until they are dropped,
  // which only happens while no cell is drawn. The maps are flat, so a lookup
  // probes one compact table instead of chasing a node of its own.
  std::shared_mutex maps_mutex_;
  absl::flat_hash_map<std::uint32_t, Work> entries_;
  absl::flat_hash_map<std::uint64_t, Scaled> scaled_;
  std::vector<std::unique_ptr<PngImage>> work_images_;
  std::vector<std::unique_ptr<ScaledPixels>> scaled_pixels_;
  std::atomic<std::size_t> bytes_{0};
  std::size_t byte_limit_;

  std::atomic<int> cells_drawing_{0};
  std::atomic<bool> trimming_{false};
  std::mutex trim_mutex_;
  std::condition_variable cells_ended_;
};

// Draws cell (x, y), 1-based, of `level` into `buffer`. Outside 1 to 72 nothing is
// drawn. `cache` may be nullptr; then every work image is derived for this call
// alone. Throws UserError "Only COLOR_RGBALPHA and COLOR_RGB formats are
// supported" for a rotated tile that is neither RGB nor RGBA once given alpha.
void RenderCell(const TMap& level, const Tileset& tileset, int x, int y, CellBuffer& buffer,
                RenderCache* cache = nullptr);
// The same into the cell's pixels inside a bigger picture (a band of an export, a
// view's block of cells): exactly what would be drawn into a CellBuffer of that
// size holding the same pixels, without the copy. The caller makes them white.
void RenderCell(const TMap& level, const Tileset& tileset, int x, int y, RgbView target,
                RenderCache* cache = nullptr);
// The same for the document's current level.
void RenderCell(const MapDocument& document, const Tileset& tileset, int x, int y,
                CellBuffer& buffer, RenderCache* cache = nullptr);

}  // namespace qm
