#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/permutation_test.hpp"
#include "stats/procrustes_anova.hpp"

namespace velmora::stats {

/// The repeatability of digitizing from replicated configurations.
struct Repeatability {
  ProcrustesAnova anova;  ///< shape ~ individual
  /// Replicates an individual: r when every individual has r, else
  /// n0 = (N − Σ n_i²/N)/(a − 1) for a individuals of n_i replicates.
  double replicates = 0;
  bool balanced = true;
  double among = 0;  ///< variance among individuals, (MS_ind − MS_err)/r
  double error = 0;  ///< variance of the replicates, MS_err
  /// (MS_ind − MS_err)/(MS_ind + (r − 1)·MS_err) = among/(among + error)
  double repeatability = 0;
  /// error/(among + error), the share of the variance that is measurement
  /// error: 1 − repeatability.
  double error_share = 0;
};

/// One-factor Procrustes ANOVA of shape on the individuals, with the
/// variance components of the replicates (Sokal & Rohlf; Lessells & Boag
/// 1987; Fruciano 2016).  Both components are reported as estimated: when
/// the individuals differ less than the replicates, the repeatability is
/// negative.
/// @param shape      N×m tangent coordinates
/// @param individual N names; each individual needs two replicates or more
/// @param name       the column's name, naming the term
/// @return nothing when `progress` cancelled
/// @throws NumericError as procrustes_anova and model_design (an individual
///         of one replicate, one individual, mismatched counts)
std::optional<Repeatability> repeatability(const Eigen::Ref<const Eigen::MatrixXd>& shape,
                                           const std::vector<std::string>& individual,
                                           const std::string& name,
                                           int permutations = kDefaultPermutations,
                                           std::uint64_t seed = kDefaultPermutationSeed,
                                           const PermutationProgress& progress = {});

}  // namespace velmora::stats
