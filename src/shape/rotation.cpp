#include "shape/rotation.hpp"

#include <Eigen/QR>
#include <Eigen/SVD>

namespace velmora::shape {

Eigen::Matrix3d rotation_from_products(const Eigen::Matrix3d& sts, const Eigen::Matrix3d& str) {
  // Normal equations of subject·A = reference.  The complete orthogonal
  // decomposition gives the unique solution for a full-rank subject and the
  // minimum-norm least-squares map (pinv(subject)·reference) otherwise.
  const Eigen::Matrix3d a = Eigen::CompleteOrthogonalDecomposition<Eigen::Matrix3d>(sts).solve(str);
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(a, Eigen::ComputeFullU | Eigen::ComputeFullV);
  return svd.matrixU() * svd.matrixV().transpose();
}

Eigen::Matrix3d svdrot2(const Eigen::Ref<const Config>& reference,
                        const Eigen::Ref<const Config>& subject) {
  require_same_landmarks(reference.rows(), "The reference", subject.rows(), "the subject");
  const Eigen::Matrix3d sts = subject.transpose().lazyProduct(subject);
  const Eigen::Matrix3d str = subject.transpose().lazyProduct(reference);
  return rotation_from_products(sts, str);
}

void rotate3da(Stack& x, const Eigen::Matrix3d& roto) {
  const Eigen::Index k = x.k();
  for (Eigen::Index i = 0; i < x.n(); ++i) {
    Eigen::Map<Config> s = x.slice(i);
    // Landmark rows are independent, so each is turned through a fixed-size
    // copy and the slice needs no scratch matrix.
    for (Eigen::Index j = 0; j < k; ++j) {
      const Eigen::RowVector3d row = s.row(j);
      s.row(j).noalias() = row * roto;
    }
  }
}

}  // namespace velmora::shape
