#pragma once

#include <Eigen/Core>

#include "shape/types.hpp"

namespace velmora::shape {

/// Procrustes tangent coordinates (Rohlf 1999, orthogonal projection): every
/// superimposed specimen projected orthogonally onto the plane that touches
/// the shape space at the reference, as its deviation from the reference.
/// With u the reference's stacked vector scaled to unit length and x a
/// specimen's stacked vector, the row is x − (x·u)·u; it is orthogonal to the
/// reference.  Specimens near the reference keep their deviations to second
/// order; linear statistics (regression, principal components, permutation
/// tests) then work in a Euclidean space.
/// @param reference k×3 consensus of the superimposition (any non-zero size;
///        normally centred, unit centroid size)
/// @param fitted    n ≥ 1 specimens superimposed onto it, k×3 each
/// @return n×3k, row i for specimen i in the stacked layout (all x, then all y,
///         then all z), in the fitted specimens' units
/// @throws NumericError when the landmark counts differ, a coordinate is not
///         finite, the sample is empty, or the reference is all zeros
Eigen::MatrixXd tangent_coordinates(const Config& reference, const Stack& fitted);

}  // namespace velmora::shape
