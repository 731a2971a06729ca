#include "document/map_records.h"

#include <algorithm>
#include <cstring>

namespace qm {
namespace {

constexpr std::size_t kTitleOffset = kCellBlockBytes;  // length byte, then 64 characters
constexpr std::size_t kLayerNamesOffset = 259;          // 8 x (length byte + 32 characters)

std::string ReadShortString(std::span<const std::uint8_t> field, std::size_t capacity) {
  const std::size_t length = std::min<std::size_t>(field[0], capacity);
  return std::string(reinterpret_cast<const char*>(field.data() + 1), length);
}

void WriteShortString(std::span<std::uint8_t> field, std::size_t capacity, std::string_view text) {
  const std::size_t length = std::min(text.size(), capacity);
  field[0] = static_cast<std::uint8_t>(length);
  std::memcpy(field.data() + 1, text.data(), length);
}

}  // namespace

TMap::TMap(std::string_view title) {
  for (int layer = 0; layer < kLayerCount; ++layer) SetLayerVisible(layer, true);
  SetTitle(title);
}

LayerSlot TMap::Slot(int x, int y, int layer) const {
  const std::size_t at = SlotOffset(x, y, layer);
  return LayerSlot{Get16(at), bytes_[at + 2], bytes_[at + 3]};
}

void TMap::SetSlot(int x, int y, int layer, LayerSlot slot) {
  const std::size_t at = SlotOffset(x, y, layer);
  Set16(at, slot.TileIndex);
  bytes_[at + 2] = slot.TileRotation;
  bytes_[at + 3] = slot.TileEffect;
}

std::uint16_t TMap::TileIndex(int x, int y, int layer) const { return Get16(SlotOffset(x, y, layer)); }
void TMap::SetTileIndex(int x, int y, int layer, std::uint16_t tile) {
  Set16(SlotOffset(x, y, layer), tile);
}
std::uint8_t TMap::TileRotation(int x, int y, int layer) const {
  return bytes_[SlotOffset(x, y, layer) + 2];
}
void TMap::SetTileRotation(int x, int y, int layer, std::uint8_t rotation) {
  bytes_[SlotOffset(x, y, layer) + 2] = rotation;
}
std::uint8_t TMap::TileEffect(int x, int y, int layer) const {
  return bytes_[SlotOffset(x, y, layer) + 3];
}
void TMap::SetTileEffect(int x, int y, int layer, std::uint8_t effect) {
  bytes_[SlotOffset(x, y, layer) + 3] = effect;
}
std::uint16_t TMap::CellReserved(int x, int y) const { return Get16(CellOffset(x, y) + 32); }
void TMap::SetCellReserved(int x, int y, std::uint16_t value) { Set16(CellOffset(x, y) + 32, value); }

std::span<std::uint8_t, kCellBytes> TMap::Cell(int x, int y) {
  return std::span(bytes_).subspan(CellOffset(x, y)).first<kCellBytes>();
}
std::span<const std::uint8_t, kCellBytes> TMap::Cell(int x, int y) const {
  return std::span(bytes_).subspan(CellOffset(x, y)).first<kCellBytes>();
}

std::string TMap::Title() const {
  return ReadShortString(std::span(bytes_).subspan(kTitleOffset, 1 + kTitleCapacity), kTitleCapacity);
}

void TMap::SetTitle(std::string_view title) {
  WriteShortString(std::span(bytes_).subspan(kTitleOffset, 1 + kTitleCapacity), kTitleCapacity, title);
}

void TMap::SetClip(std::uint8_t left, std::uint8_t top, std::uint8_t width, std::uint8_t height,
                   std::uint8_t layer) {
  auto tail = Tail();
  tail[74] = left;
  tail[75] = top;
  tail[76] = width;
  tail[77] = height;
  tail[78] = layer;
}

void TMap::WriteLevel(ByteSink& sink) const { sink.Write(bytes_.data(), bytes_.size()); }

std::size_t TMap::ReadLevel(ByteSource& source) {
  // The cell block and the tail are consecutive, so one read fills both; a short
  // source leaves the rest as it was.
  return source.Read(bytes_.data(), bytes_.size());
}

std::string MapHeader::LayerName(int layer) const {
  const std::size_t at = kLayerNamesOffset + static_cast<std::size_t>(layer) * (1 + kLayerNameCapacity);
  return ReadShortString(std::span(bytes_).subspan(at, 1 + kLayerNameCapacity), kLayerNameCapacity);
}

void MapHeader::SetLayerName(int layer, std::string_view name) {
  const std::size_t at = kLayerNamesOffset + static_cast<std::size_t>(layer) * (1 + kLayerNameCapacity);
  WriteShortString(std::span(bytes_).subspan(at, 1 + kLayerNameCapacity), kLayerNameCapacity, name);
}

MapHeader NewMapHeader(std::uint8_t cell_size) {
  MapHeader header;
  auto bytes = header.Bytes();
  std::memcpy(bytes.data(), kMapSignature.data(), kMapSignature.size());
  bytes[kMapSignature.size()] = 0x1A;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    header.SetLayerName(layer, "Layer " + std::to_string(layer + 1));
  }
  bytes[252] = 1;  // reserved 32-bit word, little-endian 1
  bytes[779] = 0;
  header.SetLastLevelID(1);
  header.SetStoredLevelCount(1);
  header.SetCellSize(cell_size);
  return header;
}

std::string LevelTitleFor(std::uint16_t level_id) { return "Level " + std::to_string(level_id); }

}  // namespace qm
