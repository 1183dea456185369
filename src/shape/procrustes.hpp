#pragma once

#include <Eigen/Core>
#include <vector>

#include "core/tolerances.hpp"
#include "shape/types.hpp"

namespace velmora::shape {

/// Fits one configuration onto a reference: centres the subject, scales it
/// to unit centroid size and turns it by optimal_rotation.  The reference is used as
/// given (not centred or scaled); no further scaling towards it is applied.
/// @param reference k×3 target
/// @param subject   k×3 configuration to fit
/// @return k×3, centred, centroid size 1, turned onto `reference`
/// @throws NumericError when the landmark counts differ, a coordinate of
///         either configuration is not finite, or the subject's landmarks all
///         coincide
Config procrustes_fit(const Config& reference, const Config& subject);

/// Result of the generalized Procrustes superimposition.
struct GpaResult {
  Config reference;  ///< k×3 consensus: centred, centroid size 1
  Stack fitted;      ///< n configurations, each centred, centroid size 1
  /// Specimens (0-based, ascending) whose best orthogonal fit onto the
  /// reference of the last pass was a reflection; they were turned by the
  /// nearest proper rotation instead.
  std::vector<Eigen::Index> mirrored;
  int passes = 0;         ///< passes run
  bool converged = true;  ///< the reference settled (always true for generalized_procrustes)
  double last_move = 0;   ///< ‖reference change‖ of the last pass (Frobenius)
};

/// Generalized Procrustes superimposition with exactly three passes.  The
/// starting reference is the plain sum of the raw configurations, centred and
/// scaled to unit size; each pass fits every specimen (in order) onto the
/// previous pass's reference and takes the rescaled mean of the fitted
/// specimens as the next one.  A stack of one is centred and scaled only.
/// Works in place on the buffer of `data`.
/// @param data sample of n ≥ 1 configurations, k×3 each
/// @throws NumericError naming the specimen ("specimen 3", 1-based) whose
///         landmarks all coincide or whose coordinates are not finite, or
///         when the starting reference has centroid size 0
GpaResult generalized_procrustes(Stack data);

/// Generalized Procrustes superimposition to convergence with the optimal
/// rotation (Gower 1975; Rohlf & Slice 1990): the same start as generalized_procrustes,
/// then every centred, unit-size specimen is turned onto the reference by
/// rotation_from_cross_product (det +1) and the rescaled mean becomes the
/// next reference, until it moves less than kGpaConvergence or
/// kGpaMaxPasses passes have run (`converged` says which).
/// @param data sample of n ≥ 1 configurations, k×3 each
/// @throws NumericError as generalized_procrustes
GpaResult gpa_to_convergence(Stack data);

/// Fits every configuration of `data` onto a fixed `reference` by
/// procrustes_fit, in place.  The reference is not changed, centred or
/// scaled.  (The call-by-name entry also echoes the specimen count.)
/// @param reference k×3
/// @param data      n configurations, k×3 each
/// @throws NumericError as generalized_procrustes, or when the landmark counts differ or
///         the reference has a coordinate that is not finite
Stack fit_to_fixed_reference(const Config& reference, Stack data);

/// Fits every configuration of `data` onto a fixed `reference` by the
/// rotation that minimises the squared distance (Kabsch/Umeyama via the SVD
/// of the cross-product, rotation_from_cross_product, det +1): each is
/// centred, scaled to unit centroid size and turned, in place.  With a
/// centred, unit-size reference the squared distances that remain are the
/// squared (partial) Procrustes distances.  The reference is not changed.
/// @param reference k×3
/// @param data      n configurations, k×3 each
/// @throws NumericError as fit_to_fixed_reference
Stack fit_by_optimal_rotation(const Config& reference, Stack data);

/// A reference turned into its principal axes.
struct PrincipalAxes {
  Config reference;      ///< k×3: the input times `axes`
  Eigen::Matrix3d axes;  ///< unit eigenvectors of the landmark covariance as
                         ///< columns, ascending spread, det = +1
};

/// Principal axes of a configuration: the eigenvectors of the 3×3 sample
/// covariance of its columns (divisor k − 1) in ascending order of
/// eigenvalue, so the new x is the axis of least spread and the new z that of
/// greatest.  Signs follow one convention, so that a turned copy of a
/// sample gets the same axes: along each of the two axes of largest spread
/// the sum of the cubed (centred) coordinates is positive, or, when that sum
/// is below kAxisSignTolerance of the sum of their absolute values, the
/// first landmark whose coordinate exceeds kAxisSignTolerance of the largest
/// has a positive one; the axis of least spread is their cross product, so
/// the axes form a proper rotation (det +1) and the sample turned with them
/// is never mirrored.
/// @param reference k×3, k ≥ 2
PrincipalAxes principal_axes(const Config& reference);

}  // namespace velmora::shape
