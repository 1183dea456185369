#include "stats/regression.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/errors.hpp"
#include "core/tolerances.hpp"

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

ScaledDeviations scaled_deviations(const Eigen::Ref<const Eigen::VectorXd>& x) {
  ScaledDeviations d;
  if (x.size() == 0) return d;
  int outer = 0, inner = 0;
  std::frexp(x.cwiseAbs().maxCoeff(), &outer);
  d.values = x.unaryExpr([&](double v) { return std::ldexp(v, -outer); });
  const double scaled_mean = d.values.mean();
  d.values.array() -= scaled_mean;
  d.mean = std::ldexp(scaled_mean, outer);
  std::frexp(d.values.cwiseAbs().maxCoeff(), &inner);
  d.values = d.values.unaryExpr([&](double v) { return std::ldexp(v, -inner); });
  d.exponent = outer + inner;
  return d;
}

LineFits fit_lines(const Eigen::Ref<const Eigen::MatrixXd>& y,
                   const Eigen::Ref<const Eigen::VectorXd>& x) {
  require_count(y.rows(), x.size(), "rows of responses");
  if (!x.allFinite() || !y.allFinite()) {
    throw NumericError("The regression data include values that are not finite numbers.");
  }
  const ScaledDeviations xc = scaled_deviations(x);
  const double sxx = xc.values.squaredNorm();
  if (!(sxx > 0)) {
    throw NumericError(
        "All values of the independent variable are equal, so the regression slope is "
        "undefined.");
  }
  LineFits fits;
  const Eigen::RowVectorXd y_mean = y.colwise().mean();
  fits.slopes = (xc.values.transpose() * (y.rowwise() - y_mean)) / sxx;
  fits.slopes = fits.slopes.unaryExpr([&](double b) { return std::ldexp(b, -xc.exponent); });
  fits.intercepts = y_mean - fits.slopes * xc.mean;
  return fits;
}

Eigen::RowVectorXd column_slopes(const Eigen::MatrixXd& scores, const Eigen::VectorXd& x) {
  require_count(scores.rows(), x.size(), "score rows");
  if (scores.cols() == 0) return Eigen::RowVectorXd();
  return fit_lines(scores, x).slopes;
}

RegressionStats regression_stats(const Eigen::Ref<const Eigen::VectorXd>& x,
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
  // Values equal up to rounding count as equal: the mean of equal values may
  // differ from them in the last bit and leave a spread of noise.
  const auto all_equal = [](const Eigen::Ref<const Eigen::VectorXd>& v) {
    return v.maxCoeff() - v.minCoeff() <= kEqualXTolerance * v.cwiseAbs().maxCoeff();
  };
  if (all_equal(x)) {
    throw NumericError("All x values of the regression are equal, so its slope is undefined.");
  }
  if (all_equal(y)) {
    throw NumericError(
        "All y values of the regression are equal, so its correlation is undefined.");
  }
  // Deviations are scaled by powers of two to a largest magnitude near 1
  // before they are squared, so values near 1e±150 neither overflow nor
  // underflow; the scaling is exact, so other data give the same bits as
  // without it, and the scales come back in the slope and its deviation.
  const ScaledDeviations xd = scaled_deviations(x), yd = scaled_deviations(y);
  const Eigen::VectorXd &xs = xd.values, &ys = yd.values;
  const int x_exponent = xd.exponent, y_exponent = yd.exponent;
  const double dof = static_cast<double>(n - 1);
  const double sxx = xs.squaredNorm() / dof, syy = ys.squaredNorm() / dof, sxy = xs.dot(ys) / dof;
  const double unit_slope = sxy / sxx, units = std::ldexp(1.0, y_exponent - x_exponent);
  RegressionStats s;
  s.slope = unit_slope * units;
  // Rounding may push a perfect fit's residual variance just below 0 and its
  // correlation just beyond ±1; both are held at their bounds.
  s.slope_sd =
      std::pow(std::max(0.0, syy - unit_slope * unit_slope * sxx) / ((n - 2) * sxx), 0.5) * units;
  s.intercept = yd.mean - s.slope * xd.mean;
  s.n = static_cast<double>(n);
  s.r = std::clamp(sxy / std::sqrt(sxx * syy), -1.0, 1.0);
  s.fisher_z = 0.5 * std::log((1 + s.r) / (1 - s.r));
  s.fisher_se = std::pow(static_cast<double>(n - 3), -0.5);
  return s;
}

}  // namespace velmora::stats
