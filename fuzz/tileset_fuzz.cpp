// Feeds arbitrary bytes to the tileset reader, both the one that loads tiles and
// the one that keeps their bytes; what the latter reads must write back unchanged.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/byte_stream.h"
#include "common/errors.h"
#include "tiles/tileset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    qm::MemorySource source({data, size});
    qm::Tileset tileset;
    try {
      qm::ReadTileset(source, tileset);
    } catch (const qm::UserError&) {
    }
    if (tileset.TileImageList().size() != tileset.TilePropertyList().size()) std::abort();
    for (int tile = 0; tile < tileset.TileCount(); ++tile) {
      if (tileset.Image(tile).Empty()) std::abort();
    }
  }
  qm::MemorySource source({data, size});
  std::array<std::uint8_t, qm::kTilesetHeaderBytes> header{};
  std::vector<qm::RawTile> tiles;
  try {
    tiles = qm::ReadRawTiles(source, header);
  } catch (const qm::UserError&) {
    return 0;
  }
  qm::MemorySink sink;
  qm::WriteRawTiles(header, tiles, sink);
  // Everything read was written back; a properties record cut short comes back
  // padded with zeros.
  const auto& written = sink.Bytes();
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (written[i] != (i < size ? data[i] : 0)) std::abort();
  }
  return 0;
}
