// The Procrustes ANOVA of object symmetry on a sample of realistic size.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "stats/symmetry.hpp"

namespace {

using namespace velmora;

// Individuals × replicates configurations of 2q + m landmarks: a symmetric
// base shape, symmetric variation among individuals, a fluctuating
// asymmetry an individual and a digitizing error a replicate.
struct Sample {
  shape::Stack raw;
  std::vector<std::size_t> relabel;
  std::vector<std::string> individual;
};

Sample bilateral_sample(Eigen::Index individuals, int replicates, Eigen::Index pairs,
                        Eigen::Index midline) {
  const Eigen::Index k = 2 * pairs + midline;
  std::mt19937_64 gen(7);
  std::normal_distribution<double> normal;
  Sample s;
  s.relabel.resize(static_cast<std::size_t>(k));
  shape::Config base(k, 3);
  for (Eigen::Index j = 0; j < midline; ++j) base.row(j) << 0, normal(gen), normal(gen);
  for (Eigen::Index q = 0; q < pairs; ++q) {
    const Eigen::Index l = midline + 2 * q, r = l + 1;
    base.row(l) << 0.5 + std::abs(normal(gen)), normal(gen), normal(gen);
    base.row(r) << -base(l, 0), base(l, 1), base(l, 2);
    s.relabel[static_cast<std::size_t>(l)] = static_cast<std::size_t>(r);
    s.relabel[static_cast<std::size_t>(r)] = static_cast<std::size_t>(l);
  }
  for (Eigen::Index j = 0; j < midline; ++j) s.relabel[static_cast<std::size_t>(j)] = j;
  s.raw = shape::Stack(k, individuals * replicates);
  for (Eigen::Index i = 0; i < individuals; ++i) {
    shape::Config ind = base, fa(k, 3);
    for (Eigen::Index j = 0; j < k; ++j)
      for (int d = 0; d < 3; ++d) {
        ind(j, d) += 0.05 * normal(gen);
        fa(j, d) = 0.01 * normal(gen);
      }
    for (int r = 0; r < replicates; ++r) {
      auto x = s.raw.slice(i * replicates + r);
      for (Eigen::Index j = 0; j < k; ++j)
        for (int d = 0; d < 3; ++d) x(j, d) = ind(j, d) + fa(j, d) + 0.003 * normal(gen);
      s.individual.push_back("i" + std::to_string(i));
    }
  }
  return s;
}

// 1,000 individuals × 2 replicates × 100 landmarks (40 pairs, 20 on the
// midline), 999 permutations.  Bar: under 2 s on the 2-core machine.
void BM_ObjectSymmetryAnova(benchmark::State& state) {
  const Sample s = bilateral_sample(state.range(0), 2, 40, 20);
  const stats::SymmetryFit fit = stats::object_symmetry_fit(s.raw, s.relabel, s.individual);
  for (auto _ : state) {
    const auto a = stats::symmetry_anova(fit, "individual", 999, 1);
    benchmark::DoNotOptimize(a->terms.front().p);
  }
}
BENCHMARK(BM_ObjectSymmetryAnova)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The same with the joint superimposition of the 4,000 configurations.
void BM_ObjectSymmetryFitAndAnova(benchmark::State& state) {
  const Sample s = bilateral_sample(state.range(0), 2, 40, 20);
  for (auto _ : state) {
    const stats::SymmetryFit fit = stats::object_symmetry_fit(s.raw, s.relabel, s.individual);
    const auto a = stats::symmetry_anova(fit, "individual", 999, 1);
    benchmark::DoNotOptimize(a->terms.front().p);
  }
}
BENCHMARK(BM_ObjectSymmetryFitAndAnova)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
