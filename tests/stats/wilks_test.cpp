#include "stats/wilks.hpp"

#include <gtest/gtest.h>

#include <Eigen/LU>
#include <Eigen/QR>
#include <cmath>
#include <functional>
#include <random>

#include "shape/decompositions.hpp"
#include "shape/test_support.hpp"
#include "stats/distributions.hpp"

namespace velmora::stats {
namespace {

using testing::error_of;

// Λ by the textbook route: residuals of an explicit least-squares fit on
// [1 x], plain determinants of the two SSCP matrices.
double plain_lambda(const Eigen::MatrixXd& y, const Eigen::VectorXd& x) {
  Eigen::MatrixXd design(x.size(), 2);
  design << Eigen::VectorXd::Ones(x.size()), x;
  const Eigen::MatrixXd coef = design.colPivHouseholderQr().solve(y);
  const Eigen::MatrixXd res = y - design * coef;
  const Eigen::MatrixXd yc = y.rowwise() - y.colwise().mean();
  return (res.transpose() * res).determinant() / (yc.transpose() * yc).determinant();
}

Eigen::MatrixXd random_scores(Eigen::Index n, Eigen::Index m, double size, unsigned seed,
                              const Eigen::VectorXd& x, double effect) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> normal;
  Eigen::MatrixXd y(n, m);
  for (Eigen::Index j = 0; j < m; ++j)
    for (Eigen::Index i = 0; i < n; ++i) y(i, j) = size * (normal(gen) + effect * x(i) * (j % 3));
  return y;
}

TEST(Wilks, ClosedValuesForOneVariable) {
  Eigen::MatrixXd scores(5, 2);
  scores << 2, 9, 4, -1, 5, 3, 4, 0, 5, 8;
  const Eigen::VectorXd x = Eigen::VectorXd::LinSpaced(5, 1, 5);
  const WilksResult w = wilks_lambda(scores, x);
  EXPECT_NEAR(w.lambda, 0.4, 1e-14);
  EXPECT_NEAR(w.F, 4.5, 1e-13);
  EXPECT_EQ(w.df1, 1);
  EXPECT_EQ(w.df2, 3);
  EXPECT_NEAR(w.chi2, 2.5 * std::log(2.5), 1e-13);
  EXPECT_NEAR(w.chi2, 2.2907, 5e-5);
  EXPECT_EQ(w.dfchi2, 1);
  EXPECT_FALSE(w.degenerate);
  EXPECT_EQ(w.p, 1);
  EXPECT_EQ(w.N, 5);
  EXPECT_NEAR(1 - fcdf(w.F, w.df1, w.df2), 0.12402706, 5e-9);
  // The last column never takes part.
  scores.col(1) = Eigen::VectorXd::Random(5);
  EXPECT_EQ(wilks_lambda(scores, x).lambda, w.lambda);
}

// Λ does not depend on the unit of the regressor, down to 1e-300 and up to
// 1e300, and X spread over six hundred orders of magnitude is no constant
// score column.
TEST(Wilks, RegressorsFrom1eMinus300To1e300) {
  const Eigen::VectorXd x = Eigen::VectorXd::LinSpaced(30, 1, 4);
  const Eigen::MatrixXd y = random_scores(30, 6, 1.0, 3, x, 0.4);
  const double lambda = wilks_lambda(y, x).lambda;
  for (const double unit : {1e-300, 1e300})
    EXPECT_NEAR(wilks_lambda(y, x * unit).lambda, lambda, 1e-12 * lambda) << unit;
  Eigen::VectorXd wide(30);
  for (int i = 0; i < 30; ++i) wide(i) = std::pow(10.0, -300 + 600.0 * i / 29);
  const WilksResult w = wilks_lambda(y, wide);
  EXPECT_NEAR(w.lambda, plain_lambda(y.leftCols(5), wide / 1e300), 1e-12);
}

TEST(Wilks, ExactFTestForEveryP) {
  const Eigen::Index n = 20;
  const Eigen::VectorXd x = Eigen::VectorXd::LinSpaced(n, 0.5, 3);
  for (Eigen::Index p : {1, 2, 3, 5, 12}) {
    const Eigen::MatrixXd scores =
        random_scores(n, p + 1, 1.0, 7 + static_cast<unsigned>(p), x, 0.4);
    const WilksResult w = wilks_lambda(scores, x);
    EXPECT_NEAR(w.lambda, plain_lambda(scores.leftCols(p), x), 1e-12) << "p = " << p;
    // Rao's s is 1 for a single regressor, p = 2 included.
    EXPECT_TRUE(std::isfinite(w.F)) << "p = " << p;
    EXPECT_EQ(w.df2, static_cast<double>(n - p - 1));
    EXPECT_NEAR(w.F, (1 - w.lambda) / w.lambda * (n - p - 1) / p, 1e-10 * w.F);
  }
}

TEST(Wilks, ManySmallScoresDoNotUnderflow) {
  const Eigen::Index n = 200, p = 150;
  const Eigen::VectorXd x = Eigen::VectorXd::LinSpaced(n, 1, 2);
  const Eigen::MatrixXd scores = random_scores(n, p + 1, 1e-3, 99, x, 0.5);
  const Eigen::MatrixXd y = scores.leftCols(p);
  const Eigen::MatrixXd yc = y.rowwise() - y.colwise().mean();
  ASSERT_EQ((yc.transpose() * yc).determinant(), 0.0);  // the plain route fails
  const WilksResult w = wilks_lambda(scores, x);
  // Λ does not change when columns are rescaled; at this scale the plain
  // determinants are representable.
  const double reference = plain_lambda(y * (1e3 / std::sqrt(double(n))), x);
  ASSERT_GT(reference, 0);
  EXPECT_NEAR(w.lambda / reference, 1.0, 1e-8);
  EXPECT_GT(w.lambda, 0);
  EXPECT_LT(w.lambda, 1);
}

TEST(Wilks, DegenerateAndUndefinedSamples) {
  const Eigen::VectorXd x = Eigen::VectorXd::LinSpaced(6, 1, 6);
  // p = N − 1 and p = N: flagged.
  for (Eigen::Index p : {5, 6}) {
    const WilksResult w = wilks_lambda(random_scores(6, p + 1, 1, 3, x, 0.1), x);
    EXPECT_TRUE(w.degenerate);
    EXPECT_TRUE(std::isnan(w.lambda));
    EXPECT_EQ(w.p, p);
  }
  EXPECT_FALSE(wilks_lambda(random_scores(6, 5, 1, 3, x, 0.1), x).degenerate);

  Eigen::MatrixXd dependent = random_scores(6, 3, 1, 4, x, 0.1);
  dependent.col(1) = 2 * dependent.col(0);
  EXPECT_EQ(error_of([&] { wilks_lambda(dependent, x); }),
            "Wilks' lambda is undefined: the regressed score columns are linearly dependent.");
  Eigen::MatrixXd constant = random_scores(6, 3, 1, 5, x, 0.1);
  constant.col(1).setConstant(0.3);
  EXPECT_EQ(error_of([&] { wilks_lambda(constant, x); }),
            "Wilks' lambda is undefined: score column 2 has the same value for every specimen.");
  EXPECT_EQ(error_of([&] { wilks_lambda(Eigen::MatrixXd::Ones(6, 1), x); }),
            "Wilks' lambda needs at least two score columns (the last is not regressed); the "
            "scores have 1.");
  // A perfect linear relation: Λ = 0 and an infinite F, no NaN.
  Eigen::MatrixXd exact(6, 2);
  exact << x, x;
  const WilksResult perfect = wilks_lambda(exact, x);
  EXPECT_EQ(perfect.lambda, 0.0);
  EXPECT_EQ(perfect.F, std::numeric_limits<double>::infinity());
  EXPECT_EQ(1 - fcdf(perfect.F, perfect.df1, perfect.df2), 0.0);
}

}  // namespace
}  // namespace velmora::stats
