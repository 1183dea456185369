#include "stats/distance_test.hpp"

#include <algorithm>
#include <numeric>
#include <vector>

#include "core/errors.hpp"
#include "core/tolerances.hpp"
#include "shape/distance.hpp"
#include "shape/procrustes.hpp"
#include "stats/distributions.hpp"

namespace velmora::stats {

DistanceTest procrustes_distance_test(const shape::Stack& fitted, const Eigen::VectorXd& x,
                                      const Eigen::VectorXd& regressor) {
  const Eigen::Index n = fitted.n();
  if (n < 4 || x.size() != n || regressor.size() != n) {
    throw NumericError("The Procrustes-distance test needs at least four specimens and one X "
                       "value for each.");
  }
  std::vector<Eigen::Index> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](Eigen::Index a, Eigen::Index b) { return x(a) < x(b); });
  DistanceTest t;
  t.first = {order[0], order[1], order[2]};
  t.start = shape::Config::Zero(fitted.k(), 3);
  for (Eigen::Index i : t.first) t.start += fitted.slice(i);
  t.start.rowwise() -= t.start.colwise().mean();
  const double size = t.start.norm();
  // Three unit-size shapes: a mean of rounding-noise size has cancelled.
  if (!(size > kCoincidentTolerance)) {
    throw NumericError(
        "The three specimens with the smallest X cancel out: their mean shape has centroid "
        "size 0, so the Procrustes-distance test has no starting shape.");
  }
  t.start /= size;
  t.distances = shape::getpdistance3(t.start, shape::getfprocon3(t.start, fitted));
  t.fit = regstuf(regressor, t.distances.transpose());
  t.z = t.fit.fisher_z / t.fit.fisher_se;
  // The upper tail directly: 1 − cdf would round every p below 1e-16 to 0.
  t.p = normal_upper_tail(t.z);
  return t;
}

}  // namespace velmora::stats
