#include "tps/scores.hpp"

namespace velmora::tps {

Eigen::MatrixXd warp_scores(const WarpBasis& basis, const shape::Config& reference,
                            const shape::Stack& data) {
  shape::require_same_landmarks(reference.rows(), "The reference", data.k(), "each specimen");
  const Eigen::Index k = data.k(), n = data.n(), p = basis.retained;
  const Eigen::Map<const Eigen::VectorXd> ref_stacked(reference.data(), 3 * k);
  const Eigen::MatrixXd displacement = data.stacked().colwise() - ref_stacked;

  Eigen::MatrixXd scores(n, 3 * p + 5);
  // The partial-warp columns of the basis hold one eigenvector in one
  // coordinate block, so each coordinate block is projected on the retained
  // eigenvectors once instead of multiplying by the mostly-zero warp matrix.
  const Eigen::MatrixXd kept = basis.retained_vectors();
  Eigen::MatrixXd block_scores(n, p);
  for (int c = 0; c < 3; ++c) {
    block_scores.noalias() = displacement.middleRows(c * k, k).transpose() * kept;
    for (Eigen::Index r = 0; r < p; ++r) scores.col(3 * r + c) = block_scores.col(r);
  }
  scores.rightCols(5).noalias() = displacement.transpose() * basis.uniform;
  return scores;
}

Eigen::MatrixXd getpw3d(const shape::Config& reference, const shape::Stack& data,
                        const Notify& note) {
  return warp_scores(lmatrix3da(reference, note), reference, data);
}

}  // namespace velmora::tps
