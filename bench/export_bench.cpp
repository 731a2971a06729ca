// Exporting a whole level as PNG at 32 and 192 pixels per cell (2304 and 13,824
// pixels square), with the level and tiles of bench_render. The peak resident
// memory of the whole process is reported as "peak RSS MiB" and the CPU time of
// all its threads per export as "process CPU s"; run the 192-pixel case on its
// own to read its memory for that export alone:
//
//   build/bin/bench_export --benchmark_filter=ExportPng/192
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "bench/bench_level.h"
#include "output/image_export.h"
#include "tiles/tileset.h"

namespace {

using namespace qm;

using bench::MakeLevel;
using bench::MakeTileset;

constexpr int kBenchTiles = 120;

// CPU seconds of every thread of the process: the export compresses and renders
// on worker threads, which the benchmark's own CPU time (the main thread's) misses.
double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakRssMiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void BM_ExportPng(benchmark::State& state) {
  const Tileset tileset = MakeTileset(kBenchTiles);
  const TMap level = MakeLevel(kBenchTiles);
  const int size = static_cast<int>(state.range(0));
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("qm-bench-export-" + std::to_string(::getpid()) + ".png"))
                               .string();
  const double cpu_before = ProcessCpuSeconds();
  for (auto _ : state) ExportRegionImage(path, level, tileset, kWholeLevel, size);
  state.counters["process CPU s"] =
      (ProcessCpuSeconds() - cpu_before) / static_cast<double>(state.iterations());
  state.counters["file MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
  state.counters["peak RSS MiB"] = PeakRssMiB();
  std::remove(path.c_str());
}
BENCHMARK(BM_ExportPng)->Arg(32)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportPng)->Arg(192)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
