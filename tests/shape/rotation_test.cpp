#include "shape/rotation.hpp"

#include <gtest/gtest.h>

#include <Eigen/SVD>
#include <cmath>
#include <limits>
#include <string>

#include "core/errors.hpp"
#include "shape/centroid_size.hpp"
#include "shape/random_shapes.hpp"

namespace velmora::shape {
namespace {

using testing::RandomShapes;

Config tetrahedron() {
  Config x(4, 3);
  x << 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1;
  return x;
}

TEST(CentroidSize, ClosedValueAndInvariances) {
  EXPECT_DOUBLE_EQ(centroid_size(tetrahedron()), 1.5);
  const Config moved = tetrahedron().rowwise() + Eigen::RowVector3d(5, -7, 100);
  EXPECT_NEAR(centroid_size(moved), 1.5, 1e-13);
  EXPECT_NEAR(centroid_size(3.5 * tetrahedron()), 5.25, 1e-14);
  // Any number of columns is measured the same way.
  Eigen::MatrixXd two(2, 2);
  two << 0, 0, 2, 0;
  EXPECT_DOUBLE_EQ(centroid_size(two), std::sqrt(2.0));
  EXPECT_EQ(centroid_size(Eigen::MatrixXd()), 0.0);
}

// tr(yᵀ·a) of the best proper rotation y is at least that of any other: the
// nearest rotation to a maximises it.  Checked against many random turns.
void expect_best_proper_rotation(const Eigen::Matrix3d& y, const Eigen::Matrix3d& a,
                                 RandomShapes& rnd) {
  EXPECT_NEAR(y.determinant(), 1.0, 1e-12);
  EXPECT_TRUE((y * y.transpose()).isIdentity(1e-12));
  const double best = (y.transpose() * a).trace();
  for (int trial = 0; trial < 2000; ++trial) {
    const Eigen::Matrix3d q = rnd.rotation();
    ASSERT_LE((q.transpose() * a).trace(), best + 1e-12);
  }
}

TEST(Svdrot2, RecoversRotationsAndNeverReflects) {
  RandomShapes rnd(7);
  for (int trial = 0; trial < 10; ++trial) {
    const Config x = rnd.unit_cloud(12, {1, 2, 3});
    const Eigen::Matrix3d r = rnd.rotation();
    EXPECT_TRUE(optimal_rotation(x * r, x).isApprox(r, 1e-12));
    // Scaling either input and moving the reference leave the rotation.
    const Config far = (2.5 * x * r).rowwise() + Eigen::RowVector3d(3, 4, 5);
    EXPECT_TRUE(optimal_rotation(far, 0.1 * x).isApprox(r, 1e-12));
    EXPECT_FALSE(rotation_from_products(x.transpose() * x, x.transpose() * (x * r)).mirrored);
  }
  // A mirror image, stretched so that the least-squares map has distinct
  // singular values: the fit is the nearest proper rotation, and the
  // reflection is reported.
  const Config x = rnd.unit_cloud(9, {3, 2, 1});
  const Eigen::Matrix3d map = Eigen::Vector3d(1, -1, 1).asDiagonal() * rnd.rotation() *
                              Eigen::Vector3d(1.3, 1, 0.6).asDiagonal();
  const RotationFit fit = rotation_from_products(x.transpose() * x, x.transpose() * (x * map));
  EXPECT_TRUE(fit.mirrored);
  EXPECT_TRUE(fit.rotation.isApprox(optimal_rotation(x * map, x), 1e-14));
  expect_best_proper_rotation(fit.rotation, map, rnd);
}

TEST(Svdrot2, IsThePolarFactorOfTheLeastSquaresMap) {
  RandomShapes rnd(11);
  const Config subject = rnd.unit_cloud(15, {0.3, 1, 2});
  const Eigen::Matrix3d b = rnd.rotation() * Eigen::Vector3d(1.5, 1, 0.7).asDiagonal();
  const Config reference = subject * b + 0.05 * rnd.unit_cloud(15);
  // Least squares through an SVD of the subject itself, an independent route.
  const Eigen::MatrixXd s = subject;
  const Eigen::Matrix3d a =
      s.jacobiSvd(Eigen::ComputeThinU | Eigen::ComputeThinV).solve(Eigen::MatrixXd(reference));
  ASSERT_GT(a.determinant(), 0);
  const Eigen::JacobiSVD<Eigen::Matrix3d> polar(a, Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Eigen::Matrix3d expected = polar.matrixU() * polar.matrixV().transpose();
  const Eigen::Matrix3d y = optimal_rotation(reference, subject);
  EXPECT_TRUE(y.isApprox(expected, 1e-11));
  EXPECT_TRUE((y * y.transpose()).isIdentity(1e-12));
  // The cross-product (Kabsch) rotation is a different answer here.
  const RotationFit kabsch = rotation_from_cross_product(subject.transpose() * reference);
  EXPECT_FALSE(y.isApprox(kabsch.rotation, 1e-6));
}

TEST(CrossProductRotation, MinimisesTheDistanceOverProperRotations) {
  RandomShapes rnd(13);
  const Config x = rnd.unit_cloud(10, {1, 2, 3});
  const Eigen::Matrix3d r = rnd.rotation();
  const Config target = x * r + 0.02 * rnd.unit_cloud(10);
  const RotationFit fit = rotation_from_cross_product(x.transpose() * target);
  EXPECT_FALSE(fit.mirrored);
  // ‖x·y − target‖² = const − 2·tr(yᵀ·xᵀ·target): the best rotation maximises
  // the trace term.
  expect_best_proper_rotation(fit.rotation, x.transpose() * target, rnd);
  EXPECT_TRUE(rotation_from_cross_product(x.transpose() * (x * r)).rotation.isApprox(r, 1e-12));
  // The mirror image is reported and fitted by a proper rotation.
  const Config mirrored = x * Eigen::Vector3d(-1, 1, 1).asDiagonal();
  const RotationFit m = rotation_from_cross_product(x.transpose() * mirrored);
  EXPECT_TRUE(m.mirrored);
  expect_best_proper_rotation(m.rotation, x.transpose() * mirrored, rnd);
}

TEST(Svdrot2, FlatSubjectAndMismatchedCounts) {
  RandomShapes rnd(3);
  Config flat = rnd.unit_cloud(8);
  flat.col(2).setZero();
  const Eigen::Matrix3d turn_z = Eigen::AngleAxisd(0.7, Eigen::Vector3d::UnitZ()).matrix();
  const Eigen::Matrix3d y = optimal_rotation(flat * turn_z, flat);
  EXPECT_TRUE((y * y.transpose()).isIdentity(1e-12));
  EXPECT_TRUE((flat * y).isApprox(flat * turn_z, 1e-12));
  try {
    optimal_rotation(Config::Zero(4, 3), Config::Zero(5, 3));
    ADD_FAILURE();
  } catch (const NumericError& e) {
    EXPECT_STREQ(e.what(), "The reference has 4 landmarks but the subject has 5.");
  }
}

TEST(Svdrot2, RefusesCoordinatesThatAreNotFinite) {
  RandomShapes rnd(4);
  const Config good = rnd.unit_cloud(6);
  const double bad_values[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity()};
  for (const double bad : bad_values) {
    Config broken = good;
    broken(3, 1) = bad;
    for (const bool as_reference : {true, false}) {
      std::string text = "no error";
      try {
        as_reference ? optimal_rotation(broken, good) : optimal_rotation(good, broken);
      } catch (const NumericError& e) {
        text = e.what();
      }
      EXPECT_EQ(text, std::string("The optimal rotation cannot be found: the ") +
                          (as_reference ? "reference" : "subject") +
                          " has coordinates that are not finite numbers.");
    }
  }
}

TEST(Rotate3da, TurnsEverySliceAndQuarterTurnsRestoreExactly) {
  RandomShapes rnd(5);
  const Config a = rnd.cloud(6), b = rnd.cloud(6);
  Stack s = testing::stack_of({a, b});
  const Eigen::Matrix3d r = rnd.rotation();
  rotate_all(s, r);
  EXPECT_TRUE(Config(s.slice(0)).isApprox(a * r, 1e-14));
  EXPECT_TRUE(Config(s.slice(1)).isApprox(b * r, 1e-14));

  Eigen::Matrix3d quarter_x, quarter_z;
  quarter_x << 1, 0, 0, 0, 0, -1, 0, 1, 0;
  quarter_z << 0, -1, 0, 1, 0, 0, 0, 0, 1;
  for (const Eigen::Matrix3d& q : {quarter_x, quarter_z}) {
    Stack t = testing::stack_of({a, b});
    const std::vector<double> before = t.data();
    rotate_all(t, q);
    EXPECT_EQ(t.slice(0).row(0), a.row(0) * q);
    for (int press = 1; press < 4; ++press) rotate_all(t, q);
    EXPECT_EQ(t.data(), before);
  }
  Stack one(a);
  rotate_all(one, quarter_x);
  EXPECT_EQ(one.n(), 1);
}

}  // namespace
}  // namespace velmora::shape
