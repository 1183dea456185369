#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <string>
#include <vector>

#include "stats/model_formula.hpp"
#include "stats/permutation_test.hpp"

namespace velmora::stats {

/// Morphological disparity of the groups of a factor (geomorph's
/// morphol.disparity; Zelditch et al. 2012).
struct Disparity {
  std::vector<std::string> levels;  ///< G sorted levels
  std::vector<Eigen::Index> counts;
  /// Procrustes variance of each group: the sum of the squared lengths of its
  /// specimens' residual vectors over its number of specimens (the trace of
  /// its covariance matrix with divisor n_g).
  Eigen::VectorXd variance;
  /// G×G, symmetric: |variance_i − variance_j|, and the share of orderings
  /// (the observed one counted) whose difference reaches it (1 on the diagonal).
  Eigen::MatrixXd difference, p;
  int permutations = 0;
  std::uint64_t seed = 0;
  bool model_residuals = false;  ///< residuals of a given model, not of the group means
};

/// Procrustes variances and their pairwise differences, tested by permuting
/// the residual vectors among the specimens (rows of the residuals permuted,
/// the groups kept): a permutation regroups the squared residual lengths, so
/// it costs O(n).  The residuals are those of the group means (shape ~ group)
/// or, when `model` is given, of the least-squares fit of that model, as
/// geomorph uses the residuals of its formula.  The orderings are those of
/// random_orderings(n, permutations, seed); p = (orderings whose difference
/// reaches the observed one within a relative kPermutationTieTolerance,
/// + 1)/(permutations + 1).
/// @param shape n×m tangent coordinates
/// @param group n levels
/// @param model nullptr, or a design on the same n specimens
/// @throws NumericError for mismatched counts, fewer than two groups, a group
///         of one specimen (naming it), values that are not finite, or fewer
///         than one permutation
Disparity disparity(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                    const std::vector<std::string>& group, const ModelDesign* model = nullptr,
                    int permutations = kDefaultPermutations,
                    std::uint64_t seed = kDefaultPermutationSeed);

/// `GROUP n ProcVar`, one row a group, then `GROUP GROUP |diff| Pr(>d)`, one
/// row a pair; six significant digits or, with `full_precision`, the
/// shortest text that reads back to the same double.
std::vector<std::vector<std::string>> disparity_rows(const Disparity& d, bool full_precision);

}  // namespace velmora::stats
