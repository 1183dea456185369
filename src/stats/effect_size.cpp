#include "stats/effect_size.hpp"

#include <cmath>

namespace velmora::stats {

namespace {

constexpr double kLambdaZero = 0.001;
constexpr double kLambdaTolerance = 1e-10;
constexpr double kLambdaBound = 5;

/// The Box–Cox profile log-likelihood of the values ỹ (over their geometric
/// mean), with ln ỹ given.
double log_likelihood(const Eigen::ArrayXd& scaled, const Eigen::ArrayXd& log_scaled, double la) {
  Eigen::ArrayXd t;
  if (std::abs(la) > kLambdaZero) {
    t = (scaled.pow(la) - 1) / la;
  } else {
    const Eigen::ArrayXd x = la * log_scaled;
    t = log_scaled * (1 + x / 2 * (1 + x / 3 * (1 + x / 4)));
  }
  const double ss = (t - t.mean()).square().sum();
  return -static_cast<double>(t.size()) / 2 * std::log(ss);
}

}  // namespace

EffectSize box_cox_effect_size(const Eigen::Ref<const Eigen::VectorXd>& values) {
  EffectSize out;
  const Eigen::Index count = values.size();
  if (count < 2 || values.maxCoeff() == values.minCoeff()) return out;
  Eigen::ArrayXd y = values.array();
  if (y.minCoeff() <= 0) y = y - y.minCoeff() + 0.0001;
  const Eigen::ArrayXd permuted = y.tail(count - 1);
  double la = 1;
  if (permuted.maxCoeff() > permuted.minCoeff()) {
    const Eigen::ArrayXd logs = permuted.log();
    const Eigen::ArrayXd scaled = permuted / std::exp(logs.mean());
    const Eigen::ArrayXd log_scaled = scaled.log();
    // Golden-section search for the largest log-likelihood.
    const double g = (std::sqrt(5.0) - 1) / 2;
    double a = -kLambdaBound, b = kLambdaBound;
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = log_likelihood(scaled, log_scaled, c), fd = log_likelihood(scaled, log_scaled, d);
    while (b - a > kLambdaTolerance) {
      if (fc >= fd) {
        b = d;
        d = c;
        fd = fc;
        c = b - g * (b - a);
        fc = log_likelihood(scaled, log_scaled, c);
      } else {
        a = c;
        c = d;
        fc = fd;
        d = a + g * (b - a);
        fd = log_likelihood(scaled, log_scaled, d);
      }
    }
    la = (a + b) / 2;
    if (std::abs(la) < kLambdaZero) la = 0;
  }
  const Eigen::ArrayXd t = la == 0 ? Eigen::ArrayXd(y.log()) : Eigen::ArrayXd((y.pow(la) - 1) / la);
  const double mean = t.mean();
  const double sd = std::sqrt((t - mean).square().mean());
  out.lambda = la;
  out.z = sd > 0 ? (t(0) - mean) / sd : 0.0;
  return out;
}

}  // namespace velmora::stats
