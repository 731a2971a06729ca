// Loading a tileset of 1,000 64 x 64 RGBA tiles from its file, as the editor does at
// start-up and on Tiles > Load Custom.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/file_io.h"
#include "common/user_interaction.h"
#include "tiles/tileset.h"

namespace {

constexpr int kTiles = 1000;

class SilentDialogs : public qm::UserDialogs {
 public:
  qm::Answer AskYesNoCancel(const std::string&) override { return qm::Answer::Cancel; }
  bool AskYesNo(const std::string&) override { return false; }
  void ShowError(const std::string& message) override {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::abort();
  }
};

// Tiles with texture, soft edges and alpha, so they compress as real art does rather
// than as flat colour.
qm::PngImage ArtTile(int n) {
  qm::PngImage image = qm::PngImage::Blank(qm::PngColorType::RGBA, 64, 64);
  for (int y = 0; y < 64; ++y) {
    std::uint8_t* c = image.Row(y);
    std::uint8_t* a = image.AlphaRow(y);
    for (int x = 0; x < 64; ++x) {
      const unsigned h = (x * 73856093u) ^ (y * 19349663u) ^ (n * 83492791u);
      const double r = std::hypot(x - 31.5, y - 31.5);
      c[3 * x] = static_cast<std::uint8_t>(120 + 60 * std::sin(x * 0.3 + n) + (h & 15));
      c[3 * x + 1] = static_cast<std::uint8_t>(100 + 50 * std::cos(y * 0.25 + n) + ((h >> 4) & 15));
      c[3 * x + 2] = static_cast<std::uint8_t>(80 + (h >> 8 & 31));
      a[x] = r < 26 ? 255 : r > 31 ? 0 : static_cast<std::uint8_t>(255 * (31 - r) / 5);
    }
  }
  return image;
}

// CPU seconds of every thread: tiles are decoded on worker threads too, which the
// benchmark's own CPU time (the main thread's) does not see.
double ProcessCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class TilesetFile {
 public:
  TilesetFile() {
    const char* tmp = std::getenv("TMPDIR");
    dir_ = std::string(tmp ? tmp : "/tmp") + "/qm-bench-tiles-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir_ + "/Tilesets");
    qm::Tileset tileset;
    for (int n = 0; n < kTiles; ++n) tileset.AddTile(ArtTile(n % 50), {});
    qm::AtomicFileWriter out(dir_ + "/Tilesets/bench.qts");
    qm::WriteTileset(tileset, out);
    out.Commit();
    bytes_ = std::filesystem::file_size(dir_ + "/Tilesets/bench.qts");
  }
  ~TilesetFile() { std::filesystem::remove_all(dir_); }
  const std::string& Dir() const { return dir_; }
  std::uintmax_t Bytes() const { return bytes_; }

 private:
  std::string dir_;
  std::uintmax_t bytes_ = 0;
};

void BM_LoadTileset1000Rgba64(benchmark::State& state) {
  static TilesetFile file;
  SilentDialogs dialogs;
  qm::Tileset tileset;
  const double cpu_before = ProcessCpuSeconds();
  for (auto _ : state) {
    if (!qm::LoadTileset(tileset, "bench.qts", file.Dir(), dialogs))
      state.SkipWithError("not loaded");
    benchmark::DoNotOptimize(tileset.TileCount());
  }
  state.counters["process_CPU_ms"] =
      1e3 * (ProcessCpuSeconds() - cpu_before) / static_cast<double>(state.iterations());
  state.counters["file_MiB"] = static_cast<double>(file.Bytes()) / (1 << 20);
  state.counters["tiles/s"] =
      benchmark::Counter(kTiles, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadTileset1000Rgba64)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
