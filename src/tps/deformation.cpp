#include "tps/deformation.hpp"

#include <algorithm>
#include <string>

#include "core/errors.hpp"
#include "shape/procrustes.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {

namespace {

void require_scores(const Eigen::MatrixXd& scores) {
  if (scores.rows() == 0) {
    throw NumericError("The implied deformation needs at least one row of scores.");
  }
  if (!scores.allFinite()) {
    throw NumericError(
        "The implied deformation cannot be built: the scores include values that are not finite "
        "numbers.");
  }
}

}  // namespace

shape::Stack deformations_from_scores(const shape::Config& reference, const Eigen::MatrixXd& scores,
                                      const Notify& note) {
  require_scores(scores);
  return deformations_from_scores(thin_plate_basis(reference, note), reference, scores);
}

shape::Stack deformations_from_scores(const WarpBasis& basis, const shape::Config& reference,
                                      const Eigen::MatrixXd& scores) {
  require_scores(scores);
  if (basis.landmarks() != reference.rows()) {
    throw NumericError("The implied deformation got a basis of " +
                       std::to_string(basis.landmarks()) + " landmarks for a reference of " +
                       std::to_string(reference.rows()) + ".");
  }
  const Eigen::Index k = reference.rows(), ns = scores.cols();
  if (ns > basis.columns()) {
    throw NumericError("The implied deformation got " + std::to_string(ns) +
                       " score columns, but the warp matrix of the reference has " +
                       std::to_string(basis.columns()) + ".");
  }
  shape::Stack y(k, scores.rows());
  const Eigen::Map<const Eigen::VectorXd> ref_stacked(reference.data(), 3 * k);
  // Column 3r + c of the warp matrix is retained eigenvector r in coordinate
  // block c, so each block is the eigenvectors weighted by every third
  // score; the mostly-zero warp matrix itself is never formed.
  const Eigen::Index p = basis.retained, warp_columns = std::min(ns, 3 * p);
  const Eigen::MatrixXd kept = basis.retained_vectors();
  for (Eigen::Index c = 0; c < 3; ++c) {
    const Eigen::Index used = c < warp_columns ? (warp_columns - c + 2) / 3 : 0;
    Eigen::MatrixXd weights(used, scores.rows());
    for (Eigen::Index r = 0; r < used; ++r) weights.row(r) = scores.col(3 * r + c).transpose();
    y.stacked().middleRows(c * k, k).noalias() = kept.leftCols(used) * weights;
  }
  if (ns > 3 * p) {
    y.stacked().noalias() +=
        basis.uniform.leftCols(ns - 3 * p) * scores.middleCols(3 * p, ns - 3 * p).transpose();
  }
  y.stacked().colwise() += ref_stacked;
  return shape::fit_to_fixed_reference(reference, std::move(y));
}

}  // namespace velmora::tps
