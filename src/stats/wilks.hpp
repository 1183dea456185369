#pragma once

#include <Eigen/Core>

namespace velmora::stats {

/// Wilks' lambda test of the multivariate regression of p score columns on
/// one regressor, with Rao's F approximation and Bartlett's chi-square.
struct WilksResult {
  double lambda;    ///< Λ = det E / det T (residual over total SSCP)
  double F;         ///< Rao's F
  double df1;       ///< numerator degrees of freedom, p
  double df2;       ///< denominator degrees of freedom, N − p − 1 here
  double chi2;      ///< Bartlett's −((N − 1) − (p + 2)/2)·ln Λ
  double dfchi2;    ///< p
  bool degenerate;  ///< p ≥ N − 1: E is singular and the test undefined;
                    ///< lambda, F and chi2 are then NaN
  int p;            ///< regressed score columns (all but the last)
  int N;            ///< specimens
};

/// Fits every score column but the last by a line on `x`, and compares the
/// residual sums-of-squares-and-products matrix E with the total one T:
/// Λ = exp(log det E − log det T) from Cholesky factors of both scaled to
/// the unit diagonal of T, so many small scores do not underflow.  With two
/// coefficients per variable, Rao's s is 1 (also for p = 2, where its formula
/// is 0/0).  Λ = 0 (F and chi2 infinite) when the residuals are linearly
/// dependent.
/// @param scores N×m score matrix, m ≥ 2
/// @param x      N regressor values (X or ln X)
/// @throws NumericError for mismatched counts, non-finite values, a regressor
///         without spread, a constant or linearly dependent score column
WilksResult wilks_lambda(const Eigen::MatrixXd& scores, const Eigen::VectorXd& x);

}  // namespace velmora::stats
