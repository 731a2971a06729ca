#include "document/map_file.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "common/errors.h"
#include "common/file_io.h"

namespace qm {

LoadedMap ReadMapFile(ByteSource& source, const MapHeader& previous) {
  LoadedMap map{previous, {}};
  source.Read(map.header.Bytes().data(), kHeaderBytes);
  const int stored = map.header.StoredLevelCount();
  int missing = 0;
  for (int k = 0; k < stored; ++k) {
    auto level = std::make_unique<TMap>("");
    if (level->ReadLevel(source) == 0 && ++missing > kMaxMissingLevels) break;
    map.levels.push_back(std::move(level));
  }
  if (map.levels.empty()) map.levels.push_back(std::make_unique<TMap>(""));
  return map;
}

void WriteMapFile(const MapHeader& header, const std::vector<std::unique_ptr<TMap>>& levels,
                  ByteSink& sink) {
  sink.Write(header.Bytes().data(), kHeaderBytes);
  for (const auto& level : levels) level->WriteLevel(sink);
}

LoadedMap LoadMapFile(const std::string& path, const MapHeader& previous) {
  InputFile file(path);
  return ReadMapFile(file, previous);
}

void SaveMapFile(MapDocument& document, const std::string& path, int view_cell_size) {
  MapHeader header = document.Header();
  header.SetStoredLevelCount(static_cast<std::uint16_t>(document.LevelCount()));
  header.SetCellSize(static_cast<std::uint8_t>(view_cell_size));
  AtomicFileWriter writer(path);
  WriteMapFile(header, document.LevelList(), writer);
  writer.Commit();
  document.Header() = header;
}

int NearestCellSize(int cell_size) {
  static constexpr std::array<int, 10> kSteps = {8, 16, 32, 48, 64, 80, 96, 112, 128, 192};
  int best = kSteps[0];
  for (const int step : kSteps) {
    if (std::abs(step - cell_size) < std::abs(best - cell_size)) best = step;
  }
  return best;
}

}  // namespace qm
