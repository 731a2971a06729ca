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
      const long long two_span = 2LL * span;
      for (int i = 0; i < count_; ++i) {
        const long long k = lo - dest_begin + i;
        samples_[static_cast<std::size_t>(i)] = static_cast<int>(((2 * k + 1) * source) / two_span);
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

}  // namespace qm
