#pragma once

#include <Eigen/Core>
#include <vector>

namespace velmora::stats {

/// Element-wise distribution functions.  Arguments are arrays of equal size;
/// a 1×1 argument stands for an array of the common size filled with its
/// value (an empty argument is not a scalar).  Invalid parameters give NaN
/// in the affected elements; elements no rule reaches are 0.  Mismatched
/// sizes throw NumericError "Requires non-scalar arguments to match in size.".
using Grid = Eigen::ArrayXXd;

/// Arguments after the scalar expansion of distchck.
struct CheckedArgs {
  int errorcode = 0;       ///< 1 when two non-scalar arguments differ in size
  std::vector<Grid> args;  ///< the arguments, scalars expanded (on error only
                           ///< those before the mismatch)
};

/// Expands scalar arguments to the size of the first non-scalar one and
/// checks that all non-scalars share that size.  With nparms = 1 the first
/// argument is passed through and the others are emptied.
CheckedArgs distchck(int nparms, std::vector<Grid> args);

/// Normal distribution function 0.5·erfc(−(x − mu)/(sigma·√2)); NaN where
/// sigma ≤ 0.
Grid normcdf(const Grid& x, const Grid& mu, const Grid& sigma);
double normcdf(double x, double mu = 0.0, double sigma = 1.0);

/// F distribution function with v1 numerator and v2 denominator degrees of
/// freedom, I_{x/(x+v2/v1)}(v1/2, v2/2); an infinite degree of freedom falls
/// back on chi2cdf.  NaN where v1 ≤ 0, v2 ≤ 0 or x is NaN; 0 for x ≤ 0; 1 for
/// x = +Inf.
Grid fcdf(const Grid& x, const Grid& v1, const Grid& v2);
double fcdf(double x, double v1, double v2);

/// Chi-square distribution function with v degrees of freedom
/// (gamcdf(x, v/2, 2)).
Grid chi2cdf(const Grid& x, const Grid& v);
double chi2cdf(double x, double v);

/// Gamma distribution function with shape a and scale b, P(a, x/b); NaN
/// where a ≤ 0 or b ≤ 0; 0 for x ≤ 0; 0 for finite x when a or b is +Inf
/// (the distribution's mass has gone to infinity).  Shapes beyond
/// kLargeGammaShape use the Wilson–Hilferty approximation.  When any result
/// is not finite, elements with x ≥ √(largest double) are set to 1.
Grid gamcdf(const Grid& x, const Grid& a, const Grid& b);
double gamcdf(double x, double a, double b = 1.0);

/// Upper tail of the standard normal distribution, P(Z > z) =
/// 0.5·erfc(z/√2), computed directly so that small tails keep their relative
/// accuracy down to the smallest double (1 − normcdf(z) is 0 beyond z ≈ 8.3).
/// 0 for z = +Inf, 1 for z = −Inf.
/// @throws NumericError when z is NaN
double normal_upper_tail(double z);

/// Upper tail of the F distribution with d1 numerator and d2 denominator
/// degrees of freedom, P(F' > F), computed directly as the regularized
/// incomplete beta I_y(d2/2, d1/2) of the complementary argument
/// y = d2/(d2 + d1·F), so that small p values keep their relative accuracy
/// (1 − fcdf keeps only the digits above 1e-16).  An infinite degree of
/// freedom gives the chi-square limit, as fcdf does.  1 for F ≤ 0, 0 for
/// F = +Inf.
/// @throws NumericError when F is NaN or a degree of freedom is NaN or ≤ 0
double f_upper_tail(double F, double d1, double d2);

}  // namespace velmora::stats
