// Saving and opening a 100-level map (17.7 MB) through the real file code.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "document/map_file.h"

namespace {

constexpr int kLevels = 100;

std::string TempPath() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/qm-bench-" + std::to_string(::getpid()) + ".map";
}

qm::MapDocument HundredLevels() {
  qm::MapDocument doc;
  std::vector<std::unique_ptr<qm::TMap>> levels;
  for (int i = 0; i < kLevels; ++i) {
    auto level = std::make_unique<qm::TMap>(qm::LevelTitleFor(static_cast<std::uint16_t>(i + 1)));
    for (int x = 1; x <= qm::MapSize; ++x) {
      for (int y = 1; y <= qm::MapSize; ++y) level->SetTileIndex(x, y, 0, static_cast<std::uint16_t>(x + y + i));
    }
    levels.push_back(std::move(level));
  }
  doc.ReplaceLevels(std::move(levels));
  doc.Header() = qm::NewMapHeader(32);
  return doc;
}

constexpr std::int64_t kFileBytes = qm::kHeaderBytes + kLevels * qm::kLevelBytes;

void BM_SaveMap(benchmark::State& state) {
  qm::MapDocument doc = HundredLevels();
  const std::string path = TempPath();
  for (auto _ : state) qm::SaveMapFile(doc, path, 32);
  ::unlink(path.c_str());
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}
BENCHMARK(BM_SaveMap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenMap(benchmark::State& state) {
  qm::MapDocument doc = HundredLevels();
  const std::string path = TempPath();
  qm::SaveMapFile(doc, path, 32);
  for (auto _ : state) {
    qm::LoadedMap map = qm::LoadMapFile(path, doc.Header());
    benchmark::DoNotOptimize(map.levels.data());
  }
  ::unlink(path.c_str());
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}
BENCHMARK(BM_OpenMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
