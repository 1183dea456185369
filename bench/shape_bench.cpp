// Superimposition of synthetic samples as LoadData runs it: generalized
// Procrustes fit, principal axes of the consensus, the sample turned with
// them.
#include <benchmark/benchmark.h>

#include "../tests/shape/random_shapes.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"

namespace {

using namespace velmora;

// n noisy, turned, scaled and moved copies of one k-landmark shape.
shape::Stack synthetic_sample(Eigen::Index k, Eigen::Index n) {
  testing::RandomShapes rnd(2024);
  const shape::Config base = rnd.cloud(k, {0.6, 1.0, 1.8});
  shape::Stack s(k, n);
  for (Eigen::Index i = 0; i < n; ++i) s.slice(i) = rnd.moved_copy(base + 0.05 * rnd.cloud(k));
  return s;
}

// Third argument: 0 for the classic three passes, 1 for the optimal rotation
// to convergence (the passes it took are reported).
void BM_Superimpose(benchmark::State& state) {
  const auto k = static_cast<Eigen::Index>(state.range(0));
  const auto n = static_cast<Eigen::Index>(state.range(1));
  const bool optimal = state.range(2) == 1;
  const shape::Stack sample = synthetic_sample(k, n);
  int passes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    shape::Stack data = sample;
    state.ResumeTiming();
    shape::GpaResult gpa = optimal ? shape::gpa_to_convergence(std::move(data))
                                   : shape::generalized_procrustes(std::move(data));
    const shape::PrincipalAxes axes = shape::principal_axes(gpa.reference);
    shape::rotate_all(gpa.fitted, axes.axes);
    benchmark::DoNotOptimize(gpa.fitted.data().data());
    passes = gpa.passes;
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["passes"] = passes;
}
BENCHMARK(BM_Superimpose)
    ->ArgsProduct({{24}, {58}, {0, 1}})
    ->Args({100, 1000, 0})
    ->Args({50, 5000, 0})
    ->Args({100, 10000, 0})
    ->Args({100, 10000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_Rotate(benchmark::State& state) {
  shape::Stack data = synthetic_sample(state.range(0), state.range(1));
  const Eigen::Matrix3d r = testing::RandomShapes(5).rotation();
  for (auto _ : state) {
    shape::rotate_all(data, r);
    benchmark::DoNotOptimize(data.data().data());
  }
}
BENCHMARK(BM_Rotate)->Args({100, 10000})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
