#pragma once

#include <Eigen/Core>

namespace velmora::shape {

/// Centroid size: the square root of the summed squared distances of the
/// landmarks from their centroid.
/// @param x k×c configuration (any number of rows and columns; c = 3 for
///          landmarks), coordinates in any unit
/// @return the centroid size in the unit of the coordinates; 0 for an empty x
double centsize3Da(const Eigen::Ref<const Eigen::MatrixXd>& x);

}  // namespace velmora::shape
