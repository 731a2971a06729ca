#include "render/image_transforms.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "common/errors.h"

namespace qm {
namespace {

bool IsRgbOrRgba(const PngImage& image) {
  return image.ColorType() == PngColorType::RGB || image.ColorType() == PngColorType::RGBA;
}

// Rotations by whole quarter turns: the sine and cosine are exactly -1, 0 or 1, so
// every destination pixel is one source pixel or blank. Computing them through the
// bilinear path gives the same bytes (the rounding noise of sin and cos never
// reaches half a pixel or half a channel step); this path just does it exactly.
void RotateQuarterTurns(const PngImage& source, PngImage& dest, int turns, int cx, int cy,
                        int dx, int dy) {
  static constexpr int kCos[4] = {1, 0, -1, 0};
  static constexpr int kSin[4] = {0, -1, 0, 1};  // of minus the angle
  const int cs = kCos[turns];
  const int sn = kSin[turns];
  const int width = source.Width();
  const int height = source.Height();
  const bool alpha = source.HasAlpha();
  for (int y = 0; y < dest.Height(); ++y) {
    std::uint8_t* out = dest.Row(y);
    std::uint8_t* out_alpha = alpha ? dest.AlphaRow(y) : nullptr;
    const int v = 2 * (y - cy) + 1;
    for (int x = 0; x < dest.Width(); ++x) {
      const int u = 2 * (x - cx) + 1;
      // u and v are odd and one of cs, sn is 0, so both numerators are even.
      const int sx = (u * cs - v * sn - 1) / 2 + cx - dx;
      const int sy = (u * sn + v * cs - 1) / 2 + cy - dy;
      if (sx < 0 || sx >= width || sy < 0 || sy >= height) continue;
      std::memcpy(out + 3 * x, source.Row(sy) + 3 * sx, 3);
      if (alpha) out_alpha[x] = source.AlphaRow(sy)[sx];
    }
  }
}

inline std::uint8_t Bilinear(int p00, int p01, int p10, int p11, double fx, double fy) {
  const double top = (p01 - p00) * fx + p00;
  const double bottom = (p11 - p10) * fx + p10;
  const double value = (bottom - top) * fy + top;
  return ClampByte(static_cast<int>(std::nearbyint(value)));
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
  const long double theta = static_cast<long double>(degrees) * 2 * std::numbers::pi_v<long double> / 360;
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

void RotateImage(PngImage& image, double degrees) {
  if (!IsRgbOrRgba(image)) throw UserError(kRotateFormatError);
  const bool alpha = image.HasAlpha();
  const int width = image.Width();
  const int height = image.Height();
  const ImageSize size = RotatedSize(width, height, degrees);
  PngImage dest = PngImage::Blank(image.ColorType(), size.width, size.height);
  const int cx = size.width / 2;
  const int cy = size.height / 2;
  const int dx = (size.width - width) / 2;
  const int dy = (size.height - height) / 2;

  const double turns = degrees / 90.0;
  if (turns == std::floor(turns)) {
    const int quarter = static_cast<int>(std::fmod(std::fmod(turns, 4.0) + 4.0, 4.0));
    RotateQuarterTurns(image, dest, quarter, cx, cy, dx, dy);
    image = std::move(dest);
    return;
  }

  const double theta = -degrees * std::numbers::pi / 180;
  const double sn = std::sin(theta);
  const double cs = std::cos(theta);
  for (int y = 0; y < size.height; ++y) {
    std::uint8_t* out = dest.Row(y);
    std::uint8_t* out_alpha = alpha ? dest.AlphaRow(y) : nullptr;
    const int v = 2 * (y - cy) + 1;
    for (int x = 0; x < size.width; ++x) {
      const int u = 2 * (x - cx) + 1;
      const double sx = (u * cs - v * sn - 1) / 2 + cx - dx;
      const double sy = (u * sn + v * cs - 1) / 2 + cy - dy;
      const double rx = std::nearbyint(sx);
      const double ry = std::nearbyint(sy);
      if (rx < 0 || rx >= width || ry < 0 || ry >= height) continue;
      const int ix = static_cast<int>(rx);
      const int iy = static_cast<int>(ry);
      const double fx = sx - ix;
      const double fy = sy - iy;
      const int ix1 = Clamp(ix + 1, 0, width - 1);
      const int iy1 = Clamp(iy + 1, 0, height - 1);
      const std::uint8_t* r0 = image.Row(iy);
      const std::uint8_t* r1 = image.Row(iy1);
      for (int k = 0; k < 3; ++k) {
        out[3 * x + k] = Bilinear(r0[3 * ix + k], r0[3 * ix1 + k], r1[3 * ix + k],
                                  r1[3 * ix1 + k], fx, fy);
      }
      if (alpha) {
        const std::uint8_t* a0 = image.AlphaRow(iy);
        const std::uint8_t* a1 = image.AlphaRow(iy1);
        out_alpha[x] = Bilinear(a0[ix], a0[ix1], a1[ix], a1[ix1], fx, fy);
      }
    }
  }
  image = std::move(dest);
}

}  // namespace qm
