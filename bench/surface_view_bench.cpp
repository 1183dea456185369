// The 3-D window's shaded surface: frames a second while the view turns a
// surface of 200,000 triangles (goal: at least 15 on Mesa's llvmpipe), with
// OpenGL (the full mesh, and the coarse copy drawn while dragging) and with
// the CPU rasterizer; and slider updates a second on the same surface (goal:
// at least 10): the spline warp of the mean surface to a new target, its
// normals and heat colours (no coarse copy: the next step comes first), or
// the draft drawn while the slider moves, and the frame that shows it.  The
// view is 800×600 pixels.  OpenGL needs a display: run as
//   xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb bench/surface_view_bench
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <memory>
#include <string>

#include "analysis/session.hpp"
#include "io/landmark_import.hpp"
#include "mesh/surface.hpp"
#include "platform/qt/axes_view.hpp"
#include "platform/qt/gl_axes_renderer.hpp"
#include "platform/runtime/huge_pages.hpp"
#include "view/surface_view.hpp"

namespace {

using namespace velmora;

const QRect kView(0, 0, 800, 600);
const render::Rect kAxesRect{60, 50, 700, 520};
constexpr double kFigureHeight = 600;
std::unique_ptr<qt::GlAxesRenderer> g_gl;

// A skull-sized closed surface (a bumpy ellipsoid) of about `triangles`
// triangles around the landmarks' centre `c` with radius `r`.
mesh::Surface ellipsoid(Eigen::Index triangles, const Eigen::RowVector3d& c, double r) {
  const auto u = static_cast<Eigen::Index>(std::sqrt(triangles / 2.0));
  mesh::Surface s;
  s.vertices.resize(u * u, 3);
  s.triangles.resize(2 * u * (u - 1), 3);
  Eigen::Index t = 0;
  for (Eigen::Index i = 0; i < u; ++i)
    for (Eigen::Index j = 0; j < u; ++j) {
      const double th = M_PI * (i + 0.5) / u, ph = 2 * M_PI * j / u;
      const double b = 1 + 0.05 * std::sin(7 * ph) * std::sin(5 * th);
      s.vertices.row(i * u + j) =
          c + r * b *
                  Eigen::RowVector3d(std::sin(th) * std::cos(ph), 0.8 * std::sin(th) * std::sin(ph),
                                     0.9 * std::cos(th));
      if (i + 1 == u) continue;
      const auto v = [u](Eigen::Index p, Eigen::Index q) {
        return static_cast<std::int32_t>(p * u + q % u);
      };
      s.triangles.row(t++) << v(i, j), v(i + 1, j), v(i + 1, j + 1);
      s.triangles.row(t++) << v(i, j), v(i + 1, j + 1), v(i, j + 1);
    }
  return s;
}

// The example sample with a 200,000-triangle surface on its first specimen.
analysis::Session& session() {
  static analysis::Session s = [] {
    analysis::Session a;
    a.load_sample({io::import_landmarks(std::string(VELMORA_SOURCE_DIR) + "/examples/skulls.txt"),
                   "skulls.txt"});
    const shape::Config lm = a.sample().raw().slice(0);
    const Eigen::RowVector3d c = lm.colwise().mean();
    const double r = std::sqrt((lm.rowwise() - c).rowwise().squaredNorm().mean());
    analysis::LoadSurfaceParams p;
    p.path = "bench.ply";
    p.surface = ellipsoid(200000, c, r);
    p.specimen = 0;
    a.load_surface(std::move(p));
    return a;
  }();
  return s;
}

analysis::SurfaceWarpParams pc1(double sd) {
  analysis::SurfaceWarpParams p;
  p.target = analysis::SurfaceTarget::Component;
  p.component = 1;
  p.factor = sd;
  return p;
}

render::AxesScene surface_scene(std::shared_ptr<const render::SceneSurface> s) {
  render::AxesScene a;
  a.equal = true;
  a.surface = std::move(s);
  return a;
}

qt::GlAxesRenderer* gl_or_skip(benchmark::State& state) {
  static std::string why;
  if (!g_gl && why.empty()) g_gl = qt::GlAxesRenderer::create(why);
  if (!g_gl) state.SkipWithError(("no OpenGL: " + why).c_str());
  return g_gl.get();
}

// Arg 0: the full mesh; 1: the coarse copy drawn while dragging.
void BM_TurnSurfaceOpenGl(benchmark::State& state) {
  qt::GlAxesRenderer* gl = gl_or_skip(state);
  if (!gl) return;
  const auto warp = session().warp_surface(pc1(2));
  render::AxesScene scene = surface_scene(app::scene_surface(warp));
  gl->set_draft(state.range(0) == 1);
  gl->render(scene, kView, kAxesRect, kFigureHeight, 1);  // the upload
  state.SetLabel(gl->gl_renderer() + ", " +
                 std::to_string(state.range(0) == 1 ? scene.surface->coarse->triangles.rows()
                                                    : scene.surface->triangles.rows()) +
                 " triangles");
  for (auto _ : state) {
    scene.azimuth_deg += 2;
    benchmark::DoNotOptimize(gl->render(scene, kView, kAxesRect, kFigureHeight, 1));
  }
  gl->set_draft(false);
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TurnSurfaceOpenGl)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TurnSurfaceCpu(benchmark::State& state) {
  const auto warp = session().warp_surface(pc1(2));
  render::AxesScene scene = surface_scene(app::scene_surface(warp));
  for (auto _ : state) {
    scene.azimuth_deg += 2;
    benchmark::DoNotOptimize(qt::render_axes(scene, kView, kAxesRect, kFigureHeight, 1));
  }
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TurnSurfaceCpu)->Unit(benchmark::kMillisecond)->UseRealTime();

// One slider step: the warp to the new score, the drawn surface made from
// it, and the frame that shows it (OpenGL when there is a display).  Arg 0:
// the whole surface (normals and heat colours of all its triangles); 1: the
// draft the window draws while a slider moves (the coarse copy's vertices
// the cluster means of the warped ones, its own normals and colours).
void BM_SliderUpdate(benchmark::State& state) {
  analysis::Session& a = session();
  a.warp_surface(pc1(0));  // the mean surface, made once a superimposition
  const bool draft = state.range(0) == 1;
  app::draft_surface(a.warp_surface(pc1(1)));  // the clusters, made once a surface
  qt::GlAxesRenderer* gl = g_gl ? g_gl.get() : nullptr;
  double sd = -3;
  Eigen::Index triangles = 0;
  for (auto _ : state) {
    sd = sd >= 3 ? -3 : sd + 0.25;
    const auto warp = a.warp_surface(pc1(sd));
    render::AxesScene scene =
        surface_scene(draft ? app::draft_surface(warp) : app::scene_surface(warp, 0, false));
    triangles = scene.surface->triangles.rows();
    if (gl) benchmark::DoNotOptimize(gl->render(scene, kView, kAxesRect, kFigureHeight, 1));
  }
  state.SetLabel(std::string(gl ? "with the OpenGL frame, " : "without a frame (no OpenGL), ") +
                 std::to_string(triangles) + " triangles drawn");
  state.counters["updates/s"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SliderUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Where a whole-surface slider step spends its time.  Arg 0: the warp
// alone (the spline from the consensus to the target, the displacements);
// 1: the drawn surface made from a warp (normals, heat colours, copies).
void BM_SliderParts(benchmark::State& state) {
  analysis::Session& a = session();
  const auto warp = a.warp_surface(pc1(1));
  double sd = -3;
  for (auto _ : state) {
    sd = sd >= 3 ? -3 : sd + 0.25;
    if (state.range(0) == 0)
      benchmark::DoNotOptimize(a.warp_surface(pc1(sd)).vertices.data());
    else
      benchmark::DoNotOptimize(app::scene_surface(warp, 0, false)->normals.data());
  }
}
BENCHMARK(BM_SliderParts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // The program's own memory settings, so that a step's fresh buffers cost
  // what they cost in the window.
  velmora::restart_with_huge_pages(argv);
  velmora::keep_freed_memory();
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_gl.reset();
  return 0;
}
