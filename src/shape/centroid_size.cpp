#include "shape/centroid_size.hpp"

namespace velmora::shape {

double centroid_size(const Eigen::Ref<const Eigen::MatrixXd>& x) {
  if (x.size() == 0) return 0.0;
  const double plain = (x.rowwise() - x.colwise().mean()).norm();
  if (plain > kPlainNormLow && plain < kPlainNormHigh) return plain;
  const Eigen::MatrixXd centred = x.rowwise() - x.colwise().mean();
  return centred.stableNorm();
}

}  // namespace velmora::shape
