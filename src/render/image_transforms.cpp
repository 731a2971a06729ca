#include "render/image_transforms.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "common/errors.h"

namespace qm {
namespace {

bool IsRgbOrRgba(const PngImage& image) {
  return image.ColorType() == PngColorType::RGB || image.ColorType() == PngColorType::RGBA;
}

// Round half to even, as nearbyint does in the default rounding mode, without a
// library call: adding and taking away 1.5 * 2^52 leaves no fraction bits.
inline double RoundHalfEven(double v) {
  constexpr double kMagic = 6755399441055744.0;
  return (v + kMagic) - kMagic;
}

inline std::uint8_t Bilinear(int p00, int p01, int p10, int p11, double fx, double fy) {
  const double top = (p01 - p00) * fx + p00;
  const double bottom = (p11 - p10) * fx + p10;
  const double value = (bottom - top) * fy + top;
  return ClampByte(static_cast<int>(RoundHalfEven(value)));
}

#ifdef __SSE2__
// The bilinear step for two channels at once: the same operations on the same
// doubles in the same order as Bilinear, so the same bytes.
inline __m128d Pair(int first, int second) {
  return _mm_cvtepi32_pd(_mm_setr_epi32(first, second, 0, 0));
}

inline __m128i BilinearPair(__m128d p00, __m128d p01, __m128d p10, __m128d p11, __m128d fx,
                            __m128d fy) {
  const __m128d top = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(p01, p00), fx), p00);
  const __m128d bottom = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(p11, p10), fx), p10);
  const __m128d value = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(bottom, top), fy), top);
  const __m128d magic = _mm_set1_pd(6755399441055744.0);
  return _mm_cvttpd_epi32(_mm_sub_pd(_mm_add_pd(value, magic), magic));
}
#endif

// Colour bytes and alpha of the bilinear sample at (sx, sy) whose nearest pixel
// is (ix, iy) inside the image; alpha 255 for an image without alpha.
inline void BilinearPixel(const PngImage& image, double sx, double sy, int ix, int iy,
                          std::uint8_t* rgb, std::uint8_t& alpha) {
  const double fx = sx - ix;
  const double fy = sy - iy;
  const int ix1 = Clamp(ix + 1, 0, image.Width() - 1);
  const int iy1 = Clamp(iy + 1, 0, image.Height() - 1);
  const std::uint8_t* r0 = image.Row(iy);
  const std::uint8_t* r1 = image.Row(iy1);
  const bool has_alpha = image.HasAlpha();
#ifdef __SSE2__
  const __m128d fxs = _mm_set1_pd(fx);
  const __m128d fys = _mm_set1_pd(fy);
  const int p = 3 * ix;
  const int q = 3 * ix1;
  const __m128i rg = BilinearPair(Pair(r0[p], r0[p + 1]), Pair(r0[q], r0[q + 1]),
                                  Pair(r1[p], r1[p + 1]), Pair(r1[q], r1[q + 1]), fxs, fys);
  const std::uint8_t* a0 = has_alpha ? image.AlphaRow(iy) : nullptr;
  const std::uint8_t* a1 = has_alpha ? image.AlphaRow(iy1) : nullptr;
  const __m128i ba = has_alpha
                         ? BilinearPair(Pair(r0[p + 2], a0[ix]), Pair(r0[q + 2], a0[ix1]),
                                        Pair(r1[p + 2], a1[ix]), Pair(r1[q + 2], a1[ix1]), fxs, fys)
                         : BilinearPair(Pair(r0[p + 2], 255), Pair(r0[q + 2], 255),
                                        Pair(r1[p + 2], 255), Pair(r1[q + 2], 255), fxs, fys);
  // Four 32-bit results to bytes, clamped to 0 .. 255 on the way.
  const __m128i words = _mm_packs_epi32(_mm_unpacklo_epi64(rg, ba), _mm_setzero_si128());
  const std::uint32_t bytes =
      static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
  rgb[0] = static_cast<std::uint8_t>(bytes);
  rgb[1] = static_cast<std::uint8_t>(bytes >> 8);
  rgb[2] = static_cast<std::uint8_t>(bytes >> 16);
  alpha = static_cast<std::uint8_t>(bytes >> 24);
#else
  for (int k = 0; k < 3; ++k) {
    rgb[k] = Bilinear(r0[3 * ix + k], r0[3 * ix1 + k], r1[3 * ix + k], r1[3 * ix1 + k], fx, fy);
  }
  if (has_alpha) {
    const std::uint8_t* a0 = image.AlphaRow(iy);
    const std::uint8_t* a1 = image.AlphaRow(iy1);
    alpha = Bilinear(a0[ix], a0[ix1], a1[ix], a1[ix1], fx, fy);
  } else {
    alpha = 255;
  }
#endif
}

}  // namespace

int Ceiling(double x) {
  const double whole = std::trunc(x);
  return static_cast<int>(whole) + (x - whole > 0 ? 1 : 0);
}

std::optional<PngImage> CropImage(const PngImage& source, PixelRect rect) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return std::nullopt;
  if (rect.left < 0 || rect.top < 0) return std::nullopt;
  if (rect.right > source.Width() || rect.bottom > source.Height()) return std::nullopt;
  if (!IsRgbOrRgba(source)) return std::nullopt;
  PngImage out = PngImage::Blank(source.ColorType(), rect.Width(), rect.Height());
  const bool alpha = source.HasAlpha();
  for (int i = 0; i < out.Height(); ++i) {
    std::memcpy(out.Row(i), source.Row(rect.top + i) + 3 * static_cast<std::size_t>(rect.left),
                3 * static_cast<std::size_t>(out.Width()));
    if (alpha) {
      std::memcpy(out.AlphaRow(i), source.AlphaRow(rect.top + i) + rect.left,
                  static_cast<std::size_t>(out.Width()));
    }
  }
  return out;
}

ImageSize RotatedSize(int width, int height, double degrees) {
  const long double theta =
      static_cast<long double>(degrees) * 2 * std::numbers::pi_v<long double> / 360;
  const double c = static_cast<double>(std::fabs(std::cos(theta)));
  const double s = static_cast<double>(std::fabs(std::sin(theta)));
  const double w = width;
  const double h = height;
  const double x1 = w * c;
  const double x2 = w * c - h * s;
  const double x3 = -h * s;
  const double y1 = w * s;
  const double y2 = h * c + w * s;
  const double y3 = h * c;
  const double min_x = std::min({0.0, x3, x2, x1});
  const double max_x = std::max({x3, x2, x1});
  const double min_y = std::min({0.0, y3, y2, y1});
  const double max_y = std::max({y3, y2, y1});
  const double span_x = max_x - min_x;
  const double span_y = max_y - min_y;
  return {Ceiling(span_x), Ceiling(span_y)};
}

RotatedSampler::RotatedSampler(const PngImage& source, double degrees) : source_(source) {
  if (!IsRgbOrRgba(source)) throw UserError(kRotateFormatError);
  size_ = RotatedSize(source.Width(), source.Height(), degrees);
  cx_ = size_.width / 2;
  cy_ = size_.height / 2;
  dx_ = (size_.width - source.Width()) / 2;
  dy_ = (size_.height - source.Height()) / 2;
  // Whole quarter turns: the sine and cosine are exactly -1, 0 or 1, so every
  // pixel is one source pixel or blank. The bilinear path gives the same bytes
  // (the rounding noise of sin and cos never reaches half a pixel or half a
  // channel step); this one is exact by construction.
  const double turns = degrees / 90.0;
  quarter_ = turns == std::floor(turns);
  if (quarter_) {
    static constexpr int kCos[4] = {1, 0, -1, 0};
    static constexpr int kSin[4] = {0, -1, 0, 1};  // of minus the angle
    const int q = static_cast<int>(std::fmod(std::fmod(turns, 4.0) + 4.0, 4.0));
    qcos_ = kCos[q];
    qsin_ = kSin[q];
  } else {
    const double theta = -degrees * std::numbers::pi / 180;
    sn_ = std::sin(theta);
    cs_ = std::cos(theta);
  }
}

void RotatedSampler::Sample(int x, int y, std::uint8_t rgb[3], std::uint8_t& alpha) const {
  const int width = source_.Width();
  const int height = source_.Height();
  const bool has_alpha = source_.HasAlpha();
  const int u = 2 * (x - cx_) + 1;
  const int v = 2 * (y - cy_) + 1;
  rgb[0] = rgb[1] = rgb[2] = 0;
  alpha = 0;
  if (quarter_) {
    // u and v are odd and one of the factors is 0, so both numerators are even.
    const int sx = (u * qcos_ - v * qsin_ - 1) / 2 + cx_ - dx_;
    const int sy = (u * qsin_ + v * qcos_ - 1) / 2 + cy_ - dy_;
    if (sx < 0 || sx >= width || sy < 0 || sy >= height) return;
    std::memcpy(rgb, source_.Row(sy) + 3 * sx, 3);
    alpha = has_alpha ? source_.AlphaRow(sy)[sx] : 255;
    return;
  }
  const double sx = (u * cs_ - v * sn_ - 1) / 2 + cx_ - dx_;
  const double sy = (u * sn_ + v * cs_ - 1) / 2 + cy_ - dy_;
  const double rx = RoundHalfEven(sx);
  const double ry = RoundHalfEven(sy);
  if (rx < 0 || rx >= width || ry < 0 || ry >= height) return;
  BilinearPixel(source_, sx, sy, static_cast<int>(rx), static_cast<int>(ry), rgb, alpha);
}

namespace {

// RotateImage for angles that are not whole quarter turns: RotatedSampler's
// arithmetic, row by row, with the row's terms computed once.
void RotateRows(const PngImage& image, double degrees, PngImage& dest) {
  const RotatedSampler sampler(image, degrees);
  const int width = image.Width();
  const int height = image.Height();
  const ImageSize size = sampler.Size();
  const bool has_alpha = image.HasAlpha();
  const int cx = size.width / 2;
  const int cy = size.height / 2;
  const int dx = (size.width - width) / 2;
  const int dy = (size.height - height) / 2;
  const double theta = -degrees * std::numbers::pi / 180;
  const double sn = std::sin(theta);
  const double cs = std::cos(theta);
  for (int y = 0; y < size.height; ++y) {
    std::uint8_t* out = dest.Row(y);
    std::uint8_t* out_alpha = has_alpha ? dest.AlphaRow(y) : nullptr;
    const int v = 2 * (y - cy) + 1;
    const double v_sn = v * sn;
    const double v_cs = v * cs;
    for (int x = 0; x < size.width; ++x) {
      const int u = 2 * (x - cx) + 1;
      const double sx = (u * cs - v_sn - 1) / 2 + cx - dx;
      const double sy = (u * sn + v_cs - 1) / 2 + cy - dy;
      const double rx = RoundHalfEven(sx);
      const double ry = RoundHalfEven(sy);
      if (rx < 0 || rx >= width || ry < 0 || ry >= height) continue;  // stays blank
      std::uint8_t alpha;
      BilinearPixel(image, sx, sy, static_cast<int>(rx), static_cast<int>(ry), out + 3 * x, alpha);
      if (has_alpha) out_alpha[x] = alpha;
    }
  }
}

}  // namespace

void RotateImage(PngImage& image, double degrees) {
  const RotatedSampler sampler(image, degrees);
  const ImageSize size = sampler.Size();
  PngImage dest = PngImage::Blank(image.ColorType(), size.width, size.height);
  const double turns = degrees / 90.0;
  if (turns != std::floor(turns)) {
    RotateRows(image, degrees, dest);
    image = std::move(dest);
    return;
  }
  const bool alpha = image.HasAlpha();
  std::uint8_t a = 0;
  for (int y = 0; y < size.height; ++y) {
    std::uint8_t* out = dest.Row(y);
    std::uint8_t* out_alpha = alpha ? dest.AlphaRow(y) : nullptr;
    for (int x = 0; x < size.width; ++x) {
      sampler.Sample(x, y, out + 3 * x, a);
      if (alpha) out_alpha[x] = a;
    }
  }
  image = std::move(dest);
}

}  // namespace qm
