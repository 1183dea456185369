#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <string>
#include <vector>

#include "stats/permutation_test.hpp"

namespace velmora::stats {

/// Components whose variance is at most this share of the total are left
/// out of a canonical variate analysis.
inline constexpr double kCvaComponentShare = 1e-8;

/// Canonical variate analysis of a factor on the leading principal
/// components of shape.
struct CanonicalVariates {
  std::vector<std::string> levels;  ///< G sorted levels
  /// The principal components used: every one whose variance exceeds
  /// kCvaComponentShare of the total, at most n − G.
  Eigen::Index components = 0;
  /// Eigenvalues of W⁻¹B (W, B: within- and between-group SSCP of the
  /// component scores), at most G − 1, largest first.
  Eigen::VectorXd eigenvalues;
  /// n×(G−1) canonical variate scores, scaled to unit pooled within-group
  /// variance (divisor n − G).
  Eigen::MatrixXd scores;
  /// m×(G−1) the canonical variates as shape changes (tangent coordinates
  /// per unit CV score).
  Eigen::MatrixXd shape_axes;
  /// G×G Mahalanobis distances between group means (pooled within-group
  /// covariance, divisor n − G) and Procrustes distances between them, with
  /// permutation p values (group labels permuted).
  Eigen::MatrixXd mahalanobis, mahalanobis_p, procrustes, procrustes_p;
  /// G×G leave-one-out classification: row = true group, column = the
  /// group assigned (smallest Mahalanobis distance less 2 ln of its share
  /// of the specimens, as linear discriminant analysis assigns).
  Eigen::MatrixXi classification;
  std::vector<int> assigned;  ///< n: the group (index into levels) each specimen is assigned
  int permutations = 0;
};

/// @param shape n×m tangent coordinates
/// @param group n levels; every level needs two specimens or more
/// @throws NumericError for fewer than two groups, a group of one, or no
///         component left
CanonicalVariates canonical_variates(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                     const std::vector<std::string>& group,
                                     int permutations = kDefaultPermutations,
                                     std::uint64_t seed = kDefaultPermutationSeed);

}  // namespace velmora::stats
