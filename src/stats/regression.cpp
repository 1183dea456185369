#include "stats/regression.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/errors.hpp"

namespace velmora::stats {

namespace {

void require_count(Eigen::Index got, Eigen::Index want, const char* what) {
  if (got != want) {
    throw NumericError(std::string("The regression has ") + std::to_string(want) +
                       " values of the independent variable but " + std::to_string(got) + " " +
                       what + ".");
  }
}

}  // namespace

LineFits fit_lines(const Eigen::Ref<const Eigen::MatrixXd>& y,
                   const Eigen::Ref<const Eigen::VectorXd>& x) {
  require_count(y.rows(), x.size(), "rows of responses");
  if (!x.allFinite() || !y.allFinite()) {
    throw NumericError("The regression data include values that are not finite numbers.");
  }
  const double x_mean = x.mean();
  const Eigen::VectorXd xc = x.array() - x_mean;
  const double sxx = xc.squaredNorm();
  if (!(sxx > 0)) {
    throw NumericError(
        "All values of the independent variable are equal, so the regression slope is "
        "undefined.");
  }
  LineFits fits;
  const Eigen::RowVectorXd y_mean = y.colwise().mean();
  fits.slopes = (xc.transpose() * (y.rowwise() - y_mean)) / sxx;
  fits.intercepts = y_mean - fits.slopes * x_mean;
  return fits;
}

Eigen::RowVectorXd column_slopes(const Eigen::MatrixXd& scores, const Eigen::VectorXd& x) {
  require_count(scores.rows(), x.size(), "score rows");
  if (scores.cols() == 0) return Eigen::RowVectorXd();
  return fit_lines(scores, x).slopes;
}

RegressionStats regstuf(const Eigen::Ref<const Eigen::VectorXd>& x,
                        const Eigen::Ref<const Eigen::VectorXd>& y) {
  const Eigen::Index n = x.size();
  require_count(y.size(), n, "responses");
  if (n < 3) {
    throw NumericError("The regression needs at least three pairs of values; it has " +
                       std::to_string(n) + ".");
  }
  if (!x.allFinite() || !y.allFinite()) {
    throw NumericError("The regression data include values that are not finite numbers.");
  }
  const Eigen::VectorXd xc = x.array() - x.mean(), yc = y.array() - y.mean();
  const double dof = static_cast<double>(n - 1);
  const double sxx = xc.squaredNorm() / dof, syy = yc.squaredNorm() / dof, sxy = xc.dot(yc) / dof;
  if (!(sxx > 0)) {
    throw NumericError("All x values of the regression are equal, so its slope is undefined.");
  }
  if (!(syy > 0)) {
    throw NumericError(
        "All y values of the regression are equal, so its correlation is undefined.");
  }
  RegressionStats s;
  s.slope = sxy / sxx;
  // Rounding may push a perfect fit's residual variance just below 0 and its
  // correlation just beyond ±1; both are held at their bounds.
  s.slope_sd = std::pow(std::max(0.0, syy - s.slope * s.slope * sxx) / ((n - 2) * sxx), 0.5);
  s.intercept = y.mean() - s.slope * x.mean();
  s.n = static_cast<double>(n);
  s.r = std::clamp(sxy / std::sqrt(sxx * syy), -1.0, 1.0);
  s.fisher_z = 0.5 * std::log((1 + s.r) / (1 - s.r));
  s.fisher_se = std::pow(static_cast<double>(n - 3), -0.5);
  return s;
}

}  // namespace velmora::stats
