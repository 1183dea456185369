#include "shape/centroid_size.hpp"

namespace velmora::shape {

double centsize3Da(const Eigen::Ref<const Eigen::MatrixXd>& x) {
  if (x.size() == 0) return 0.0;
  return (x.rowwise() - x.colwise().mean()).norm();
}

}  // namespace velmora::shape
