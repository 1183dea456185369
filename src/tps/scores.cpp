#include "tps/scores.hpp"

#include <algorithm>
#include <limits>

// BLAS's matrix product (OpenBLAS): C = alpha·op(A)·op(B) + beta·C.
extern "C" void dgemm_(const char* transa, const char* transb, const int* m, const int* n,
                       const int* k, const double* alpha, const double* a, const int* lda,
                       const double* b, const int* ldb, const double* beta, double* c,
                       const int* ldc);

namespace velmora::tps {

namespace {

/// Products of at least this many multiply-adds go to BLAS, which uses the
/// processor's widest vectors; smaller ones stay with Eigen.
constexpr double kBlasProductWork = 20e6;

// out (n×m) = aᵀ·b for a column-major a (depth × n, leading dimension lda)
// and b (depth × m, contiguous).
void product_of_transposed(const double* a, Eigen::Index lda, const Eigen::MatrixXd& b,
                           Eigen::Index depth, Eigen::Index n, Eigen::MatrixXd& out) {
  const int rows = static_cast<int>(n), cols = static_cast<int>(b.cols());
  const int inner = static_cast<int>(depth), lead_a = static_cast<int>(lda);
  const int lead_b = static_cast<int>(b.rows()), lead_out = static_cast<int>(out.rows());
  const double one = 1, zero = 0;
  dgemm_("T", "N", &rows, &cols, &inner, &one, a, &lead_a, b.data(), &lead_b, &zero, out.data(),
         &lead_out);
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
  Eigen::MatrixXd block_scores(n, p), uniform_scores(n, 5);
  const bool blas = static_cast<double>(n) * static_cast<double>(k) * static_cast<double>(p) >=
                        kBlasProductWork &&
                    3 * k * std::max(n, p) <= std::numeric_limits<int>::max();
  for (int c = 0; c < 3; ++c) {
    if (blas)
      product_of_transposed(displacement.data() + c * k, 3 * k, kept, k, n, block_scores);
    else
      block_scores.noalias() = displacement.middleRows(c * k, k).transpose() * kept;
    for (Eigen::Index r = 0; r < p; ++r) scores.col(3 * r + c) = block_scores.col(r);
  }
  if (blas)
    product_of_transposed(displacement.data(), 3 * k, basis.uniform, 3 * k, n, uniform_scores);
  else
    uniform_scores.noalias() = displacement.transpose() * basis.uniform;
  scores.rightCols(5) = uniform_scores;
  return scores;
}

Eigen::MatrixXd getpw3d(const shape::Config& reference, const shape::Stack& data,
                        const Notify& note) {
  return warp_scores(lmatrix3da(reference, note), reference, data);
}

}  // namespace velmora::tps
