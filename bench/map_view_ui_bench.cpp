// Repainting the map view: a 1920 x 1080 view at 32 pixels per cell over the
// shared benchmark level (every cell holds 8 layers), through the view's own
// paint event, as the screen gets it.
//
//   build/bin/bench_map_view_ui
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>

#include "bench/bench_level.h"
#include "document/map_document.h"
#include "render/map_view.h"

namespace {

using namespace qm;

constexpr int kBenchTiles = 120;

struct ViewFixture {
  Tileset tileset = bench::MakeTileset(kBenchTiles);
  MapDocument document;
  MapView view{document, tileset};
  ViewFixture() {
    document.Current() = bench::MakeLevel(kBenchTiles);
    view.resize(1920 + view.verticalScrollBar()->sizeHint().width() + 2,
                1080 + view.horizontalScrollBar()->sizeHint().height() + 2);
    view.SetCellSize(32);
    view.show();
    QApplication::processEvents();
  }
};

// Every visible cell drawn again, the render caches kept from the paint before.
void BM_RepaintFullView(benchmark::State& state) {
  ViewFixture f;
  f.view.viewport()->repaint();
  for (auto _ : state) f.view.viewport()->repaint();
  state.counters["width"] = f.view.viewport()->width();
  state.counters["height"] = f.view.viewport()->height();
}
BENCHMARK(BM_RepaintFullView)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first paint after a tileset load: no work image kept.
void BM_RepaintFullViewColdCache(benchmark::State& state) {
  ViewFixture f;
  for (auto _ : state) {
    f.view.TilesetChanged();
    f.view.viewport()->repaint();
  }
}
BENCHMARK(BM_RepaintFullViewColdCache)->Unit(benchmark::kMillisecond)->UseRealTime();

// Drawing one tile: the one cell the tool wrote.
void BM_RepaintOneCell(benchmark::State& state) {
  ViewFixture f;
  f.view.viewport()->repaint();
  const QRect cell = f.view.CellRect({10, 10});
  for (auto _ : state) f.view.viewport()->repaint(cell);
}
BENCHMARK(BM_RepaintOneCell)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
