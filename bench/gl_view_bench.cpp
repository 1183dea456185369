// Frame time of the window's 3-D view: the Procrustes fit of 1,000
// specimens × 100 landmarks, and 1,000 lines of 100 points with circle
// markers, rotated a step each frame, drawn
// with OpenGL (GlAxesRenderer) and with Cairo (render_axes, full quality),
// into an 1000×800 pixel view.  OpenGL needs a display: run as
//   DISPLAY=:N QT_QPA_PLATFORM=offscreen bench/gl_view_bench
// (Mesa's llvmpipe renders on the processor, and there the markers are
// stamped by the processor).  "Time" is the wall time a frame, the figure
// that must stay under 33 ms for 30 frames a second; "CPU" the processor
// time of the whole process, the rendering threads included.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "platform/qt/axes_view.hpp"
#include "platform/qt/gl_axes_renderer.hpp"
#include "platform/render/line_spec.hpp"

namespace {

using namespace velmora;

const QRect kView(0, 0, 1000, 800);
std::unique_ptr<qt::GlAxesRenderer> g_gl;  // released before the application
const render::Rect kAxesRect{72, 72, 856, 656};
constexpr double kFigureHeight = 800;

// Argument 4, the main figure: the Procrustes fit as the window draws it
// (every specimen's landmarks as hollow "bo" circles, the mean's wireframe
// "k-" over them); 0: the same fit with filled circles; 1: 1,000 spirals
// of 100 points drawn "ko-" (lines with hollow circle markers); 2: the
// spirals as lines only ("k-"); 3: no data, only the axes' own drawing
// (box, grid, ticks, labels), the cost every frame has whatever the data;
// 5: the fit with each specimen in its own colour (coloured by X).
render::AxesScene sample_scene(int kind) {
  render::AxesScene a;
  a.equal = true;
  a.xlabel = "x";
  a.ylabel = "y";
  a.zlabel = "z";
  std::mt19937 rng(7);
  std::normal_distribution<double> jitter(0, 0.02);
  const bool fit = kind == 0 || kind == 4 || kind == 5;
  render::LineSpec spec = render::parse_line_spec(fit ? "bo" : kind == 1 ? "ko-" : "k-");
  auto landmark = [](int k) {
    // Landmarks on a skull-like ellipsoid.
    double t = 0.7 * k, u = 0.031 * k;
    return std::array<double, 3>{std::cos(t) * std::sin(u), 0.8 * std::sin(t) * std::sin(u),
                                 0.6 * std::cos(u)};
  };
  if (kind == 3) {
    a.xlim = {-1, 1};
    a.ylim = {-1, 1};
    a.zlim = {0, 1};
    a.auto_x = a.auto_y = a.auto_z = false;
    a.box = a.xgrid = a.ygrid = a.zgrid = true;
    return a;
  }
  for (int s = 0; s < 1000; ++s) {
    render::SceneLine line;
    line.color = *spec.color;
    line.marker = spec.marker;
    line.style = spec.style;
    for (int k = 0; k < 100; ++k) {
      if (fit) {
        auto p = landmark(k);
        line.x.push_back(p[0] + jitter(rng));
        line.y.push_back(p[1] + jitter(rng));
        line.z.push_back(p[2] + jitter(rng));
      } else {
        double t = 0.0628 * k + s;
        line.x.push_back(std::cos(t) * (1 + 0.001 * s));
        line.y.push_back(std::sin(t) * (1 + 0.001 * s));
        line.z.push_back(0.01 * k + 0.001 * s);
      }
    }
    if (kind == 0) line.marker_face = line.color;
    if (kind == 5) line.color = {0.1 + 0.0008 * s, 0.2, 0.9 - 0.0008 * s};
    a.lines.push_back(std::move(line));
  }
  if (fit) {
    // The wireframe: consecutive landmarks joined, broken by NaN every tenth.
    render::SceneLine wire;
    wire.style = render::LineStyle::Solid;
    for (int k = 0; k < 100; ++k) {
      auto p = landmark(k);
      wire.x.push_back(k % 10 == 9 ? NAN : p[0]);
      wire.y.push_back(p[1]);
      wire.z.push_back(p[2]);
    }
    a.lines.push_back(std::move(wire));
  }
  return a;
}

// Times the frames of a view turning a step each frame, `draw` making one.
template <typename Draw>
void turning_frames(benchmark::State& state, render::AxesScene& scene, Draw draw) {
  int frame = 0;
  for (auto _ : state) {
    scene.azimuth_deg = -37.5 + 3 * (frame++ % 100);
    QImage image = draw(scene);
    benchmark::DoNotOptimize(image.constBits());
  }
}

// Every scene kind, the main figure (the fit as the window draws it) first.
void every_scene(benchmark::internal::Benchmark* b) {
  for (int kind : {4, 0, 1, 2, 3, 5}) b->Arg(kind);
  b->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
}

void BM_OpenGlFrame(benchmark::State& state) {
  static std::string why;
  if (!g_gl && why.empty()) g_gl = qt::GlAxesRenderer::create(why);
  qt::GlAxesRenderer* gl = g_gl.get();
  if (!gl) {
    state.SkipWithError(
        ("no OpenGL: " + why + " (run with DISPLAY set to an X server with GLX)").c_str());
    return;
  }
  state.SetLabel(gl->gl_renderer());
  render::AxesScene scene = sample_scene(static_cast<int>(state.range(0)));
  // The first frame of a scene uploads its data and makes its marker
  // images; the frames of a turning view that follow are what is timed.
  gl->render(scene, kView, kAxesRect, kFigureHeight, 1);
  turning_frames(state, scene, [gl](const render::AxesScene& s) {
    return gl->render(s, kView, kAxesRect, kFigureHeight, 1);
  });
}
BENCHMARK(BM_OpenGlFrame)->Apply(every_scene);

void BM_CairoFrame(benchmark::State& state) {
  render::AxesScene scene = sample_scene(static_cast<int>(state.range(0)));
  turning_frames(state, scene, [](const render::AxesScene& s) {
    return qt::render_axes(s, kView, kAxesRect, kFigureHeight, 1);
  });
}
BENCHMARK(BM_CairoFrame)->Apply(every_scene);

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_gl.reset();
  return 0;
}
