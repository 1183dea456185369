#pragma once

#include <Eigen/Core>

#include "shape/types.hpp"

namespace velmora::shape {

/// Squared Procrustes distance of every specimen from a reference: the sum
/// over landmarks and coordinates of (reference − specimen)², no square root,
/// nothing centred, scaled or rotated.
/// @param reference k×3
/// @param data      n configurations, k×3 each
/// @return 1×n, entry i for specimen i, in squared coordinate units
/// @throws NumericError when the landmark counts differ
Eigen::RowVectorXd procrustes_distances(const Config& reference, const Stack& data);

/// The one text with which every shape statistic refuses a sample without
/// shape variation.
inline constexpr const char* kNoShapeVariationText =
    "All specimens have the same shape after superimposition: there is no shape variation to "
    "analyse.";

/// Root mean square of the Procrustes distances of superimposed specimens
/// from their consensus: √(Σᵢ ‖reference − specimenᵢ‖² / n), in the units of
/// the configurations (unit centroid size after a superimposition).
/// @param reference k×3
/// @param data      n ≥ 1 configurations, k×3 each
double rms_distance(const Config& reference, const Stack& data);

/// Refuses a superimposed sample whose specimens differ from the consensus
/// by less than kShapeVariationTolerance (rms_distance at unit size): what
/// is left is rounding noise, from which no statistic can be drawn.  Exact
/// and turned, moved or rescaled copies of one shape alike.
/// @param reference k×3, unit centroid size
/// @param fitted    n configurations fitted onto it, unit centroid size
/// @throws NumericError kNoShapeVariationText
void require_shape_variation(const Config& reference, const Stack& fitted);

}  // namespace velmora::shape
