#include "tps/missing_landmarks.hpp"

#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <random>

#include "cleaning_golden.hpp"
#include "core/errors.hpp"
#include "shape/procrustes.hpp"

namespace velmora::tps {
namespace {

namespace g = cleaning_golden;

shape::Stack golden_sample() {
  shape::Stack s(g::kK, g::kN);
  for (int i = 0; i < g::kN; ++i)
    for (int j = 0; j < g::kK; ++j)
      for (int d = 0; d < 3; ++d) s.slice(i)(j, d) = g::kSample[i * g::kK + j][d];
  return s;
}

MissingList golden_missing() {
  MissingList m;
  for (std::size_t a = 0; a < std::size(g::kMissing); a += 2)
    m.emplace_back(g::kMissing[a], g::kMissing[a + 1]);
  return m;
}

std::string error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const NumericError& e) {
    return e.what();
  }
  return "no error";
}

Eigen::Matrix3d turn(std::mt19937& rng) {
  std::normal_distribution<double> n(0, 1);
  return Eigen::Quaterniond(n(rng), n(rng), n(rng), n(rng)).normalized().toRotationMatrix();
}

TEST(MissingLandmarks, TpsEqualsNumpyAndKeepsPresentLandmarks) {
  const shape::Stack sample = golden_sample();
  const MissingList missing = golden_missing();
  ASSERT_EQ(missing.size(), 15u);
  const MissingEstimate e = estimate_missing(sample, missing, {});
  ASSERT_EQ(e.estimates.size(), 15u);
  for (std::size_t a = 0; a < missing.size(); ++a) {
    SCOPED_TRACE(a);
    EXPECT_EQ(e.estimates[a].specimen, missing[a].first);
    EXPECT_EQ(e.estimates[a].landmark, missing[a].second);
    const Eigen::RowVector3d want(g::kTpsEstimates[a][0], g::kTpsEstimates[a][1],
                                  g::kTpsEstimates[a][2]);
    EXPECT_LE((e.estimates[a].position - want).norm(), 1e-8 * want.norm());
    EXPECT_EQ(e.filled.slice(missing[a].first).row(missing[a].second), e.estimates[a].position);
  }
  // Only the missing coordinates change.
  shape::Stack back = e.filled;
  for (const auto& [i, j] : missing) back.slice(i).row(j) = sample.slice(i).row(j);
  EXPECT_EQ(back.data(), sample.data());
}

// The spline's affine part carries the consensus onto any affine image of
// it, so the missing landmarks of such a specimen come back exactly; the
// regression estimate moves with the specimen (turned, moved, scaled).
TEST(MissingLandmarks, AffineImageRecoveredAndRegressionFollowsThePose) {
  shape::Stack sample = golden_sample();
  std::mt19937 rng(7);
  std::vector<Eigen::Index> complete;
  for (Eigen::Index i = 6; i < g::kN; ++i) complete.push_back(i);
  shape::Stack sub(g::kK, static_cast<Eigen::Index>(complete.size()));
  for (std::size_t m = 0; m < complete.size(); ++m)
    sub.slice(static_cast<Eigen::Index>(m)) = sample.slice(complete[m]);
  const shape::Config consensus = shape::gpa_to_convergence(sub).reference;
  Eigen::Matrix3d affine = 12.0 * turn(rng);
  affine(0, 1) += 3.0;
  affine(2, 0) -= 2.0;
  const shape::Config image = (consensus * affine).rowwise() + Eigen::RowVector3d(40, -5, 7);
  sample.slice(0) = image;
  const MissingList missing = golden_missing();
  const MissingEstimate e = estimate_missing(sample, missing, {});
  for (const EstimatedLandmark& l : e.estimates)
    if (l.specimen == 0) {
      EXPECT_LE((l.position - image.row(l.landmark)).norm(), 1e-9 * 12.0);
    }

  EstimateParams reg{EstimateMethod::Regression, {}, {}};
  const MissingEstimate before = estimate_missing(sample, missing, reg);
  const Eigen::Matrix3d r = turn(rng);
  const Eigen::RowVector3d t(-3, 8, 100);
  for (Eigen::Index i = 0; i < 6; ++i)
    sample.slice(i) = ((0.25 * sample.slice(i)) * r).rowwise() + t;
  const MissingEstimate after = estimate_missing(sample, missing, reg);
  for (std::size_t a = 0; a < missing.size(); ++a) {
    const Eigen::RowVector3d want = (0.25 * before.estimates[a].position) * r + t;
    EXPECT_LE((after.estimates[a].position - want).norm(), 1e-9 * want.norm());
  }
}

TEST(MissingLandmarks, MirrorOfASymmetricSpecimenIsExact) {
  std::mt19937 rng(3);
  std::normal_distribution<double> n(0, 1);
  // Landmarks 0-4 on the right, 5-9 their mirror images, 10-12 on the midline.
  shape::Config half(13, 3);
  for (int j = 0; j < 5; ++j) {
    half.row(j) << 1 + std::abs(n(rng)), n(rng), n(rng);
    half.row(j + 5) << -half(j, 0), half(j, 1), half(j, 2);
  }
  for (int j = 10; j < 13; ++j) half.row(j) << 0, n(rng), n(rng);
  const shape::Config specimen = ((7.0 * half) * turn(rng)).rowwise() + Eigen::RowVector3d(3, 4, 5);
  shape::Stack sample(specimen);
  EstimateParams p{EstimateMethod::Mirror, {{0, 5}, {1, 6}, {2, 7}, {3, 8}, {4, 9}}, {"left"}};
  const MissingEstimate e = estimate_missing(sample, {{0, 1}, {0, 8}}, p);
  ASSERT_EQ(e.estimates.size(), 2u);
  for (const EstimatedLandmark& l : e.estimates)
    EXPECT_LE((l.position - specimen.row(l.landmark)).norm(), 1e-9 * 7.0);

  EXPECT_EQ(error_of([&] {
              estimate_missing(sample, {{0, 1}, {0, 6}}, p);
            }),
            "Landmark 2 of specimen 1 (\"left\") is missing, and so is its partner, landmark 7; "
            "the mirror estimate needs the partner.");
  EXPECT_EQ(error_of([&] {
              estimate_missing(sample, {{0, 11}}, p);
            }),
            "Landmark 12 of specimen 1 (\"left\") is missing and belongs to no landmark pair; the "
            "mirror estimate needs its partner.");
}

TEST(MissingLandmarks, ErrorOnTheSampleAndRefusals) {
  const shape::Stack sample = golden_sample();
  const MissingList missing = golden_missing();
  const EstimationError err = estimation_error(sample, missing, {});
  EXPECT_EQ(err.trials, 10 * 6);
  EXPECT_EQ(err.landmarks.size(), 12u);  // every landmark is missing somewhere
  EXPECT_GT(err.overall, 0);
  // Copies of one shape in other poses and sizes: every estimate is exact,
  // whichever specimen is left out.
  shape::Stack copies = sample;
  std::mt19937 rng(11);
  for (Eigen::Index i = 1; i < g::kN; ++i)
    copies.slice(i) = ((2.0 * copies.slice(0)) * turn(rng)).rowwise() + Eigen::RowVector3d(i, 0, 1);
  for (EstimateMethod m : {EstimateMethod::Tps, EstimateMethod::Regression}) {
    SCOPED_TRACE(method_name(m));
    EXPECT_LE(estimation_error(copies, missing, {m, {}, {}}).overall, 1e-8);
  }

  EXPECT_EQ(error_of([&] {
              estimate_missing(
                  sample, {{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}, {2, 7}, {2, 8}},
                  {EstimateMethod::Tps, {}, {}});
            }),
            "specimen 3 misses landmarks 1, 2, 3, 4, 5, 6, 7, 8, 9; only 3 of its 12 landmarks "
            "remain, and estimating missing landmarks needs at least 4 present ones.");
  MissingList most;
  for (Eigen::Index i = 0; i < g::kN - 2; ++i) most.emplace_back(i, 0);
  EXPECT_EQ(error_of([&] {
              estimate_missing(sample, most, {EstimateMethod::Regression, {}, {}});
            }),
            "The regression estimate of missing landmarks needs at least 3 complete specimens; "
            "the sample has 2.");
  most.emplace_back(g::kN - 2, 0);
  EXPECT_EQ(error_of([&] { estimation_error(sample, most, {}); }),
            "Measuring the error of the tps estimate needs at least 2 complete specimens (one is "
            "left out in turn); the sample has 1.");
}

}  // namespace
}  // namespace velmora::tps
