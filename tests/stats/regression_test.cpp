#include "stats/regression.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "shape/test_support.hpp"
#include "stats/distance_test.hpp"

namespace velmora::stats {
namespace {

using testing::error_of;

Eigen::VectorXd vec(std::initializer_list<double> xs) {
  Eigen::VectorXd v(static_cast<Eigen::Index>(xs.size()));
  Eigen::Index i = 0;
  for (double x : xs) v(i++) = x;
  return v;
}

TEST(Regstuf, ClosedValues) {
  const RegressionStats s = regression_stats(vec({1, 2, 3, 4, 5}), vec({2, 4, 5, 4, 5}));
  EXPECT_NEAR(s.slope, 0.6, 1e-15);
  EXPECT_NEAR(s.intercept, 2.2, 1e-15);
  EXPECT_NEAR(s.slope_sd, std::sqrt(0.08), 1e-15);
  EXPECT_EQ(s.n, 5);
  EXPECT_NEAR(s.r, std::sqrt(0.6), 1e-15);
  EXPECT_NEAR(s.fisher_z, 1.0317185, 5e-8);
  EXPECT_NEAR(s.fisher_se, std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(s.fisher_z / s.fisher_se, 1.4590703, 5e-8);

  // A perfect line: correlation held at 1, infinite Fisher transform, no NaN.
  const RegressionStats line =
      regression_stats(vec({0.1, 0.2, 0.3, 0.7}), vec({0.3, 0.6, 0.9, 2.1}));
  EXPECT_EQ(line.r, 1.0);
  EXPECT_EQ(line.fisher_z, std::numeric_limits<double>::infinity());
  EXPECT_EQ(line.slope_sd, 0.0);
  // Three pairs: an infinite standard error, so z = 0.
  EXPECT_EQ(regression_stats(vec({1, 2, 3}), vec({1, 3, 2})).fisher_se,
            std::numeric_limits<double>::infinity());
}

TEST(Regstuf, ValuesNear1e150AndNear1eMinus150) {
  const RegressionStats unit = regression_stats(vec({1, 2, 3, 4, 5}), vec({2, 4, 5, 4, 5}));
  for (const double sx : {1e150, 1e-150, 1.0}) {
    for (const double sy : {1e150, 1e-150, 1.0}) {
      const RegressionStats s = regression_stats(vec({1 * sx, 2 * sx, 3 * sx, 4 * sx, 5 * sx}),
                                                 vec({2 * sy, 4 * sy, 5 * sy, 4 * sy, 5 * sy}));
      const double units = sy / sx;
      EXPECT_NEAR(s.slope / units, unit.slope, 1e-14) << sx << " " << sy;
      EXPECT_NEAR(s.slope_sd / units, unit.slope_sd, 1e-14) << sx << " " << sy;
      EXPECT_NEAR(s.intercept / sy, unit.intercept, 1e-14) << sx << " " << sy;
      EXPECT_NEAR(s.r, unit.r, 1e-15) << sx << " " << sy;
      EXPECT_NEAR(s.fisher_z, unit.fisher_z, 1e-14) << sx << " " << sy;
    }
  }
}

// X from 1e-300 to 1e300: the slopes of every fit are those of the same
// data in a unit where X is ordinary, scaled back, and the statistics that do
// not depend on the unit are unchanged; ordinary X gives the unscaled bits.
TEST(ScaledDeviations, RegressorsFrom1eMinus300To1e300) {
  const Eigen::VectorXd y = vec({2, 4, 5, 4, 5, 7, 6, 9});
  Eigen::MatrixXd ys(8, 2);
  ys << y, y.reverse();
  const Eigen::VectorXd ordinary = vec({1, 2, 3, 4, 5, 6.5, 7, 8});
  for (const double unit : {1e-300, 1e300, 1e-200}) {
    const Eigen::VectorXd x = ordinary * unit;
    const RegressionStats s = regression_stats(x, y), o = regression_stats(ordinary, y);
    EXPECT_NEAR(s.slope * unit / o.slope, 1, 1e-14) << unit;
    EXPECT_NEAR(s.r, o.r, 1e-15) << unit;
    const LineFits f = fit_lines(ys, x), g = fit_lines(ys, ordinary);
    EXPECT_LT(((f.slopes * unit - g.slopes).array() / g.slopes.array()).abs().maxCoeff(), 1e-14);
    EXPECT_LT((f.intercepts - g.intercepts).cwiseAbs().maxCoeff(), 1e-13);
  }
  // Twelve orders of magnitude apart each: the largest X decides.
  Eigen::VectorXd wide(8);
  for (int i = 0; i < 8; ++i) wide(i) = std::pow(10.0, -300 + 600.0 * i / 7);
  const LineFits f = fit_lines(ys, wide);
  EXPECT_TRUE(f.slopes.allFinite());
  const LineFits g = fit_lines(ys, wide / 1e300);
  EXPECT_LT(((f.slopes * 1e300 - g.slopes).array() / g.slopes.array()).abs().maxCoeff(), 1e-14);
  // Powers of two only: ordinary data keep their bits.
  const ScaledDeviations d = scaled_deviations(ordinary);
  const Eigen::VectorXd plain = ordinary.array() - ordinary.mean();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(std::ldexp(d.values(i), d.exponent), plain(i));
  EXPECT_EQ(d.mean, ordinary.mean());
}

TEST(Regstuf, RefusesUndefinedStatistics) {
  EXPECT_EQ(error_of([] {
              regression_stats(vec({1, 2, 3}), vec({1, 2}));
            }),
            "The regression has 3 values of the independent variable but 2 responses.");
  EXPECT_EQ(error_of([] {
              regression_stats(vec({1, 2}), vec({1, 2}));
            }),
            "The regression needs at least three pairs of values; it has 2.");
  EXPECT_EQ(error_of([] {
              regression_stats(vec({2, 2, 2}), vec({1, 2, 3}));
            }),
            "All x values of the regression are equal, so its slope is undefined.");
  EXPECT_EQ(error_of([] {
              regression_stats(vec({1, 2, 3}), vec({4, 4, 4}));
            }),
            "All y values of the regression are equal, so its correlation is undefined.");
  // Equal up to the last bit counts as equal: 0.1 + 0.2 is not 0.3.
  EXPECT_EQ(error_of([] {
              regression_stats(vec({0.3, 0.1 + 0.2, 0.3}), vec({1, 2, 3}));
            }),
            "All x values of the regression are equal, so its slope is undefined.");
  EXPECT_EQ(error_of([] {
              regression_stats(vec({1, 2, 3}), vec({0.1 + 0.2, 0.3, 0.3}));
            }),
            "All y values of the regression are equal, so its correlation is undefined.");
  EXPECT_EQ(error_of([] {
              regression_stats(vec({1, 2, std::nan("")}), vec({4, 5, 4}));
            }),
            "The regression data include values that are not finite numbers.");
}

TEST(ColumnSlopes, EveryColumnTheLastIncluded) {
  const Eigen::Index n = 6;
  const Eigen::VectorXd x = vec({1, 2, 3, 4, 5, 6});
  Eigen::MatrixXd scores(n, 3);
  scores.col(0) = 3 * x.array() + 1;
  scores.col(1) = -0.5 * x.array() + 7;
  scores.col(2) = 0.25 * x.array() - 2;
  const Eigen::RowVectorXd b = column_slopes(scores, x);
  ASSERT_EQ(b.size(), 3);
  EXPECT_NEAR(b(0), 3, 1e-14);
  EXPECT_NEAR(b(1), -0.5, 1e-14);
  EXPECT_NEAR(b(2), 0.25, 1e-14);
  EXPECT_NEAR(b(0) * (x.maxCoeff() - x.minCoeff()), 3 * (n - 1), 1e-13);
  EXPECT_EQ(column_slopes(scores.leftCols(1), x).size(), 1);
  EXPECT_EQ(column_slopes(scores.leftCols(0), x).size(), 0);

  // On ln X: X = e, e², e³ and a column 2·ln X + 5.
  const Eigen::VectorXd ln_x = vec({1, 2, 3});
  Eigen::MatrixXd on_ln(3, 2);
  on_ln.col(0) = 2 * ln_x.array() + 5;
  on_ln.col(1).setZero();
  EXPECT_NEAR(column_slopes(on_ln, ln_x)(0), 2, 1e-14);
  EXPECT_EQ(column_slopes(on_ln, ln_x)(1), 0);

  const LineFits fits = fit_lines(scores.leftCols(2), x);
  EXPECT_NEAR(fits.intercepts(0), 1, 1e-13);
  EXPECT_NEAR(fits.intercepts(1), 7, 1e-13);
  EXPECT_EQ(error_of([&] { column_slopes(scores, Eigen::VectorXd::Constant(n, 2)); }),
            "All values of the independent variable are equal, so the regression slope is "
            "undefined.");
  EXPECT_EQ(error_of([&] { column_slopes(scores, x.head(5)); }),
            "The regression has 5 values of the independent variable but 6 score rows.");
}

}  // namespace
}  // namespace velmora::stats

namespace velmora::stats {
namespace {

// The distance test depends only on the shapes: the same sample turned,
// reordered within the youngest three, or with the older specimens' X
// changed gives the same starting shape and distances.
TEST(DistanceTest, StartingShapeAndDistancesOnlyDependOnTheYoungestThree) {
  const Eigen::Index k = 6, n = 8;
  shape::Stack fitted(k, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    shape::Config c(k, 3);
    for (Eigen::Index j = 0; j < k; ++j)
      c.row(j) << std::cos(1.3 * j) + 0.02 * i * j, std::sin(0.7 * j) + 0.01 * i,
          0.3 * j - 0.005 * i;
    c.rowwise() -= c.colwise().mean();
    fitted.slice(i) = c / c.norm();
  }
  Eigen::VectorXd x(n);
  x << 5, 1, 7, 2, 8, 3, 6, 4;
  const DistanceTest a = procrustes_distance_test(fitted, x, x);
  EXPECT_EQ(a.first, (std::vector<Eigen::Index>{1, 3, 5}));
  EXPECT_NEAR(a.start.norm(), 1.0, 1e-14);
  EXPECT_NEAR(a.start.colwise().sum().norm(), 0.0, 1e-14);
  Eigen::VectorXd later = x;
  later(4) = 80;  // an older specimen grows older: its point moves, no distance changes
  const DistanceTest b = procrustes_distance_test(fitted, later, later);
  EXPECT_LT((a.distances - b.distances).cwiseAbs().maxCoeff(), 1e-15);
  EXPECT_NEAR(a.p, 0.5 * std::erfc(a.z / std::sqrt(2.0)), 1e-15 * a.p + 1e-300);
}

}  // namespace
}  // namespace velmora::stats
