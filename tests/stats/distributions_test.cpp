#include "stats/distributions.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "platform/runtime/runtime_error.hpp"
#include "shape/test_support.hpp"

namespace velmora::stats {
namespace {

using testing::error_of;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

struct Known {
  const char* what;
  double got;
  double want;  // NaN: the result must be NaN
  double tol;
};

void check(const Known& c) {
  if (std::isnan(c.want)) {
    EXPECT_TRUE(std::isnan(c.got)) << c.what << " = " << c.got;
  } else {
    EXPECT_NEAR(c.got, c.want, c.tol) << c.what;
  }
}

TEST(Distributions, KnownValuesAndParameterRules) {
  const Known cases[] = {
      {"normcdf(0)", normcdf(0), 0.5, 0},
      {"normcdf(1.96)", normcdf(1.96), 0.9750021048517795, 2e-16},
      {"normcdf(-1.96)", normcdf(-1.96), 1 - 0.9750021048517795, 1e-16},
      {"normcdf(3,1,2)", normcdf(3, 1, 2), 0.8413447460685429, 2e-16},
      {"normcdf(1,0,0)", normcdf(1, 0, 0), kNaN, 0},
      {"normcdf(1,0,NaN)", normcdf(1, 0, kNaN), 0, 0},  // no rule reaches it
      {"normcdf(Inf)", normcdf(kInf), 1, 0},
      {"fcdf(1,2,2)", fcdf(1, 2, 2), 0.5, 1e-15},
      {"fcdf(3,2,2)", fcdf(3, 2, 2), 0.75, 1e-15},  // x/(1+x) for 2 and 2
      {"fcdf(0,3,4)", fcdf(0, 3, 4), 0, 0},
      {"fcdf(-2,3,4)", fcdf(-2, 3, 4), 0, 0},
      {"fcdf(NaN,3,4)", fcdf(kNaN, 3, 4), kNaN, 0},
      {"fcdf(1,0,4)", fcdf(1, 0, 4), kNaN, 0},
      {"fcdf(1,3,-1)", fcdf(1, 3, -1), kNaN, 0},
      {"fcdf(1,NaN,4)", fcdf(1, kNaN, 4), 0, 0},
      {"fcdf(Inf,3,4)", fcdf(kInf, 3, 4), 1, 0},
      {"1-fcdf(4.5,1,3)", 1 - fcdf(4.5, 1, 3), 0.12402706, 5e-9},
      {"fcdf(2,Inf,Inf)", fcdf(2, kInf, kInf), 1, 0},
      {"fcdf(1,Inf,Inf)", fcdf(1, kInf, kInf), 1, 0},
      {"fcdf(0.5,Inf,Inf)", fcdf(0.5, kInf, kInf), 0, 0},
      {"fcdf(0.7,3,Inf)", fcdf(0.7, 3, kInf), chi2cdf(2.1, 3), 1e-15},
      {"fcdf(0.7,Inf,5)", fcdf(0.7, kInf, 5), 1 - chi2cdf(5 / 0.7, 5), 1e-15},
      {"chi2cdf(2,2)", chi2cdf(2, 2), 0.6321205588285577, 2e-16},
      {"chi2cdf(4,1)", chi2cdf(4, 1), 0.9544997361036416, 2e-16},
      {"gamcdf(1,1)", gamcdf(1, 1), 0.6321205588285577, 2e-16},
      {"gamcdf(2,1,2)", gamcdf(2, 1, 2), 0.6321205588285577, 2e-16},
      {"gamcdf(-1,2)", gamcdf(-1, 2), 0, 0},
      {"gamcdf(1,0)", gamcdf(1, 0), kNaN, 0},
      {"gamcdf(1,2,-1)", gamcdf(1, 2, -1), kNaN, 0},
      {"gamcdf(NaN,2)", gamcdf(kNaN, 2), 0, 0},
      {"gamcdf(Inf,2)", gamcdf(kInf, 2), 1, 0},
  };
  for (const Known& c : cases) check(c);
}

TEST(Distributions, TailsAndLargeDegreesOfFreedom) {
  const Known cases[] = {
      // For 2 and 2 degrees of freedom the distribution is x/(1 + x).
      {"fcdf(1e-10,2,2)", fcdf(1e-10, 2, 2) / (1e-10 / (1 + 1e-10)), 1, 1e-12},
      {"1-fcdf(1e10,2,2)", (1 - fcdf(1e10, 2, 2)) / (1 / (1 + 1e10)), 1, 1e-5},
      {"fcdf(1,1e6,1e6)", fcdf(1, 1e6, 1e6), 0.5, 1e-12},  // I_{1/2}(a, a) = 1/2
      {"fcdf(0.9,1e6,1e6)", fcdf(0.9, 1e6, 1e6), 0, 1e-100},
      {"fcdf(0.6,4,1e12)", fcdf(0.6, 4, 1e12), chi2cdf(2.4, 4), 1e-9},
      {"chi2cdf(50,2)", chi2cdf(50, 2), -std::expm1(-25), 1e-16},
      {"gamcdf(1e-300,1)", gamcdf(1e-300, 1) / 1e-300, 1, 1e-12},
      {"gamcdf(1e5,1e5)", gamcdf(1e5, 1e5), 0.5, 2e-3},
      {"normcdf(-30)", normcdf(-30) / 4.906713927148187e-198, 1, 1e-12},
  };
  for (const Known& c : cases) check(c);
}

TEST(Distributions, ScalarExpansionAndSizeMismatch) {
  Grid x(1, 3);
  x << -1, 0, 1;
  const Grid p = normcdf(x, Grid::Constant(1, 1, 0), Grid::Constant(1, 1, 1));
  ASSERT_EQ(p.cols(), 3);
  EXPECT_NEAR(p(0), 1 - p(2), 1e-16);
  EXPECT_EQ(p(1), 0.5);

  const Grid square = Grid::Constant(2, 2, 1.0);
  const Grid wide = Grid::Constant(1, 3, 2.0);
  const std::string mismatch = "Requires non-scalar arguments to match in size.";
  EXPECT_EQ(error_of([&] { fcdf(square, wide, Grid::Constant(1, 1, 2)); }), mismatch);
  EXPECT_EQ(error_of([&] { chi2cdf(square, wide); }), mismatch);
  EXPECT_EQ(error_of([&] { gamcdf(Grid(), wide, Grid::Constant(1, 1, 1)); }), mismatch);
  EXPECT_EQ(error_of([&] { normcdf(square, square, wide); }), mismatch);
  const Grid ok = chi2cdf(square, Grid::Constant(1, 1, 2));
  EXPECT_EQ(ok.rows(), 2);
  EXPECT_NEAR(ok(1, 1), 1 - std::exp(-0.5), 1e-16);
  // Element-wise parameters: each element its own rule.
  Grid v(1, 3);
  v << 2, -1, kInf;
  const Grid f = fcdf(Grid::Constant(1, 3, 1.0), v, Grid::Constant(1, 1, 2));
  EXPECT_NEAR(f(0), 0.5, 1e-15);
  EXPECT_TRUE(std::isnan(f(1)));
  EXPECT_NEAR(f(2), 1 - chi2cdf(2, 2), 1e-15);
}

TEST(Distchck, ExpandsScalarsAndStopsAtTheFirstMismatch) {
  const Grid s = Grid::Constant(1, 1, 7), square = Grid::Constant(2, 2, 1), wide(1, 3);
  CheckedArgs c = distchck(3, {s, square, s});
  EXPECT_EQ(c.errorcode, 0);
  for (const Grid& g : c.args) EXPECT_EQ(g.rows(), 2);
  EXPECT_EQ(c.args[2](1, 1), 7);

  c = distchck(4, {s, square, wide, s});
  EXPECT_EQ(c.errorcode, 1);
  EXPECT_EQ(c.args[0].size(), 4);  // expanded before the mismatch
  EXPECT_EQ(c.args[3].size(), 1);  // left as given after it

  c = distchck(2, {Grid(), Grid::Constant(1, 2, 1)});
  EXPECT_EQ(c.errorcode, 1);  // an empty argument is not a scalar

  c = distchck(2, {s, s});
  EXPECT_EQ(c.errorcode, 0);
  EXPECT_EQ(c.args[1].size(), 1);

  c = distchck(1, {wide, square});
  EXPECT_EQ(c.errorcode, 0);
  EXPECT_EQ(c.args[0].cols(), 3);
  EXPECT_EQ(c.args[1].size(), 0);
}

}  // namespace
}  // namespace velmora::stats
