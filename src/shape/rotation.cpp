#include "shape/rotation.hpp"

#include <Eigen/Cholesky>
#include <Eigen/LU>
#include <Eigen/QR>
#include <Eigen/SVD>
#include <cmath>
#include <string>
#include <utility>

#include "core/errors.hpp"
#include "core/tolerances.hpp"

namespace velmora::shape {

namespace {

// The orthogonal factor U·Vᵀ of m = U·S·Vᵀ, turned into a proper rotation when
// it is a reflection by flipping the singular direction of the smallest
// singular value (Eigen orders singular values decreasingly).
RotationFit proper_orthogonal_factor(const Eigen::Matrix3d& m) {
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(m, Eigen::ComputeFullU | Eigen::ComputeFullV);
  Eigen::Matrix3d u = svd.matrixU();
  const Eigen::Matrix3d& v = svd.matrixV();
  RotationFit fit;
  fit.mirrored = (u * v.transpose()).determinant() < 0;
  if (fit.mirrored) u.col(2) = -u.col(2);
  fit.rotation = u * v.transpose();
  return fit;
}

}  // namespace

RotationFit rotation_from_products(const Eigen::Matrix3d& sts, const Eigen::Matrix3d& str) {
  // Normal equations of subject·A = reference.  A full-rank subject has a
  // positive definite subjectᵀ·subject and a unique solution, found by
  // Cholesky; a subject of lower rank (flat or collinear) gets the
  // minimum-norm least-squares map pinv(subject)·reference from a complete
  // orthogonal decomposition.
  Eigen::Matrix3d a;
  const Eigen::LLT<Eigen::Matrix3d> llt(sts);
  const Eigen::Vector3d pivots = llt.matrixLLT().diagonal();
  if (llt.info() == Eigen::Success &&
      pivots.minCoeff() > kRankTolerance * std::sqrt(sts.diagonal().maxCoeff())) {
    a = llt.solve(str);
  } else {
    a = Eigen::CompleteOrthogonalDecomposition<Eigen::Matrix3d>(sts).solve(str);
  }
  return proper_orthogonal_factor(a);
}

RotationFit rotation_from_cross_product(const Eigen::Matrix3d& cross) {
  return proper_orthogonal_factor(cross);
}

Eigen::Matrix3d optimal_rotation(const Eigen::Ref<const Config>& reference,
                                 const Eigen::Ref<const Config>& subject) {
  require_same_landmarks(reference.rows(), "The reference", subject.rows(), "the subject");
  for (const auto& [config, name] : {std::pair{&reference, "reference"}, {&subject, "subject"}}) {
    if (!config->allFinite()) {
      throw NumericError(std::string("The optimal rotation cannot be found: the ") + name +
                         " has coordinates that are not finite numbers.");
    }
  }
  const Eigen::Matrix3d sts = subject.transpose().lazyProduct(subject);
  const Eigen::Matrix3d str = subject.transpose().lazyProduct(reference);
  return rotation_from_products(sts, str).rotation;
}

void rotate_all(Stack& x, const Eigen::Matrix3d& roto) {
  if (x.n() == 0) return;
  // One k×3 work matrix for the whole stack; each slice is formed column by
  // column over contiguous coordinates and copied back.
  Config turned(x.k(), 3);
  for (Eigen::Index i = 0; i < x.n(); ++i) {
    Eigen::Map<Config> s = x.slice(i);
    for (int c = 0; c < 3; ++c)
      turned.col(c) = s.col(0) * roto(0, c) + s.col(1) * roto(1, c) + s.col(2) * roto(2, c);
    s = turned;
  }
}

}  // namespace velmora::shape
