#pragma once
// PNG datastreams made for tests with libpng directly, in every format a file may
// hold (bit depths, interlacing, colour keys), and hand-made chunk streams for the
// cases libpng would never write.
#include <cstdint>
#include <string>
#include <vector>

#include "tiles/png_image.h"
#include "tiles/tileset.h"

namespace qm::testing {

struct PngRecipe {
  int width = 1, height = 1;
  int color_type = 2;  // PNG colour type number
  int bit_depth = 8;
  bool interlaced = false;
  // Samples, one per channel per pixel, row by row; each 0 .. 2^bit_depth - 1.
  std::vector<unsigned> samples;
  std::vector<PngRgb> palette;
  std::vector<std::uint8_t> palette_alpha;  // tRNS for palette images
  int key = -1;                             // tRNS grey key for colour type 0
  int key_rgb[3] = {-1, -1, -1};            // tRNS colour key for colour type 2
  int filters = -1;  // PNG_FILTER_* bits libpng may choose from; -1: its default
};

std::vector<std::uint8_t> EncodePng(const PngRecipe& recipe);

// A chunk with its length and CRC.
std::vector<std::uint8_t> Chunk(const std::string& type, const std::vector<std::uint8_t>& data);
std::vector<std::uint8_t> PngSignature();
std::vector<std::uint8_t> IhdrData(std::uint32_t width, std::uint32_t height, int bit_depth,
                                   int color_type);

// An RGBA image whose pixels all differ, with alpha rising across it.
PngImage PatternImage(PngColorType type, int width, int height, int seed = 0);

// Serialised tileset: a header with TileCount `count` and the given records.
std::vector<std::uint8_t> TilesetBytes(int count,
                                       const std::vector<std::vector<std::uint8_t>>& pngs,
                                       const std::vector<TTileProperties>& properties);

void Append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes);

}  // namespace qm::testing
