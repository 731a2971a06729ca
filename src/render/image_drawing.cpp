#include "render/image_drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qm {
namespace {

// round(v / 255) for 0 <= v <= 255 * 255, without a division.
inline std::uint8_t Div255(unsigned v) {
  v += 128;
  return static_cast<std::uint8_t>((v + (v >> 8)) >> 8);
}

inline void Blend(std::uint8_t* d, unsigned r, unsigned g, unsigned b, unsigned a) {
  const unsigned na = 255 - a;
  d[0] = Div255(r * a + d[0] * na);
  d[1] = Div255(g * a + d[1] * na);
  d[2] = Div255(b * a + d[2] * na);
}

// For each target pixel of a span, the source index under its centre; the span
// is clipped to the target.
class AxisMap {
 public:
  // dest_begin..dest_end in target coordinates, clipped to 0..limit.
  AxisMap(int source, int dest_begin, int dest_end, int limit) {
    const int span = dest_end - dest_begin;
    const int lo = std::max(dest_begin, 0);
    const int hi = std::min(dest_end, limit);
    begin_ = lo;
    count_ = std::max(0, hi - lo);
    if (count_ > 0) {
      samples_.resize(static_cast<std::size_t>(count_));
      for (int i = 0; i < count_; ++i) {
        samples_[static_cast<std::size_t>(i)] = ScaledSample(lo - dest_begin + i, source, span);
      }
    }
  }
  int Begin() const { return begin_; }
  int Count() const { return count_; }
  int operator[](int i) const { return samples_[static_cast<std::size_t>(i)]; }
  const int* Data() const { return samples_.data(); }

 private:
  int begin_ = 0;
  int count_ = 0;
  std::vector<int> samples_;
};

}  // namespace

bool IsFullyOpaque(const PngImage& image) {
  if (image.Empty()) return false;
  switch (image.ColorType()) {
    case PngColorType::RGB:
    case PngColorType::Grey:
      return true;
    case PngColorType::Palette: {
      const auto& alpha = image.PaletteAlpha();
      for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* row = image.Row(y);
        for (int x = 0; x < image.Width(); ++x) {
          if (row[x] < alpha.size() && alpha[row[x]] != 255) return false;
        }
      }
      return true;
    }
    case PngColorType::GreyAlpha:
    case PngColorType::RGBA:
      for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* a = image.AlphaRow(y);
        for (int x = 0; x < image.Width(); ++x) {
          if (a[x] != 255) return false;
        }
      }
      return true;
  }
  return false;
}

void DrawImageScaled(const PngImage& image, PixelRect dest, RgbView target) {
  if (image.Empty() || dest.Width() <= 0 || dest.Height() <= 0) return;
  const AxisMap xs(image.Width(), dest.left, dest.right, target.width);
  const AxisMap ys(image.Height(), dest.top, dest.bottom, target.height);
  if (xs.Count() == 0 || ys.Count() == 0) return;
  const int* sx = xs.Data();
  const int n = xs.Count();
  const PngColorType type = image.ColorType();

  for (int j = 0; j < ys.Count(); ++j) {
    const int sy = ys[j];
    std::uint8_t* out = target.data + static_cast<std::size_t>(ys.Begin() + j) * target.stride +
                        3 * static_cast<std::size_t>(xs.Begin());
    const std::uint8_t* src = image.Row(sy);
    switch (type) {
      case PngColorType::RGB:
        for (int i = 0; i < n; ++i) std::memcpy(out + 3 * i, src + 3 * sx[i], 3);
        break;
      case PngColorType::RGBA: {
        const std::uint8_t* alpha = image.AlphaRow(sy);
        for (int i = 0; i < n; ++i) {
          const unsigned a = alpha[sx[i]];
          if (a == 0) continue;
          const std::uint8_t* p = src + 3 * sx[i];
          if (a == 255) {
            std::memcpy(out + 3 * i, p, 3);
          } else {
            Blend(out + 3 * i, p[0], p[1], p[2], a);
          }
        }
        break;
      }
      case PngColorType::Grey:
        for (int i = 0; i < n; ++i) std::memset(out + 3 * i, src[sx[i]], 3);
        break;
      case PngColorType::GreyAlpha: {
        const std::uint8_t* alpha = image.AlphaRow(sy);
        for (int i = 0; i < n; ++i) {
          const unsigned a = alpha[sx[i]];
          if (a == 0) continue;
          const unsigned v = src[sx[i]];
          if (a == 255) {
            std::memset(out + 3 * i, static_cast<int>(v), 3);
          } else {
            Blend(out + 3 * i, v, v, v, a);
          }
        }
        break;
      }
      case PngColorType::Palette: {
        const auto& palette = image.Palette();
        const auto& palette_alpha = image.PaletteAlpha();
        for (int i = 0; i < n; ++i) {
          const std::uint8_t index = src[sx[i]];
          // A decoded image never holds an index past its palette; an image made
          // in memory might, and then draws black rather than reading past it.
          const PngRgb c = index < palette.size() ? palette[index] : PngRgb{};
          const unsigned a = index < palette_alpha.size() ? palette_alpha[index] : 255;
          if (a == 0) continue;
          if (a == 255) {
            out[3 * i] = c.r;
            out[3 * i + 1] = c.g;
            out[3 * i + 2] = c.b;
          } else {
            Blend(out + 3 * i, c.r, c.g, c.b, a);
          }
        }
        break;
      }
    }
  }
}

void MeasureRgbaSpans(const std::uint8_t* rgba, int width, int height, std::uint16_t* spans) {
  for (int y = 0; y < height; ++y, spans += 3) {
    const std::uint8_t* row = rgba + 4 * static_cast<std::size_t>(y) * width;
    int first = 0;
    while (first < width && row[4 * first + 3] == 0) ++first;
    int end = width;
    while (end > first && row[4 * (end - 1) + 3] == 0) --end;
    bool opaque = true;
    for (int x = first; x < end && opaque; ++x) opaque = row[4 * x + 3] == 255;
    spans[0] = static_cast<std::uint16_t>(first);
    spans[1] = static_cast<std::uint16_t>(end);
    spans[2] = opaque ? 1 : 0;
  }
}

void DrawRgbaAt(const std::uint8_t* rgba, PixelRect dest, RgbView target,
                const std::uint16_t* spans) {
  const int w = dest.Width();
  const int x0 = std::max(dest.left, 0);
  const int x1 = std::min(dest.right, target.width);
  const int y0 = std::max(dest.top, 0);
  const int y1 = std::min(dest.bottom, target.height);
  for (int y = y0; y < y1; ++y) {
    int from = x0;
    int to = x1;
    bool opaque = false;
    if (spans != nullptr) {
      const std::uint16_t* span = spans + 3 * (y - dest.top);
      from = std::max(from, dest.left + span[0]);
      to = std::min(to, dest.left + span[1]);
      opaque = span[2] != 0;
    }
    if (from >= to) continue;
    const std::uint8_t* src = rgba + 4 * (static_cast<std::size_t>(y - dest.top) * w +
                                          static_cast<std::size_t>(from - dest.left));
    std::uint8_t* out = target.data + static_cast<std::size_t>(y) * target.stride +
                        3 * static_cast<std::size_t>(from);
    const int n = to - from;
    if (opaque) {
      for (int i = 0; i < n; ++i) {
        out[3 * i] = src[4 * i];
        out[3 * i + 1] = src[4 * i + 1];
        out[3 * i + 2] = src[4 * i + 2];
      }
      continue;
    }
    for (int i = 0; i < n; ++i, src += 4, out += 3) {
      const unsigned a = src[3];
      if (a == 0) continue;
      if (a == 255) {
        std::memcpy(out, src, 3);
      } else {
        Blend(out, src[0], src[1], src[2], a);
      }
    }
  }
}

}  // namespace qm
