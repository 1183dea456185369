// Integration and modularity on data of realistic size: 1,000 specimens of
// 100 landmarks in two modules of 40 and 60 landmarks, 999 permutations.
// Bars: two-block PLS under 2 s (goal 0.5 s), CR under 1 s.
#include <benchmark/benchmark.h>

#include <random>

#include "stats/integration.hpp"
#include "stats/modularity.hpp"

namespace {

using namespace velmora;

constexpr Eigen::Index kSpecimens = 1000, kLandmarks = 100, kFirst = 40;

/// Tangent-like coordinates (stacked layout) with a factor shared within
/// each module and a weaker one shared by both.
Eigen::MatrixXd modular_sample() {
  std::mt19937 gen(11);
  std::normal_distribution<double> normal;
  Eigen::MatrixXd t(kSpecimens, 3 * kLandmarks);
  Eigen::VectorXd loading(3 * kLandmarks);
  for (Eigen::Index j = 0; j < 3 * kLandmarks; ++j) loading(j) = normal(gen);
  for (Eigen::Index i = 0; i < kSpecimens; ++i) {
    const double common = normal(gen), a = normal(gen), b = normal(gen);
    for (Eigen::Index j = 0; j < 3 * kLandmarks; ++j) {
      const bool first = j % kLandmarks < kFirst;
      t(i, j) = 1e-3 * (normal(gen) + loading(j) * ((first ? a : b) + 0.3 * common));
    }
  }
  return t;
}

std::vector<std::size_t> partition() {
  std::vector<std::size_t> block(kLandmarks, 1);
  for (Eigen::Index l = 0; l < kFirst; ++l) block[static_cast<std::size_t>(l)] = 0;
  return block;
}

void BM_TwoBlockPls(benchmark::State& state) {
  const Eigen::MatrixXd t = modular_sample();
  const std::vector<std::size_t> block = partition();
  const Eigen::MatrixXd left = stats::block_coordinates(t, block, 0);
  const Eigen::MatrixXd right = stats::block_coordinates(t, block, 1);
  for (auto _ : state) {
    const auto pls = stats::two_block_pls(left, right, 999, 1);
    benchmark::DoNotOptimize(pls->p);
  }
}
BENCHMARK(BM_TwoBlockPls)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_ModularityTest(benchmark::State& state) {
  const Eigen::MatrixXd t = modular_sample();
  const std::vector<std::size_t> block = partition();
  for (auto _ : state) {
    const auto test = stats::modularity_test(t, block, 999, 1);
    benchmark::DoNotOptimize(test->cr);
  }
}
BENCHMARK(BM_ModularityTest)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
