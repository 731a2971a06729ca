#pragma once
// The level record TMap and the map header MapHeader. Both are held as the exact
// bytes the map file stores, so reading, saving, undo and the clipboard move whole
// blocks and bytes the program does not interpret travel unchanged.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/byte_stream.h"

namespace qm {

inline constexpr int MapSize = 72;
inline constexpr int kLayerCount = 8;
// The layer choice after the eight layers: each tile goes to its own DefaultLayer
// (the drawing tools, the maplet editor, the scripts' LayerSet).
inline constexpr int kAutoLayering = kLayerCount;
inline constexpr std::size_t kSlotBytes = 4;
inline constexpr std::size_t kCellBytes = 34;
inline constexpr std::size_t kColumnBytes = kCellBytes * MapSize;           // 2448
inline constexpr std::size_t kCellBlockBytes = kColumnBytes * MapSize;      // 176256
inline constexpr std::size_t kLevelTailBytes = 484;
inline constexpr std::size_t kLevelBytes = kCellBlockBytes + kLevelTailBytes;
inline constexpr std::size_t kHeaderBytes = 1180;
inline constexpr std::size_t kTitleCapacity = 64;
inline constexpr std::size_t kLayerNameCapacity = 32;

// One layer of a cell, decoded. On disk: TileIndex u16, TileRotation u8, TileEffect u8.
struct LayerSlot {
  std::uint16_t TileIndex = 0;    // 0 = empty
  std::uint8_t TileRotation = 0;  // degrees / 2, 0..180
  std::uint8_t TileEffect = 0;    // effect code; 0 = the tile fills the cell
  bool operator==(const LayerSlot&) const = default;
};

// Rotation in degrees to its stored form and back.
constexpr std::uint8_t RotationFromDegrees(int degrees) {
  return static_cast<std::uint8_t>(degrees / 2);
}
constexpr int RotationToDegrees(std::uint8_t stored) { return stored * 2; }

// A cell: eight 4-byte slots and the reserved word CellReserved.
using MapCell = std::array<std::uint8_t, kCellBytes>;

class TMap {
 public:
  // A level with every slot empty, all layers visible and the title cut to 64
  // characters; every other tail byte 0.
  explicit TMap(std::string_view title);

  // Cell access by 1-based column x and row y (1..72) and layer 0..7. The caller
  // checks the ranges.
  LayerSlot Slot(int x, int y, int layer) const;
  void SetSlot(int x, int y, int layer, LayerSlot slot);
  std::uint16_t TileIndex(int x, int y, int layer) const;
  void SetTileIndex(int x, int y, int layer, std::uint16_t tile);
  std::uint8_t TileRotation(int x, int y, int layer) const;
  void SetTileRotation(int x, int y, int layer, std::uint8_t rotation);
  std::uint8_t TileEffect(int x, int y, int layer) const;
  void SetTileEffect(int x, int y, int layer, std::uint8_t effect);
  std::uint16_t CellReserved(int x, int y) const;
  void SetCellReserved(int x, int y, std::uint16_t value);
  std::span<std::uint8_t, kCellBytes> Cell(int x, int y);
  std::span<const std::uint8_t, kCellBytes> Cell(int x, int y) const;

  // The whole cell block and tail, for block copies.
  std::span<std::uint8_t, kCellBlockBytes> Cells() { return std::span(bytes_).first<kCellBlockBytes>(); }
  std::span<const std::uint8_t, kCellBlockBytes> Cells() const {
    return std::span(bytes_).first<kCellBlockBytes>();
  }
  std::span<std::uint8_t, kLevelTailBytes> Tail() { return std::span(bytes_).last<kLevelTailBytes>(); }
  std::span<const std::uint8_t, kLevelTailBytes> Tail() const {
    return std::span(bytes_).last<kLevelTailBytes>();
  }
  std::span<const std::uint8_t, kLevelBytes> Bytes() const { return bytes_; }

  // Tail fields. Texts are Windows-1252 bytes.
  std::string Title() const;
  void SetTitle(std::string_view title);  // cut to 64 characters
  bool LayerVisible(int layer) const { return Tail()[65 + layer] != 0; }
  void SetLayerVisible(int layer, bool visible) { Tail()[65 + layer] = visible ? 1 : 0; }
  std::uint8_t ShowHidden() const { return Tail()[73]; }
  void SetShowHidden(std::uint8_t value) { Tail()[73] = value; }
  std::uint8_t ClipLeft() const { return Tail()[74]; }
  std::uint8_t ClipTop() const { return Tail()[75]; }
  std::uint8_t ClipWidth() const { return Tail()[76]; }
  std::uint8_t ClipHeight() const { return Tail()[77]; }
  std::uint8_t ClipLayer() const { return Tail()[78]; }
  void SetClip(std::uint8_t left, std::uint8_t top, std::uint8_t width, std::uint8_t height,
               std::uint8_t layer);
  std::uint16_t BackgroundTile() const { return Get16(kCellBlockBytes + 80); }
  void SetBackgroundTile(std::uint16_t tile) { Set16(kCellBlockBytes + 80, tile); }
  std::uint16_t LevelID() const { return Get16(kCellBlockBytes + 84); }
  void SetLevelID(std::uint16_t id) { Set16(kCellBlockBytes + 84, id); }

  // Writes the 176256 cell bytes, then the 484 tail bytes.
  void WriteLevel(ByteSink& sink) const;
  // Reads the cell block, then the tail; bytes past the end of the source keep
  // their values. Returns how many bytes were read.
  std::size_t ReadLevel(ByteSource& source);

 private:
  static std::size_t CellOffset(int x, int y) {
    return (static_cast<std::size_t>(x - 1) * MapSize + static_cast<std::size_t>(y - 1)) *
           kCellBytes;
  }
  static std::size_t SlotOffset(int x, int y, int layer) {
    return CellOffset(x, y) + kSlotBytes * static_cast<std::size_t>(layer);
  }
  std::uint16_t Get16(std::size_t at) const {
    return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  }
  void Set16(std::size_t at, std::uint16_t v) {
    bytes_[at] = static_cast<std::uint8_t>(v);
    bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }

  std::array<std::uint8_t, kLevelBytes> bytes_{};
};

class MapHeader {
 public:
  // All 1180 bytes zero. NewMapHeader() gives the header of a new map.
  MapHeader() = default;

  std::uint16_t StoredLevelCount() const { return Get16(256); }
  void SetStoredLevelCount(std::uint16_t count) { Set16(256, count); }
  std::uint8_t CellSize() const { return bytes_[258]; }
  void SetCellSize(std::uint8_t size) { bytes_[258] = size; }
  std::string LayerName(int layer) const;
  void SetLayerName(int layer, std::string_view name);  // cut to 32 characters
  std::uint16_t LastLevelID() const { return Get16(780); }
  void SetLastLevelID(std::uint16_t id) { Set16(780, id); }

  std::span<std::uint8_t, kHeaderBytes> Bytes() { return bytes_; }
  std::span<const std::uint8_t, kHeaderBytes> Bytes() const { return bytes_; }

 private:
  std::uint16_t Get16(std::size_t at) const {
    return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  }
  void Set16(std::size_t at, std::uint16_t v) {
    bytes_[at] = static_cast<std::uint8_t>(v);
    bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }

  std::array<std::uint8_t, kHeaderBytes> bytes_{};
};

inline constexpr std::string_view kMapSignature = "Quillmarch-Map v1.0";

// The header of a new map: the signature template, layer names "Layer 1" to
// "Layer 8", reserved word at 252 = 1, LastLevelID 1, one stored level.
MapHeader NewMapHeader(std::uint8_t cell_size);

// "Level 1", "Level 2", ...: the title a new level gets from its ID.
std::string LevelTitleFor(std::uint16_t level_id);

}  // namespace qm
