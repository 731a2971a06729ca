#pragma once
// The two operations the cell renderer applies to a layer's work image: cutting
// out a rectangle (the zoom quarters) and rotating by any angle with bilinear
// resampling. Both work on the raw colour rows and alpha plane of a PngImage.
#include <cstdint>
#include <optional>

#include "tiles/png_image.h"

namespace qm {

// Left, top, right, bottom; right and bottom exclusive.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
};

struct ImageSize {
  int width = 0;
  int height = 0;
  bool operator==(const ImageSize&) const = default;
};

// high if v > high, else low if v < low, else v: the upper bound wins when the
// bounds are crossed.
constexpr int Clamp(int v, int low, int high) {
  return v > high ? high : (v < low ? low : v);
}
constexpr std::uint8_t ClampByte(int v) {
  return static_cast<std::uint8_t>(v > 255 ? 255 : (v < 0 ? 0 : v));
}
// The integer part of x, plus one when x has a positive fractional part.
int Ceiling(double x);

// A copy of `rect` of an RGB or RGBA source, in the source's colour type. Nothing
// when the rectangle is empty, reversed or not wholly inside the source, or when
// the source is of another colour type.
std::optional<PngImage> CropImage(const PngImage& source, PixelRect rect);

// The bounding box of a width x height image turned by `degrees`.
ImageSize RotatedSize(int width, int height, double degrees);

// Turns the image clockwise by `degrees` about its centre; the image becomes the
// bounding box of the turned picture, black and fully transparent where the
// source does not reach. Multiples of 90 degrees are exact pixel moves. Throws
// UserError "Only COLOR_RGBALPHA and COLOR_RGB formats are supported" for other
// colour types and leaves the image unchanged then.
void RotateImage(PngImage& image, double degrees);

// RotateImage's result one pixel at a time, for a caller that needs only some of
// its pixels (a cell smaller than the turned tile samples a fraction of them).
// Every pixel is the byte-exact value RotateImage stores there.
class RotatedSampler {
 public:
  // Throws like RotateImage. `source` must outlive the sampler.
  RotatedSampler(const PngImage& source, double degrees);
  ImageSize Size() const { return size_; }
  // Colour bytes and alpha of pixel (x, y) of the turned image; black and alpha 0
  // where the source does not reach (alpha 255 throughout for an RGB source).
  void Sample(int x, int y, std::uint8_t rgb[3], std::uint8_t& alpha) const;

 private:
  const PngImage& source_;
  ImageSize size_;
  int cx_, cy_, dx_, dy_;
  bool quarter_;
  int qcos_ = 0, qsin_ = 0;
  double cs_ = 0, sn_ = 0;
};

inline constexpr const char* kRotateFormatError =
    "Only COLOR_RGBALPHA and COLOR_RGB formats are supported";

}  // namespace qm
