// Any bytes as a maplet set file: reading never crashes or reads past the input,
// the editor state always comes out in range, and random levels and maplets built
// from whatever was read stay inside the level.
//
// Each input is read twice: as the start of a file, and as the end of a full-size
// file, so that small inputs also reach the tileset name and the editor state.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/byte_stream.h"
#include "maplets/maplet_set.h"
#include "maplets/random_level.h"

namespace {

void Check(qm::ByteSource& source, std::size_t expected) {
  qm::MapletSet set;
  if (qm::ReadMapletSet(source, set) != expected) std::abort();
  if (set.EditorPosition() < 1 || set.EditorPosition() > 9) std::abort();
  if (set.EditorSection() < 1 || set.EditorSection() > 9) std::abort();
  if (set.EditorLayer() < 0 || set.EditorLayer() > qm::kAutoLayering) std::abort();
  if (set.SetTilesetName().size() > qm::kSetTilesetNameCapacity) std::abort();
  qm::MemorySink sink;
  qm::WriteMapletSet(set, sink);
  if (sink.Bytes().size() != qm::kMapletSetBytes) std::abort();

  qm::MapDocument document;
  qm::RandomSource random(set.Bytes()[0]);
  qm::GenerateRandomLevel(document, set, random);
  qm::InsertMaplet(document, set, random, set.EditorTile() % 80 - 4,
                   set.EditorLayerByte() % 80 - 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t head = size < qm::kMapletSetBytes ? size : qm::kMapletSetBytes;
  qm::MemorySource as_start({data, size});
  Check(as_start, head);

  std::vector<std::uint8_t> padded(qm::kMapletSetBytes - head, 0);
  padded.insert(padded.end(), data, data + head);
  qm::MemorySource as_end(padded);
  Check(as_end, qm::kMapletSetBytes);
  return 0;
}
