// The thin-plate spline basis and the scores of a sample on it.
#include <benchmark/benchmark.h>

#include "../tests/shape/random_shapes.hpp"
#include "shape/procrustes.hpp"
#include "tps/scores.hpp"
#include "tps/warp_basis.hpp"

namespace {

using namespace velmora;

// A reference as LoadData leaves it: centred, unit size, principal axes.
shape::Config principal_reference(testing::RandomShapes& rnd, Eigen::Index k) {
  return shape::principal_axes(rnd.unit_cloud(k, {0.6, 1.0, 1.7})).reference;
}

void BM_Lmatrix3da(benchmark::State& state) {
  testing::RandomShapes rnd(7);
  const shape::Config ref = principal_reference(rnd, state.range(0));
  for (auto _ : state) {
    tps::WarpBasis b = tps::thin_plate_basis(ref);
    benchmark::DoNotOptimize(b.eigenvectors.data());
  }
}
// Goals: k = 1,000 under 0.3 s, k = 2,000 under 2 s.
BENCHMARK(BM_Lmatrix3da)
    ->Arg(24)
    ->Arg(100)
    ->Arg(400)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_Getpw3d(benchmark::State& state) {
  const auto k = static_cast<Eigen::Index>(state.range(0));
  const auto n = static_cast<Eigen::Index>(state.range(1));
  testing::RandomShapes rnd(8);
  const shape::Config ref = principal_reference(rnd, k);
  shape::Stack data(k, n);
  for (Eigen::Index i = 0; i < n; ++i) data.slice(i) = ref + 0.01 * rnd.cloud(k);
  for (auto _ : state) {
    Eigen::MatrixXd scores = tps::partial_warp_scores(ref, data);
    benchmark::DoNotOptimize(scores.data());
  }
}
BENCHMARK(BM_Getpw3d)->Args({100, 1000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
