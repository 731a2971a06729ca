#include "render/cell_renderer.h"

#include <algorithm>

#include "render/image_drawing.h"

namespace qm {
namespace {

bool IsMask(int effect) {
  return (effect >= EffectMaskUpperLeftDiagonal && effect <= EffectMaskLowerRightSection) ||
         effect == EffectMaskShadedVerticalSection;
}
bool IsOpacity(int effect) {
  return effect >= EffectTransparent10 && effect <= EffectTransparent90;
}
bool IsZoom(int effect) {
  return effect >= EffectZoomUpperLeftQuarter && effect <= EffectZoomLowerRightQuarter;
}

// Codes that change the work image; every other code draws the tile as it is, so
// they share one derivation.
int DerivationKind(int effect) {
  return IsMask(effect) || IsOpacity(effect) || IsZoom(effect) ? effect : 0;
}

// The band of a wall section along an axis of n pixels: t = n div 3, band t + 1 to
// n - 2 - t inclusive.
struct Band {
  int t;
  int lo;
  int hi;
  explicit Band(int n) : t(n / 3), lo(n / 3 + 1), hi(n - 2 - n / 3) {}
  bool In(int i) const { return i >= lo && i <= hi; }
};

inline bool MaskKeeps(int effect, int r, int c, int width, int height, const Band& rows,
                      const Band& cols) {
  // Rows count along the height, columns along the width; on a square tile of N
  // pixels both bands are the same and the diagonals are r + c = N - 1 and r = c.
  const long long w = width;
  const long long h = height;
  switch (effect) {
    case EffectMaskUpperLeftDiagonal:
      return r * w + c * h <= w * h - std::max(w, h);
    case EffectMaskLowerRightDiagonal:
      return r * w + c * h > w * h - std::max(w, h);
    case EffectMaskLowerLeftDiagonal:
      return r * w > c * h;
    case EffectMaskUpperRightDiagonal:
      return c * h > r * w;
    case EffectMaskCrossSection:
      return rows.In(r) || cols.In(c);
    case EffectMaskHorizontalSection:
      return rows.In(r);
    case EffectMaskVerticalSection:
      return cols.In(c);
    case EffectMaskUpperTSection:
      return rows.In(r) || (cols.In(c) && r <= rows.t);
    case EffectMaskLowerTSection:
      return rows.In(r) || (cols.In(c) && r >= height - 1 - rows.t);
    case EffectMaskLeftTSection:
      return cols.In(c) || (rows.In(r) && c <= cols.t);
    case EffectMaskRightTSection:
      return cols.In(c) || (rows.In(r) && c >= width - 1 - cols.t);
    case EffectMaskUpperLeftSection:
      return (cols.In(c) && r <= height - 2 - rows.t) || (rows.In(r) && c <= width - 2 - cols.t);
    case EffectMaskUpperRightSection:
      return (cols.In(c) && r <= height - 2 - rows.t) || (rows.In(r) && c >= cols.t + 1);
    case EffectMaskLowerLeftSection:
      return (cols.In(c) && r >= rows.t + 1) || (rows.In(r) && c <= width - 2 - cols.t);
    case EffectMaskLowerRightSection:
      return (cols.In(c) && r >= rows.t + 1) || (rows.In(r) && c >= cols.t + 1);
    default:
      return true;
  }
}

std::uint8_t OpacityOf(int effect) {
  return static_cast<std::uint8_t>(225 - 25 * (effect - EffectTransparent10));
}

std::optional<PngImage> ZoomQuarter(const PngImage& tile, int effect) {
  const int wt = tile.Width();
  const int t2 = wt / 2;
  switch (effect) {
    case EffectZoomUpperLeftQuarter:
      return CropImage(tile, {0, 0, t2, t2});
    case EffectZoomUpperRightQuarter:
      return CropImage(tile, {t2, 0, wt, t2});
    case EffectZoomLowerLeftQuarter:
      return CropImage(tile, {0, t2, t2, wt});
    default:
      return CropImage(tile, {t2, t2, wt, wt});
  }
}

std::uint32_t WorkKey(int tile, int kind, int rotation) {
  return (static_cast<std::uint32_t>(tile) << 16) | (static_cast<std::uint32_t>(kind) << 8) |
         static_cast<std::uint32_t>(rotation);
}

// The work image before rotation: the tile or its quarter, given alpha, edited.
// Empty when a quarter cannot be cut.
PngImage EditedWork(const PngImage& source, int kind) {
  PngImage work;
  if (IsZoom(kind)) {
    std::optional<PngImage> quarter = ZoomQuarter(source, kind);
    if (quarter) work = std::move(*quarter);
  } else {
    work = source;
  }
  if (!work.Empty()) {
    if (work.ColorType() != PngColorType::RGBA) work.AddAlpha();
    ApplyAlphaEdit(work, kind);
  }
  return work;
}

}  // namespace

CellBuffer::CellBuffer(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(3 * static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 255) {}

void CellBuffer::Reset() {
  std::fill(pixels_.begin(), pixels_.end(), std::uint8_t{255});
}

EffectPlacement EffectDestinations(int effect, int width, int height) {
  const int w = width;
  const int h = w / 2;
  const int q = w / 4;
  const PixelRect ul{0, 0, h, h}, ur{h, 0, w, h}, ll{0, h, h, w}, lr{h, h, w, w};
  auto one = [](PixelRect a) { return EffectPlacement{1, {a}}; };
  auto two = [](PixelRect a, PixelRect b) { return EffectPlacement{2, {a, b}}; };
  auto three = [](PixelRect a, PixelRect b, PixelRect c) { return EffectPlacement{3, {a, b, c}}; };
  switch (effect) {
    case EffectPositionUpperLeft:
      return one(ul);
    case EffectPositionUpperCenter:
      return one({q, 0, q + h, h});
    case EffectPositionUpperRight:
      return one(ur);
    case EffectPositionCenterLeft:
      return one({0, q, h, q + h});
    case EffectPositionCenter:
      return one({q, q, q + h, q + h});
    case EffectPositionCenterRight:
      return one({h, q, w, q + h});
    case EffectPositionLowerLeft:
      return one(ll);
    case EffectPositionLowerCenter:
      return one({q, h, q + h, w});
    case EffectPositionLowerRight:
      return one(lr);
    case EffectTiledFull:
      return EffectPlacement{4, {ul, ur, ll, lr}};
    case EffectTiledHorizontalUpper:
      return two(ul, ur);
    case EffectTiledHorizontalLower:
      return two(ll, lr);
    case EffectTiledVerticalLeft:
      return two(ul, ll);
    case EffectTiledVerticalRight:
      return two(ur, lr);
    case EffectTiledUpperLeftDiagonal:
      return three(ul, ur, ll);
    case EffectTiledUpperRightDiagonal:
      return three(ul, ur, lr);
    case EffectTiledLowerRightDiagonal:
      return three(ur, ll, lr);
    case EffectTiledLowerLeftDiagonal:
      return three(ul, ll, lr);
    case EffectTiledHorizontalCenter:
      return two({0, q, h, q + h}, {h, q, w, q + h});
    case EffectTiledVerticalCenter:
      return two({q, 0, q + h, h}, {q, h, q + h, w});
    default:
      return one({0, 0, width, height});
  }
}

void ApplyAlphaEdit(PngImage& image, int effect) {
  if (!image.HasAlpha() || image.Empty()) return;
  const int width = image.Width();
  const int height = image.Height();
  if (IsOpacity(effect)) {
    const std::uint8_t value = OpacityOf(effect);
    for (int r = 0; r < height; ++r) {
      std::uint8_t* a = image.AlphaRow(r);
      for (int c = 0; c < width; ++c) {
        if (a[c] != 0) a[c] = value;
      }
    }
    return;
  }
  if (!IsMask(effect)) return;
  const Band rows(height);
  const Band cols(width);
  if (effect == EffectMaskShadedVerticalSection) {
    // The kept band with a thin translucent black edge on either side: the shade
    // columns t - k .. t and W - 1 - t .. W - 1 - t + k, k = t div 6.
    const int k = cols.t / 6;
    const int bytes = image.ColorBytesPerPixel();
    auto shaded = [&](int c) {
      return (c >= cols.t - k && c <= cols.t) ||
             (c >= width - 1 - cols.t && c <= width - 1 - cols.t + k);
    };
    for (int r = 0; r < height; ++r) {
      std::uint8_t* colour = image.Row(r);
      std::uint8_t* a = image.AlphaRow(r);
      for (int c = 0; c < width; ++c) {
        if (cols.In(c)) continue;
        if (shaded(c)) {
          std::fill_n(colour + bytes * c, bytes, std::uint8_t{0});
          a[c] = 32;
        } else {
          a[c] = 0;
        }
      }
    }
    return;
  }
  // One loop per mask, so that the choice of mask is made once per image rather
  // than once per pixel.
  auto clear_outside = [&](auto keeps) {
    for (int r = 0; r < height; ++r) {
      std::uint8_t* a = image.AlphaRow(r);
      for (int c = 0; c < width; ++c) {
        if (!keeps(r, c)) a[c] = 0;
      }
    }
  };
  switch (effect) {
#define QM_MASK_CASE(code)                                                                         \
  case code:                                                                                       \
    clear_outside([&](int r, int c) { return MaskKeeps(code, r, c, width, height, rows, cols); }); \
    break;
    QM_MASK_CASE(EffectMaskUpperLeftDiagonal)
    QM_MASK_CASE(EffectMaskLowerRightDiagonal)
    QM_MASK_CASE(EffectMaskLowerLeftDiagonal)
    QM_MASK_CASE(EffectMaskUpperRightDiagonal)
    QM_MASK_CASE(EffectMaskCrossSection)
    QM_MASK_CASE(EffectMaskHorizontalSection)
    QM_MASK_CASE(EffectMaskVerticalSection)
    QM_MASK_CASE(EffectMaskUpperTSection)
    QM_MASK_CASE(EffectMaskLowerTSection)
    QM_MASK_CASE(EffectMaskLeftTSection)
    QM_MASK_CASE(EffectMaskRightTSection)
    QM_MASK_CASE(EffectMaskUpperLeftSection)
    QM_MASK_CASE(EffectMaskUpperRightSection)
    QM_MASK_CASE(EffectMaskLowerLeftSection)
    QM_MASK_CASE(EffectMaskLowerRightSection)
#undef QM_MASK_CASE
    default:
      break;
  }
}

void RenderCache::Clear() {
  std::unique_lock lock(maps_mutex_);
  entries_.clear();
  scaled_.clear();
  work_images_.clear();
  scaled_pixels_.clear();
  bytes_.store(0, std::memory_order_relaxed);
}

void RenderCache::Own(std::unique_ptr<PngImage> image) {
  if (image) work_images_.push_back(std::move(image));
}

void RenderCache::Own(std::unique_ptr<ScaledPixels> pixels) {
  if (pixels) scaled_pixels_.push_back(std::move(pixels));
}

template <typename Map, typename Derive>
typename Map::mapped_type RenderCache::Find(SharedLock& lock, Map& map, typename Map::key_type key,
                                            Derive derive) {
  if (!lock.owns_lock()) lock.lock();
  if (auto it = map.find(key); it != map.end()) return it->second;
  lock.unlock();
  auto [handed_out, owner, bytes] = derive();
  std::unique_lock exclusive(maps_mutex_);
  const auto [it, added] = map.try_emplace(key, handed_out);
  if (added) {
    Own(std::move(owner));
    bytes_.fetch_add(bytes, std::memory_order_relaxed);
  }
  return it->second;
}

RenderCache::Work RenderCache::Get(SharedLock& lock, const Tileset& tileset, int tile, int effect,
                                   int rotation) {
  const int kind = DerivationKind(effect);
  return Find(lock, entries_, WorkKey(tile, kind, rotation), [&] {
    const PngImage& source = tileset.Image(tile);
    Work work;
    std::unique_ptr<PngImage> owned;
    std::size_t bytes = 0;
    if (kind == 0 && rotation == 0) {
      // Drawn straight from the tileset: drawing treats an image without alpha as
      // opaque and a palette image by its tRNS alpha, which is exactly what giving
      // it an alpha channel would produce.
      work.image = &source;
    } else {
      PngImage edited = EditedWork(source, kind);
      if (!edited.Empty()) {
        if (rotation != 0) {
          RotateImage(edited, RotationToDegrees(static_cast<std::uint8_t>(rotation)));
        }
        bytes =
            edited.RowBytes() * static_cast<std::size_t>(edited.Height()) +
            static_cast<std::size_t>(edited.Width()) * static_cast<std::size_t>(edited.Height());
        owned = std::make_unique<PngImage>(std::move(edited));
        work.image = owned.get();
      }
    }
    work.opaque = work.image != nullptr && IsFullyOpaque(*work.image);
    return std::tuple{work, std::move(owned), bytes};
  });
}

RenderCache::Scaled RenderCache::GetScaled(SharedLock& lock, const Tileset& tileset, int tile,
                                           int effect, int rotation, int width, int height) {
  const int kind = DerivationKind(effect);
  const std::uint64_t key = (static_cast<std::uint64_t>(WorkKey(tile, kind, rotation)) << 32) |
                            (static_cast<std::uint64_t>(width) << 16) |
                            static_cast<std::uint64_t>(height);
  return Find(lock, scaled_, key, [&] {
    const PngImage& source = tileset.Image(tile);
    PngImage edited;
    const PngImage* work = &source;  // drawn as it is: see Get()
    if (kind != 0 || rotation != 0) {
      edited = EditedWork(source, kind);
      work = &edited;
    }
    Scaled scaled;
    std::unique_ptr<ScaledPixels> owned;
    std::size_t bytes = 0;
    if (!work->Empty()) {
      owned = std::make_unique<ScaledPixels>();
      std::vector<std::uint8_t>& pixels = owned->pixels;
      pixels.resize(4 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      std::uint8_t* out = pixels.data();
      bool opaque = true;
      if (rotation != 0) {
        const RotatedSampler turned(*work, RotationToDegrees(static_cast<std::uint8_t>(rotation)));
        const ImageSize size = turned.Size();
        for (int j = 0; j < height; ++j) {
          const int sy = ScaledSample(j, size.height, height);
          for (int i = 0; i < width; ++i, out += 4) {
            turned.Sample(ScaledSample(i, size.width, width), sy, out, out[3]);
            opaque = opaque && out[3] == 255;
          }
        }
      } else {
        for (int j = 0; j < height; ++j) {
          const int sy = ScaledSample(j, work->Height(), height);
          for (int i = 0; i < width; ++i, out += 4) {
            work->PixelRgba(ScaledSample(i, work->Width(), width), sy, out);
            opaque = opaque && out[3] == 255;
          }
        }
      }
      owned->spans.resize(3 * static_cast<std::size_t>(height));
      MeasureRgbaSpans(pixels.data(), width, height, owned->spans.data());
      bytes = pixels.size() + 2 * owned->spans.size() + 64;
      scaled = {pixels.data(), owned->spans.data(), opaque};
    }
    return std::tuple{scaled, std::move(owned), bytes};
  });
}

RenderCache::Work RenderCache::Get(const Tileset& tileset, int tile, int effect, int rotation) {
  SharedLock lock(maps_mutex_, std::defer_lock);
  return Get(lock, tileset, tile, effect, rotation);
}

RenderCache::Scaled RenderCache::GetScaled(const Tileset& tileset, int tile, int effect,
                                           int rotation, int width, int height) {
  SharedLock lock(maps_mutex_, std::defer_lock);
  return GetScaled(lock, tileset, tile, effect, rotation, width, height);
}

// Entering a cell costs two atomic operations while the cache is under its limit.
// A trim announces itself in trimming_ and then waits for cells_drawing_ to fall
// to 0; a cell counts itself in and then looks at trimming_. Both sequentially
// consistent, so at least one of the two sees the other: either the trim waits
// for the cell, or the cell steps back and waits for the trim.
RenderCache::Cell::Cell(RenderCache& cache)
    : cache_(cache), lock_(cache.maps_mutex_, std::defer_lock) {
  for (;;) {
    if (!cache.trimming_.load() &&
        cache.bytes_.load(std::memory_order_relaxed) <= cache.byte_limit_) {
      cache.cells_drawing_.fetch_add(1);
      if (!cache.trimming_.load()) return;
      Leave();
    }
    // trimming_ changes only under the mutex, so here it is what it seems.
    std::unique_lock lock(cache.trim_mutex_);
    if (cache.trimming_.load()) {
      cache.cells_ended_.wait(lock, [&] { return !cache.trimming_.load(); });
    } else if (cache.bytes_.load(std::memory_order_relaxed) > cache.byte_limit_) {
      cache.trimming_.store(true);
      cache.cells_ended_.wait(lock, [&] { return cache.cells_drawing_.load() == 0; });
      cache.Clear();
      cache.trimming_.store(false);
      cache.cells_ended_.notify_all();
    }
  }
}

RenderCache::Cell::~Cell() {
  if (lock_.owns_lock()) lock_.unlock();
  Leave();
}

void RenderCache::Cell::Leave() {
  if (cache_.cells_drawing_.fetch_sub(1) == 1 && cache_.trimming_.load()) {
    // Taking the mutex first: the trim either has not yet looked at the count, or
    // is waiting and gets the signal.
    std::lock_guard lock(cache_.trim_mutex_);
    cache_.cells_ended_.notify_all();
  }
}

RenderCache::Work RenderCache::Cell::Get(const Tileset& tileset, int tile, int effect,
                                         int rotation) {
  return cache_.Get(lock_, tileset, tile, effect, rotation);
}

RenderCache::Scaled RenderCache::Cell::GetScaled(const Tileset& tileset, int tile, int effect,
                                                 int rotation, int width, int height) {
  return cache_.GetScaled(lock_, tileset, tile, effect, rotation, width, height);
}

void RenderCache::Cell::DoneLooking() {
  if (lock_.owns_lock()) lock_.unlock();
}

void RenderCell(const TMap& level, const Tileset& tileset, int x, int y, CellBuffer& buffer,
                RenderCache* cache) {
  RenderCell(level, tileset, x, y, buffer.View(), cache);
}

void RenderCell(const TMap& level, const Tileset& tileset, int x, int y, RgbView view,
                RenderCache* cache) {
  if (x < 1 || x > MapSize || y < 1 || y > MapSize) return;
  RenderCache local(~std::size_t{0});
  RenderCache& work = cache ? *cache : local;
  RenderCache::Cell cell(work);

  const int width = view.width;
  const int height = view.height;
  const int tile_count = tileset.TileCount();
  const PixelRect full{0, 0, width, height};

  // Per layer, what each of its rectangles is drawn from: a scaled copy for small
  // rectangles, the work image otherwise.
  struct Layer {
    EffectPlacement placement;
    std::array<const std::uint8_t*, 4> scaled{};
    std::array<const std::uint16_t*, 4> spans{};
    const PngImage* image = nullptr;
    bool covers = false;  // opaque over the whole cell: nothing beneath it shows
  };
  std::array<Layer, kLayerCount> layers;
  int count = 0;
  for (int s = 0; s < kLayerCount; ++s) {
    if (!level.LayerVisible(s)) continue;
    const LayerSlot slot = level.Slot(x, y, s);
    const int t = slot.TileIndex;
    if (t == 0 || t >= tile_count) continue;
    Layer layer;
    layer.placement = EffectDestinations(slot.TileEffect, width, height);
    if (level.ShowHidden() == 0 && tileset.Properties(t).Hidden()) continue;
    bool drawn = false;
    bool opaque = true;
    for (int r = 0; r < layer.placement.count; ++r) {
      const PixelRect rect = layer.placement.rects[static_cast<std::size_t>(r)];
      if (rect.Width() <= 0 || rect.Height() <= 0) continue;
      if (rect.Width() * rect.Height() <= RenderCache::kScaledMaxPixels) {
        const RenderCache::Scaled scaled = cell.GetScaled(
            tileset, t, slot.TileEffect, slot.TileRotation, rect.Width(), rect.Height());
        layer.scaled[static_cast<std::size_t>(r)] = scaled.pixels;
        layer.spans[static_cast<std::size_t>(r)] = scaled.spans;
        drawn = drawn || scaled.pixels != nullptr;
        opaque = opaque && scaled.opaque;
      } else {
        if (layer.image == nullptr) {
          const RenderCache::Work w = cell.Get(tileset, t, slot.TileEffect, slot.TileRotation);
          if (w.image == nullptr) break;
          layer.image = w.image;
          opaque = opaque && w.opaque;
        }
        drawn = true;
      }
    }
    if (!drawn) continue;
    layer.covers = opaque && layer.placement.count == 1 && layer.placement.rects[0] == full;
    layers[static_cast<std::size_t>(count++)] = layer;
  }

  cell.DoneLooking();

  // Layers under the topmost opaque full-cell layer are overwritten pixel for
  // pixel, so drawing starts there.
  int first = 0;
  for (int i = count - 1; i >= 0; --i) {
    if (layers[static_cast<std::size_t>(i)].covers) {
      first = i;
      break;
    }
  }
  const bool covered = count > 0 && layers[static_cast<std::size_t>(first)].covers;
  const int background = level.BackgroundTile();
  if (!covered && background != 0 && background < tile_count) {
    DrawImageScaled(tileset.Image(background), full, view);
  }
  for (int i = first; i < count; ++i) {
    const Layer& layer = layers[static_cast<std::size_t>(i)];
    for (int r = 0; r < layer.placement.count; ++r) {
      const PixelRect rect = layer.placement.rects[static_cast<std::size_t>(r)];
      if (const std::uint8_t* scaled = layer.scaled[static_cast<std::size_t>(r)]) {
        DrawRgbaAt(scaled, rect, view, layer.spans[static_cast<std::size_t>(r)]);
      } else if (layer.image != nullptr) {
        DrawImageScaled(*layer.image, rect, view);
      }
    }
  }
}

void RenderCell(const MapDocument& document, const Tileset& tileset, int x, int y,
                CellBuffer& buffer, RenderCache* cache) {
  RenderCell(document.Current(), tileset, x, y, buffer, cache);
}

}  // namespace qm
