#include "tps/warp_basis.hpp"

#include <gtest/gtest.h>

#include <Eigen/Eigenvalues>
#include <Eigen/LU>
#include <cmath>

#include "child_process.hpp"
#include "shape/decompositions.hpp"
#include "shape/test_support.hpp"
#include "tps/reference_shapes.hpp"
#include "tps/scores.hpp"

namespace velmora::tps {
namespace {

using testing::principal_reference;
using testing::RandomShapes;

std::string error_of(const shape::Config& x) {
  return testing::error_of([&] { thin_plate_basis(x); });
}

TEST(WarpBasis, ShapesCountsAndUnitColumns) {
  RandomShapes rnd(31);
  for (Eigen::Index k : {5, 10, 17}) {
    const shape::Config ref = principal_reference(rnd, k);
    const WarpBasis b = thin_plate_basis(ref);
    EXPECT_EQ(b.retained, k - 4);
    EXPECT_EQ(b.warp_matrix().rows(), 3 * k);
    EXPECT_EQ(b.warp_matrix().cols(), 3 * k - 7);
    EXPECT_EQ(b.eigenvectors.rows(), k);
    EXPECT_EQ(b.eigenvectors.cols(), k);
    EXPECT_TRUE(b.warp_matrix().colwise().norm().isOnes(1e-12));
    EXPECT_EQ(b.warp_matrix().rightCols(5), b.uniform);
    // Ascending, as the symmetric solver returns them.
    for (Eigen::Index i = 1; i < k; ++i) EXPECT_LE(b.eigenvalues(i - 1), b.eigenvalues(i));
  }
}

TEST(WarpBasis, KernelIsSymmetricDistanceWithZeroDiagonal) {
  RandomShapes rnd(32);
  const shape::Config ref = principal_reference(rnd, 8);
  const Eigen::MatrixXd kernel = landmark_distances(ref);
  EXPECT_EQ(kernel, kernel.transpose());
  EXPECT_TRUE(kernel.diagonal().isZero(0.0));
  EXPECT_DOUBLE_EQ(kernel(2, 5), (ref.row(2) - ref.row(5)).norm());
}

TEST(WarpBasis, PrincipalAxesReferenceGivesAnOrthonormalBasis) {
  RandomShapes rnd(33);
  const shape::Config ref = principal_reference(rnd, 14);
  const WarpBasis b = thin_plate_basis(ref);
  const Eigen::MatrixXd gram = b.warp_matrix().transpose() * b.warp_matrix();
  EXPECT_TRUE(gram.isIdentity(1e-10)) << (gram - Eigen::MatrixXd::Identity(33, 33)).norm();
  // U1 ⟂ the turn about z, U2 ⟂ about x, U3 ⟂ about y, for any reference.
  const shape::Config any = rnd.cloud(9);
  const WarpBasis c = thin_plate_basis(any);
  const Eigen::VectorXd X = any.col(0), Y = any.col(1), Z = any.col(2),
                        O = Eigen::VectorXd::Zero(9);
  Eigen::VectorXd turn_z(27), turn_x(27), turn_y(27);
  turn_z << -Y, X, O;
  turn_x << O, -Z, Y;
  turn_y << Z, O, -X;
  EXPECT_NEAR(c.uniform.col(0).dot(turn_z), 0.0, 1e-12);
  EXPECT_NEAR(c.uniform.col(1).dot(turn_x), 0.0, 1e-12);
  EXPECT_NEAR(c.uniform.col(2).dot(turn_y), 0.0, 1e-12);
}

TEST(WarpBasis, GeneralPositionKeepsExactlyKMinusFourWarps) {
  RandomShapes rnd(34);
  for (Eigen::Index k : {24, 60, 200}) {
    const shape::Config ref = rnd.unit_cloud(k);
    const WarpBasis b = thin_plate_basis(ref);
    EXPECT_EQ(b.retained, k - 4) << "k = " << k;
  }
  // Exactly four landmarks in general position: the five uniform columns.
  const WarpBasis four = thin_plate_basis(principal_reference(rnd, 4));
  EXPECT_EQ(four.retained, 0);
  EXPECT_EQ(four.warp_matrix().cols(), 5);
  EXPECT_EQ(four.warp_matrix(), four.uniform);
}

TEST(WarpBasis, SelectionThresholdIsStrictAbsoluteAndRelative) {
  struct Case {
    std::vector<double> eigenvalues;
    std::vector<Eigen::Index> kept;
  };
  const Case cases[] = {
      {{1e-14, -2e-14, 0.0}, {1}},            // the absolute floor, strict
      {{-5.0, 1e-9, -1e-11, 3e-16}, {0, 1}},  // relative to the largest magnitude
      {{-5.0, 5e-10, 6e-10}, {0, 2}},         // exactly 1e-10 · 5 is dropped
      {{}, {}},
  };
  for (const Case& c : cases) {
    const Eigen::VectorXd ev = Eigen::Map<const Eigen::VectorXd>(
        c.eigenvalues.data(), static_cast<Eigen::Index>(c.eigenvalues.size()));
    EXPECT_EQ(retained_warps(ev), c.kept);
  }
}

TEST(WarpBasis, SingularSplineSystemsSayWhy) {
  RandomShapes rnd(35);
  const std::string prefix = "The thin-plate spline basis of the reference is undefined: ";
  EXPECT_EQ(error_of(rnd.cloud(3)),
            prefix + "it needs at least four landmarks, and the reference has 3.");
  shape::Config flat = rnd.cloud(7);
  flat.col(2).setZero();
  EXPECT_EQ(error_of(flat * rnd.rotation()),
            prefix + "all its landmarks lie in one plane (or on one line).");
  shape::Config twice = rnd.cloud(6);
  twice.row(4) = twice.row(1);
  EXPECT_EQ(error_of(twice), prefix + "landmarks 2 and 5 coincide.");
  shape::Config broken = rnd.cloud(6);
  broken(0, 0) = std::numeric_limits<double>::infinity();
  EXPECT_EQ(error_of(broken),
            prefix + "its coordinates include values that are not finite numbers.");
}

TEST(WarpBasis, SizeIsCheckedBeforeAllocation) {
  // 18 matrices of (k+4)² doubles at the peak of the inverse, 4 of the
  // projected solver.
  EXPECT_DOUBLE_EQ(basis_bytes(96), 18.0 * 100 * 100 * 8);
  EXPECT_DOUBLE_EQ(basis_bytes(996), 4.0 * 1000 * 1000 * 8);
  EXPECT_NO_THROW(check_basis_memory(96, basis_bytes(96)));
  EXPECT_EQ(testing::error_of([] { check_basis_memory(20000, 8e9); }),
            "The thin-plate spline basis of 20000 landmarks needs about 12.8 GB of memory; only "
            "8.0 GB can be had.");
  // The expected time grows as k³ and is announced only for large counts.
  EXPECT_DOUBLE_EQ(basis_seconds(4000) / basis_seconds(2000), 8.0);
  EXPECT_EQ(basis_time_note(kSlowBasisLandmarks), "");
  EXPECT_EQ(basis_time_note(4000),
            "Building the thin-plate spline basis of 4000 landmarks: "
            "expect about " +
                std::to_string(static_cast<long long>(std::ceil(basis_seconds(4000)))) +
                " seconds.");
}

TEST(WarpBasis, ABasisThatCannotFitIsRefusedUnderAMemoryLimit) {
  if (velmora::testing::kAddressSanitizer)
    GTEST_SKIP() << "an address-space limit cannot work here";
  RandomShapes rnd(36);
  const shape::Config big = rnd.cloud(6000);
  const int code = velmora::testing::in_child([&] {
    if (!velmora::testing::limit_address_space(512ull << 20)) return 2;
    const std::string message = error_of(big);
    const std::string want =
        "The thin-plate spline basis of 6000 landmarks needs about 1.2 GB of "
        "memory; only 0.5 GB can be had.";
    return velmora::testing::same_text(message, want);
  });
  EXPECT_EQ(code, 0);
}

TEST(WarpBasis, SingularityAndWarpsDoNotDependOnTheReferenceUnitOrPosition) {
  RandomShapes rnd(36);
  const shape::Config unit = principal_reference(rnd, 12);
  const WarpBasis b = thin_plate_basis(unit);
  const Eigen::RowVector3d far(3e4, -1e4, 2e4);
  for (const double size : {1e-12, 1e-6, 1e7, 1e12}) {
    for (const bool moved : {false, true}) {
      const shape::Config ref =
          moved ? shape::Config((size * unit).rowwise() + far * size) : shape::Config(size * unit);
      WarpBasis s;
      ASSERT_NO_THROW(s = thin_plate_basis(ref)) << "size " << size;
      EXPECT_EQ(s.retained, b.retained) << "size " << size;
      // Energy per unit length: the eigenvalues scale as 1/size, the
      // eigenvectors of the warps stay (up to sign; those of the affine null
      // space are any basis of it).
      EXPECT_LT((s.eigenvalues * size - b.eigenvalues).cwiseAbs().maxCoeff(),
                1e-8 * b.eigenvalues.cwiseAbs().maxCoeff())
          << "size " << size;
      for (const Eigen::Index j : retained_warps(b.eigenvalues)) {
        EXPECT_NEAR(std::abs(s.eigenvectors.col(j).dot(b.eigenvectors.col(j))), 1.0, 1e-8)
            << "size " << size << ", eigenvector " << j;
      }
    }
  }
}

// The projected solver of dense references against the bending energy taken
// straight from the inverse of the whole spline system and decomposed by
// Eigen's solver: the same eigenvalues, the same warps up to sign, the same
// scores up to the sign of each column, and the null space of E spanned by
// the affine part.
TEST(WarpBasis, ProjectedSolverAgreesWithTheInverseOfTheSplineSystem) {
  RandomShapes rnd(37);
  const Eigen::Index k = kProjectedBasisLandmarks + 40;
  const shape::Config ref = principal_reference(rnd, k);
  const WarpBasis b = thin_plate_basis(ref);
  ASSERT_EQ(b.retained, k - 4);

  Eigen::MatrixXd l = Eigen::MatrixXd::Zero(k + 4, k + 4);
  l.topLeftCorner(k, k) = landmark_distances(ref);
  l.block(0, k, k, 1).setOnes();
  l.block(0, k + 1, k, 3) = ref;
  l.bottomLeftCorner(4, k) = l.topRightCorner(k, 4).transpose();
  const Eigen::MatrixXd inverse = l.inverse();
  const Eigen::MatrixXd energy =
      0.5 * (inverse.topLeftCorner(k, k) + inverse.topLeftCorner(k, k).transpose());
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(energy);
  const double largest = eig.eigenvalues().cwiseAbs().maxCoeff();
  const std::vector<Eigen::Index> kept = retained_warps(eig.eigenvalues());
  ASSERT_EQ(kept.size(), b.kept.size());
  EXPECT_LT((b.eigenvalues - eig.eigenvalues()).cwiseAbs().maxCoeff(), 1e-9 * largest);
  for (std::size_t r = 0; r < kept.size(); ++r) {
    const Eigen::VectorXd mine = b.eigenvectors.col(b.kept[r]),
                          theirs = eig.eigenvectors().col(kept[r]);
    EXPECT_NEAR(std::abs(mine.dot(theirs)), 1.0, 1e-9) << "warp " << r;
    EXPECT_LT((energy * mine - b.eigenvalues(b.kept[r]) * mine).norm(), 1e-9 * largest);
  }
  const Eigen::MatrixXd gram = b.eigenvectors.transpose() * b.eigenvectors;
  EXPECT_TRUE(gram.isIdentity(1e-12)) << (gram - Eigen::MatrixXd::Identity(k, k)).norm();
  EXPECT_LT((energy * b.eigenvectors.rightCols(4)).norm(), 1e-9 * largest);

  // Scores of a sample on both bases, column by column up to sign.
  std::vector<shape::Config> sample;
  for (int i = 0; i < 6; ++i) sample.push_back(ref + 0.01 * rnd.cloud(k));
  const shape::Stack data = testing::stack_of(sample);
  const Eigen::MatrixXd mine = partial_warp_scores(ref, data);
  Eigen::MatrixXd theirs(data.n(), 3 * static_cast<Eigen::Index>(kept.size()) + 5);
  for (Eigen::Index i = 0; i < data.n(); ++i) {
    const shape::Config d = data.slice(i) - ref;
    for (std::size_t r = 0; r < kept.size(); ++r)
      for (int c = 0; c < 3; ++c)
        theirs(i, 3 * static_cast<Eigen::Index>(r) + c) =
            d.col(c).dot(eig.eigenvectors().col(kept[r]));
    const Eigen::VectorXd stacked = Eigen::Map<const Eigen::VectorXd>(d.data(), 3 * k);
    theirs.row(i).tail(5) = (b.uniform.transpose() * stacked).transpose();
  }
  for (Eigen::Index j = 0; j < mine.cols(); ++j) {
    const double sign = mine.col(j).dot(theirs.col(j)) < 0 ? -1.0 : 1.0;
    EXPECT_LT((mine.col(j) - sign * theirs.col(j)).norm(), 1e-9 * theirs.col(j).norm())
        << "column " << j;
  }
}

}  // namespace
}  // namespace velmora::tps
