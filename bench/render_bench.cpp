// Frame time of the renderer: 1,000 lines of 100 circle markers ("ko") in a
// 3-D axes, 1000×800 pixels, into an image (the screen path), and the same
// scene as EPS (the vector path, true marker paths).
#include <benchmark/benchmark.h>

#include <random>

#include "platform/render/line_spec.hpp"
#include "platform/render/renderer.hpp"

namespace {

using namespace velmora::render;

FigureScene marker_scene(int lines, int points) {
  FigureScene f;
  f.width_px = 1000;
  f.height_px = 800;
  FigureScene::Placed p;
  p.rect_px = {130, 88, 775, 652};
  p.axes.equal = true;
  p.axes.xgrid = p.axes.ygrid = p.axes.zgrid = true;
  p.axes.xlabel = "x";
  p.axes.ylabel = "y";
  p.axes.zlabel = "z";
  std::mt19937 rng(42);
  std::normal_distribution<double> n(0, 0.1);
  LineSpec spec = parse_line_spec("ko");
  for (int l = 0; l < lines; ++l) {
    SceneLine line;
    line.color = *spec.color;
    line.marker = spec.marker;
    line.style = spec.style;
    for (int i = 0; i < points; ++i) {
      line.x.push_back(n(rng));
      line.y.push_back(n(rng));
      line.z.push_back(n(rng));
    }
    p.axes.lines.push_back(std::move(line));
  }
  f.axes.push_back(std::move(p));
  return f;
}

// Argument 0: hollow markers ("ko"); 1: filled with the line colour.
void BM_MarkersToImage(benchmark::State& state) {
  FigureScene f = marker_scene(1000, 100);
  if (state.range(0) == 1)
    for (auto& l : f.axes[0].axes.lines) l.marker_face = l.color;
  for (auto _ : state) {
    Image im = to_image(f, 1, true);
    benchmark::DoNotOptimize(im.bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_MarkersToImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_MarkersToEps(benchmark::State& state) {
  FigureScene f = marker_scene(1000, 100);
  for (auto _ : state) {
    std::string eps = to_eps(f, true);
    benchmark::DoNotOptimize(eps.data());
  }
}
BENCHMARK(BM_MarkersToEps)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
