#pragma once
// PngImage: a decoded PNG picture as the tile code needs it. It keeps the PNG colour
// type, 8-bit colour rows and, for the types with alpha, a separate alpha plane:
//
//   colour type      colour bytes per pixel   alpha plane
//   Grey (0)         1                        no
//   RGB (2)          3                        no
//   Palette (3)      1 (palette index)        no (tRNS entries in PaletteAlpha())
//   GreyAlpha (4)    1                        yes
//   RGBA (6)         3                        yes
//
// 16-bit images are reduced to 8 bits on load. Rows are top-down.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/byte_stream.h"

namespace qm {

enum class PngColorType : std::uint8_t { Grey = 0, RGB = 2, Palette = 3, GreyAlpha = 4, RGBA = 6 };

// Images beyond these are refused before anything big is allocated.
inline constexpr int kMaxPngDimension = 8192;
inline constexpr std::uint64_t kMaxPngDecodedBytes = 256ull << 20;

// A rectangle of an 8-bit RGB buffer (3 bytes a pixel) that images draw into.
struct RgbView {
  std::uint8_t* data = nullptr;  // pixel (0, 0)
  int width = 0;
  int height = 0;
  std::size_t stride = 0;  // bytes from one row to the next
};

struct PngRgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

// One PNG datastream's bytes as PngImage::ReadDatastream found them: the chunks
// walked up to IEND and the header's sizes checked, not yet decoded.
class PngDatastream {
 public:
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  friend class PngImage;
  std::vector<std::uint8_t> bytes_;
};

class PngImage {
 public:
  PngImage() = default;  // no image: 0 x 0

  // Every colour and alpha byte 0 (black, fully transparent).
  static PngImage Blank(PngColorType type, int width, int height);

  // Reads exactly one PNG datastream: the signature and every chunk up to and
  // including IEND with its CRC, and not a byte more, so that what follows in the
  // source is untouched. Throws UserError with the decoder's message for data that
  // is not a valid PNG, ends early, or is too large.
  static PngImage Load(ByteSource& source);
  // Load in two steps, so that a reader can walk many datastreams in file order
  // and decode them elsewhere: ReadDatastream throws what Load throws for data
  // cut short, a bad signature or header, or an image too large; Decode throws
  // the rest.
  static PngDatastream ReadDatastream(ByteSource& source);
  static PngImage Decode(const PngDatastream& datastream);
  static PngImage LoadFile(const std::string& path);

  void Save(ByteSink& sink) const;
  void SaveFile(const std::string& path) const;  // through AtomicFileWriter

  bool Empty() const { return width_ == 0 || height_ == 0; }
  PngColorType ColorType() const { return type_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool HasAlpha() const { return type_ == PngColorType::GreyAlpha || type_ == PngColorType::RGBA; }
  int ColorBytesPerPixel() const {
    return type_ == PngColorType::RGB || type_ == PngColorType::RGBA ? 3 : 1;
  }

  std::uint8_t* Row(int y) { return color_.data() + static_cast<std::size_t>(y) * RowBytes(); }
  const std::uint8_t* Row(int y) const {
    return color_.data() + static_cast<std::size_t>(y) * RowBytes();
  }
  std::size_t RowBytes() const { return static_cast<std::size_t>(width_) * ColorBytesPerPixel(); }
  // Only for images with HasAlpha().
  std::uint8_t* AlphaRow(int y) { return alpha_.data() + static_cast<std::size_t>(y) * width_; }
  const std::uint8_t* AlphaRow(int y) const {
    return alpha_.data() + static_cast<std::size_t>(y) * width_;
  }

  // Palette images: the colours and their tRNS alpha (255 where none is given).
  const std::vector<PngRgb>& Palette() const { return palette_; }
  const std::vector<std::uint8_t>& PaletteAlpha() const { return palette_alpha_; }
  void SetPalette(std::vector<PngRgb> palette, std::vector<std::uint8_t> alpha);

  // The pixel as RGB and alpha whatever the colour type (alpha 255 without alpha).
  void PixelRgba(int x, int y, std::uint8_t rgba[4]) const;

  // Gives the image an alpha channel: Grey becomes GreyAlpha, RGB and Palette
  // become RGBA; alpha 255 except for palette tRNS entries. No-op when it has one.
  void AddAlpha();

  // Draws the image scaled to fill `target`, blending with its alpha (or its
  // palette's tRNS alpha) over what the target holds.
  void DrawScaled(RgbView target) const;

 private:
  PngColorType type_ = PngColorType::RGB;
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> color_;
  std::vector<std::uint8_t> alpha_;
  std::vector<PngRgb> palette_;
  std::vector<std::uint8_t> palette_alpha_;
};

// Decodes a whole datastream with libpng alone. PngImage::Load decodes the common
// 8-bit layouts directly and leaves the rest to libpng; the fuzz target checks
// both ways agree.
PngImage DecodePngWithLibpng(std::span<const std::uint8_t> datastream);

}  // namespace qm
