#include "tps/scores.hpp"

#include <gtest/gtest.h>

#include "core/errors.hpp"
#include "shape/procrustes.hpp"
#include "shape/rotation.hpp"
#include "shape/test_support.hpp"
#include "stats/regression.hpp"
#include "tps/deformation.hpp"
#include "tps/reference_shapes.hpp"

namespace velmora::tps {
namespace {

using testing::principal_reference;
using testing::RandomShapes;
using testing::stack_of;

TEST(WarpScores, ProjectionsOfTheStackedDisplacement) {
  RandomShapes rnd(41);
  const shape::Config ref = principal_reference(rnd, 9);
  std::vector<shape::Config> sample = {ref};
  for (int i = 0; i < 4; ++i) sample.push_back(ref + 0.01 * rnd.cloud(9));
  const shape::Stack data = stack_of(sample);
  const Eigen::MatrixXd y = partial_warp_scores(ref, data);
  ASSERT_EQ(y.rows(), 5);
  ASSERT_EQ(y.cols(), 3 * 9 - 7);
  EXPECT_TRUE(y.row(0).isZero(0.0));
  const Eigen::MatrixXd af = thin_plate_basis(ref).warp_matrix();
  for (Eigen::Index i = 1; i < 5; ++i) {
    const shape::Config d = sample[static_cast<std::size_t>(i)] - ref;
    const Eigen::VectorXd stacked = Eigen::Map<const Eigen::VectorXd>(d.data(), 27);
    EXPECT_TRUE(y.row(i).transpose().isApprox(af.transpose() * stacked, 1e-12));
  }
  const Eigen::MatrixXd one = partial_warp_scores(ref, shape::Stack(sample[2]));
  ASSERT_EQ(one.rows(), 1);
  EXPECT_TRUE(one.row(0).isApprox(y.row(2), 1e-15));
  EXPECT_THROW(partial_warp_scores(ref, shape::Stack(rnd.cloud(8))), NumericError);
}

TEST(WarpScores, AffineDisplacementHasNoPartialWarpScores) {
  RandomShapes rnd(42);
  const shape::Config ref = principal_reference(rnd, 12);
  shape::Config sheared = ref;
  sheared.col(0) += 0.05 * ref.col(1);  // x grows with y
  shape::Config stretched = ref;
  stretched.col(2) *= 1.1;
  const Eigen::MatrixXd y = partial_warp_scores(ref, stack_of({sheared, stretched}));
  const Eigen::Index warps = 3 * (12 - 4);
  EXPECT_LT(y.leftCols(warps).cwiseAbs().maxCoeff(), 1e-13);
  EXPECT_GT(y.rightCols(5).row(0).norm(), 1e-3);
  EXPECT_GT(y.rightCols(5).row(1).norm(), 1e-3);
}

struct Analysis {
  shape::Config reference;
  Eigen::MatrixXd scores;
  Eigen::RowVectorXd vector;
};

// The standard road of a loaded sample: superimposition to convergence, the
// principal axes, the basis, the scores and the regression vector.
Analysis analyse(const shape::Stack& raw, const Eigen::VectorXd& x) {
  shape::GpaResult gpa = shape::gpa_to_convergence(raw);
  const shape::PrincipalAxes axes = shape::principal_axes(gpa.reference);
  shape::rotate_all(gpa.fitted, axes.axes);
  const WarpBasis basis = thin_plate_basis(axes.reference);
  for (Eigen::Index j : basis.kept) {
    Eigen::Index largest = 0;
    basis.eigenvectors.col(j).cwiseAbs().maxCoeff(&largest);
    EXPECT_GT(basis.eigenvectors(largest, j), 0);
  }
  Analysis a{axes.reference, warp_scores(basis, axes.reference, gpa.fitted), {}};
  a.vector = stats::column_slopes(a.scores, x);
  return a;
}

// Umeyama-test style: a sample and a copy with every raw specimen turned,
// moved and rescaled at random give the same reference, scores and
// regression vector to 1e-9, whatever signs the eigen-solvers return, with
// both solvers of the basis (Eigen up to 200 landmarks, LAPACK above).
TEST(SignConvention, TurnedMovedRescaledCopiesGiveTheSameResults) {
  for (const Eigen::Index k : {7, 15, 230}) {
    for (unsigned seed = 1; seed <= (k > kProjectedBasisLandmarks ? 2u : 5u); ++seed) {
      RandomShapes rnd(seed);
      const shape::Config base = rnd.cloud(k, {0.6, 1.0, 1.7});
      const Eigen::Index n = 10;
      std::vector<shape::Config> raw, copy;
      Eigen::VectorXd x(n);
      for (Eigen::Index i = 0; i < n; ++i) {
        x(i) = 1 + i + 0.3 * rnd.normal();
        raw.push_back(rnd.moved_copy(base + 0.04 * rnd.cloud(k) + 0.01 * x(i) * base.cwiseAbs()));
        copy.push_back(rnd.moved_copy(raw.back()));
      }
      const Analysis a = analyse(stack_of(raw), x), b = analyse(stack_of(copy), x);
      EXPECT_LT((a.reference - b.reference).cwiseAbs().maxCoeff(), 1e-9) << k << " " << seed;
      EXPECT_LT((a.scores - b.scores).cwiseAbs().maxCoeff(), 1e-9) << k << " " << seed;
      EXPECT_LT((a.vector - b.vector).cwiseAbs().maxCoeff(), 1e-9) << k << " " << seed;
    }
  }
}

TEST(ImpliedDeformation, ZeroScoresGiveTheReferenceAndPaddingIsZero) {
  RandomShapes rnd(43);
  const shape::Config ref = principal_reference(rnd, 10);
  const shape::Stack same = deformations_from_scores(ref, Eigen::MatrixXd::Zero(1, 22));
  ASSERT_EQ(same.n(), 1);
  EXPECT_TRUE(shape::Config(same.slice(0)).isApprox(ref, 1e-13));

  const Eigen::RowVectorXd short_row = 0.01 * Eigen::RowVectorXd::Random(22);
  Eigen::RowVectorXd padded = Eigen::RowVectorXd::Zero(23);
  padded.head(22) = short_row;
  Eigen::MatrixXd two(2, 23);
  two << padded, -padded;
  const shape::Stack a = deformations_from_scores(ref, short_row);
  const shape::Stack b = deformations_from_scores(ref, two);
  ASSERT_EQ(b.n(), 2);
  EXPECT_TRUE(shape::Config(a.slice(0)).isApprox(b.slice(0), 1e-14));
  EXPECT_TRUE(
      shape::Config(deformations_from_scores(ref, -padded).slice(0)).isApprox(b.slice(1), 1e-14));
}

TEST(ImpliedDeformation, SmallScoresRoundTrip) {
  RandomShapes rnd(44);
  const shape::Config ref = principal_reference(rnd, 15);
  const Eigen::Index m = 3 * 15 - 7;
  Eigen::MatrixXd scores(3, m);
  for (Eigen::Index i = 0; i < scores.size(); ++i) scores(i) = 1e-5 * rnd.normal();
  const Eigen::MatrixXd back = partial_warp_scores(ref, deformations_from_scores(ref, scores));
  // The fit back onto the reference removes only what the basis cannot
  // express, so the change is of second order in the scores.
  EXPECT_LT((back - scores).cwiseAbs().maxCoeff(), 1e-8);
  EXPECT_GT(scores.cwiseAbs().maxCoeff(), 1e-6);
}

TEST(ImpliedDeformation, RefusesWhatItCannotBuild) {
  RandomShapes rnd(45);
  const shape::Config ref = principal_reference(rnd, 6);
  auto error_of = [&](const Eigen::MatrixXd& s) {
    return testing::error_of([&] { deformations_from_scores(ref, s); });
  };
  EXPECT_EQ(error_of(Eigen::MatrixXd::Zero(1, 12)),
            "The implied deformation got 12 score columns, but the warp matrix of the reference "
            "has 11.");
  EXPECT_EQ(error_of(Eigen::MatrixXd(0, 11)),
            "The implied deformation needs at least one row of scores.");
  EXPECT_EQ(error_of(Eigen::MatrixXd::Constant(1, 3, std::nan(""))),
            "The implied deformation cannot be built: the scores include values that are not "
            "finite numbers.");
  // A kept basis gives the same shapes, and only for its own reference.
  const WarpBasis basis = thin_plate_basis(ref);
  const Eigen::MatrixXd scores = 0.01 * Eigen::MatrixXd::Random(2, 11);
  EXPECT_EQ(deformations_from_scores(basis, ref, scores).stacked(),
            deformations_from_scores(ref, scores).stacked());
  EXPECT_EQ(testing::error_of(
                [&] { deformations_from_scores(basis, principal_reference(rnd, 7), scores); }),
            "The implied deformation got a basis of 6 landmarks for a reference of 7.");
}

}  // namespace
}  // namespace velmora::tps
