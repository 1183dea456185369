// Sliding semilandmarks on dense samples: the bending-energy matrix of a
// consensus, and whole passes of n specimens with surface points.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "shape/procrustes.hpp"
#include "tps/sliding.hpp"

namespace {

using namespace velmora;

// n specimens of k landmarks over a vault (10 fixed, the rest surface
// points), each a little deformed and placed at random.
shape::Stack vault_sample(Eigen::Index n, Eigen::Index k) {
  std::mt19937 rng(static_cast<unsigned>(k));
  std::uniform_real_distribution<double> u(0, 1);
  std::normal_distribution<double> g(0, 1);
  Eigen::VectorXd theta(k), phi(k);
  for (Eigen::Index l = 0; l < k; ++l)
    theta(l) = std::acos(0.05 + 0.95 * u(rng)), phi(l) = 6.283 * u(rng);
  shape::Stack s(k, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double t = g(rng);
    for (Eigen::Index l = 0; l < k; ++l) {
      const double th = theta(l) + 0.01 * g(rng), ph = phi(l) + 0.01 * g(rng);
      s.slice(i)(l, 0) = 95 * (1 + 0.05 * t) * std::sin(th) * std::cos(ph) + 0.3 * g(rng);
      s.slice(i)(l, 1) = 75 * std::sin(th) * std::sin(ph) + 0.3 * g(rng);
      s.slice(i)(l, 2) = 60 * (1 - 0.03 * t) * std::cos(th) + 0.3 * g(rng);
    }
  }
  return s;
}

tps::Semilandmarks surface_points(Eigen::Index k) {
  tps::Semilandmarks semi;
  for (Eigen::Index l = 10; l < k; ++l) semi.surface.push_back(l);
  return semi;
}

void BM_BendingEnergyMatrix(benchmark::State& state) {
  const shape::GpaResult fit = shape::gpa_to_convergence(vault_sample(2, state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tps::bending_energy_matrix(fit.reference).data());
}
BENCHMARK(BM_BendingEnergyMatrix)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One plain bending-energy pass of n = 100 specimens.
void BM_SlidingPass(benchmark::State& state) {
  const Eigen::Index k = state.range(0);
  const shape::GpaResult fit = shape::gpa_to_convergence(vault_sample(100, k));
  const tps::Semilandmarks semi = surface_points(k);
  tps::SlidingOptions one;
  one.passes = 1;
  for (auto _ : state) {
    const tps::SlidingResult r = tps::slide_semilandmarks(fit, semi, one);
    benchmark::DoNotOptimize(r.fitted.data().data());
  }
}
// Goal: 100 specimens × 1,000 landmarks, three passes and the rest of the
// batch run under 10 s.
BENCHMARK(BM_SlidingPass)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
