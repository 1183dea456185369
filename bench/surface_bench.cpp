// Surfaces: the spline warp of their vertices and the reading of a large
// binary PLY file.
#include <benchmark/benchmark.h>

#include <random>

#include "mesh/surface.hpp"
#include "platform/render/surface_raster.hpp"
#include "tps/point_warp.hpp"

namespace {

using namespace velmora;

tps::PointRows cloud(Eigen::Index n, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> g(0, 30);
  tps::PointRows p(n, 3);
  for (Eigen::Index i = 0; i < p.size(); ++i) p.data()[i] = g(rng);
  return p;
}

// Goal: 1,000,000 vertices with a spline of 100 landmarks under 0.2 s on two
// cores.
void BM_SurfaceWarp(benchmark::State& state) {
  const auto n = static_cast<Eigen::Index>(state.range(0));
  const auto k = static_cast<Eigen::Index>(state.range(1));
  const tps::PointRows landmarks = cloud(k, 1);
  const tps::ThinPlateSpline spline(landmarks, landmarks + cloud(k, 2) * 0.05);
  const tps::PointRows vertices = cloud(n, 3);
  for (auto _ : state) {
    tps::PointRows out = spline.warp(vertices, static_cast<int>(state.range(2)));
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_SurfaceWarp)
    ->Args({1000000, 100, 2})
    ->Args({1000000, 100, 1})
    ->Args({200000, 100, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

/// A closed grid surface (a torus) of about `triangles` triangles.
mesh::Surface torus(Eigen::Index triangles, bool colours) {
  const auto u = static_cast<Eigen::Index>(std::sqrt(triangles / 2.0));
  mesh::Surface s;
  s.vertices.resize(u * u, 3);
  s.triangles.resize(2 * u * u, 3);
  for (Eigen::Index i = 0; i < u; ++i) {
    for (Eigen::Index j = 0; j < u; ++j) {
      const double a = 2 * M_PI * i / u, b = 2 * M_PI * j / u;
      s.vertices.row(i * u + j) << (50 + 20 * std::cos(b)) * std::cos(a),
          (50 + 20 * std::cos(b)) * std::sin(a), 20 * std::sin(b);
      const auto v = [u](Eigen::Index p, Eigen::Index q) {
        return static_cast<std::int32_t>((p % u) * u + q % u);
      };
      s.triangles.row(2 * (i * u + j)) << v(i, j), v(i + 1, j), v(i + 1, j + 1);
      s.triangles.row(2 * (i * u + j) + 1) << v(i, j), v(i + 1, j + 1), v(i, j + 1);
    }
  }
  if (colours) s.colours = mesh::Colours::Constant(u * u, 3, 200);
  return s;
}

// Goal: a 50 MB binary PLY under 1 s.  3,000,000 triangles with colours
// make a file of about 50 MB.
void BM_ReadBinaryPly(benchmark::State& state) {
  const std::string bytes =
      mesh::surface_bytes(torus(state.range(0), true), mesh::SurfaceFormat::PlyBinary);
  for (auto _ : state) {
    mesh::Surface s = mesh::parse_surface(bytes, "ply", "bench.ply");
    benchmark::DoNotOptimize(s.vertices.data());
  }
  state.counters["MB"] = static_cast<double>(bytes.size()) / 1e6;
}
BENCHMARK(BM_ReadBinaryPly)->Arg(3000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Elements without properties take no bytes, however many a header declares.
// Goal: 20 such elements of 2,147,483,647 records each, around a triangle,
// read in well under a millisecond (they were once read record by record,
// 2.7 s each).
void BM_ReadPlyEmptyElements(benchmark::State& state) {
  std::string bytes =
      "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
      "property float y\nproperty float z\n";
  for (int i = 0; i < 20; ++i) bytes += "element pad" + std::to_string(i) + " 2147483647\n";
  bytes += "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
  const float xyz[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  const std::int32_t face[3] = {0, 1, 2};
  bytes.append(reinterpret_cast<const char*>(xyz), sizeof xyz).push_back(3);
  bytes.append(reinterpret_cast<const char*>(face), sizeof face);
  for (auto _ : state) {
    mesh::Surface s = mesh::parse_surface(bytes, "ply", "pads.ply");
    benchmark::DoNotOptimize(s.vertices.data());
  }
}
BENCHMARK(BM_ReadPlyEmptyElements)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The software drawing of the surface layer (offscreen, batch, exports):
// 200,000 triangles filling most of a picture of the given width (4:3).
void BM_RasterizeSurface(benchmark::State& state) {
  const mesh::Surface s = torus(200000, false);
  const mesh::Points normals = mesh::vertex_normals(s.vertices, s.triangles);
  const int w = static_cast<int>(state.range(0)), h = w * 3 / 4;
  const auto camera =
      render::camera_from_angles(-37.5, 30, Eigen::Vector3d::Zero(), 0.8 * h / 140.0, w, h);
  for (auto _ : state) {
    render::SurfaceRaster r =
        render::rasterize_surface(s.vertices, s.triangles, normals, {}, camera, w, h);
    benchmark::DoNotOptimize(r.rgba.data());
  }
}
BENCHMARK(BM_RasterizeSurface)->Arg(800)->Arg(1600)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
