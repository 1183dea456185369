// The multivariate tests on data of realistic size.
#include <benchmark/benchmark.h>

#include <random>

#include "stats/permutation_test.hpp"
#include "stats/wilks.hpp"

namespace {

using namespace velmora;

void BM_GetWilkslambda(benchmark::State& state) {
  const auto k = static_cast<Eigen::Index>(state.range(0));
  const auto n = static_cast<Eigen::Index>(state.range(1));
  const Eigen::Index m = 3 * k - 7;  // scores of k landmarks in general position
  std::mt19937 gen(3);
  std::normal_distribution<double> normal;
  Eigen::VectorXd x(n);
  for (Eigen::Index i = 0; i < n; ++i) x(i) = 1 + 0.001 * static_cast<double>(i);
  Eigen::MatrixXd scores(n, m);
  for (Eigen::Index j = 0; j < m; ++j)
    for (Eigen::Index i = 0; i < n; ++i) scores(i, j) = 1e-3 * (normal(gen) + 0.2 * x(i));
  for (auto _ : state) {
    const stats::WilksResult w = stats::wilks_lambda(scores, x);
    benchmark::DoNotOptimize(w.lambda);
  }
}
BENCHMARK(BM_GetWilkslambda)->Args({100, 1000})->Unit(benchmark::kMillisecond);

// The permutation test of shape on X: n specimens of k landmarks (3k tangent
// coordinates), 999 random orderings.  Goal: under 1 s for n = 1,000,
// k = 100.  The second case has far more variables than specimens.
void BM_PermutationTest(benchmark::State& state) {
  const auto k = static_cast<Eigen::Index>(state.range(0));
  const auto n = static_cast<Eigen::Index>(state.range(1));
  std::mt19937 gen(5);
  std::normal_distribution<double> normal;
  Eigen::VectorXd x(n);
  for (Eigen::Index i = 0; i < n; ++i) x(i) = 1 + 0.001 * static_cast<double>(i);
  Eigen::MatrixXd tangent(n, 3 * k);
  for (Eigen::Index j = 0; j < 3 * k; ++j)
    for (Eigen::Index i = 0; i < n; ++i) tangent(i, j) = 1e-3 * (normal(gen) + 0.05 * x(i));
  for (auto _ : state) {
    const auto r = stats::permutation_test(tangent, x, 999, 1);
    benchmark::DoNotOptimize(r->p);
  }
  state.counters["p"] = stats::permutation_test(tangent, x, 999, 1)->p;
}
BENCHMARK(BM_PermutationTest)
    ->Args({100, 1000})
    ->Args({100, 60})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
