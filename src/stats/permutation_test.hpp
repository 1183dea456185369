#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>

namespace velmora::stats {

/// Seed of the permutation test when the user gives none.
inline constexpr std::uint64_t kDefaultPermutationSeed = 20240601;
/// Random permutations of the permutation test when the user gives no number.
inline constexpr int kDefaultPermutations = 999;
/// The largest sample whose n! orderings exact_permutation_test enumerates.
inline constexpr int kExactPermutationLimit = 10;

/// Called while a permutation test runs with the permutations done so far and
/// the total; returning false cancels the test.
using PermutationProgress = std::function<bool(int done, int total)>;

/// The permutation test of shape on one regressor.
struct PermutationTestResult {
  double r_squared = 0;       ///< R² = SS(fitted) / SS(total), share of shape variance
                              ///< explained by the regressor, in [0, 1]
  double F = 0;               ///< (R²/1) / ((1 − R²)/(n − 2)); +Inf for R² = 1
  int n = 0;                  ///< specimens
  int permutations = 0;       ///< orderings of the regressor compared with the observed
                              ///< one: the random draws, or n! when enumerated
  bool exact = false;         ///< every ordering was enumerated (the observed one among
                              ///< them) instead of drawn at random
  std::uint64_t seed = 0;     ///< seed of the random draws (0 when exact)
  int at_least_as_large = 0;  ///< orderings, the observed one included, whose
                              ///< statistic reaches the observed one
  double p = 0;               ///< random: at_least_as_large / (permutations + 1);
                              ///< exact: at_least_as_large / n!
};

/// A uniformly distributed integer in [0, bound) from `gen`, the same on every
/// platform: a 64-bit draw is rejected while it falls below 2⁶⁴ mod bound, so
/// the remaining range is a whole multiple of bound, and the kept draw is
/// reduced modulo bound.
/// @param bound ≥ 1
std::uint64_t uniform_below(std::mt19937_64& gen, std::uint64_t bound);

/// Shuffles `order` in place by Fisher–Yates (Durstenfeld's form): for
/// i = n − 1 down to 1, element i is swapped with element uniform_below(gen,
/// i + 1).  Every ordering is equally likely and a seed gives the same
/// sequence of orderings on every platform.
void shuffle(Eigen::Ref<Eigen::VectorXi> order, std::mt19937_64& gen);

/// Permutation test of the multivariate regression of shape on one regressor
/// (Good 2000; the resampling test of Procrustes ANOVA, Goodall 1991).  The
/// statistic is R² = SS(fitted)/SS(total) of the least-squares fit of every
/// column of `tangent` by a line on `x`; its p value is the share of orderings
/// of x, the observed one included, whose R² is at least the observed R²
/// (within a relative kPermutationTieTolerance, so orderings that tie in exact
/// arithmetic count as ties despite rounding).
///
/// The columns are centred once; with Yᶜ and xᶜ centred, SS(fitted) =
/// ‖Yᶜᵀ xᶜ‖² / ‖xᶜ‖², and a permutation of x keeps ‖xᶜ‖ and SS(total), so
/// each ordering costs one product with the data, O(n·min(n, p)): when there
/// are more variables than specimens, Yᶜ is first replaced by the n×n
/// triangular factor of a QR decomposition of Yᶜᵀ, which has the same
/// products' norms.  Permutations are evaluated in blocks as one matrix
/// product.
///
/// Orderings come from std::mt19937_64(seed), Fisher–Yates with
/// uniform_below (never the library's shuffle or distributions, whose
/// outputs differ between implementations), each applied to the observed
/// order afresh, so a seed repeats exactly everywhere.
///
/// @param tangent      n×p shape variables, one row per specimen: Procrustes
///                     tangent coordinates (shape::tangent_coordinates) or the
///                     flattened superimposed specimens, which give the same
///                     result since only deviations from the column means count
/// @param x            n values of the regressor (X or ln X)
/// @param permutations random orderings, ≥ 1
/// @param seed         any value; equal seeds give equal orderings
/// @param progress     optional; called after every block of 64 orderings
///                     (a few milliseconds for 1,000 specimens of 100
///                     landmarks) and after the last
/// @return the result, or nothing when `progress` cancelled the test
/// @throws NumericError for n < 4, mismatched counts, non-finite values, x
///         equal up to rounding (kEqualXTolerance), every specimen of the same
///         shape, or fewer than one permutation
std::optional<PermutationTestResult> permutation_test(
    const Eigen::Ref<const Eigen::MatrixXd>& tangent, const Eigen::Ref<const Eigen::VectorXd>& x,
    int permutations = kDefaultPermutations, std::uint64_t seed = kDefaultPermutationSeed,
    const PermutationProgress& progress = {});

/// The same test with every one of the n! orderings of x (the observed one
/// included), in lexicographic order: the exact permutation distribution, for
/// samples of at most kExactPermutationLimit specimens.
/// @throws NumericError as permutation_test, and for n > kExactPermutationLimit
std::optional<PermutationTestResult> exact_permutation_test(
    const Eigen::Ref<const Eigen::MatrixXd>& tangent, const Eigen::Ref<const Eigen::VectorXd>& x,
    const PermutationProgress& progress = {});

}  // namespace velmora::stats
