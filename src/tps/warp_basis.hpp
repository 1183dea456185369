#pragma once

#include <Eigen/Core>
#include <vector>

#include "shape/types.hpp"

namespace velmora::tps {

/// The shape basis of a reference: partial warps of the three-dimensional
/// thin-plate spline (kernel U(r) = r, Bookstein 1989 bending energy) followed
/// by five uniform components.  Displacement vectors use the stacked layout:
/// 3k entries, all x components, then all y, then all z.
struct WarpBasis {
  /// k×k eigenvectors of the bending-energy matrix, unit columns, in the
  /// solver's ascending order of eigenvalue.
  Eigen::MatrixXd eigenvectors;
  /// k eigenvalues, ascending, matching the columns above.
  Eigen::VectorXd eigenvalues;
  /// 3k×5 uniform components U1, U2, U3 (shears in the xy, yz and xz planes)
  /// and T1, T2 (stretches along y and z), unit columns.
  Eigen::MatrixXd uniform;
  /// 3k×(3p+5) warp matrix: for each retained eigenvector e, in order, the
  /// columns [e;0;0], [0;e;0], [0;0;e]; then the five uniform columns.
  Eigen::MatrixXd warps;
  /// k×k kernel: Euclidean distances between landmarks, zero diagonal.
  Eigen::MatrixXd kernel;
  /// p, the number of retained eigenvectors (k − 4 in general position).
  int retained = 0;
};

/// Indices of the eigenvalues that carry a partial warp: |λi| >
/// max(kWarpAbsoluteTolerance, kWarpRelativeTolerance · max |λ|), strictly.
/// The order is kept; nothing is sorted.
std::vector<Eigen::Index> retained_warps(const Eigen::VectorXd& eigenvalues);

/// Builds the shape basis of a reference.  The bending-energy matrix is the
/// upper-left k×k block of the inverse of L = [K Q; Qᵀ 0], Q = [1 X Y Z],
/// found for the reference centred and scaled to unit centroid size and
/// divided by its size, so a reference of any size or position (1e-12 or 1e7)
/// is judged singular, and its warps retained, exactly as its unit copy;
/// `eigenvalues` are in the reference's own units (energy per unit length).
/// @param reference k×3, normally centred, unit centroid size, in principal
///        axes (then the uniform columns are orthonormal and orthogonal to the
///        partial warps)
/// @throws RuntimeError when L is singular, saying why: fewer than four
///         landmarks, two landmarks coinciding, all landmarks in one plane,
///         non-finite coordinates
WarpBasis lmatrix3da(const shape::Config& reference);

}  // namespace velmora::tps
