#pragma once

#include <Eigen/Core>
#include <string>
#include <vector>

#include "shape/types.hpp"

namespace velmora::stats {

/// What the outlier screen is run with.
struct OutlierParams {
  /// n group codes (a factor's levels as 0, 1, …), one a specimen; empty:
  /// the whole sample is one group.
  std::vector<int> groups;
  /// The share of the group's shape variance that the principal components
  /// of the Mahalanobis distance reach (the fewest components that do),
  /// capped by n_g − 2 for a group of n_g specimens.
  double variance_share = 0.95;
};

/// One group's part of the screen.
struct OutlierGroup {
  int code = 0;                       ///< the group code (0 without groups)
  std::vector<Eigen::Index> members;  ///< 0-based specimens, file order
  double q1 = 0, q3 = 0;              ///< quartiles of the distances (R's type 7)
  double fence = 0;                   ///< upper fence q3 + 1.5·(q3 − q1)
  Eigen::Index components = 0;        ///< m, the components of the Mahalanobis distance
};

/// The outlier screen of a superimposed sample.
struct OutlierReport {
  /// n Procrustes distances of each specimen to its group's mean on the
  /// tangent coordinates (‖tᵢ − t̄_g‖), file order.
  Eigen::VectorXd distance;
  /// n Mahalanobis distances to the group's mean on its first m principal
  /// components (√Σ scoreₐ²/varianceₐ), and their upper χ²(m) probabilities.
  Eigen::VectorXd mahalanobis;
  Eigen::VectorXd probability;
  /// The specimens from largest distance to smallest (ties in file order).
  std::vector<Eigen::Index> order;
  /// The specimens above their group's fence, in `order`.
  std::vector<Eigen::Index> above_fence;
  std::vector<OutlierGroup> groups;
};

/// R's type-7 quantile of `values` (any order): with the sorted values
/// x₁ ≤ … ≤ xₙ and h = (n − 1)·p, x⌊h⌋+1 + (h − ⌊h⌋)(x⌊h⌋+2 − x⌊h⌋+1).
/// @throws NumericError for no value or p outside [0, 1]
double quantile_type7(std::vector<double> values, double p);

/// The outlier screen (geomorph's plotOutliers, with the Mahalanobis
/// distance beside it): every specimen's Procrustes distance to the mean of
/// its group on the tangent coordinates, sorted from largest, each group's
/// upper fence Q3 + 1.5·IQR, and the Mahalanobis distance on the group's
/// first m principal components with its χ² probability.
/// @param tangent n×3k tangent coordinates (shape::tangent_coordinates)
/// @throws NumericError when the group codes do not number the specimens, or
///   a group has fewer than three specimens or no shape variance
OutlierReport outlier_screen(const Eigen::Ref<const Eigen::MatrixXd>& tangent,
                             const OutlierParams& params);

/// `NAME  DISTANCE`, one line a specimen, largest distance first; six
/// significant digits, or with `full_precision` the shortest text that
/// reads back to the same double.  Names are "specimen i" when `names` is
/// empty.
std::string outlier_report_text(const OutlierReport& report, const std::vector<std::string>& names,
                                bool full_precision);

/// A pair of landmarks that look swapped in one specimen.
struct LandmarkSwap {
  Eigen::Index specimen = 0;  ///< 0-based
  Eigen::Index first = 0;     ///< 0-based, first < second
  Eigen::Index second = 0;
  double before = 0;  ///< the specimen's Procrustes distance to the mean
  double after = 0;   ///< the same after the swap and a new fit
};

/// The screen for swapped landmarks.  For each fitted specimen the
/// candidates are the pairs among its `screened` landmarks farthest from
/// the mean and the pairs of each of those with its `neighbours` nearest
/// landmarks in the mean, so that a swap of two distant landmarks is found
/// as well as one of neighbours; only these are refitted.  A swap leaves
/// the centroid and the size unchanged, so the new fit is the optimal
/// rotation of the swapped cross-product (Kabsch), and the distance
/// √(‖x‖² + ‖m‖² − 2·Σσ) needs no new configuration.  A specimen is
/// reported when its best swap more than halves its distance (partial
/// Procrustes distance ‖x − m‖ of the fit) to the mean.
/// @param mean   k×3 consensus, centred, unit centroid size
/// @param fitted n specimens superimposed onto it (centred, unit size)
/// @return the reported swaps, by specimen
/// @throws NumericError when the landmark counts differ or k < 3
std::vector<LandmarkSwap> find_swapped_landmarks(const shape::Config& mean,
                                                 const shape::Stack& fitted, int screened = 6,
                                                 int neighbours = 3);

/// `specimen 12: landmarks 7 and 8 look swapped; its distance to the mean
/// drops from 0.12 to 0.03`, with the name when one is given (numbers from
/// 1, distances with six significant digits).
std::string swap_text(const LandmarkSwap& swap, const std::vector<std::string>& names);

/// Swaps landmarks `a` and `b` (0-based) of specimen `specimen` in place.
/// @throws NumericError, changing nothing, when either does not exist or
///   a == b
void swap_landmarks(shape::Stack& sample, Eigen::Index specimen, Eigen::Index a, Eigen::Index b);

}  // namespace velmora::stats
