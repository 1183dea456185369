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

/// Leaving specimen i of group h out of the within-group SSCP W multiplies
/// its determinant by 1 − c·uᵀW⁻¹u (u = sᵢ − m_h, c = n_h/(n_h − 1)); at or
/// below this the rest of the sample has no regular covariance.
inline constexpr double kLeaveOneOutTolerance = 1e-8;

/// Canonical variate analysis of a factor on the leading principal
/// components of shape.
struct CanonicalVariates {
  std::vector<std::string> levels;  ///< G sorted levels
  /// The principal components used: every one whose variance exceeds
  /// kCvaComponentShare of the total, at most n − G − 1 (so that the
  /// within-group covariance without any one specimen stays regular).
  Eigen::Index components = 0;
  /// Eigenvalues of W⁻¹B (W, B: within- and between-group SSCP of the
  /// component scores), at most G − 1, largest first.
  Eigen::VectorXd eigenvalues;
  /// n×(G−1) canonical variate scores, scaled to unit pooled within-group
  /// variance (divisor n − G).
  Eigen::MatrixXd scores;
  /// m×(G−1) the shape change along each canonical variate: the pooled
  /// within-group regression of the tangent coordinates on its score, S_w a
  /// per unit score (S_w the pooled within-group covariance in the span of
  /// the components, a the coefficients of unit within-group variance).
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
/// @throws NumericError for fewer than two groups, a group of one, no
///         component left, or a specimen without which the within-group
///         covariance is singular
CanonicalVariates canonical_variates(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                     const std::vector<std::string>& group,
                                     int permutations = kDefaultPermutations,
                                     std::uint64_t seed = kDefaultPermutationSeed);

}  // namespace velmora::stats
