#pragma once

#include <Eigen/Core>

#include "shape/types.hpp"

namespace velmora::tps {

/// Points in three dimensions, one a row (a surface's vertices).
using PointRows = Eigen::Matrix<double, Eigen::Dynamic, 3>;

/// The three-dimensional thin-plate spline that carries `source` landmarks
/// exactly onto `target` landmarks, with the kernel of the bending energy
/// (U(r) = r, Bookstein 1989):
///   f(x) = a + A x + Σi wi |x − si|,  Σi wi = 0,  Σi wi siᵀ = 0.
/// The system [K Q; Qᵀ 0] [W; (a A)ᵀ] = [Y; 0] is solved for the source
/// centred and scaled to unit centroid size, so a source of any size or
/// position is conditioned alike.  Equal source and target give W = 0 and
/// the identity, up to rounding; an affine target gives that affine map.
class ThinPlateSpline {
 public:
  /// @param source k×3, k ≥ 4, not all in one plane, no two coinciding
  /// @param target k×3, any finite values
  /// @throws NumericError when the counts differ, a coordinate is not
  ///         finite, there are fewer than four landmarks, or the source is
  ///         degenerate (coinciding landmarks, all in one plane)
  ThinPlateSpline(const shape::Config& source, const shape::Config& target);

  /// The spline at every row of `points` (n×3); kernel sums in blocks of
  /// points, vectorised, on up to `threads` threads (0: the machine's cores).
  PointRows warp(const Eigen::Ref<const PointRows>& points, int threads = 0) const;

  /// k×3 kernel weights W for distances in the source's own units: the
  /// bending energy of the warp is trace(Wᵀ K W) with K the distances.
  Eigen::MatrixXd weights() const { return weights_ / scale_; }

  Eigen::Index landmarks() const { return unit_source_.rows(); }

 private:
  /// Warps rows [begin, end) of `points` into `out`.
  void warp_rows(const Eigen::Ref<const PointRows>& points, PointRows& out, Eigen::Index begin,
                 Eigen::Index end) const;

  Eigen::RowVector3d centre_;
  double scale_ = 1;
  Eigen::Matrix<double, Eigen::Dynamic, 3> unit_source_;  ///< (source − centre) / scale
  Eigen::Matrix<double, Eigen::Dynamic, 3> weights_;      ///< per unit of scaled distance
  Eigen::Matrix<double, 4, 3> affine_;                    ///< rows a, then A for scaled x
};

}  // namespace velmora::tps
