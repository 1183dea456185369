#include "shape/distance.hpp"

#include <gtest/gtest.h>

#include "core/errors.hpp"
#include "shape/random_shapes.hpp"

namespace velmora::shape {
namespace {

TEST(ProcrustesDistance, SquaredCoordinateDistancePerSliceInOrder) {
  Config ref(2, 3), slice(2, 3);
  ref << 0, 0, 0, 1, 0, 0;
  slice << 0, 0, 0, 0, 2, 0;
  const Eigen::RowVectorXd one = procrustes_distances(ref, Stack(slice));
  ASSERT_EQ(one.size(), 1);
  EXPECT_EQ(one(0), 5.0);  // 1 + 4, no square root

  testing::RandomShapes rnd;
  const Config a = rnd.cloud(2);
  const Eigen::RowVectorXd d = procrustes_distances(ref, testing::stack_of({ref, slice, a}));
  ASSERT_EQ(d.size(), 3);
  EXPECT_EQ(d(0), 0.0);
  EXPECT_EQ(d(1), 5.0);
  EXPECT_DOUBLE_EQ(d(2), (ref - a).squaredNorm());
  EXPECT_THROW(procrustes_distances(Config::Zero(3, 3), Stack(slice)), NumericError);
}

}  // namespace
}  // namespace velmora::shape
