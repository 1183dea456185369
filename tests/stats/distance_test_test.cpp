#include "stats/distance_test.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "shape/distance.hpp"
#include "shape/procrustes.hpp"
#include "shape/random_shapes.hpp"
#include "shape/test_support.hpp"

namespace velmora::stats {
namespace {

using testing::error_of;

shape::Stack stack_of(const std::vector<shape::Config>& configs) {
  shape::Stack s(configs.front().rows(), static_cast<Eigen::Index>(configs.size()));
  for (std::size_t i = 0; i < configs.size(); ++i)
    s.slice(static_cast<Eigen::Index>(i)) = configs[i];
  return s;
}

TEST(DistanceTestStart, TheThreeSmallestXAveragedCentredAndOfUnitSize) {
  testing::RandomShapes random(31);
  std::vector<shape::Config> configs;
  for (int i = 0; i < 7; ++i) configs.push_back(random.unit_cloud(6));
  Eigen::VectorXd x(7);
  x << 5, 1, 3, 1, 9, 2, 1;  // three ties at the smallest value
  const DistanceStart s = distance_test_start(stack_of(configs), x);
  EXPECT_EQ(s.first, (std::vector<Eigen::Index>{1, 3, 6}));
  shape::Config want = configs[1] + configs[3] + configs[6];
  want.rowwise() -= want.colwise().mean();
  want /= want.norm();
  EXPECT_LT((s.start - want).cwiseAbs().maxCoeff(), 1e-14);
  EXPECT_NEAR(s.start.norm(), 1, 1e-14);
  EXPECT_LT(s.start.colwise().sum().cwiseAbs().maxCoeff(), 1e-14);

  // Specimen order does not matter, and turning the sample turns the start.
  const Eigen::Matrix3d r = random.rotation();
  std::vector<shape::Config> turned;
  for (auto it = configs.rbegin(); it != configs.rend(); ++it) turned.push_back(*it * r);
  const DistanceStart t = distance_test_start(stack_of(turned), x.reverse());
  EXPECT_EQ(t.first, (std::vector<Eigen::Index>{0, 3, 5}));
  EXPECT_LT((t.start - s.start * r).cwiseAbs().maxCoeff(), 1e-13);

  // The full test starts there, and its distances do not see the turn.
  const Eigen::VectorXd on = x.array() + 0.5 * Eigen::ArrayXd::LinSpaced(7, 0, 1);
  const DistanceTest a = procrustes_distance_test(stack_of(configs), on, on);
  EXPECT_LT((a.start - distance_test_start(stack_of(configs), on).start).norm(), 1e-15);
  const DistanceTest b = procrustes_distance_test(stack_of(turned), on.reverse(), on.reverse());
  EXPECT_LT((a.distances - b.distances.reverse()).cwiseAbs().maxCoeff(), 1e-12);
}

TEST(DistanceTestStart, RefusesWhatHasNoStartingShape) {
  testing::RandomShapes random(5);
  const shape::Config a = random.unit_cloud(5);
  const shape::Stack two = stack_of({a, a});
  const std::string too_few =
      "The starting shape of the Procrustes-distance test needs at least three specimens and "
      "one X value for each.";
  EXPECT_EQ(error_of([&] { distance_test_start(two, Eigen::Vector2d(1, 2)); }), too_few);
  EXPECT_EQ(error_of([&] {
              distance_test_start(stack_of({a, a, a}), Eigen::Vector2d(1, 2));
            }),
            too_few);
  const shape::Stack cancelling = stack_of({a, -0.5 * a, -0.5 * a, a});
  EXPECT_EQ(error_of([&] { distance_test_start(cancelling, Eigen::Vector4d(1, 2, 3, 4)); }),
            "The specimens with the smallest X cancel out: their mean shape has centroid "
            "size 0, so the Procrustes-distance test has no starting shape.");
}

shape::Config rows_of(std::initializer_list<double> values) {
  const std::vector<double> v(values);
  shape::Config c(static_cast<Eigen::Index>(v.size() / 3), 3);
  for (Eigen::Index i = 0; i < c.rows(); ++i)
    for (int j = 0; j < 3; ++j) c(i, j) = v[static_cast<std::size_t>(3 * i + j)];
  return c;
}

shape::Config unit(shape::Config c) {
  c.rowwise() -= c.colwise().mean();
  return c / c.norm();
}

// The four-landmark example of tools/procrustes_distances.py: the orthogonal
// factor of the least-squares map leaves a squared distance four times the
// least one; the test takes the least, no rotation does better, and the
// callable fit_to_fixed_reference keeps its own rule.
TEST(DistanceTest, EachSpecimenIsFittedByTheRotationOfLeastDistance) {
  const shape::Config start =
      unit(rows_of({1.0, 0.0, 0.0, -0.2, 0.9, 0.1, -0.5, -0.6, 0.4, -0.3, -0.3, -0.5}));
  const shape::Config subject =
      unit(rows_of({0.1, 2.0, 0.3, 0.5, -1.4, 0.05, -0.2, -0.1, 0.2, -0.4, -0.5, -0.55}));
  const shape::Stack one = stack_of({subject});
  const double least =
      shape::procrustes_distances(start, shape::fit_by_optimal_rotation(start, one))(0);
  EXPECT_NEAR(least, 0.60606030956371393, 1e-14);
  EXPECT_NEAR(shape::procrustes_distances(start, shape::fit_to_fixed_reference(start, one))(0),
              2.6487319197934833, 1e-13);

  testing::RandomShapes random(17);
  const shape::Config fitted = shape::fit_by_optimal_rotation(start, one).slice(0);
  for (int trial = 0; trial < 2000; ++trial) {
    // Random turns, and turns within a few degrees of the best one.
    const Eigen::Matrix3d r = random.rotation();
    const Eigen::Matrix3d near =
        Eigen::AngleAxisd(
            0.05 * random.normal(),
            Eigen::Vector3d(random.normal(), random.normal(), random.normal()).normalized())
            .toRotationMatrix();
    EXPECT_GE((start - subject * r).squaredNorm(), least - 1e-15);
    EXPECT_GE((start - fitted * near).squaredNorm(), least - 1e-15);
  }
}

// The sample of tools/procrustes_distances.py, with three specimens tied at
// the third-smallest X: numpy's start, distances and regression; and any
// order of the specimens, each with its X, gives the same numbers.
TEST(DistanceTest, MatchesAnIndependentComputationAndIgnoresFileOrderAtTies) {
  const shape::Config base =
      rows_of({1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, -1.0, -0.5, 0.2, 0.3, -0.8, -0.9});
  std::vector<shape::Config> configs;
  for (int i = 0; i < 8; ++i) {
    shape::Config c = base;
    for (int j = 0; j < 5; ++j) {
      c(j, 0) += 0.05 * i * std::cos(j + i);
      c(j, 1) += 0.04 * std::sin(1.7 * j * (i + 1));
      c(j, 2) += 0.03 * ((i * j) % 3 - 1);
    }
    configs.push_back(unit(c));
  }
  Eigen::VectorXd x(8);
  x << 4, 2, 1, 2, 7, 2, 5, 3;
  const shape::Config want_start = rows_of(
      {0.38425159560061328, 0.022754254935721877, -0.034189397444531082, -0.026990868996551294,
       0.44021184148337938, -0.018454184370998234, -0.016323419030031584, 0.029702414087293939,
       0.40153783246474373, -0.4399841411855373, -0.18869128079748732, 0.050453650793664678,
       0.099046833611506874, -0.30397722970890795, -0.39934790144287907});
  Eigen::RowVectorXd want_distances(8);
  want_distances << 0.00080071133631453239, 0.00095796330391389561, 0.0026418816164157388,
      0.0069706026587010861, 0.0070517563429232846, 0.012464816998890228, 0.025645097640213995,
      0.018363199046365394;

  const DistanceTest t = procrustes_distance_test(stack_of(configs), x, x);
  EXPECT_EQ(t.first, (std::vector<Eigen::Index>{1, 2, 3, 5}));
  EXPECT_LT((t.start - want_start).cwiseAbs().maxCoeff(), 1e-13);
  EXPECT_LT((t.distances - want_distances).cwiseAbs().maxCoeff(), 1e-14);
  EXPECT_NEAR(t.fit.slope, 0.0013053374021150704, 1e-15);
  EXPECT_NEAR(t.fit.intercept, 0.0051196570610932916, 1e-15);
  EXPECT_NEAR(t.fit.r, 0.29032198517839175, 1e-12);
  EXPECT_NEAR(t.z, 0.66840063251427284, 1e-11);
  EXPECT_NEAR(t.p, 0.2519389459240518, 1e-11);

  std::vector<int> order(8);
  std::iota(order.begin(), order.end(), 0);
  for (int shuffle = 0; shuffle < 10; ++shuffle) {
    std::rotate(order.begin(), order.begin() + 3, order.end());
    std::swap(order[static_cast<std::size_t>(shuffle % 8)], order[0]);
    std::vector<shape::Config> moved;
    Eigen::VectorXd moved_x(8);
    for (int i = 0; i < 8; ++i) {
      moved.push_back(configs[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])]);
      moved_x(i) = x(order[static_cast<std::size_t>(i)]);
    }
    const DistanceTest u = procrustes_distance_test(stack_of(moved), moved_x, moved_x);
    EXPECT_EQ(u.first.size(), 4u);
    EXPECT_LT((u.start - t.start).cwiseAbs().maxCoeff(), 1e-15);
    for (int i = 0; i < 8; ++i)
      EXPECT_NEAR(u.distances(i), t.distances(order[static_cast<std::size_t>(i)]), 1e-16);
    EXPECT_NEAR(u.fit.slope, t.fit.slope, 1e-16);
    EXPECT_NEAR(u.fit.r, t.fit.r, 1e-14);
    EXPECT_NEAR(u.p, t.p, 1e-14);
  }
}

}  // namespace
}  // namespace velmora::stats
