#pragma once

#include <Eigen/Core>

#include "shape/types.hpp"

namespace velmora::shape {

/// The orthogonal 3×3 matrix y that turns `subject` onto `reference`
/// (subject·y ≈ reference).  Takes the least-squares linear map A solving
/// subject·A = reference, then the orthogonal factor U·Vᵀ of its polar
/// decomposition (A = U·S·Vᵀ by SVD).  This equals the Kabsch rotation only
/// when subjectᵀ·subject is a multiple of the identity.  A reflection is kept
/// (det y = −1) when A has a negative determinant.  Neither input is centred
/// or scaled; for a subject of rank below 3 the minimum-norm least-squares map
/// is used.
/// @param reference k×3 target configuration
/// @param subject   k×3 configuration to turn, normally centred
/// @throws RuntimeError when the landmark counts differ
Eigen::Matrix3d svdrot2(const Eigen::Ref<const Config>& reference,
                        const Eigen::Ref<const Config>& subject);

/// The orthogonal factor of svdrot2 from the two products it needs:
/// `sts` = subjectᵀ·subject and `str` = subjectᵀ·reference (both 3×3).
/// Scaling the subject by c > 0 scales both products and leaves the result
/// unchanged.
Eigen::Matrix3d rotation_from_products(const Eigen::Matrix3d& sts, const Eigen::Matrix3d& str);

/// Applies one orientation matrix on the right of every configuration:
/// slice i becomes slice i · roto.  In place, no allocation per specimen.
/// @param x    sample of n configurations, k×3 each
/// @param roto 3×3 orientation matrix
void rotate3da(Stack& x, const Eigen::Matrix3d& roto);

}  // namespace velmora::shape
