#pragma once

#include <Eigen/Core>

#include "shape/types.hpp"

namespace velmora::shape {

/// Principal components of a sample of shape variables.
struct ShapePca {
  /// 1×p column means of the analysed variables (the mean tangent deviation
  /// from the reference for tangent coordinates).
  Eigen::RowVectorXd mean;
  /// r variances of the components (eigenvalues of the sample covariance,
  /// divisor n − 1), descending, in squared units of the variables.
  Eigen::VectorXd variances;
  /// r shares of the total variance (the trace of the covariance, every
  /// direction counted), each in [0, 1]; they sum to 1 up to the dropped
  /// rounding-level directions.
  Eigen::VectorXd shares;
  /// n×r scores: row i holds specimen i's coordinates on the components
  /// (its centred variables times the loadings).
  Eigen::MatrixXd scores;
  /// p×r loadings: unit, mutually orthogonal columns; in each the entry of
  /// largest magnitude is positive (orient_by_largest_entry).
  Eigen::MatrixXd loadings;
};

/// The sign convention of eigenvectors, shared by the principal components
/// and the partial warps: every column is turned so that its entry of largest
/// magnitude is positive; when several entries lie within kSignTieTolerance
/// (relative) of the largest, the first of them decides.  A zero column is
/// left as it is.
/// @param vectors m×r, in place
void orient_by_largest_entry(Eigen::Ref<Eigen::MatrixXd> vectors);

/// Principal component analysis by the singular value decomposition of the
/// column-centred data, Yᶜ = U·S·Vᵀ (no covariance matrix is formed):
/// variances S²/(n − 1), loadings V, scores Yᶜ·V = U·S.  Components whose
/// singular value is at most kComponentTolerance times the largest are
/// rounding noise and left out, so r ≤ min(n − 1, p) and for Procrustes
/// tangent coordinates of k landmarks r ≤ 3k − 7.
/// @param variables n×p, one row per specimen: Procrustes tangent coordinates
///        (tangent_coordinates) in the stacked layout
/// @throws NumericError for fewer than two specimens, non-finite values, or
///         every specimen equal (no variance to analyse)
ShapePca principal_components(const Eigen::Ref<const Eigen::MatrixXd>& variables);

/// The mean shape moved along one principal component: reference + mean +
/// factor·√variance·loading, reshaped from the stacked layout to k×3.  It
/// stays in the tangent plane (not rescaled to unit size), so equal factors of
/// opposite sign move equally far from the mean.
/// @param reference k×3, the reference the tangent coordinates were taken at
/// @param pca       principal_components of those tangent coordinates (3k
///                  variables)
/// @param component 0-based index of the component, < pca.variances.size()
/// @param factor    displacement in standard deviations of the component
/// @return k×3
/// @throws NumericError when the counts do not match, the component does not
///         exist, or a value is not finite
Config component_shape(const Config& reference, const ShapePca& pca, Eigen::Index component,
                       double factor);

}  // namespace velmora::shape
