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
/// where a ≤ 0 or b ≤ 0; 0 for x ≤ 0.  When any result is not finite,
/// elements with x ≥ √(largest double) are set to 1.
Grid gamcdf(const Grid& x, const Grid& a, const Grid& b);
double gamcdf(double x, double a, double b = 1.0);

}  // namespace velmora::stats
