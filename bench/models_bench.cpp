// Linear models of shape on data of realistic size.
#include <benchmark/benchmark.h>

#include <random>

#include "stats/canonical_variates.hpp"
#include "stats/model_formula.hpp"
#include "stats/procrustes_anova.hpp"

namespace {

using namespace velmora;

/// n specimens of k landmarks (3k shape variables) in four groups whose
/// slopes on X differ a little.
struct GroupSample {
  Eigen::MatrixXd shape;
  std::vector<stats::ModelVariable> variables;
};

GroupSample group_sample(Eigen::Index k, Eigen::Index n) {
  std::mt19937 gen(5);
  std::normal_distribution<double> normal;
  GroupSample s;
  stats::ModelVariable x{"X", true, Eigen::VectorXd(n), {}}, group{"group", false, {}, {}};
  s.shape.resize(n, 3 * k);
  for (Eigen::Index i = 0; i < n; ++i) {
    x.values(i) = 1 + 0.001 * static_cast<double>(i % 997);
    group.levels.push_back(std::string(1, static_cast<char>('A' + i % 4)));
    for (Eigen::Index j = 0; j < 3 * k; ++j)
      s.shape(i, j) = 1e-3 * (normal(gen) + 0.05 * (1 + 0.1 * static_cast<double>(i % 4)) *
                                                x.values(i) * static_cast<double>(j % 5));
  }
  s.variables = {x, group};
  return s;
}

// Procrustes ANOVA of shape ~ X * group with 999 permutations.  Goal: under
// 1 s (0.3 s aimed at) for 1,000 specimens of 100 landmarks.
void BM_ProcrustesAnova(benchmark::State& state) {
  const GroupSample s = group_sample(state.range(0), state.range(1));
  const auto design = stats::model_design(stats::parse_model_formula("shape ~ X * group"),
                                          s.variables, s.shape.rows());
  for (auto _ : state) {
    const auto a =
        stats::procrustes_anova(s.shape, design, stats::SumsOfSquares::Sequential, 999, 1);
    benchmark::DoNotOptimize(a->terms.back().p);
  }
}
BENCHMARK(BM_ProcrustesAnova)
    ->Args({100, 1000})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Canonical variates of four groups with leave-one-out classification (and
// 99 permutations for the distances).  Goal: under 1 s for 1,000 specimens
// of 100 landmarks.
void BM_CanonicalVariates(benchmark::State& state) {
  const GroupSample s = group_sample(state.range(0), state.range(1));
  for (auto _ : state) {
    const auto c = stats::canonical_variates(s.shape, s.variables[1].levels, 99, 1);
    benchmark::DoNotOptimize(c.classification(0, 0));
  }
}
BENCHMARK(BM_CanonicalVariates)
    ->Args({100, 1000})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Models refused for their size, counted before anything is built: an
// interaction of four 40-level factors on 80 specimens (2,560,001 columns)
// and a factor of 10,000 levels on 20,000 specimens.  Goal: under 10 ms
// each.
void BM_ModelRefusedForItsSize(benchmark::State& state) {
  const bool interaction = state.range(0) == 0;
  const Eigen::Index n = interaction ? 80 : 20000;
  std::vector<stats::ModelVariable> variables;
  for (int f = 0; f < (interaction ? 4 : 1); ++f) {
    stats::ModelVariable v{"f" + std::to_string(f + 1), false, {}, {}};
    for (Eigen::Index i = 0; i < n; ++i)
      v.levels.push_back(std::to_string(interaction ? i % 40 : i / 2));
    variables.push_back(std::move(v));
  }
  const auto formula =
      stats::parse_model_formula(interaction ? "shape ~ f1:f2:f3:f4" : "shape ~ f1");
  for (auto _ : state) {
    try {
      stats::model_design(formula, variables, n);
    } catch (const std::exception& e) {
      benchmark::DoNotOptimize(e.what());
    }
  }
}
BENCHMARK(BM_ModelRefusedForItsSize)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A formula of 100,000 distinct terms.  Goal: under 0.5 s.
void BM_ParseManyTerms(benchmark::State& state) {
  std::string text = "shape ~ x0";
  for (int t = 1; t < 100000; ++t) text += " + x" + std::to_string(t);
  for (auto _ : state) benchmark::DoNotOptimize(stats::parse_model_formula(text).terms.size());
}
BENCHMARK(BM_ParseManyTerms)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
