#pragma once

#include <Eigen/Core>

#include "shape/types.hpp"

namespace velmora::shape {

/// A proper rotation fitted by an orthogonal-Procrustes method, and whether
/// the best orthogonal matrix of that method would have been a reflection.
struct RotationFit {
  Eigen::Matrix3d rotation;  ///< 3×3, orthogonal, det = +1
  bool mirrored = false;     ///< the unconstrained best fit had det = −1
};

/// The proper rotation y that turns `subject` onto `reference`
/// (subject·y ≈ reference).  Takes the least-squares linear map A solving
/// subject·A = reference, then the orthogonal factor U·Vᵀ of its polar
/// decomposition (A = U·S·Vᵀ by SVD).  This equals the Kabsch rotation only
/// when subjectᵀ·subject is a multiple of the identity.  When A has a
/// negative determinant the orthogonal factor is a reflection; the direction
/// of A's smallest singular value is then flipped, U·diag(1, 1, −1)·Vᵀ, the
/// nearest proper rotation (Kabsch 1978's correction), so a mirror image is
/// never fitted as the same shape.  Neither input is centred or scaled; for
/// a subject of rank below 3 the minimum-norm least-squares map is used.
/// @param reference k×3 target configuration
/// @param subject   k×3 configuration to turn, normally centred
/// @return 3×3 with det = +1
/// @throws NumericError when the landmark counts differ or a coordinate is
///         not finite
Eigen::Matrix3d optimal_rotation(const Eigen::Ref<const Config>& reference,
                                 const Eigen::Ref<const Config>& subject);

/// The rotation of optimal_rotation from the two products it needs:
/// `sts` = subjectᵀ·subject and `str` = subjectᵀ·reference (both 3×3).
/// Scaling the subject by c > 0 scales both products and leaves the result
/// unchanged.
RotationFit rotation_from_products(const Eigen::Matrix3d& sts, const Eigen::Matrix3d& str);

/// The rotation that minimises ‖subject·y − reference‖ over proper rotations
/// (Kabsch 1976/1978; Umeyama 1991): from the SVD of the cross-product
/// `cross` = subjectᵀ·reference = U·S·Vᵀ, y = U·diag(1, 1, d)·Vᵀ with
/// d = sign det(U·Vᵀ).  Both configurations should be centred; their scale
/// does not matter.
/// @param cross 3×3 cross-product matrix
RotationFit rotation_from_cross_product(const Eigen::Matrix3d& cross);

/// Applies one orientation matrix on the right of every configuration:
/// slice i becomes slice i · roto.  In place, no allocation per specimen.
/// @param x    sample of n configurations, k×3 each
/// @param roto 3×3 orientation matrix
void rotate_all(Stack& x, const Eigen::Matrix3d& roto);

}  // namespace velmora::shape
