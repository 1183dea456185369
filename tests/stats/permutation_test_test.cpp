#include "stats/permutation_test.hpp"

#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <Eigen/QR>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numeric>
#include <vector>

#include "shape/decompositions.hpp"
#include "shape/test_support.hpp"

namespace velmora::stats {
namespace {

using testing::error_of;

// Shape-like data: n specimens, p variables, a weak trend on x plus noise.
struct Sample {
  Eigen::MatrixXd y;
  Eigen::VectorXd x;
};

Sample sample(Eigen::Index n, Eigen::Index p, double trend, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> normal;
  Sample s{Eigen::MatrixXd(n, p), Eigen::VectorXd(n)};
  for (Eigen::Index i = 0; i < n; ++i) s.x(i) = 10 + normal(gen);
  Eigen::RowVectorXd direction(p);
  for (Eigen::Index j = 0; j < p; ++j) direction(j) = normal(gen);
  for (Eigen::Index i = 0; i < n; ++i)
    for (Eigen::Index j = 0; j < p; ++j) s.y(i, j) = 0.01 * normal(gen);
  s.y += trend * 0.01 * s.x * direction;
  return s;
}

// R² of the least-squares fit of every column of y on [1 x], by a QR solve:
// an independent refit, not the centred-product shortcut.
double refit_r_squared(const Eigen::MatrixXd& y, const Eigen::VectorXd& x) {
  Eigen::MatrixXd design(x.size(), 2);
  design.col(0).setOnes();
  design.col(1) = x;
  const Eigen::MatrixXd coef = design.colPivHouseholderQr().solve(y);
  const Eigen::MatrixXd fitted = design * coef;
  const Eigen::RowVectorXd mean = y.colwise().mean();
  return (fitted.rowwise() - mean).squaredNorm() / (y.rowwise() - mean).squaredNorm();
}

TEST(PermutationTest, ExactPValueEqualsFullEnumerationByRefitting) {
  // Fewer variables than specimens and more (the triangular-factor path).
  for (const Eigen::Index p : {3, 12}) {
    const Sample s = sample(6, p, 1.5, 7 + static_cast<unsigned>(p));
    const double observed = refit_r_squared(s.y, s.x);
    std::array<int, 6> order;
    std::iota(order.begin(), order.end(), 0);
    int reaching = 0, total = 0;
    do {
      Eigen::VectorXd permuted(6);
      for (int i = 0; i < 6; ++i) permuted(i) = s.x(order[static_cast<std::size_t>(i)]);
      reaching += refit_r_squared(s.y, permuted) >= observed * (1 - 1e-9);
      ++total;
    } while (std::next_permutation(order.begin(), order.end()));
    ASSERT_EQ(total, 720);

    std::vector<std::pair<int, int>> calls;
    const auto r = exact_permutation_test(s.y, s.x, [&](int done, int all) {
      calls.emplace_back(done, all);
      return true;
    });
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(r->exact);
    EXPECT_EQ(r->permutations, 720);
    EXPECT_EQ(r->at_least_as_large, reaching) << "p = " << p;
    EXPECT_DOUBLE_EQ(r->p, reaching / 720.0);
    EXPECT_NEAR(r->r_squared, observed, 1e-12);
    EXPECT_NEAR(r->F, observed / ((1 - observed) / 4), 1e-9 * r->F);
    EXPECT_EQ(r->n, 6);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::make_pair(720, 720));
    EXPECT_TRUE(std::is_sorted(calls.begin(), calls.end()));

    // Random orderings estimate the exact p; with a fixed seed the estimate is
    // a fixed number, held within four binomial standard errors.
    const int draws = 20000;
    const auto random = permutation_test(s.y, s.x, draws, 99);
    ASSERT_TRUE(random.has_value());
    const double exact = r->p;
    EXPECT_NEAR(random->p, exact, 4 * std::sqrt(exact * (1 - exact) / draws) + 1.0 / draws);
    EXPECT_EQ(random->r_squared, r->r_squared);
  }
}

TEST(PermutationTest, SameSeedRepeatsAndResultsAreInvariantToPoseScaleAndRegressorUnits) {
  const Sample s = sample(40, 30, 0.0, 3);  // no trend: a p value far from 0
  const auto a = permutation_test(s.y, s.x, 499, 11);
  const auto b = permutation_test(s.y, s.x, 499, 11);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->at_least_as_large, b->at_least_as_large);
  EXPECT_EQ(a->r_squared, b->r_squared);
  EXPECT_EQ(a->seed, 11u);
  EXPECT_EQ(a->permutations, 499);
  EXPECT_FALSE(a->exact);
  EXPECT_DOUBLE_EQ(a->p, a->at_least_as_large / 500.0);
  EXPECT_NEAR(a->r_squared, refit_r_squared(s.y, s.x), 1e-12);

  // An orthogonal turn of the variables, a change of unit and an offset of the
  // shape data, and an affine change of the regressor's unit (a reversal
  // included) leave every statistic and, with the same seed, the count.
  const Eigen::MatrixXd turn =
      Eigen::MatrixXd(Eigen::MatrixXd::Random(30, 30)).householderQr().householderQ();
  const Eigen::MatrixXd moved = ((1e3 * s.y * turn).array() + 5.0).matrix();
  const Eigen::VectorXd x_units = (-2.5 * s.x).array() + 100.0;
  const auto c = permutation_test(moved, x_units, 499, 11);
  ASSERT_TRUE(c);
  EXPECT_NEAR(c->r_squared, a->r_squared, 1e-12);
  EXPECT_NEAR(c->F, a->F, 1e-9 * a->F);
  EXPECT_EQ(c->at_least_as_large, a->at_least_as_large);

  // Another seed draws other orderings.
  const auto d = permutation_test(s.y, s.x, 499, 12);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->r_squared, a->r_squared);
  EXPECT_NE(d->at_least_as_large, a->at_least_as_large);
}

// R² and its p do not depend on the unit of the regressor: X scaled to
// 1e-300 or 1e300, or spread from 1e-300 to 1e300, gives the statistics of
// its ordinary copy, never NaN.
TEST(PermutationTest, RegressorsFrom1eMinus300To1e300) {
  const Sample s = sample(12, 9, 2.0, 8);
  const auto base = permutation_test(s.y, s.x, 199, 5);
  for (const double unit : {1e-300, 1e300}) {
    const auto r = permutation_test(s.y, s.x * unit, 199, 5);
    EXPECT_NEAR(r->r_squared, base->r_squared, 1e-13) << unit;
    EXPECT_EQ(r->at_least_as_large, base->at_least_as_large) << unit;
  }
  Eigen::VectorXd wide(12);
  for (int i = 0; i < 12; ++i) wide(i) = std::pow(10.0, -300 + 600.0 * i / 11);
  const auto r = permutation_test(s.y, wide, 199, 5);
  EXPECT_NEAR(r->r_squared, refit_r_squared(s.y, wide / 1e300), 1e-12);
}

TEST(PermutationTest, ManyMoreVariablesThanSpecimensAndPerfectFits) {
  // 3k − 7 = 293 variables for 12 specimens: Wilks' lambda is undefined here.
  const Sample s = sample(12, 293, 2.0, 5);
  const auto r = permutation_test(s.y, s.x, 999, 1);
  ASSERT_TRUE(r);
  EXPECT_NEAR(r->r_squared, refit_r_squared(s.y, s.x), 1e-12);
  EXPECT_GT(r->p, 0);
  EXPECT_LE(r->p, 1);

  // Shape exactly linear in x: R² = 1, F infinite; only the observed ordering
  // and its reversal reach it, and this seed draws neither.
  Eigen::VectorXd x = Eigen::VectorXd::LinSpaced(9, 1, 9);
  Eigen::MatrixXd y = x * Eigen::RowVectorXd::LinSpaced(20, -1, 1);
  const auto perfect = permutation_test(y, x, 999, 4);
  ASSERT_TRUE(perfect);
  EXPECT_EQ(perfect->r_squared, 1.0);
  EXPECT_TRUE(std::isinf(perfect->F));
  EXPECT_EQ(perfect->at_least_as_large, 1);
  EXPECT_DOUBLE_EQ(perfect->p, 1e-3);

  // Equal x values make distinct orderings tie exactly; ties count.
  Eigen::VectorXd tied(4);
  tied << 1, 1, 2, 2;
  Eigen::MatrixXd y4(4, 2);
  y4 << 0, 1, 0.1, 1.2, 1, 0, 1.2, 0.1;
  const auto ties = exact_permutation_test(y4, tied);
  ASSERT_TRUE(ties);
  EXPECT_EQ(ties->permutations, 24);
  // The 2·2·2 orderings that keep the two pairs together, and the 8 that
  // swap them (the same split with the labels reversed).
  EXPECT_EQ(ties->at_least_as_large, 8);
}

// A sample large enough to evaluate its orderings on two threads counts the
// same orderings as a refit of each one, drawn from the same generator.
TEST(PermutationTest, LargeSamplesCountEveryOrderingOnce) {
  const Sample s = sample(300, 120, 0.02, 21);
  constexpr int kPermutations = 300;
  constexpr std::uint64_t kSeed = 4;
  const auto r = permutation_test(s.y, s.x, kPermutations, kSeed);
  ASSERT_TRUE(r.has_value());
  const double observed = refit_r_squared(s.y, s.x);
  std::mt19937_64 gen(kSeed);
  int reaching = 1;  // the observed ordering
  for (int k = 0; k < kPermutations; ++k) {
    Eigen::VectorXi order = Eigen::VectorXi::LinSpaced(300, 0, 299);
    shuffle(order, gen);
    Eigen::VectorXd permuted(300);
    for (int i = 0; i < 300; ++i) permuted(i) = s.x(order(i));
    reaching += refit_r_squared(s.y, permuted) >= observed * (1 - 1e-9);
  }
  EXPECT_EQ(r->at_least_as_large, reaching);
  EXPECT_GT(reaching, 1);  // the trend is weak enough for some to reach it
}

TEST(PermutationTest, ProgressCanCancel) {
  const Sample s = sample(30, 10, 0.5, 9);
  std::vector<int> seen;
  const auto r = permutation_test(s.y, s.x, 300, 2, [&](int done, int total) {
    EXPECT_EQ(total, 300);
    seen.push_back(done);
    return done < 100;
  });
  EXPECT_FALSE(r.has_value());
  ASSERT_FALSE(seen.empty());
  EXPECT_GE(seen.back(), 100);
  EXPECT_LT(seen.back(), 300);
}

TEST(PermutationTest, RefusesWhatItCannotTest) {
  const Sample s = sample(6, 4, 1, 1);
  EXPECT_EQ(error_of([&] { permutation_test(s.y, s.x.head(5)); }),
            "The permutation test has 5 values of the regressor but 6 specimens.");
  EXPECT_EQ(error_of([&] { permutation_test(s.y.topRows(3), s.x.head(3)); }),
            "The permutation test needs at least four specimens; this sample has 3.");
  Eigen::MatrixXd broken = s.y;
  broken(2, 1) = std::nan("");
  EXPECT_EQ(error_of([&] { permutation_test(broken, s.x); }),
            "The permutation test data include values that are not finite numbers.");
  // 0.1 + 0.2 differs from 0.3 in the last bit only.
  Eigen::VectorXd equal = Eigen::VectorXd::Constant(6, 0.3);
  equal(4) = 0.1 + 0.2;
  EXPECT_EQ(error_of([&] { permutation_test(s.y, equal); }),
            "All values of the regressor are equal, so the permutation test is undefined.");
  const Eigen::MatrixXd same = Eigen::MatrixXd::Ones(6, 1) * s.y.row(0);
  EXPECT_EQ(error_of([&] { permutation_test(same, s.x); }),
            "All specimens have the same shape after superimposition: there is no shape "
            "variation to analyse.");
  EXPECT_EQ(error_of([&] { permutation_test(s.y, s.x, 0); }),
            "The permutation test needs at least one permutation; 0 were asked for.");
  const Sample big = sample(11, 2, 1, 1);
  EXPECT_EQ(error_of([&] { exact_permutation_test(big.y, big.x); }),
            "The exact permutation test enumerates at most 10! orderings; the sample has 11 "
            "specimens.");
}

TEST(Shuffle, EveryOrderingEquallyLikelyAndTheSameOnEveryPlatform) {
  std::mt19937_64 gen(2024);
  std::map<std::array<int, 3>, int> counts;
  constexpr int kDraws = 60000;
  for (int t = 0; t < kDraws; ++t) {
    Eigen::VectorXi order(3);
    order << 0, 1, 2;
    shuffle(order, gen);
    ++counts[{order(0), order(1), order(2)}];
  }
  ASSERT_EQ(counts.size(), 6u);
  const double expected = kDraws / 6.0, sd = std::sqrt(kDraws * (1.0 / 6) * (5.0 / 6));
  for (const auto& [ordering, count] : counts) EXPECT_NEAR(count, expected, 5 * sd);

  // A bound just above 2⁶³ rejects almost half the draws; the kept ones
  // stay below it.
  const std::uint64_t bound = (std::uint64_t{1} << 63) + 1;
  for (int t = 0; t < 100; ++t) EXPECT_LT(uniform_below(gen, bound), bound);
  EXPECT_EQ(uniform_below(gen, 1), 0u);
  EXPECT_EQ(error_of([&] { uniform_below(gen, 0); }), "A random draw needs a bound of at least 1.");

  // A seed's orderings are part of what a saved analysis reports: they must
  // never change between versions, compilers or platforms.
  std::mt19937_64 fixed(kDefaultPermutationSeed);
  Eigen::VectorXi order = Eigen::VectorXi::LinSpaced(10, 0, 9);
  shuffle(order, fixed);
  Eigen::VectorXi golden(10);
  golden << 4, 0, 3, 7, 6, 1, 9, 8, 5, 2;
  EXPECT_EQ(order, golden) << order.transpose();
}

}  // namespace
}  // namespace velmora::stats
