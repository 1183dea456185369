#include "shape/tangent_coordinates.hpp"

#include "core/errors.hpp"

namespace velmora::shape {

Eigen::MatrixXd tangent_coordinates(const Config& reference, const Stack& fitted) {
  require_same_landmarks(reference.rows(), "The reference", fitted.k(), "each specimen");
  if (fitted.n() == 0) {
    throw NumericError("Tangent coordinates need at least one specimen; the sample is empty.");
  }
  if (!reference.allFinite() || !fitted.stacked().allFinite()) {
    throw NumericError(
        "Tangent coordinates cannot be formed: the coordinates include values that are not "
        "finite numbers.");
  }
  const double size = reference.norm();
  if (!(size > 0)) {
    throw NumericError(
        "Tangent coordinates cannot be formed: the reference has all coordinates zero.");
  }
  const Eigen::Map<const Eigen::VectorXd> ref_stacked(reference.data(), reference.size());
  const Eigen::VectorXd u = ref_stacked / size;
  Eigen::MatrixXd t = fitted.stacked().transpose();
  const Eigen::VectorXd along = t * u;
  t.noalias() -= along * u.transpose();
  return t;
}

}  // namespace velmora::shape
