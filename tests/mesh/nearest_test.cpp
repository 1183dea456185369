// Nearest points on a surface against looking at every triangle.
#include "mesh/nearest.hpp"

#include <gtest/gtest.h>

#include <random>

#include "core/errors.hpp"

namespace velmora::mesh {
namespace {

// A bumpy sheet of small triangles with a few long slivers across it, so
// that a centroid near the query need not belong to the nearest triangle.
Surface bumpy_sheet() {
  Surface s;
  const int side = 12;
  s.vertices.resize(side * side + 2, 3);
  for (int i = 0; i < side; ++i)
    for (int j = 0; j < side; ++j)
      s.vertices.row(i * side + j) << i, j, 0.3 * std::sin(i) * std::cos(0.7 * j);
  s.vertices.row(side * side) << -5, 5.5, 2;
  s.vertices.row(side * side + 1) << 16, 5.5, 2;
  std::vector<Eigen::RowVector3i> t;
  for (int i = 0; i + 1 < side; ++i)
    for (int j = 0; j + 1 < side; ++j) {
      const int a = i * side + j;
      t.push_back({a, a + side, a + side + 1});
      t.push_back({a, a + side + 1, a + 1});
    }
  t.push_back({side * side, side * side + 1, 5});
  s.triangles.resize(static_cast<Eigen::Index>(t.size()), 3);
  for (std::size_t i = 0; i < t.size(); ++i) s.triangles.row(static_cast<Eigen::Index>(i)) = t[i];
  return s;
}

TEST(SurfaceIndex, FindsTheNearestPointOfEveryTriangle) {
  const Surface s = bumpy_sheet();
  const SurfaceIndex index(s);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-6, 17);
  for (int q = 0; q < 400; ++q) {
    const Eigen::RowVector3d p(u(rng), u(rng) * 0.7, u(rng) * 0.3);
    double best = 1e300;
    for (Eigen::Index t = 0; t < s.triangle_count(); ++t) {
      Eigen::Vector3d w;
      const Eigen::RowVector3d on = nearest_on_triangle(p, s.vertices.row(s.triangles(t, 0)),
                                                        s.vertices.row(s.triangles(t, 1)),
                                                        s.vertices.row(s.triangles(t, 2)), w);
      EXPECT_NEAR(w.sum(), 1, 1e-12);
      EXPECT_GE(w.minCoeff(), -1e-12);
      best = std::min(best, (on - p).norm());
    }
    const NearestPoint got = index.nearest(p);
    ASSERT_NEAR(got.distance, best, 1e-12) << "query " << q;
    EXPECT_NEAR((got.point - p).norm(), got.distance, 1e-12);
    EXPECT_NEAR(got.normal.norm(), 1, 1e-12);
  }
  Surface none;
  EXPECT_THROW(SurfaceIndex{none}, NumericError);
}

}  // namespace
}  // namespace velmora::mesh
