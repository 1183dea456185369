#pragma once

#include <Eigen/Core>
#include <memory>

#include "mesh/surface.hpp"

namespace velmora::mesh {

/// The point of a surface nearest to a query, with the surface's direction
/// there.
struct NearestPoint {
  Eigen::RowVector3d point;   ///< on one of the triangles
  Eigen::RowVector3d normal;  ///< unit: the vertex normals interpolated at `point`
  Eigen::Index triangle = 0;  ///< the triangle it lies on
  double distance = 0;        ///< from the query
};

/// Nearest points on the triangles of one surface, for many queries: a k-d
/// tree (nanoflann) over the triangles' centroids.  A query takes the
/// triangles whose centroids lie nearest, then every triangle whose centroid
/// is within the best distance so far plus the largest centroid-to-corner
/// distance of any triangle, so that the answer is exact whatever the
/// triangles' sizes: the nearest triangle's centroid can lie no further away
/// than that.  Queries may run on several threads at once.
class SurfaceIndex {
 public:
  /// Indexes `surface` (copied: the index stands alone).
  /// @throws NumericError naming the fault when the surface has no
  ///         triangles, an index out of range or a coordinate that is not
  ///         finite
  explicit SurfaceIndex(const Surface& surface);
  ~SurfaceIndex();
  SurfaceIndex(const SurfaceIndex&) = delete;
  SurfaceIndex& operator=(const SurfaceIndex&) = delete;

  /// The nearest point to `query` on the surface (ties: the lower triangle).
  NearestPoint nearest(const Eigen::RowVector3d& query) const;

  Eigen::Index triangle_count() const;

 private:
  struct Tree;
  std::unique_ptr<Tree> tree_;
};

/// The point of triangle (a, b, c) nearest to p, and its barycentric
/// weights (of a, b, c; they sum to 1, none negative).
Eigen::RowVector3d nearest_on_triangle(const Eigen::RowVector3d& p, const Eigen::RowVector3d& a,
                                       const Eigen::RowVector3d& b, const Eigen::RowVector3d& c,
                                       Eigen::Vector3d& weights);

}  // namespace velmora::mesh
