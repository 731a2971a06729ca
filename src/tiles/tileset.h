#pragma once
// The loaded tileset: tile images and their properties, indexed by tile number.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_stream.h"
#include "common/user_interaction.h"
#include "tiles/png_image.h"

namespace qm {

inline constexpr std::size_t kTilesetHeaderBytes = 1116;
inline constexpr std::size_t kTilePropertiesBytes = 340;
// TileCount: unsigned 16-bit at this offset of the header.
inline constexpr std::size_t kTileCountOffset = 256;
// The tile name our tileset tool keeps in the record's free bytes: a length byte at
// offset 6 and up to 63 Windows-1252 characters after it. The program itself never
// reads it; it is there so `qmtool tileset info` can say what a tile is.
inline constexpr std::size_t kTileNameOffset = 6;
inline constexpr std::size_t kTileNameCapacity = 63;
// A whole tileset is refused beyond this much decoded image memory.
inline constexpr std::uint64_t kMaxTilesetDecodedBytes = 1ull << 30;

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

  // Windows-1252 text; SetTileName cuts it to kTileNameCapacity characters.
  std::string TileName() const;
  void SetTileName(const std::string& name);
  // True when every byte after the name field is 0.
  bool ReservedBytesZero() const;

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
  void SetTilesetHeader(const std::array<std::uint8_t, kTilesetHeaderBytes>& header) {
    header_ = header;
  }

 private:
  friend class TilesetLoader;
  std::vector<std::unique_ptr<PngImage>> images_;
  std::vector<std::unique_ptr<TTileProperties>> properties_;
  std::array<std::uint8_t, kTilesetHeaderBytes> header_{};
  std::string file_name_;
};

// The TileCount field of a header.
int HeaderTileCount(const std::array<std::uint8_t, kTilesetHeaderBytes>& header);
void SetHeaderTileCount(std::array<std::uint8_t, kTilesetHeaderBytes>& header, int count);

// Reads a tileset file's bytes: the header, then TileCount pairs of PNG datastream
// and properties record. A source that ends inside the header is refused before
// `tileset` is touched; otherwise its tiles are replaced, and a bad or cut image
// throws the decoder's UserError with the tiles before it kept. A properties record
// cut short keeps 0 in the missing bytes. Tiles beyond `max_decoded_bytes` of
// decoded images in all are refused.
void ReadTileset(ByteSource& source, Tileset& tileset,
                 std::uint64_t max_decoded_bytes = kMaxTilesetDecodedBytes);

// One tile as the file holds it: the PNG datastream's exact bytes and the record.
struct RawTile {
  std::vector<std::uint8_t> png;
  TTileProperties properties;
};
// Like ReadTileset, but keeps each image's bytes as stored (and checks each one
// decodes). Throws UserError naming the tile on a bad image.
std::vector<RawTile> ReadRawTiles(ByteSource& source,
                                  std::array<std::uint8_t, kTilesetHeaderBytes>& header);
// Writes the header with TileCount set to the number of tiles, then the tiles.
void WriteRawTiles(const std::array<std::uint8_t, kTilesetHeaderBytes>& header,
                   const std::vector<RawTile>& tiles, ByteSink& sink);
// Encodes every image as PNG; the header is the tileset's own with TileCount set.
void WriteTileset(const Tileset& tileset, ByteSink& sink);

// Loads the tileset `file_name` (its name part only; empty means "default.qts")
// from the "Tilesets" folder of `program_directory`. Returns false at once for a
// missing file, leaving the tiles as they were. Failures to open or read reach the
// user through `dialogs` and return false: an unreadable file leaves the tiles
// untouched, a bad image keeps the tiles before it. After a complete load
// `loaded` runs (the palette's new layout, the map view's repaint) and it returns
// true. The file is opened for reading only.
bool LoadTileset(Tileset& tileset, const std::string& file_name,
                 const std::string& program_directory, UserDialogs& dialogs,
                 const std::function<void()>& loaded = {});

}  // namespace qm
