#pragma once

#include <Eigen/Core>

namespace velmora::shape {

/// Below and above these plain Euclidean norms, whose squares may have lost
/// digits to underflow or overflowed, a norm is taken again by Eigen's
/// stableNorm.
inline constexpr double kPlainNormLow = 1e-140, kPlainNormHigh = 1e140;

/// The Frobenius norm of `m`, right for any size a double can hold: the plain
/// sum of squares where its result is far from the limits of the doubles (so
/// ordinary data give the same bits as .norm()), stableNorm beyond them
/// (coordinates of 1e-300 or 1e300).
template <typename Derived>
double robust_norm(const Eigen::MatrixBase<Derived>& m) {
  const double plain = m.norm();
  if (plain > kPlainNormLow && plain < kPlainNormHigh) return plain;
  return m.stableNorm();
}

/// Centroid size: the square root of the summed squared distances of the
/// landmarks from their centroid.
/// @param x k×c configuration (any number of rows and columns; c = 3 for
///          landmarks), coordinates in any unit
/// @return the centroid size in the unit of the coordinates (robust_norm, so
///         coordinates of 1e-300 have a size); 0 for an empty x
double centroid_size(const Eigen::Ref<const Eigen::MatrixXd>& x);

}  // namespace velmora::shape
