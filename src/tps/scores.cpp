#include "tps/scores.hpp"

#include <algorithm>
#include <limits>

#include "core/blas.hpp"

namespace velmora::tps {

namespace {

// The n×m columns at `out` (contiguous) = aᵀ·b for a column-major a
// (depth × n, leading dimension lda) and b (depth × m, contiguous).
void product_of_transposed(const double* a, Eigen::Index lda, const Eigen::MatrixXd& b,
                           Eigen::Index n, double* out) {
  const int rows = static_cast<int>(n), cols = static_cast<int>(b.cols());
  const int inner = static_cast<int>(b.rows()), lead_a = static_cast<int>(lda);
  const double one = 1, zero = 0;
  dgemm_("T", "N", &rows, &cols, &inner, &one, a, &lead_a, b.data(), &inner, &zero, out, &rows);
}

}  // namespace

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
  const bool blas = static_cast<double>(n) * static_cast<double>(k) * static_cast<double>(p) >=
                        kBlasMultiplyAdds &&
                    3 * k * std::max(n, p) <= std::numeric_limits<int>::max();
  for (int c = 0; c < 3; ++c) {
    if (blas)
      product_of_transposed(displacement.data() + c * k, 3 * k, kept, n, block_scores.data());
    else
      block_scores.noalias() = displacement.middleRows(c * k, k).transpose() * kept;
    for (Eigen::Index r = 0; r < p; ++r) scores.col(3 * r + c) = block_scores.col(r);
  }
  // The uniform columns are the last five, contiguous.
  if (blas)
    product_of_transposed(displacement.data(), 3 * k, basis.uniform, n, scores.col(3 * p).data());
  else
    scores.rightCols(5).noalias() = displacement.transpose() * basis.uniform;
  return scores;
}

Eigen::MatrixXd partial_warp_scores(const shape::Config& reference, const shape::Stack& data,
                                    const Notify& note) {
  return warp_scores(thin_plate_basis(reference, note), reference, data);
}

}  // namespace velmora::tps
