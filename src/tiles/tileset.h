#pragma once
// The loaded tileset: tile images and their properties, indexed by tile number.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_stream.h"
#include "common/user_interaction.h"
#include "tiles/png_image.h"

namespace qm {

inline constexpr std::size_t kTilesetHeaderBytes = 1116;
inline constexpr std::size_t kTilePropertiesBytes = 340;

// The 340-byte property record that follows each tile image, held as stored.
class TTileProperties {
 public:
  TTileProperties() = default;  // all 340 bytes 0

  std::int32_t DefaultLayer() const;
  void SetDefaultLayer(std::int32_t layer);
  bool Hidden() const { return bytes_[4] != 0; }
  std::uint8_t HiddenByte() const { return bytes_[4]; }
  void SetHidden(std::uint8_t value) { bytes_[4] = value; }
  bool SmartTool() const { return bytes_[5] != 0; }
  std::uint8_t SmartToolByte() const { return bytes_[5]; }
  void SetSmartTool(std::uint8_t value) { bytes_[5] = value; }

  // Reads up to 340 bytes; bytes past the end of the source stay as they were.
  void ReadProperties(ByteSource& source);
  const std::array<std::uint8_t, kTilePropertiesBytes>& Bytes() const { return bytes_; }
  std::array<std::uint8_t, kTilePropertiesBytes>& Bytes() { return bytes_; }

 private:
  std::array<std::uint8_t, kTilePropertiesBytes> bytes_{};
};

class Tileset {
 public:
  int TileCount() const { return static_cast<int>(images_.size()); }
  const PngImage& Image(int tile) const { return *images_.at(static_cast<std::size_t>(tile)); }
  const TTileProperties& Properties(int tile) const {
    return *properties_.at(static_cast<std::size_t>(tile));
  }
  const std::vector<std::unique_ptr<PngImage>>& TileImageList() const { return images_; }
  const std::vector<std::unique_ptr<TTileProperties>>& TilePropertyList() const {
    return properties_;
  }
  const std::array<std::uint8_t, kTilesetHeaderBytes>& TilesetHeader() const { return header_; }
  const std::string& TilesetFileName() const { return file_name_; }

  // Replaces the tiles (tests and generators build tilesets in memory).
  void Clear();
  void AddTile(PngImage image, TTileProperties properties);

 private:
  friend class TilesetLoader;
  std::vector<std::unique_ptr<PngImage>> images_;
  std::vector<std::unique_ptr<TTileProperties>> properties_;
  std::array<std::uint8_t, kTilesetHeaderBytes> header_{};
  std::string file_name_;
};

}  // namespace qm
