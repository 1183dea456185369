#include "stats/distributions.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "core/tolerances.hpp"
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

// Relative agreement, for tails that span hundreds of decades.
void check_relative(const char* what, double got, double want, double tol) {
  EXPECT_NEAR(got / want, 1.0, tol) << what << ": " << got << " vs " << want;
}

TEST(UpperTails, SmallPValuesKeepTheirDigits) {
  // From tools/pca_and_tails.py (math.erfc and a continued fraction of the
  // incomplete beta), which agree with 40-digit arithmetic to 1e-13.
  const struct {
    double z, tail;
  } normal[] = {{1.4590703, 0.072272879848961358},
                {5.0, 2.866515718791946e-07},
                {8.5, 9.4795348222033546e-18},
                {16.5, 1.8344630031647279e-61},
                {37.0, 5.7255712225251388e-300}};
  for (const auto& c : normal) {
    check_relative("normal_upper_tail", normal_upper_tail(c.z), c.tail, 1e-12);
    // The lower tail of −z is the same number.
    check_relative("normcdf(-z)", normcdf(-c.z), c.tail, 1e-12);
  }
  EXPECT_EQ(1 - normcdf(16.5), 0.0);  // what the difference loses
  EXPECT_EQ(normal_upper_tail(0), 0.5);
  EXPECT_EQ(normal_upper_tail(kInf), 0.0);
  EXPECT_EQ(normal_upper_tail(-kInf), 1.0);

  const struct {
    double f, d1, d2, tail;
  } f[] = {{4.5, 1, 3, 0.12402706265755463},     {60, 4, 50, 1.7805444027726151e-18},
           {400, 6, 40, 4.398933955381371e-34},  {1e4, 3, 20, 6.3720540858417071e-32},
           {1e6, 10, 10, 1.259989500049495e-28}, {0.3, 7, 12, 0.94058225450852273}};
  for (const auto& c : f) {
    check_relative("f_upper_tail", f_upper_tail(c.f, c.d1, c.d2), c.tail, 1e-12);
    EXPECT_NEAR(f_upper_tail(c.f, c.d1, c.d2) + fcdf(c.f, c.d1, c.d2), 1.0, 1e-15);
  }
  // Closed forms: with two numerator degrees of freedom the tail is
  // (1 + 2F/d2)^(−d2/2); the chi-square limits are e^(−F) and 1 − e^(−1/F).
  for (const double F : {0.5, 3.0, 40.0, 1e3, 1e5}) {
    for (const double d2 : {2.0, 7.0, 30.0}) {
      check_relative("f_upper_tail(F, 2, d2)", f_upper_tail(F, 2, d2),
                     std::pow(1 + 2 * F / d2, -d2 / 2), 1e-13);
    }
    if (std::exp(-F) > 0) {
      check_relative("f_upper_tail(F, 2, Inf)", f_upper_tail(F, 2, kInf), std::exp(-F), 1e-13);
    } else {
      EXPECT_EQ(f_upper_tail(F, 2, kInf), 0.0) << F;
    }
    check_relative("f_upper_tail(F, Inf, 2)", f_upper_tail(F, kInf, 2), -std::expm1(-1 / F), 1e-13);
  }
  EXPECT_EQ(f_upper_tail(0, 3, 4), 1.0);
  EXPECT_EQ(f_upper_tail(-2, 3, 4), 1.0);
  EXPECT_EQ(f_upper_tail(kInf, 3, 4), 0.0);
  EXPECT_EQ(f_upper_tail(0.5, kInf, kInf), 1.0);
  EXPECT_EQ(f_upper_tail(2, kInf, kInf), 0.0);

  EXPECT_EQ(error_of([] { normal_upper_tail(kNaN); }),
            "The normal upper tail is undefined for a value that is not a number.");
  EXPECT_EQ(error_of([] { f_upper_tail(kNaN, 1, 3); }),
            "The upper tail of the F distribution needs a number F and positive degrees of "
            "freedom; it got F = nan, df1 = 1, df2 = 3.");
  EXPECT_EQ(error_of([] { f_upper_tail(2.5, 0, 3); }),
            "The upper tail of the F distribution needs a number F and positive degrees of "
            "freedom; it got F = 2.5, df1 = 0, df2 = 3.");
  EXPECT_EQ(error_of([] { f_upper_tail(2.5, 4, -1); }),
            "The upper tail of the F distribution needs a number F and positive degrees of "
            "freedom; it got F = 2.5, df1 = 4, df2 = -1.");
}

TEST(Distributions, HugeAndInfiniteShapes) {
  // For a huge shape a the gamma distribution is nearly normal with mean a
  // and deviation √a; its median lies 1/3 below the mean, so P(a, a) =
  // 1/2 + 1/(3√(2πa)) + O(1/a).
  for (const double v : {2e10, 1e12, 1e16}) {
    const double a = v / 2;
    EXPECT_NEAR(chi2cdf(v, v), 0.5 + 1 / (3 * std::sqrt(2 * std::numbers::pi * a)), 1e-9) << v;
    EXPECT_NEAR(gamcdf(a, a), 0.5 + 1 / (3 * std::sqrt(2 * std::numbers::pi * a)), 1e-9) << v;
    for (const double c : {-3.0, -1.0, 1.0, 2.5}) {
      EXPECT_NEAR(chi2cdf(v + c * std::sqrt(2 * v), v), normcdf(c), 1e-5) << v << " " << c;
    }
  }
  // The approximation takes over from the series without a visible step.
  const double a = kLargeGammaShape;
  const double below = std::nextafter(a, 0.0), above = std::nextafter(a, kInf);
  for (const double c : {-2.0, 0.0, 1.5}) {
    const double x = a + c * std::sqrt(a);
    EXPECT_NEAR(gamcdf(x, below), gamcdf(x, above), 1e-9) << c;
  }
  const Known cases[] = {
      {"gamcdf(5,Inf)", gamcdf(5, kInf), 0, 0},
      {"gamcdf(5,2,Inf)", gamcdf(5, 2, kInf), 0, 0},
      {"chi2cdf(5,Inf)", chi2cdf(5, kInf), 0, 0},
      {"gamcdf(Inf,2)", gamcdf(kInf, 2), 1, 0},
      {"gamcdf(Inf,1e12)", gamcdf(kInf, 1e12), 1, 0},
      {"chi2cdf(Inf,Inf)", chi2cdf(kInf, kInf), 1, 0},
      {"gamcdf(1e300,1e12)", gamcdf(1e300, 1e12), 1, 0},
      {"gamcdf(1e-300,1e12)", gamcdf(1e-300, 1e12), 0, 0},
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
