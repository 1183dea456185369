#include "tps/grid.hpp"

#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <Eigen/SVD>
#include <algorithm>
#include <random>
#include <vector>

namespace velmora::tps {
namespace {

std::vector<Eigen::RowVector3d> sorted_rows(const PointRows& p, double step) {
  std::vector<Eigen::RowVector3d> rows;
  for (Eigen::Index i = 0; i < p.rows(); ++i) rows.push_back(p.row(i));
  // Rounded keys, so that rounding noise does not reorder equal nodes.
  auto key = [step](const Eigen::RowVector3d& r) {
    return std::array<long long, 3>{std::llround(r(0) / step), std::llround(r(1) / step),
                                    std::llround(r(2) / step)};
  };
  std::sort(rows.begin(), rows.end(),
            [&](const auto& a, const auto& b) { return key(a) < key(b); });
  return rows;
}

// The grid lies on the reference's principal plane around all its
// landmarks, the spline carries it (an affine change carries it affinely),
// and moving both shapes together moves the grid with them.
TEST(TransformationGrid, LiesOnThePrincipalPlaneAndFollowsTheSpline) {
  std::mt19937 rng(5);
  std::normal_distribution<double> n(0, 1);
  shape::Config ref(14, 3);
  for (Eigen::Index i = 0; i < ref.rows(); ++i)
    ref.row(i) =
        Eigen::RowVector3d(40 * n(rng), 15 * n(rng), 5 * n(rng)) + Eigen::RowVector3d(100, -20, 7);
  shape::Config target = ref;
  for (Eigen::Index i = 0; i < target.size(); ++i) target.data()[i] += 2 * n(rng);

  const TransformationGrid grid = transformation_grid(ref, target, 16);
  ASSERT_EQ(grid.columns, 16);
  ASSERT_EQ(grid.plane.rows(), (grid.columns + 1) * (grid.rows + 1));
  const Eigen::RowVector3d c = ref.colwise().mean();
  const Eigen::JacobiSVD<Eigen::MatrixXd> svd(ref.rowwise() - c, Eigen::ComputeThinV);
  const Eigen::Vector3d u = svd.matrixV().col(0), v = svd.matrixV().col(1),
                        w = svd.matrixV().col(2);
  EXPECT_LE(((grid.plane.rowwise() - c) * w).cwiseAbs().maxCoeff(), 1e-9);
  EXPECT_NEAR(std::abs(grid.normal.dot(w)), 1, 1e-12);
  // Square cells, a tenth wider than the landmarks along the first axis and
  // at least that along the second.
  const double side = (grid.plane.row(1) - grid.plane.row(0)).norm();
  EXPECT_NEAR((grid.plane.row(grid.columns + 1) - grid.plane.row(0)).norm(), side, 1e-9);
  const Eigen::VectorXd a = (ref.rowwise() - c) * u, b = (ref.rowwise() - c) * v;
  const Eigen::VectorXd ga = (grid.plane.rowwise() - c) * u, gb = (grid.plane.rowwise() - c) * v;
  const double a_span = a.maxCoeff() - a.minCoeff(), b_span = b.maxCoeff() - b.minCoeff();
  EXPECT_NEAR(ga.maxCoeff() - ga.minCoeff(), 1.2 * a_span, 1e-9);
  EXPECT_GE(gb.maxCoeff() - gb.minCoeff(), 1.2 * b_span - 1e-9);
  EXPECT_LT(gb.maxCoeff() - gb.minCoeff(), 1.2 * b_span + side);
  EXPECT_GT(gb.minCoeff(), b.minCoeff() - 0.1 * b_span - side);

  // An affine target: the grid is that affine map of the plane.
  const Eigen::Matrix3d m = Eigen::AngleAxisd(0.4, Eigen::Vector3d(1, -2, 1).normalized()) *
                            Eigen::Vector3d(1.3, 0.8, 1.0).asDiagonal();
  const Eigen::RowVector3d t(5, 6, -7);
  const shape::Config affine = (ref * m.transpose()).rowwise() + t;
  const TransformationGrid ga_grid = transformation_grid(ref, affine, 16);
  EXPECT_LE(
      (ga_grid.warped - ((ga_grid.plane * m.transpose()).rowwise() + t)).cwiseAbs().maxCoeff(),
      1e-8);

  // Both shapes turned and moved together: the same grid, turned and moved
  // (its nodes in any order: the axes' signs are free).
  const Eigen::Matrix3d r =
      Eigen::AngleAxisd(1.1, Eigen::Vector3d(0.2, 1, -0.5).normalized()).toRotationMatrix();
  const Eigen::RowVector3d s(-30, 4, 12);
  const TransformationGrid moved = transformation_grid((ref * r.transpose()).rowwise() + s,
                                                       (target * r.transpose()).rowwise() + s, 16);
  ASSERT_EQ(moved.warped.rows(), grid.warped.rows());
  const auto want = sorted_rows((grid.warped * r.transpose()).rowwise() + s, side / 50);
  const auto got = sorted_rows(moved.warped, side / 50);
  double worst = 0;
  for (std::size_t i = 0; i < want.size(); ++i) worst = std::max(worst, (want[i] - got[i]).norm());
  EXPECT_LE(worst, 1e-8);
}

}  // namespace
}  // namespace velmora::tps
