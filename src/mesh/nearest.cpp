#include "mesh/nearest.hpp"

#include <Eigen/Geometry>
#include <algorithm>
#include <cmath>
#include <limits>
#include <nanoflann.hpp>
#include <vector>

#include "core/errors.hpp"

namespace velmora::mesh {

namespace {

struct CentroidCloud {
  Points centroids;
  std::size_t kdtree_get_point_count() const { return static_cast<std::size_t>(centroids.rows()); }
  double kdtree_get_pt(std::size_t i, std::size_t d) const {
    return centroids(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(d));
  }
  template <class Box>
  bool kdtree_get_bbox(Box&) const {
    return false;
  }
};
using CentroidTree =
    nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, CentroidCloud>,
                                        CentroidCloud, 3, std::size_t>;

// The triangles a query looks at first.
constexpr std::size_t kFirstCandidates = 8;

}  // namespace

struct SurfaceIndex::Tree {
  Points vertices;
  Triangles triangles;
  Points normals;
  CentroidCloud cloud;
  double reach = 0;  // the largest distance from a centroid to its corners
  CentroidTree tree;
  explicit Tree(const Surface& s)
      : vertices(s.vertices),
        triangles(s.triangles),
        normals(vertex_normals(s.vertices, s.triangles)),
        cloud{centroids_of(s)},
        tree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(10)) {
    for (Eigen::Index t = 0; t < triangles.rows(); ++t)
      for (int c = 0; c < 3; ++c)
        reach = std::max(reach, (vertices.row(triangles(t, c)) - cloud.centroids.row(t)).norm());
    tree.buildIndex();
  }
  static Points centroids_of(const Surface& s) {
    Points c(s.triangle_count(), 3);
    for (Eigen::Index t = 0; t < s.triangle_count(); ++t)
      c.row(t) = (s.vertices.row(s.triangles(t, 0)) + s.vertices.row(s.triangles(t, 1)) +
                  s.vertices.row(s.triangles(t, 2))) /
                 3.0;
    return c;
  }
};

SurfaceIndex::SurfaceIndex(const Surface& surface) {
  check_surface(surface);
  tree_ = std::make_unique<Tree>(surface);
}

SurfaceIndex::~SurfaceIndex() = default;

Eigen::Index SurfaceIndex::triangle_count() const {
  return tree_->triangles.rows();
}

Eigen::RowVector3d nearest_on_triangle(const Eigen::RowVector3d& p, const Eigen::RowVector3d& a,
                                       const Eigen::RowVector3d& b, const Eigen::RowVector3d& c,
                                       Eigen::Vector3d& w) {
  // The Voronoi regions of the corners, then of the edges, then the face
  // (Ericson, Real-Time Collision Detection, 5.1.5).
  const Eigen::RowVector3d ab = b - a, ac = c - a, ap = p - a;
  const double d1 = ab.dot(ap), d2 = ac.dot(ap);
  if (d1 <= 0 && d2 <= 0) {
    w = {1, 0, 0};
    return a;
  }
  const Eigen::RowVector3d bp = p - b;
  const double d3 = ab.dot(bp), d4 = ac.dot(bp);
  if (d3 >= 0 && d4 <= d3) {
    w = {0, 1, 0};
    return b;
  }
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) {
    const double v = d1 / (d1 - d3);
    w = {1 - v, v, 0};
    return a + v * ab;
  }
  const Eigen::RowVector3d cp = p - c;
  const double d5 = ab.dot(cp), d6 = ac.dot(cp);
  if (d6 >= 0 && d5 <= d6) {
    w = {0, 0, 1};
    return c;
  }
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) {
    const double v = d2 / (d2 - d6);
    w = {1 - v, 0, v};
    return a + v * ac;
  }
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
    const double v = (d4 - d3) / ((d4 - d3) + (d5 - d6));
    w = {0, 1 - v, v};
    return b + v * (c - b);
  }
  const double total = va + vb + vc;
  if (!(total > 0)) {  // a degenerate triangle: its nearest corner
    const double da = (p - a).squaredNorm(), db = (p - b).squaredNorm(), dc = (p - c).squaredNorm();
    w = da <= db && da <= dc ? Eigen::Vector3d(1, 0, 0)
        : db <= dc           ? Eigen::Vector3d(0, 1, 0)
                             : Eigen::Vector3d(0, 0, 1);
    return w(0) * a + w(1) * b + w(2) * c;
  }
  const double v = vb / total, u = vc / total;
  w = {1 - v - u, v, u};
  return a + v * ab + u * ac;
}

NearestPoint SurfaceIndex::nearest(const Eigen::RowVector3d& query) const {
  const Tree& t = *tree_;
  const auto count = static_cast<std::size_t>(t.triangles.rows());
  NearestPoint best;
  best.distance = std::numeric_limits<double>::infinity();
  Eigen::Vector3d best_weights(1, 0, 0);
  std::vector<std::size_t> found;
  std::vector<double> squared;
  std::size_t looked = 0;  // the candidates, nearest centroid first, already tried
  for (std::size_t want = std::min(kFirstCandidates, count);; want = std::min(2 * want, count)) {
    found.resize(want);
    squared.resize(want);
    const std::size_t got = t.tree.knnSearch(query.data(), want, found.data(), squared.data());
    for (std::size_t j = looked; j < got; ++j) {
      const auto tri = static_cast<Eigen::Index>(found[j]);
      Eigen::Vector3d w;
      const Eigen::RowVector3d on = nearest_on_triangle(query, t.vertices.row(t.triangles(tri, 0)),
                                                        t.vertices.row(t.triangles(tri, 1)),
                                                        t.vertices.row(t.triangles(tri, 2)), w);
      const double d = (on - query).norm();
      if (d < best.distance || (d == best.distance && tri < best.triangle)) {
        best.distance = d;
        best.point = on;
        best.triangle = tri;
        best_weights = w;
      }
    }
    looked = got;
    // Every triangle whose centroid lies beyond best + reach is further than
    // the best point: once the farthest centroid found is beyond it, done.
    const double bound = best.distance + t.reach;
    if (got == count || std::sqrt(squared[got - 1]) > bound) break;
  }
  Eigen::RowVector3d n = Eigen::RowVector3d::Zero();
  for (int c = 0; c < 3; ++c) n += best_weights(c) * t.normals.row(t.triangles(best.triangle, c));
  if (n.norm() < 1e-12) {
    const Eigen::RowVector3d a = t.vertices.row(t.triangles(best.triangle, 0));
    n = (t.vertices.row(t.triangles(best.triangle, 1)) - a)
            .cross(t.vertices.row(t.triangles(best.triangle, 2)) - a);
  }
  const double len = n.norm();
  best.normal = len > 0 ? Eigen::RowVector3d(n / len) : Eigen::RowVector3d(0, 0, 1);
  return best;
}

}  // namespace velmora::mesh
