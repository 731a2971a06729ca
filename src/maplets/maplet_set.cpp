#include "maplets/maplet_set.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/file_io.h"

namespace qm {
namespace {

constexpr std::array<std::string_view, kMapletPositions> kPositionNames = {
    "Upper Left", "Upper Center", "Upper Right",  "Left",       "Center",
    "Right",      "Lower Left",   "Lower Center", "Lower Right"};

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

}  // namespace

std::string_view MapletPositionName(int position) {
  if (!InRange(position, 1, kMapletPositions)) return "";
  return kPositionNames[static_cast<std::size_t>(position - 1)];
}

MapletSet::MapletSet() : bytes_(kMapletSetBytes, 0) {}

std::span<std::uint8_t, kMapletBytes> MapletSet::Maplet(int position, int section) {
  return std::span<std::uint8_t, kMapletBytes>(bytes_.data() + MapletOffset(position, section),
                                               kMapletBytes);
}

std::span<const std::uint8_t, kMapletBytes> MapletSet::Maplet(int position, int section) const {
  return std::span<const std::uint8_t, kMapletBytes>(
      bytes_.data() + MapletOffset(position, section), kMapletBytes);
}

std::span<std::uint8_t, kCellBytes> MapletSet::Cell(int position, int section, int x, int y) {
  return std::span<std::uint8_t, kCellBytes>(bytes_.data() + CellOffset(position, section, x, y),
                                             kCellBytes);
}

std::span<const std::uint8_t, kCellBytes> MapletSet::Cell(int position, int section, int x,
                                                          int y) const {
  return std::span<const std::uint8_t, kCellBytes>(
      bytes_.data() + CellOffset(position, section, x, y), kCellBytes);
}

LayerSlot MapletSet::Slot(int position, int section, int x, int y, int layer) const {
  const std::size_t at =
      CellOffset(position, section, x, y) + kSlotBytes * static_cast<std::size_t>(layer);
  return LayerSlot{static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8)), bytes_[at + 2],
                   bytes_[at + 3]};
}

void MapletSet::SetSlot(int position, int section, int x, int y, int layer, LayerSlot slot) {
  const std::size_t at =
      CellOffset(position, section, x, y) + kSlotBytes * static_cast<std::size_t>(layer);
  bytes_[at] = static_cast<std::uint8_t>(slot.TileIndex);
  bytes_[at + 1] = static_cast<std::uint8_t>(slot.TileIndex >> 8);
  bytes_[at + 2] = slot.TileRotation;
  bytes_[at + 3] = slot.TileEffect;
}

std::uint16_t MapletSet::MapletReserved(int position, int section) const {
  const std::size_t at = MapletOffset(position, section) + kMapletCellBytes;
  return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
}

bool MapletSet::MapletEmpty(int position, int section) const {
  const auto maplet = Maplet(position, section);
  for (std::size_t cell = 0; cell < kMapletCellBytes; cell += kCellBytes) {
    for (std::size_t slot = 0; slot < kLayerCount * kSlotBytes; slot += kSlotBytes) {
      if (maplet[cell + slot] != 0 || maplet[cell + slot + 1] != 0) return false;
    }
  }
  return true;
}

std::string MapletSet::SetTilesetName() const {
  const std::size_t length = bytes_[kSetTilesetNameOffset];
  return std::string(reinterpret_cast<const char*>(bytes_.data() + kSetTilesetNameOffset + 1),
                     length);
}

void MapletSet::SetSetTilesetName(std::string_view name) {
  const std::size_t length = std::min(name.size(), kSetTilesetNameCapacity);
  bytes_[kSetTilesetNameOffset] = static_cast<std::uint8_t>(length);
  std::memcpy(bytes_.data() + kSetTilesetNameOffset + 1, name.data(), length);
}

int MapletSet::EditorPosition() const {
  const int stored = bytes_[kEditorPositionOffset];
  return InRange(stored, 1, kMapletPositions) ? stored : 1;
}

int MapletSet::EditorSection() const {
  const int stored = bytes_[kEditorSectionOffset];
  return InRange(stored, 1, kMapletSections) ? stored : 1;
}

int MapletSet::EditorLayer() const {
  const int stored = bytes_[kEditorLayerOffset];
  return InRange(stored, 0, kAutoLayering) ? stored : kAutoLayering;
}

void MapletSet::SetEditorPosition(int position) {
  if (InRange(position, 1, kMapletPositions)) {
    bytes_[kEditorPositionOffset] = static_cast<std::uint8_t>(position);
  }
}

void MapletSet::SetEditorSection(int section) {
  if (InRange(section, 1, kMapletSections)) {
    bytes_[kEditorSectionOffset] = static_cast<std::uint8_t>(section);
  }
}

void MapletSet::SetEditorLayer(int layer) {
  if (InRange(layer, 0, kAutoLayering))
    bytes_[kEditorLayerOffset] = static_cast<std::uint8_t>(layer);
}

void MapletSet::Zero() {
  std::fill(bytes_.begin(), bytes_.end(), std::uint8_t{0});
}

std::size_t ReadMapletSet(ByteSource& source, MapletSet& set) {
  // Read aside first: a source that fails part-way must not leave a record that is
  // half the old set and half the new one.
  std::vector<std::uint8_t> read(kMapletSetBytes);
  std::size_t done = 0;
  while (done < read.size()) {
    const std::size_t n = source.Read(read.data() + done, read.size() - done);
    if (n == 0) break;
    done += n;
  }
  std::copy_n(read.begin(), done, set.Bytes().begin());
  return done;
}

void WriteMapletSet(const MapletSet& set, ByteSink& sink) {
  sink.Write(set.Bytes().data(), set.Bytes().size());
}

std::size_t ReadMapletSetFile(const std::string& path, MapletSet& set) {
  InputFile file(path);
  return ReadMapletSet(file, set);
}

void SaveMapletSetFile(const MapletSet& set, const std::string& path) {
  AtomicFileWriter writer(path);
  WriteMapletSet(set, writer);
  writer.Commit();
}

}  // namespace qm
