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
Eigen::RowVectorXd getpdistance3(const Config& reference, const Stack& data);

}  // namespace velmora::shape
