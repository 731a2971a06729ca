#pragma once
// The maplet set: 81 maplets of 12 x 12 cells, nine sections for each of nine
// positions, with the name of the tileset their tile numbers belong to and the
// maplet editor's state. The record is held as the exact bytes of a .set file, so
// loading and saving are one block transfer and bytes we do not interpret (the
// reserved words, the characters past the tileset name's length) travel unchanged.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_stream.h"
#include "document/map_records.h"

namespace qm {

inline constexpr int kMapletSide = 12;
inline constexpr int kMapletPositions = 9;
inline constexpr int kMapletSections = 9;
inline constexpr std::size_t kMapletColumnBytes = kCellBytes * kMapletSide;            // 408
inline constexpr std::size_t kMapletCellBytes = kMapletColumnBytes * kMapletSide;      // 4896
inline constexpr std::size_t kMapletBytes = kMapletCellBytes + 2;                      // 4898
inline constexpr std::size_t kMapletPositionBytes = kMapletBytes * kMapletSections;    // 44082
inline constexpr std::size_t kMapletsBytes = kMapletPositionBytes * kMapletPositions;  // 396738
inline constexpr std::size_t kSetTilesetNameOffset = kMapletsBytes;
inline constexpr std::size_t kSetTilesetNameCapacity = 255;
inline constexpr std::size_t kEditorTileOffset =
    kSetTilesetNameOffset + 1 + kSetTilesetNameCapacity;
inline constexpr std::size_t kEditorPositionOffset = kEditorTileOffset + 1;
inline constexpr std::size_t kEditorSectionOffset = kEditorTileOffset + 2;
inline constexpr std::size_t kEditorLayerOffset = kEditorTileOffset + 3;
inline constexpr std::size_t kMapletSetBytes = kEditorLayerOffset + 1;  // 396998
static_assert(kMapletSetBytes == 396998);
static_assert(kEditorTileOffset == 396994);

// MapletPosition values: where a maplet of that position goes in a random level.
enum MapletPosition : int {
  kUpperLeft = 1,
  kUpperCenter = 2,
  kUpperRight = 3,
  kLeft = 4,
  kCenter = 5,
  kRight = 6,
  kLowerLeft = 7,
  kLowerCenter = 8,
  kLowerRight = 9,
};

// "Upper Left" .. "Lower Right" for 1..9, the maplet editor's position list.
std::string_view MapletPositionName(int position);

class MapletSet {
 public:
  // All 396,998 bytes zero.
  MapletSet();

  // Byte offset in the record (and the file) of a maplet and of one of its cells:
  // position and section 1..9, maplet column x and row y 0..11. The caller checks
  // the ranges.
  static std::size_t MapletOffset(int position, int section) {
    return static_cast<std::size_t>(position - 1) * kMapletPositionBytes +
           static_cast<std::size_t>(section - 1) * kMapletBytes;
  }
  static std::size_t CellOffset(int position, int section, int x, int y) {
    return MapletOffset(position, section) + static_cast<std::size_t>(x) * kMapletColumnBytes +
           static_cast<std::size_t>(y) * kCellBytes;
  }

  std::span<std::uint8_t, kMapletBytes> Maplet(int position, int section);
  std::span<const std::uint8_t, kMapletBytes> Maplet(int position, int section) const;
  std::span<std::uint8_t, kCellBytes> Cell(int position, int section, int x, int y);
  std::span<const std::uint8_t, kCellBytes> Cell(int position, int section, int x, int y) const;
  LayerSlot Slot(int position, int section, int x, int y, int layer) const;
  void SetSlot(int position, int section, int x, int y, int layer, LayerSlot slot);
  std::uint16_t MapletReserved(int position, int section) const;
  // True when no slot of the maplet holds a tile: it paints nothing.
  bool MapletEmpty(int position, int section) const;

  // Windows-1252 bytes; the setter cuts to 255 characters and leaves the bytes past
  // the new length as they were.
  std::string SetTilesetName() const;
  void SetSetTilesetName(std::string_view name);

  std::uint8_t EditorTile() const { return bytes_[kEditorTileOffset]; }
  void SetEditorTile(std::uint8_t tile) { bytes_[kEditorTileOffset] = tile; }
  // The editor state as the editor may use it: a damaged file can hold any byte
  // here, and a position or section outside 1..9 would address memory outside the
  // maplets. Such values read as a new set's (position 1, section 1, auto-layering);
  // the stored bytes stay as they are until the editor sets them.
  int EditorPosition() const;
  int EditorSection() const;
  int EditorLayer() const;
  // The stored bytes, for showing a damaged file as it is.
  std::uint8_t EditorPositionByte() const { return bytes_[kEditorPositionOffset]; }
  std::uint8_t EditorSectionByte() const { return bytes_[kEditorSectionOffset]; }
  std::uint8_t EditorLayerByte() const { return bytes_[kEditorLayerOffset]; }
  // Stores values in range only: position and section 1..9, layer 0..8.
  void SetEditorPosition(int position);
  void SetEditorSection(int section);
  void SetEditorLayer(int layer);

  // The whole record.
  std::span<std::uint8_t, kMapletSetBytes> Bytes() {
    return std::span<std::uint8_t, kMapletSetBytes>(bytes_);
  }
  std::span<const std::uint8_t, kMapletSetBytes> Bytes() const {
    return std::span<const std::uint8_t, kMapletSetBytes>(bytes_);
  }
  void Zero();

 private:
  // On the heap: the record is 388 KiB, too big to sit on a stack comfortably.
  std::vector<std::uint8_t> bytes_;
};

// Reads up to 396,998 bytes over the start of the record and returns how many were
// read; the rest of the record keeps its contents. Nothing is checked: any bytes
// are a set. When the source fails part-way the record is untouched.
std::size_t ReadMapletSet(ByteSource& source, MapletSet& set);
void WriteMapletSet(const MapletSet& set, ByteSink& sink);

// The file at path, opened for reading only. Throws UserError "Cannot open file
// ..." or a read error; the record then keeps its contents.
std::size_t ReadMapletSetFile(const std::string& path, MapletSet& set);
// Saves through a temporary file renamed over the target, so a failure (UserError)
// leaves the previous file as it was.
void SaveMapletSetFile(const MapletSet& set, const std::string& path);

}  // namespace qm
