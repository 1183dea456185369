#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <string>
#include <vector>

#include "stats/permutation_test.hpp"

namespace velmora::stats {

/// Pairwise comparisons of groups: their least-squares means and, with a
/// covariate, their slopes.
struct GroupComparison {
  std::vector<std::string> levels;  ///< G sorted levels
  Eigen::MatrixXd means;            ///< G×m least-squares means (at the covariate's mean)
  Eigen::MatrixXd slopes;           ///< G×m slope vectors (with a covariate; else empty)
  // G×G, symmetric; p values (count reaching + 1)/(permutations + 1).
  Eigen::MatrixXd distance, distance_p;  ///< Procrustes distance between means
  Eigen::MatrixXd angle, angle_p;        ///< degrees between slope vectors
  Eigen::MatrixXd length, length_p;      ///< |slope i| − |slope j|; p of its absolute value
  int permutations = 0;
};

/// Compares the groups of a factor pair by pair, with RRPP (Collyer & Adams
/// 2013): the residuals of a null model are permuted and added to its
/// fitted values, and the separate groups' means (and slopes) are fitted
/// again.  The distances between least-squares means are randomized under
/// the model without any term of the factor (shape ~ 1, or shape ~
/// covariate with one), the angles and length differences of the slopes
/// under shape ~ covariate + group.  Each group's least-squares mean and
/// slope vector are linear in the data (weights w with meanᵀ = wᵀ·Y), so a
/// permutation costs one product of the permuted n×2G weights with the
/// residuals of each null model.  The orderings are those of
/// random_orderings(n, permutations, seed).
/// @param shape     n×m tangent coordinates
/// @param group     n levels
/// @param covariate n values, or empty for means only
/// @param covariate_name how a refusal names the covariate (`log(CS)`)
/// @throws NumericError for fewer than two groups, a group of one specimen,
///         or a covariate without variation within a group (naming both)
GroupComparison compare_groups(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                               const std::vector<std::string>& group,
                               const Eigen::Ref<const Eigen::VectorXd>& covariate,
                               int permutations = kDefaultPermutations,
                               std::uint64_t seed = kDefaultPermutationSeed,
                               const std::string& covariate_name = "the covariate");

/// `values` with the mean of its group subtracted from every row: the data
/// of a pooled within-group regression.
/// @param values n×c
Eigen::MatrixXd centre_within_groups(const Eigen::Ref<const Eigen::MatrixXd>& values,
                                     const std::vector<std::string>& group);

/// The residuals of the least-squares fit of `shape` by the columns of
/// `design` (which include the intercept), added to `consensus`: shapes
/// with the model's effects removed (size-corrected shapes for a model of
/// size).
/// @param shape     n×m, @param design n×p, @param consensus m values
Eigen::MatrixXd model_residual_shapes(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                      const Eigen::Ref<const Eigen::MatrixXd>& design,
                                      const Eigen::Ref<const Eigen::RowVectorXd>& consensus);

}  // namespace velmora::stats
