#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/permutation_test.hpp"

namespace velmora::stats {

/// The covariance ratio test of modularity (Adams 2016).
///
/// CR of two blocks is √(‖S₁₂‖²/√(‖S₁₁*‖²·‖S₂₂*‖²)) (Frobenius norms) with S
/// the covariance matrix of the tangent coordinates; with more than two
/// blocks it is the mean CR of every pair.  In S₁₁* and S₂₂* each landmark's
/// own 3×3 block of covariances is set to zero, so CR depends only on the
/// Frobenius norms of the 3×3 blocks between distinct landmarks, which a
/// rotation of the specimens leaves as they are: CR does not change when
/// the specimens are turned, and needs no choice of orientation.
///
/// geomorph's modularity.test sets only the main diagonal to zero, which
/// makes its CR depend on the orientation of the specimens.  It turns the
/// specimens about z by each of the 1,800 angles 0°, 0.05°, …, 89.95° (a
/// point (x, y, z) to (x·cos θ + y·sin θ, −x·sin θ + y·cos θ, z)), takes the
/// mean of their CRs and uses the first angle whose CR is nearest that mean.
/// Its value at that angle is given beside Velmora's for comparison.
///
/// The null hypothesis reassigns the landmarks to blocks at random, keeping
/// the number of landmarks in each block: CR well below the values of such
/// random partitions (a small p, a negative Z) indicates modularity, CR near
/// or above them none.
struct ModularityTest {
  double cr = 0;  ///< Velmora's CR (each landmark's own 3×3 block set to zero)
  /// B×B: the CR of every pair of blocks (0 on the diagonal).
  Eigen::MatrixXd pair_cr;
  double geomorph_cr = 0;     ///< geomorph's CR (main diagonal set to zero) at its angle
  double geomorph_angle = 0;  ///< that angle, degrees about z
  int permutations = 0;
  std::uint64_t seed = 0;
  /// CR of the observed partition first, then one a random partition.
  Eigen::VectorXd random_cr;
  int at_most = 0;  ///< values of random_cr (the observed one included) not above CR
  double p = 0;     ///< at_most/(permutations + 1)
  double z = 0;     ///< box_cox_effect_size of random_cr; negative when CR is below the null
};

/// The covariance ratio and its permutation test.  Random partition b gives
/// landmark j the block of landmark order(j), `order` column b of
/// random_orderings(k, permutations, seed).  The covariances are reduced once
/// to the k×k squared Frobenius norms of the 3×3 blocks between landmarks,
/// so a random partition costs sums over the k² pairs, not a new covariance.
/// p = (random CRs not above the observed one within a relative
/// kPermutationTieTolerance, + 1)/(permutations + 1).
/// @param tangent n×3k tangent coordinates, stacked layout (all x, y, z)
/// @param block   k block indices from 0 (each block of at least 3 landmarks)
/// @return nothing when `progress` cancelled
/// @throws NumericError for mismatched counts, fewer than four specimens,
///         fewer than two blocks, a block of fewer than 3 landmarks, values
///         that are not finite, a block without covariation among its
///         landmarks, or fewer than one permutation
std::optional<ModularityTest> modularity_test(const Eigen::Ref<const Eigen::MatrixXd>& tangent,
                                              const std::vector<std::size_t>& block,
                                              int permutations = kDefaultPermutations,
                                              std::uint64_t seed = kDefaultPermutationSeed,
                                              const PermutationProgress& progress = {});

/// `Statistic Value`: CR, CR (geomorph), Angle, Pr(<CR), Z, Permutations;
/// six significant digits or, with `full_precision`, the shortest text that
/// reads back to the same double.
std::vector<std::vector<std::string>> modularity_rows(const ModularityTest& test,
                                                      bool full_precision);

}  // namespace velmora::stats
