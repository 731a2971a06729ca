// Drawing every cell of a full level, and loading a big tileset.
//
// The level: 5184 cells, each with all 8 layers filled from a tileset of 64 x 64
// RGBA tiles: an opaque floor, a wall masked into a section, and six layers of
// props with transparent surroundings under a mix of placements, tilings, zoom
// quarters, opacities, masks and rotations (quarter turns and odd angles).
//
//   build/bin/bench_render
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "bench/bench_level.h"
#include "common/file_io.h"
#include "common/user_interaction.h"
#include "render/cell_renderer.h"
#include "tiles/tileset.h"

namespace {

using namespace qm;

using bench::MakeLevel;
using bench::MakeTileset;

constexpr int kBenchTiles = 120;

void RenderLevel(const TMap& level, const Tileset& tileset, int size, RenderCache* cache) {
  for (int x = 1; x <= MapSize; ++x) {
    for (int y = 1; y <= MapSize; ++y) {
      CellBuffer buffer(size, size);
      RenderCell(level, tileset, x, y, buffer, cache);
      benchmark::DoNotOptimize(buffer.Row(0));
    }
  }
}

// The map view repainting a whole level: the view keeps its cache between
// repaints until the tileset changes.
void BM_RenderLevel(benchmark::State& state) {
  const Tileset tileset = MakeTileset(kBenchTiles);
  const TMap level = MakeLevel(kBenchTiles);
  const int size = static_cast<int>(state.range(0));
  RenderCache cache;
  RenderLevel(level, tileset, size, &cache);
  for (auto _ : state) RenderLevel(level, tileset, size, &cache);
  state.counters["cache MiB"] = static_cast<double>(cache.Bytes()) / (1 << 20);
  state.counters["cells/s"] = benchmark::Counter(static_cast<double>(MapSize * MapSize),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderLevel)->Arg(32)->Arg(8)->Arg(96)->Unit(benchmark::kMillisecond);

// The first paint after a tileset load: every work image derived afresh.
void BM_RenderLevelColdCache(benchmark::State& state) {
  const Tileset tileset = MakeTileset(kBenchTiles);
  const TMap level = MakeLevel(kBenchTiles);
  for (auto _ : state) {
    RenderCache cache;
    RenderLevel(level, tileset, 32, &cache);
  }
}
BENCHMARK(BM_RenderLevelColdCache)->Unit(benchmark::kMillisecond);

// Loading a tileset file of 1000 64 x 64 RGBA tiles through LoadTileset, as at
// start-up or from the tileset dialog.
class NoDialogs : public UserDialogs {
 public:
  Answer AskYesNoCancel(const std::string&) override { return Answer::Cancel; }
  bool AskYesNo(const std::string&) override { return false; }
  void ShowError(const std::string& message) override { throw std::runtime_error(message); }
};

void BM_LoadTileset(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qm-bench-tiles-" + std::to_string(::getpid()));
  fs::create_directories(dir / "Tilesets");
  {
    const Tileset tiles = MakeTileset(static_cast<int>(state.range(0)));
    AtomicFileWriter file((dir / "Tilesets" / "bench.qts").string());
    WriteTileset(tiles, file);
    file.Commit();
  }
  state.counters["file MiB"] =
      static_cast<double>(fs::file_size(dir / "Tilesets" / "bench.qts")) / (1 << 20);
  NoDialogs dialogs;
  for (auto _ : state) {
    Tileset tileset;
    if (!LoadTileset(tileset, "bench.qts", dir.string(), dialogs))
      state.SkipWithError("not loaded");
    benchmark::DoNotOptimize(tileset.TileCount());
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_LoadTileset)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
