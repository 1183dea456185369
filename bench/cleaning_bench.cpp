// Cleaning a sample: the outlier screen with the search for swapped
// landmarks, and the estimate of missing landmarks.
#include <benchmark/benchmark.h>

#include <Eigen/Geometry>
#include <random>

#include "shape/procrustes.hpp"
#include "shape/tangent_coordinates.hpp"
#include "stats/outliers.hpp"
#include "tps/missing_landmarks.hpp"

namespace {

using namespace velmora;

/// n copies of one random shape of k landmarks with 2 % noise, each turned,
/// moved and scaled at random.
shape::Stack noisy_sample(Eigen::Index k, Eigen::Index n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> normal;
  shape::Config base(k, 3);
  for (Eigen::Index c = 0; c < base.size(); ++c) base.data()[c] = normal(gen);
  shape::Stack s(k, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    shape::Config x = base;
    for (Eigen::Index c = 0; c < x.size(); ++c) x.data()[c] += 0.02 * normal(gen);
    const Eigen::Matrix3d r = Eigen::Quaterniond(normal(gen), normal(gen), normal(gen), normal(gen))
                                  .normalized()
                                  .toRotationMatrix();
    s.slice(i) = ((5.0 + std::abs(normal(gen))) * x * r).rowwise() +
                 Eigen::RowVector3d(normal(gen), normal(gen), normal(gen));
  }
  return s;
}

// Goal: under 2 s for 10,000 specimens of 100 landmarks.  Argument 2 says
// whether the standard superimposition is timed too (1) or only the screen
// on a given fit (0).  One specimen in a hundred has two landmarks swapped.
void BM_OutlierScreenWithSwaps(benchmark::State& state) {
  const auto k = static_cast<Eigen::Index>(state.range(0));
  const auto n = static_cast<Eigen::Index>(state.range(1));
  const bool with_fit = state.range(2) != 0;
  shape::Stack sample = noisy_sample(k, n, 3);
  for (Eigen::Index i = 0; i < n; i += 100) stats::swap_landmarks(sample, i, i % k, (i + 37) % k);
  const shape::GpaResult given = shape::gpa_to_convergence(sample);
  std::size_t swaps = 0;
  for (auto _ : state) {
    const shape::GpaResult fit = with_fit ? shape::gpa_to_convergence(sample) : given;
    const stats::OutlierReport r =
        stats::outlier_screen(shape::tangent_coordinates(fit.reference, fit.fitted), {});
    const std::vector<stats::LandmarkSwap> found =
        stats::find_swapped_landmarks(fit.reference, fit.fitted);
    swaps = found.size();
    benchmark::DoNotOptimize(r.distance.data());
  }
  state.counters["swaps"] = static_cast<double>(swaps);
}
BENCHMARK(BM_OutlierScreenWithSwaps)
    ->Args({100, 10000, 1})
    ->Args({100, 10000, 0})
    ->Unit(benchmark::kMillisecond);

// Goal: under 1 s for 100 incomplete specimens of a 1,000-specimen sample
// (each missing 1 to 5 of 100 landmarks), the error report apart.
void BM_TpsEstimate(benchmark::State& state) {
  const auto k = static_cast<Eigen::Index>(state.range(0));
  const auto n = static_cast<Eigen::Index>(state.range(1));
  const auto incomplete = static_cast<Eigen::Index>(state.range(2));
  const shape::Stack sample = noisy_sample(k, n, 5);
  std::mt19937 gen(9);
  tps::MissingList missing;
  for (Eigen::Index i = 0; i < incomplete; ++i)
    for (Eigen::Index m = 0; m <= i % 5; ++m)
      missing.emplace_back(i * (n / incomplete), static_cast<Eigen::Index>(gen() % k));
  for (auto _ : state) {
    const tps::MissingEstimate e = tps::estimate_missing(sample, missing, {});
    benchmark::DoNotOptimize(e.filled.data().data());
  }
}
BENCHMARK(BM_TpsEstimate)->Args({100, 1000, 100})->Unit(benchmark::kMillisecond);

// The error report of the same estimate: every complete specimen left out
// in turn, one new superimposition each.  Argument 1 is the sample size.
void BM_TpsEstimationError(benchmark::State& state) {
  const auto k = static_cast<Eigen::Index>(state.range(0));
  const auto n = static_cast<Eigen::Index>(state.range(1));
  const shape::Stack sample = noisy_sample(k, n, 5);
  tps::MissingList missing;
  for (Eigen::Index i = 0; i < n / 10; ++i) missing.emplace_back(10 * i, i % k);
  for (auto _ : state) {
    const tps::EstimationError e = tps::estimation_error(sample, missing, {});
    benchmark::DoNotOptimize(e.overall);
  }
}
BENCHMARK(BM_TpsEstimationError)->Args({100, 200})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
