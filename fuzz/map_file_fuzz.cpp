// Any bytes as a map file: reading never crashes, never reads past the input, and
// what was read saves to a file of the size its levels say.
#include <cstdint>
#include <cstdlib>

#include "common/byte_stream.h"
#include "document/map_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::MemorySource source({data, size});
  const qm::LoadedMap map = qm::ReadMapFile(source, qm::NewMapHeader(32));
  if (map.levels.empty()) std::abort();
  qm::MemorySink sink;
  qm::WriteMapFile(map.header, map.levels, sink);
  if (sink.Bytes().size() != qm::kHeaderBytes + map.levels.size() * qm::kLevelBytes) std::abort();
  for (const auto& level : map.levels) {
    volatile auto title = level->Title();
    (void)title;
  }
  return 0;
}
