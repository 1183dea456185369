#pragma once

#include <Eigen/Core>

#include "shape/types.hpp"
#include "tps/point_warp.hpp"

namespace velmora::tps {

/// A transformation grid: a square grid on the plane of the reference's two
/// largest principal axes, through its centroid and a tenth wider than its
/// landmarks on every side, and the same grid carried onto the target by
/// the thin-plate spline that maps the reference's landmarks onto the
/// target's.  Node (i, j), i along the first axis and j along the second,
/// is row j·(columns + 1) + i of `plane` and of `warped`.
struct TransformationGrid {
  Eigen::Index columns = 0;   ///< cells along the first principal axis
  Eigen::Index rows = 0;      ///< cells along the second
  PointRows plane;            ///< the nodes on the reference's plane
  PointRows warped;           ///< the nodes where the spline carries them
  Eigen::RowVector3d normal;  ///< unit normal of the plane: the third principal axis
};

/// The grid for `reference` and `target` (k×3 each), `cells` cells along
/// the first principal axis and square cells.
/// @throws NumericError as ThinPlateSpline does (fewer than four landmarks,
///         a reference in one plane or with coinciding landmarks)
TransformationGrid transformation_grid(const shape::Config& reference, const shape::Config& target,
                                       int cells = 16);

}  // namespace velmora::tps
