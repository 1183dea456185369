#pragma once

#include <Eigen/Core>

#include "core/notify.hpp"
#include "shape/types.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {

/// Configurations implied by sets of score changes: each row of `scores`
/// weights the columns of the reference's warp matrix (missing trailing
/// columns weigh 0); the weighted sum, a stacked displacement, is added to
/// the reference and the result fitted back onto it (fit_to_fixed_reference), leaving
/// shape change alone.
/// @param reference k×3 (normally centred, unit size, in principal axes)
/// @param scores    ms×ns, ms ≥ 1, ns ≤ 3p + 5, score order of partial_warp_scores
/// @return ms configurations, k×3 each, centred, unit centroid size
/// @throws NumericError for no rows, too many columns or non-finite scores,
///         and as thin_plate_basis for a reference without a basis; `note` as
///         for thin_plate_basis
shape::Stack deformations_from_scores(const shape::Config& reference, const Eigen::MatrixXd& scores,
                                      const Notify& note = {});

/// The same with the reference's basis already at hand (thin_plate_basis of
/// `reference`), as a program keeps it while the reference is unchanged.
shape::Stack deformations_from_scores(const WarpBasis& basis, const shape::Config& reference,
                                      const Eigen::MatrixXd& scores);

}  // namespace velmora::tps
