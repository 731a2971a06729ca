#include "png_fixtures.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <stdexcept>

#include "common/byte_stream.h"

namespace qm::testing {
namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

void NoFlush(png_structp) {}

int Channels(int color_type) {
  switch (color_type) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngRecipe& recipe) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  // Packed rows built before libpng can jump, so no C++ object lives across setjmp.
  const int channels = Channels(recipe.color_type);
  const std::size_t row_bytes =
      (static_cast<std::size_t>(recipe.width) * channels * recipe.bit_depth + 7) / 8;
  std::vector<std::vector<std::uint8_t>> rows(recipe.height, std::vector<std::uint8_t>(row_bytes));
  for (int y = 0; y < recipe.height; ++y) {
    for (int i = 0; i < recipe.width * channels; ++i) {
      const unsigned v = recipe.samples.at(static_cast<std::size_t>(y) * recipe.width * channels + i);
      if (recipe.bit_depth == 16) {
        rows[y][2 * i] = static_cast<std::uint8_t>(v >> 8);
        rows[y][2 * i + 1] = static_cast<std::uint8_t>(v);
      } else if (recipe.bit_depth == 8) {
        rows[y][i] = static_cast<std::uint8_t>(v);
      } else {
        const int per_byte = 8 / recipe.bit_depth;
        const int shift = 8 - recipe.bit_depth * (i % per_byte + 1);
        rows[y][i / per_byte] |= static_cast<std::uint8_t>(v << shift);
      }
    }
  }
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  std::vector<png_color> palette;
  for (const auto& c : recipe.palette) palette.push_back({c.r, c.g, c.b});
  png_color_16 key{};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng could not write the fixture");
  }
  png_set_write_fn(png, &out, WriteToVector, NoFlush);
  if (recipe.filters >= 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, recipe.filters);
  png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bit_depth, recipe.color_type,
               recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!recipe.palette_alpha.empty()) {
    png_set_tRNS(png, info, const_cast<png_bytep>(recipe.palette_alpha.data()),
                 static_cast<int>(recipe.palette_alpha.size()), nullptr);
  }
  if (recipe.key >= 0) {
    key.gray = static_cast<png_uint_16>(recipe.key);
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  if (recipe.key_rgb[0] >= 0) {
    key.red = static_cast<png_uint_16>(recipe.key_rgb[0]);
    key.green = static_cast<png_uint_16>(recipe.key_rgb[1]);
    key.blue = static_cast<png_uint_16>(recipe.key_rgb[2]);
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_set_rows(png, info, pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<std::uint8_t> Chunk(const std::string& type, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out;
  const auto n = static_cast<std::uint32_t>(data.size());
  for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<std::uint8_t>(n >> shift));
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
  if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<std::uint8_t>(crc >> shift));
  return out;
}

std::vector<std::uint8_t> PngSignature() {
  return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
}

std::vector<std::uint8_t> IhdrData(std::uint32_t width, std::uint32_t height, int bit_depth,
                                   int color_type) {
  std::vector<std::uint8_t> d;
  for (std::uint32_t v : {width, height}) {
    for (int shift : {24, 16, 8, 0}) d.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  d.push_back(static_cast<std::uint8_t>(bit_depth));
  d.push_back(static_cast<std::uint8_t>(color_type));
  d.push_back(0);
  d.push_back(0);
  d.push_back(0);
  return d;
}

PngImage PatternImage(PngColorType type, int width, int height, int seed) {
  PngImage image = PngImage::Blank(type, width, height);
  for (int y = 0; y < height; ++y) {
    for (std::size_t i = 0; i < image.RowBytes(); ++i) {
      image.Row(y)[i] = static_cast<std::uint8_t>(seed * 31 + y * 17 + static_cast<int>(i) * 7);
    }
    if (image.HasAlpha()) {
      for (int x = 0; x < width; ++x)
        image.AlphaRow(y)[x] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
    }
  }
  if (type == PngColorType::Palette) {
    std::vector<PngRgb> palette(256);
    std::vector<std::uint8_t> alpha(256);
    for (int i = 0; i < 256; ++i) {
      palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                    static_cast<std::uint8_t>(i * 3)};
      alpha[i] = static_cast<std::uint8_t>(i % 3 == 0 ? 255 : i);
    }
    image.SetPalette(palette, alpha);
  }
  return image;
}

std::vector<std::uint8_t> TilesetBytes(int count,
                                       const std::vector<std::vector<std::uint8_t>>& pngs,
                                       const std::vector<TTileProperties>& properties) {
  std::vector<std::uint8_t> out(kTilesetHeaderBytes, 0);
  out[kTileCountOffset] = static_cast<std::uint8_t>(count);
  out[kTileCountOffset + 1] = static_cast<std::uint8_t>(count >> 8);
  for (std::size_t i = 0; i < pngs.size(); ++i) {
    Append(out, pngs[i]);
    if (i < properties.size()) {
      out.insert(out.end(), properties[i].Bytes().begin(), properties[i].Bytes().end());
    }
  }
  return out;
}

void Append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

}  // namespace qm::testing
