#pragma once

#include <Eigen/Core>

namespace velmora::stats {

/// The deviations of a regressor from its mean, scaled by a power of two.
struct ScaledDeviations {
  /// N values (x − x̄)·2^−exponent, the largest magnitude in [0.5, 1) (all 0
  /// when x is constant).
  Eigen::VectorXd values;
  double mean = 0;   ///< x̄
  int exponent = 0;  ///< the power of two taken out
};

/// Standardises a regressor before any sum is taken: x is first scaled by a
/// power of two to a largest magnitude below 1, so that its sum cannot
/// overflow, then centred, then the deviations scaled again by a power of
/// two.  Every scaling is exact, so values from 1e-300 to 1e300 neither
/// overflow nor underflow in sums of squares, and ordinary values give the
/// very same bits as unscaled arithmetic.
/// @param x N finite values
ScaledDeviations scaled_deviations(const Eigen::Ref<const Eigen::VectorXd>& x);

/// Straight lines y ≈ slope·x + intercept fitted by least squares to every
/// column of a matrix.
struct LineFits {
  Eigen::RowVectorXd slopes;      ///< one per column, units of y per unit of x
  Eigen::RowVectorXd intercepts;  ///< one per column, units of y
};

/// Least-squares line of every column of `y` on the regressor `x`:
/// slope = Σ(x−x̄)(y−ȳ) / Σ(x−x̄)², intercept = ȳ − slope·x̄.
/// @param y N×m responses
/// @param x N regressor values
/// @throws NumericError when the counts differ, a value is not finite, or
///         all x are equal (the slope is undefined)
LineFits fit_lines(const Eigen::Ref<const Eigen::MatrixXd>& y,
                   const Eigen::Ref<const Eigen::VectorXd>& x);

/// The regression vector: the least-squares slope of every score column on
/// `x`, the last uniform score included.
/// @param scores N×m
/// @param x      N values of the regressor (X or ln X)
/// @return 1×m, slopes in score units per unit of the regressor
Eigen::RowVectorXd column_slopes(const Eigen::MatrixXd& scores, const Eigen::VectorXd& x);

/// Bivariate regression statistics of y on x.
struct RegressionStats {
  double slope;      ///< b = sxy / sxx
  double intercept;  ///< a = ȳ − b·x̄
  double slope_sd;   ///< √((syy − b²·sxx) / ((n − 2)·sxx))
  double n;          ///< number of pairs
  double r;          ///< Pearson correlation
  double fisher_z;   ///< 0.5·ln((1 + r)/(1 − r)), ±Inf for r = ±1
  double fisher_se;  ///< (n − 3)^−0.5, Inf for n = 3
};

/// Regression of y on x from their 2×2 sample covariance (divisor n − 1).
/// @param x regressor, n ≥ 3 values
/// @param y response, as many values as x
/// @throws NumericError for different counts, fewer than three pairs,
///         non-finite values, or x or y without any spread
RegressionStats regression_stats(const Eigen::Ref<const Eigen::VectorXd>& x,
                                 const Eigen::Ref<const Eigen::VectorXd>& y);

}  // namespace velmora::stats
