#include "stats/distance_test.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/distance.hpp"
#include "shape/procrustes.hpp"
#include "stats/distributions.hpp"
#include "stats/messages.hpp"

namespace velmora::stats {

DistanceStart distance_test_start(const shape::Stack& fitted, const Eigen::VectorXd& x) {
  const Eigen::Index n = fitted.n();
  if (n < 3 || x.size() != n) {
    throw NumericError(
        "The starting shape of the Procrustes-distance test needs at least three "
        "specimens and one X value for each.");
  }
  if (x.hasNaN()) {
    throw NumericError(
        "The starting shape of the Procrustes-distance test needs every X value to be a "
        "number.");
  }
  std::vector<double> sorted(x.data(), x.data() + n);
  std::nth_element(sorted.begin(), sorted.begin() + 2, sorted.end());
  const double third = sorted[2];
  DistanceStart s;
  s.start = shape::Config::Zero(fitted.k(), 3);
  for (Eigen::Index i = 0; i < n; ++i) {
    if (x(i) > third) continue;
    s.first.push_back(i);
    s.start += fitted.slice(i);
  }
  s.start.rowwise() -= s.start.colwise().mean();
  const double size = s.start.norm();
  // Unit-size shapes: a mean of rounding-noise size has cancelled.
  if (!(size > kCoincidentTolerance * static_cast<double>(s.first.size()))) {
    throw NumericError(
        "The specimens with the smallest X cancel out: their mean shape has centroid "
        "size 0, so the Procrustes-distance test has no starting shape.");
  }
  s.start /= size;
  return s;
}

DistanceTest procrustes_distance_test(const shape::Stack& fitted, const Eigen::VectorXd& x,
                                      const Eigen::VectorXd& regressor) {
  const Eigen::Index n = fitted.n();
  if (n < 4) throw NumericError(too_few_specimens_text("The Procrustes-distance test", n));
  if (x.size() != n || regressor.size() != n) {
    throw NumericError("The Procrustes-distance test needs one X value for each specimen.");
  }
  DistanceStart start = distance_test_start(fitted, x);
  DistanceTest t;
  t.first = start.first;
  t.start = std::move(start.start);
  t.distances =
      shape::procrustes_distances(t.start, shape::fit_by_optimal_rotation(t.start, fitted));
  t.fit = regression_stats(regressor, t.distances.transpose());
  t.z = t.fit.fisher_z / t.fit.fisher_se;
  // The upper tail directly: 1 − cdf would round every p below 1e-16 to 0.
  t.p = normal_upper_tail(t.z);
  return t;
}

}  // namespace velmora::stats
