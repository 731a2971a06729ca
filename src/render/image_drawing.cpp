#include "render/image_drawing.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define QM_X86_KERNELS 1
#endif

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

namespace row_kernels {

void BlendPortable(const std::uint8_t* rgba, std::uint8_t* rgb, int n) {
  for (int i = 0; i < n; ++i, rgba += 4, rgb += 3) {
    const unsigned a = rgba[3];
    if (a == 0) continue;
    if (a == 255) {
      std::memcpy(rgb, rgba, 3);
    } else {
      Blend(rgb, rgba[0], rgba[1], rgba[2], a);
    }
  }
}

void CopyPortable(const std::uint8_t* rgba, std::uint8_t* rgb, int n) {
  for (int i = 0; i < n; ++i, rgba += 4, rgb += 3) std::memcpy(rgb, rgba, 3);
}

#ifdef QM_X86_KERNELS

bool HaveSsse3() {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}

// Four pixels a step: one load of 16 source bytes, byte shuffles into the 12
// colour bytes and the alpha repeated under each of them, and the blend on 16-bit
// lanes. The target's 12 bytes are read and written as 8 and 4, never a byte
// beyond the row. The blend formula needs no special cases: alpha 0 gives the
// target byte back exactly and alpha 255 the source byte. The last one to three
// pixels go one by one.
__attribute__((target("ssse3"))) inline __m128i Load12(const std::uint8_t* p) {
  std::uint32_t tail;
  std::memcpy(&tail, p + 8, 4);
  return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                            _mm_cvtsi32_si128(static_cast<int>(tail)));
}

__attribute__((target("ssse3"))) inline void Store12(std::uint8_t* p, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
  const std::uint32_t tail = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
  std::memcpy(p + 8, &tail, 4);
}

__attribute__((target("ssse3"))) void BlendSsse3(const std::uint8_t* rgba, std::uint8_t* rgb,
                                                 int n) {
  const __m128i colour = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m128i alpha = _mm_setr_epi8(3, 3, 3, 7, 7, 7, 11, 11, 11, 15, 15, 15, -1, -1, -1, -1);
  const __m128i zero = _mm_setzero_si128();
  const __m128i full = _mm_set1_epi16(255);
  const __m128i half = _mm_set1_epi16(128);
  auto blend = [&](__m128i c16, __m128i a16, __m128i d16) {
    __m128i v =
        _mm_add_epi16(_mm_mullo_epi16(c16, a16), _mm_mullo_epi16(d16, _mm_sub_epi16(full, a16)));
    v = _mm_add_epi16(v, half);
    return _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), 8);
  };
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba + 4 * i));
    const __m128i a = _mm_shuffle_epi8(s, alpha);
    // Four clear pixels, common around props: nothing to do.
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(a, zero)) == 0xFFFF) continue;
    std::uint8_t* out = rgb + 3 * i;
    const __m128i d = Load12(out);
    const __m128i c = _mm_shuffle_epi8(s, colour);
    const __m128i lo =
        blend(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(d, zero));
    const __m128i hi =
        blend(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(d, zero));
    Store12(out, _mm_packus_epi16(lo, hi));
  }
  BlendPortable(rgba + 4 * i, rgb + 3 * i, n - i);
}

__attribute__((target("ssse3"))) void CopySsse3(const std::uint8_t* rgba, std::uint8_t* rgb,
                                                int n) {
  const __m128i colour = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int i = 0;
  // Sixteen pixels a step make 48 target bytes, three whole stores.
  for (; i + 16 <= n; i += 16) {
    const auto* in = reinterpret_cast<const __m128i*>(rgba + 4 * i);
    const __m128i p0 = _mm_shuffle_epi8(_mm_loadu_si128(in), colour);
    const __m128i p1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), colour);
    const __m128i p2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), colour);
    const __m128i p3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), colour);
    auto* out = reinterpret_cast<__m128i*>(rgb + 3 * i);
    _mm_storeu_si128(out, _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
    _mm_storeu_si128(out + 1, _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
    _mm_storeu_si128(out + 2, _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
  }
  for (; i + 4 <= n; i += 4) {
    Store12(
        rgb + 3 * i,
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba + 4 * i)), colour));
  }
  CopyPortable(rgba + 4 * i, rgb + 3 * i, n - i);
}

#else

bool HaveSsse3() {
  return false;
}
void BlendSsse3(const std::uint8_t* rgba, std::uint8_t* rgb, int n) {
  BlendPortable(rgba, rgb, n);
}
void CopySsse3(const std::uint8_t* rgba, std::uint8_t* rgb, int n) {
  CopyPortable(rgba, rgb, n);
}

#endif

}  // namespace row_kernels

void BlendRgbaRow(const std::uint8_t* rgba, std::uint8_t* rgb, int n) {
  static const auto kernel =
      row_kernels::HaveSsse3() ? row_kernels::BlendSsse3 : row_kernels::BlendPortable;
  kernel(rgba, rgb, n);
}

void CopyRgbaRow(const std::uint8_t* rgba, std::uint8_t* rgb, int n) {
  static const auto kernel =
      row_kernels::HaveSsse3() ? row_kernels::CopySsse3 : row_kernels::CopyPortable;
  kernel(rgba, rgb, n);
}

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
  // Scaling up repeats source rows: an RGB row is copied from the target row
  // drawn from the same source row, and an RGBA row is gathered once into
  // `gathered` and blended from there for every target row it covers.
  std::vector<std::uint8_t> gathered;
  if (type == PngColorType::RGBA) gathered.resize(4 * static_cast<std::size_t>(n));
  int gathered_row = -1;
  int gathered_from = 0;  // first pixel whose alpha is not 0
  int gathered_to = 0;    // one past the last
  bool gathered_opaque = false;

  for (int j = 0; j < ys.Count(); ++j) {
    const int sy = ys[j];
    std::uint8_t* out = target.data + static_cast<std::size_t>(ys.Begin() + j) * target.stride +
                        3 * static_cast<std::size_t>(xs.Begin());
    const std::uint8_t* src = image.Row(sy);
    switch (type) {
      case PngColorType::RGB:
        if (j > 0 && ys[j - 1] == sy) {
          std::memcpy(out, out - target.stride, 3 * static_cast<std::size_t>(n));
          break;
        }
        for (int i = 0; i < n; ++i) std::memcpy(out + 3 * i, src + 3 * sx[i], 3);
        break;
      case PngColorType::RGBA: {
        if (sy != gathered_row) {
          const std::uint8_t* alpha = image.AlphaRow(sy);
          std::uint8_t* g = gathered.data();
          int from = n;
          int to = 0;
          unsigned all = 255;
          for (int i = 0; i < n; ++i, g += 4) {
            const std::uint8_t* p = src + 3 * sx[i];
            g[0] = p[0];
            g[1] = p[1];
            g[2] = p[2];
            g[3] = alpha[sx[i]];
            all &= g[3];
            if (g[3] != 0) {
              from = std::min(from, i);
              to = i + 1;
            }
          }
          gathered_row = sy;
          gathered_from = from;
          gathered_to = to;
          gathered_opaque = all == 255;
        }
        // Pixels of alpha 0 leave the target as it is: only the part between the
        // first and the last visible pixel is blended.
        if (gathered_from >= gathered_to) break;
        if (gathered_opaque) {
          CopyRgbaRow(gathered.data(), out, n);
        } else {
          BlendRgbaRow(gathered.data() + 4 * gathered_from, out + 3 * gathered_from,
                       gathered_to - gathered_from);
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
      CopyRgbaRow(src, out, n);
    } else {
      BlendRgbaRow(src, out, n);
    }
  }
}

}  // namespace qm
