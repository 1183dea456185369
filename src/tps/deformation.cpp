#include "tps/deformation.hpp"

#include <string>

#include "core/errors.hpp"
#include "shape/procrustes.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {

shape::Stack defimppw3(const shape::Config& reference, const Eigen::MatrixXd& scores,
                       const Notify& note) {
  if (scores.rows() == 0) {
    throw NumericError("The implied deformation needs at least one row of scores.");
  }
  if (!scores.allFinite()) {
    throw NumericError(
        "The implied deformation cannot be built: the scores include values that are not finite "
        "numbers.");
  }
  const WarpBasis basis = lmatrix3da(reference, note);
  const Eigen::Index k = reference.rows(), ns = scores.cols();
  if (ns > basis.warps.cols()) {
    throw NumericError("The implied deformation got " + std::to_string(ns) +
                       " score columns, but the warp matrix of the reference has " +
                       std::to_string(basis.warps.cols()) + ".");
  }
  shape::Stack y(k, scores.rows());
  const Eigen::Map<const Eigen::VectorXd> ref_stacked(reference.data(), 3 * k);
  y.stacked().noalias() = basis.warps.leftCols(ns) * scores.transpose();
  y.stacked().colwise() += ref_stacked;
  return shape::getfprocon3(reference, std::move(y));
}

}  // namespace velmora::tps
