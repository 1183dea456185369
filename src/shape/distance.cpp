#include "shape/distance.hpp"

namespace velmora::shape {

Eigen::RowVectorXd getpdistance3(const Config& reference, const Stack& data) {
  require_same_landmarks(reference.rows(), "The reference", data.k(), "each specimen");
  Eigen::RowVectorXd y(data.n());
  for (Eigen::Index i = 0; i < data.n(); ++i) y(i) = (reference - data.slice(i)).squaredNorm();
  return y;
}

}  // namespace velmora::shape
