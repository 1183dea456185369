#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shape/types.hpp"
#include "stats/permutation_test.hpp"

namespace velmora::stats {

/// Two-block partial least squares of two sets of variables measured on the
/// same specimens (Rohlf & Corti 2000), with its permutation test.
struct TwoBlockPls {
  Eigen::Index n = 0;
  /// q = min(p₁, p₂, n − 1) singular values of S₁₂ = X₁ᵀX₂/(n − 1), the
  /// cross-covariance of the column-centred blocks, descending.
  Eigen::VectorXd singular_values;
  /// σᵢ²/Σσⱼ²: the share of the squared covariance of each pair of axes.
  Eigen::VectorXd covariance_share;
  /// p₁×q and p₂×q: unit singular vectors, pair i in column i; each pair's
  /// signs make the left vector's entry of largest magnitude positive.
  Eigen::MatrixXd left_vectors, right_vectors;
  /// n scores of the first pair: the centred blocks times their first vectors.
  Eigen::VectorXd left_scores, right_scores;
  double r_pls = 0;  ///< correlation of the first pair of scores, in [0, 1]
  /// Escoufier's RV = ‖S₁₂‖²/√(‖S₁₁‖²·‖S₂₂‖²), Frobenius norms.
  double rv = 0;
  int permutations = 0;
  std::uint64_t seed = 0;
  /// r-PLS of the observed data first, then one a permutation.
  Eigen::VectorXd random_r;
  int at_least_as_large = 0;  ///< values of random_r (the observed one included) reaching r-PLS
  double p = 0;               ///< at_least_as_large/(permutations + 1)
  double z = 0;               ///< box_cox_effect_size of random_r
};

/// Two-block PLS between `left` and `right` (rows are specimens; shape
/// blocks are tangent coordinates, or covariates), and the permutation test
/// of r-PLS: the rows of the left block are permuted against the right
/// block (row i goes to place order(i) for each column `order` of
/// random_orderings(n, permutations, seed)), the observed ordering counted
/// as one, p = (permutations whose r-PLS reaches the observed one within a
/// relative kPermutationTieTolerance, + 1)/(permutations + 1).  Z is
/// geomorph's effect size of two.b.pls: box_cox_effect_size of the observed
/// and permuted r-PLS.
///
/// No permutation refits anything.  A block of more variables than
/// specimens is first replaced by the n×n factor Rᵀ of its centred
/// transpose's QR decomposition (the same cross-products).  With the Gram
/// matrices Gᵢ = XᵢᵀXᵢ, which a permutation of rows leaves unchanged, the
/// r-PLS of an ordering P is σ/√(uᵀG₁u·vᵀG₂v) for the first singular pair
/// (σ, u, v) of (PX₁)ᵀX₂.  The cross-products of 32 orderings come from one
/// matrix product with the permuted copies of the left block side by side,
/// and the first pair from Lanczos iterations with full
/// reorthogonalisation on the smaller Gram matrix of the cross-product,
/// until the residual falls under 1e-12 of the value.  A test costs about
/// permutations·n·r₁·r₂ multiply-adds (r = min(p, n)); large ones use two
/// threads, whose products with the serial BLAS take turns.
/// @param left  n×p₁, @param right n×p₂
/// @param progress optional; called after every block of orderings with the
///        number done; returning false cancels (the result is then nothing)
/// @throws NumericError for mismatched counts, fewer than four specimens,
///         values that are not finite, a block without variation, or fewer
///         than one permutation
std::optional<TwoBlockPls> two_block_pls(const Eigen::Ref<const Eigen::MatrixXd>& left,
                                         const Eigen::Ref<const Eigen::MatrixXd>& right,
                                         int permutations = kDefaultPermutations,
                                         std::uint64_t seed = kDefaultPermutationSeed,
                                         const PermutationProgress& progress = {});

/// The columns of the landmarks of one block from tangent coordinates in the
/// stacked layout (all x, then all y, then all z): the block's x, then its
/// y, then its z, each in landmark order, so that the result has the
/// stacked layout of the block's own landmarks.
/// @param tangent n×3k, @param block k block indices, @param which the block
/// @throws NumericError when block has other than k entries or no landmark
///         is in `which`
Eigen::MatrixXd block_coordinates(const Eigen::Ref<const Eigen::MatrixXd>& tangent,
                                  const std::vector<std::size_t>& block, std::size_t which);

/// The tangent coordinates of two blocks superimposed separately: the
/// landmarks of each block are fitted by their own generalized Procrustes
/// superimposition (shape::gpa_to_convergence) and projected onto the
/// tangent space at their own consensus (shape::tangent_coordinates).
struct BlockTangents {
  Eigen::MatrixXd left, right;  ///< n×3k₁ and n×3k₂, stacked layout
};
/// @param raw   n raw configurations of k landmarks
/// @param block k block indices
/// @throws NumericError as the superimposition, or for a block of fewer than
///         three landmarks
BlockTangents separate_block_tangents(const shape::Stack& raw,
                                      const std::vector<std::size_t>& block, std::size_t left,
                                      std::size_t right);

/// The strength of integration compared between groups (Adams & Collyer
/// 2016; geomorph's compare.pls).
struct IntegrationComparison {
  std::vector<std::string> levels;  ///< G sorted levels
  std::vector<Eigen::Index> counts;
  Eigen::VectorXd r_pls, z;  ///< each group's r-PLS and effect size Z
  /// Variance of each group's Z: the variance (divisor m) of its m permuted
  /// r-PLS standardised by their sd (divisor m − 1), (m − 1)/m.
  Eigen::VectorXd z_variance;
  /// G×G: (Zᵢ − Zⱼ)/√(varᵢ + varⱼ), antisymmetric, and its two-tailed normal
  /// p value 2·P(N > |z|), symmetric with 1 on the diagonal.
  Eigen::MatrixXd pairwise_z, pairwise_p;
  int permutations = 0;
};

/// The two-block PLS of each group of `group` on its own rows, with the
/// same permutations and seed for every group, and the two-sample z of the
/// difference of every two groups' effect sizes.
/// @param group n levels
/// @throws NumericError for fewer than two groups, a group of fewer than four
///         specimens (naming it), or as two_block_pls
IntegrationComparison compare_integration(const Eigen::Ref<const Eigen::MatrixXd>& left,
                                          const Eigen::Ref<const Eigen::MatrixXd>& right,
                                          const std::vector<std::string>& group,
                                          int permutations = kDefaultPermutations,
                                          std::uint64_t seed = kDefaultPermutationSeed);

/// The printed tables, as text cells: numbers with six significant digits,
/// or with `full_precision` the shortest text that reads back to the same
/// double.
/// `Pair SV Share`, one row a pair of axes.
std::vector<std::vector<std::string>> pls_table_rows(const TwoBlockPls& pls, bool full_precision);
/// `Statistic Value`: r-PLS, RV, Pr(>r), Z, Permutations.
std::vector<std::vector<std::string>> pls_summary_rows(const TwoBlockPls& pls, bool full_precision);
/// `GROUP n r-PLS Z`, one row a group, then `GROUP GROUP z Pr(>|z|)`, one
/// row a pair of groups.
std::vector<std::vector<std::string>> integration_comparison_rows(const IntegrationComparison& c,
                                                                  bool full_precision);

}  // namespace velmora::stats
