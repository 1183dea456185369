#include "tps/sliding.hpp"

#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <Eigen/SVD>
#include <random>

#include "core/errors.hpp"
#include "shape/centroid_size.hpp"
#include "sliding_golden.hpp"

namespace velmora::tps {
namespace {

constexpr Eigen::Index kK = 12, kN = 8;

shape::Stack golden_sample() {
  shape::Stack s(kK, kN);
  for (Eigen::Index i = 0; i < kN; ++i)
    for (Eigen::Index l = 0; l < kK; ++l)
      for (int d = 0; d < 3; ++d) s.slice(i)(l, d) = golden::kRaw[i * kK + l][d];
  return s;
}

Semilandmarks golden_semilandmarks() {
  Semilandmarks s;
  s.curves = {{0, 4, 5}, {4, 5, 6}, {5, 6, 7}, {6, 7, 1}};
  s.surface = {8, 9, 10, 11};
  return s;
}

shape::Config rows_of(const double (*rows)[3], Eigen::Index first, Eigen::Index k) {
  shape::Config c(k, 3);
  for (Eigen::Index l = 0; l < k; ++l)
    for (int d = 0; d < 3; ++d) c(l, d) = rows[first + l][d];
  return c;
}

// The rotation that turns `a` onto `b` (both centred).
Eigen::Matrix3d turn_onto(const shape::Config& a, const shape::Config& b) {
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(a.transpose() * b,
                                              Eigen::ComputeFullU | Eigen::ComputeFullV);
  Eigen::Matrix3d r = svd.matrixU() * svd.matrixV().transpose();
  if (r.determinant() < 0) {
    Eigen::Matrix3d d = Eigen::Matrix3d::Identity();
    d(2, 2) = -1;
    r = svd.matrixU() * d * svd.matrixV().transpose();
  }
  return r;
}

SlidingResult slid(const shape::Stack& raw, const Semilandmarks& semi, SlidingCriterion c,
                   int passes) {
  SlidingOptions o;
  o.criterion = c;
  o.passes = passes;
  return slide_semilandmarks(shape::gpa_to_convergence(raw), semi, o);
}

// Three plain passes equal an independent numpy implementation of the
// method (one common rotation allowed), by either criterion.
TEST(Sliding, ThreePlainPassesEqualTheIndependentImplementation) {
  for (auto [criterion, consensus, slid_rows] :
       {std::tuple{SlidingCriterion::BendingEnergy, golden::kConsensus_be, golden::kSlid_be},
        std::tuple{SlidingCriterion::ProcrustesDistance, golden::kConsensus_procd,
                   golden::kSlid_procd}}) {
    const SlidingResult r = slid(golden_sample(), golden_semilandmarks(), criterion, 3);
    EXPECT_EQ(r.passes, 3);
    const shape::Config want = rows_of(consensus, 0, kK);
    const Eigen::Matrix3d turn = turn_onto(r.reference, want);
    EXPECT_LE((r.reference * turn - want).cwiseAbs().maxCoeff(), 1e-8);
    for (Eigen::Index i = 0; i < kN; ++i)
      EXPECT_LE((shape::Config(r.fitted.slice(i)) * turn - rows_of(slid_rows, i * kK, kK))
                    .cwiseAbs()
                    .maxCoeff(),
                1e-8)
          << "specimen " << i + 1;
  }
}

// Conjugate gradients for all specimens at once give the Cholesky's slides.
TEST(Sliding, GradientsForAllSpecimensEqualTheDenseSolve) {
  const shape::GpaResult start = shape::gpa_to_convergence(golden_sample());
  SlidingOptions dense;
  dense.passes = 3;
  SlidingOptions together = dense;
  together.dense_limit = 0;
  const SlidingResult a = slide_semilandmarks(start, golden_semilandmarks(), dense);
  const SlidingResult b = slide_semilandmarks(start, golden_semilandmarks(), together);
  EXPECT_LE((a.reference - b.reference).cwiseAbs().maxCoeff(), 1e-10);
  EXPECT_LE((a.fitted.stacked() - b.fitted.stacked()).cwiseAbs().maxCoeff(), 1e-10);
}

// One slide moves semilandmarks only along their tangents, leaves fixed
// landmarks alone and never raises the criterion at a fixed consensus.
TEST(Sliding, OneSlideMovesAlongTheTangentsAndLowersTheCriterion) {
  const shape::GpaResult start = shape::gpa_to_convergence(golden_sample());
  const Semilandmarks semi = golden_semilandmarks();
  const Eigen::MatrixXd energy = bending_energy_matrix(start.reference);
  // The energy of an affine change is none.
  const shape::Config affine =
      start.reference * Eigen::Matrix3d(Eigen::Vector3d(1.2, 0.9, 1.1).asDiagonal()) +
      shape::Config::Constant(kK, 3, 0.3);
  EXPECT_LE(
      std::abs(sliding_criterion(affine, start.reference, SlidingCriterion::BendingEnergy, energy) -
               sliding_criterion(start.reference, start.reference, SlidingCriterion::BendingEnergy,
                                 energy)),
      1e-10);
  for (SlidingCriterion c :
       {SlidingCriterion::BendingEnergy, SlidingCriterion::ProcrustesDistance}) {
    for (Eigen::Index i = 0; i < kN; ++i) {
      const shape::Config y = start.fitted.slice(i);
      const Tangents t = tangents_of(y, semi, "specimen");
      const shape::Config s = slide_once(y, start.reference, t, c, energy);
      EXPECT_LE(sliding_criterion(s, start.reference, c, energy),
                sliding_criterion(y, start.reference, c, energy) + 1e-15);
      for (Eigen::Index l = 0; l < 4; ++l) EXPECT_EQ(s.row(l), y.row(l));
      for (std::size_t j = 0; j < t.landmark.size();) {
        const Eigen::Index p = t.landmark[j];
        Eigen::RowVector3d left = s.row(p) - y.row(p);
        for (; j < t.landmark.size() && t.landmark[j] == p; ++j)
          left -= left.dot(t.direction[j]) * t.direction[j];
        EXPECT_LE(left.norm(), 1e-14) << "landmark " << p + 1;
      }
    }
  }
}

// Without semilandmarks the result is the standard superimposition; the
// default converges, and turning, moving, rescaling and reordering the raw
// specimens change nothing but the order and the orientation.
TEST(Sliding, TheDefaultConvergesAndIgnoresPoseScaleAndOrder) {
  const shape::Stack raw = golden_sample();
  const shape::GpaResult start = shape::gpa_to_convergence(raw);
  const SlidingResult none = slide_semilandmarks(start, {}, {});
  EXPECT_EQ(none.reference, start.reference);
  EXPECT_EQ(none.fitted.data(), start.fitted.data());

  const SlidingResult a = slid(raw, golden_semilandmarks(), SlidingCriterion::BendingEnergy, 0);
  EXPECT_TRUE(a.converged);
  EXPECT_LT(a.passes, 100);
  EXPECT_LT(a.moves.back(), kSlidingConvergence);
  // By either criterion it ends no higher than ten plain passes.
  for (SlidingCriterion c :
       {SlidingCriterion::BendingEnergy, SlidingCriterion::ProcrustesDistance}) {
    const SlidingResult settled =
        c == SlidingCriterion::BendingEnergy ? a : slid(raw, golden_semilandmarks(), c, 0);
    const SlidingResult plain = slid(raw, golden_semilandmarks(), c, 10);
    auto summed = [c](const SlidingResult& r) {
      const Eigen::MatrixXd e = bending_energy_matrix(r.reference);
      double total = 0;
      for (Eigen::Index i = 0; i < kN; ++i)
        total += sliding_criterion(r.fitted.slice(i), r.reference, c, e);
      return total;
    };
    EXPECT_LE(summed(settled), summed(plain)) << (c == SlidingCriterion::BendingEnergy);
  }

  std::mt19937 rng(3);
  std::normal_distribution<double> g(0, 1);
  shape::Stack moved(kK, kN);
  for (Eigen::Index i = 0; i < kN; ++i) {
    const Eigen::Matrix3d turn =
        Eigen::AngleAxisd(g(rng), Eigen::Vector3d(g(rng), g(rng), g(rng)).normalized())
            .toRotationMatrix();
    const shape::Config x = raw.slice(kN - 1 - i);
    moved.slice(i) = ((x * turn) * std::exp(g(rng))).rowwise() +
                     Eigen::RowVector3d(g(rng), g(rng), g(rng)) * 100;
  }
  for (SlidingCriterion c :
       {SlidingCriterion::BendingEnergy, SlidingCriterion::ProcrustesDistance}) {
    const SlidingResult p = slid(raw, golden_semilandmarks(), c, 0);
    const SlidingResult q = slid(moved, golden_semilandmarks(), c, 0);
    const Eigen::Matrix3d turn = turn_onto(q.reference, p.reference);
    EXPECT_LE((q.reference * turn - p.reference).cwiseAbs().maxCoeff(), 1e-9);
    for (Eigen::Index i = 0; i < kN; ++i)
      EXPECT_LE((shape::Config(q.fitted.slice(kN - 1 - i)) * turn - p.fitted.slice(i))
                    .cwiseAbs()
                    .maxCoeff(),
                1e-9);
  }
}

TEST(Sliding, ACurveWhoseNeighboursCoincideIsNamed) {
  shape::Config y = shape::Config::Random(6, 3);
  y.row(2) = y.row(0);
  Semilandmarks s;
  s.curves = {{0, 1, 2}};
  try {
    tangents_of(y, s, "specimen 4");
    FAIL();
  } catch (const NumericError& e) {
    EXPECT_STREQ(e.what(),
                 "The curve slider 2 has its neighbours 1 and 3 at the same place in specimen 4: "
                 "its tangent is undefined.");
  }
}

}  // namespace
}  // namespace velmora::tps
