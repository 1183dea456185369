#pragma once

#include <Eigen/Core>

#include "shape/types.hpp"
#include "tps/warp_basis.hpp"

namespace velmora::tps {

/// Partial warp and uniform scores of every specimen on a given basis: the
/// projections of the specimen's stacked displacement from the reference on
/// the columns of `basis.warp_matrix()` (no centring on the sample mean, no bending
/// energy weights).
/// @param basis     thin_plate_basis(reference)
/// @param reference k×3
/// @param data      n superimposed configurations, k×3 each
/// @return n×(3p+5): row i for specimen i; column 3(r−1)+c is coordinate c of
///         retained warp r, then U1, U2, U3, T1, T2
/// @throws NumericError when the landmark counts differ
Eigen::MatrixXd warp_scores(const WarpBasis& basis, const shape::Config& reference,
                            const shape::Stack& data);

/// Scores of a sample on the basis of its reference (thin_plate_basis, then
/// warp_scores); `note` as for thin_plate_basis.
Eigen::MatrixXd partial_warp_scores(const shape::Config& reference, const shape::Stack& data,
                                    const Notify& note = {});

}  // namespace velmora::tps
