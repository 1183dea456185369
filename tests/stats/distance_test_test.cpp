#include "stats/distance_test.hpp"

#include <gtest/gtest.h>

#include <vector>

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
  EXPECT_EQ(s.first, (std::array<Eigen::Index, 3>{1, 3, 6}));
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
  EXPECT_EQ(t.first, (std::array<Eigen::Index, 3>{0, 3, 5}));
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
            "The three specimens with the smallest X cancel out: their mean shape has centroid "
            "size 0, so the Procrustes-distance test has no starting shape.");
}

}  // namespace
}  // namespace velmora::stats
