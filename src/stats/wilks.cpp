#include "stats/wilks.hpp"

#include <Eigen/Cholesky>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "core/blas.hpp"
#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/decompositions.hpp"
#include "stats/regression.hpp"

namespace velmora::stats {

namespace {

// Sums of squares and products about the column means of `y`, which is
// centred in place.
Eigen::MatrixXd sscp_of_centred(Eigen::MatrixXd& y) {
  y.rowwise() -= y.colwise().mean();
  Eigen::MatrixXd s = Eigen::MatrixXd::Zero(y.cols(), y.cols());
  // N·p² multiply-adds.
  if (static_cast<double>(y.size()) * static_cast<double>(y.cols()) >= kBlasMultiplyAdds &&
      y.rows() <= std::numeric_limits<int>::max()) {
    const int n = static_cast<int>(y.cols()), k = static_cast<int>(y.rows());
    const double one = 1, zero = 0;
    dsyrk_("L", "T", &n, &k, &one, y.data(), &k, &zero, s.data(), &n);
  } else {
    s.selfadjointView<Eigen::Lower>().rankUpdate(y.transpose());
  }
  return s.selfadjointView<Eigen::Lower>();
}

// log det of a symmetric positive definite matrix with unit-scale diagonal,
// or nothing when a Cholesky pivot shows it singular.
std::optional<double> log_det(const Eigen::MatrixXd& a) {
  const Eigen::LLT<Eigen::MatrixXd> llt(a);
  if (llt.info() != Eigen::Success) return std::nullopt;
  const Eigen::VectorXd pivots = llt.matrixLLT().diagonal();
  if (!((pivots.array().square() > kSscpSingularTolerance).all())) return std::nullopt;
  return 2.0 * pivots.array().log().sum();
}

}  // namespace

WilksResult wilks_lambda(const Eigen::MatrixXd& scores, const Eigen::VectorXd& x) {
  if (scores.cols() < 2) {
    throw NumericError(
        "Wilks' lambda needs at least two score columns (the last is not "
        "regressed); the scores have " +
        std::to_string(scores.cols()) + ".");
  }
  WilksResult w;
  w.N = static_cast<int>(scores.rows());
  w.p = static_cast<int>(scores.cols() - 1);
  constexpr double kCoefficients = 2;  // slope and intercept per variable
  const double p = w.p, big_n = w.N, q = kCoefficients - 1;
  const double m = (big_n - 1) - (p + kCoefficients) / 2;
  const double s_den = p * p + q * q - 5;
  const double s = s_den > 0 ? std::sqrt((p * p * q * q - 4) / s_den) : 1.0;
  w.df1 = p * q;
  w.df2 = m * s - p * q / 2 + 1;
  w.dfchi2 = p * q;
  w.degenerate = w.p >= w.N - 1;
  if (w.degenerate) {
    w.lambda = w.F = w.chi2 = std::numeric_limits<double>::quiet_NaN();
    return w;
  }

  const auto y = scores.leftCols(w.p);
  // Λ does not depend on the unit of the regressor, so it is fitted on the
  // regressor's exactly scaled deviations: X from 1e-300 to 1e300 keeps its
  // squares in range.
  const Eigen::VectorXd xs = scaled_deviations(x).values;
  const LineFits fits = fit_lines(y, xs);
  // E from the residuals; T = E + Sxx·bᵀb, since the residuals of a least-
  // squares line are orthogonal to the centred regressor: the sum of two
  // positive semi-definite matrices, as exact as T formed from the data and
  // half the work.
  Eigen::MatrixXd residuals = (y - xs * fits.slopes).rowwise() - fits.intercepts;
  const Eigen::MatrixXd error = sscp_of_centred(residuals);
  residuals.resize(0, 0);
  const double sxx = xs.squaredNorm();
  const Eigen::MatrixXd total = error + sxx * fits.slopes.transpose() * fits.slopes;

  // Scaling both matrices by T's diagonal cancels in Λ and keeps the
  // determinants of many small scores within range.
  const Eigen::ArrayXd diag = total.diagonal().array();
  const Eigen::ArrayXd magnitude = y.cwiseAbs().colwise().maxCoeff().transpose().array();
  for (Eigen::Index j = 0; j < w.p; ++j) {
    if (!(std::sqrt(diag(j)) > kCoincidentTolerance * magnitude(j) * std::sqrt(big_n))) {
      throw NumericError("Wilks' lambda is undefined: score column " + std::to_string(j + 1) +
                         " has the same value for every specimen.");
    }
  }
  const Eigen::VectorXd scale = diag.rsqrt().matrix();
  const std::optional<double> log_t = log_det(scale.asDiagonal() * total * scale.asDiagonal());
  if (!log_t) {
    throw NumericError(
        "Wilks' lambda is undefined: the regressed score columns are linearly dependent.");
  }
  const std::optional<double> log_e = log_det(scale.asDiagonal() * error * scale.asDiagonal());
  w.lambda = log_e ? std::exp(*log_e - *log_t) : 0.0;

  const double t = std::pow(w.lambda, 1 / s);
  w.F = ((1 - t) / t) * w.df2 / w.df1;
  w.chi2 = -((big_n - 1) - 0.5 * (p + kCoefficients)) * std::log(w.lambda);
  return w;
}

}  // namespace velmora::stats
