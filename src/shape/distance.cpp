#include "shape/distance.hpp"

#include <cmath>

#include "core/errors.hpp"
#include "core/tolerances.hpp"

namespace velmora::shape {

Eigen::RowVectorXd procrustes_distances(const Config& reference, const Stack& data) {
  require_same_landmarks(reference.rows(), "The reference", data.k(), "each specimen");
  Eigen::RowVectorXd y(data.n());
  for (Eigen::Index i = 0; i < data.n(); ++i) y(i) = (reference - data.slice(i)).squaredNorm();
  return y;
}

double rms_distance(const Config& reference, const Stack& data) {
  if (data.n() == 0) return 0.0;
  return std::sqrt(procrustes_distances(reference, data).mean());
}

void require_shape_variation(const Config& reference, const Stack& fitted) {
  // A comparison written so that a NaN distance refuses too.
  if (!(rms_distance(reference, fitted) >= kShapeVariationTolerance)) {
    throw NumericError(kNoShapeVariationText);
  }
}

}  // namespace velmora::shape
