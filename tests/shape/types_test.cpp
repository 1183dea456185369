#include "shape/types.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "core/errors.hpp"

namespace velmora::shape {
namespace {

// Coordinate d of landmark j in specimen i is element j + k·(d + 3·i); a
// slice and the stacked view read the same numbers.
TEST(StackLayout, SlicesAndTheStackedViewShareOneBuffer) {
  const Eigen::Index k = 4, n = 3;
  std::vector<double> d(static_cast<std::size_t>(k * 3 * n));
  for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<double>(i);
  const Stack s(k, n, std::move(d));
  for (Eigen::Index i = 0; i < n; ++i)
    for (Eigen::Index c = 0; c < 3; ++c)
      for (Eigen::Index j = 0; j < k; ++j) {
        EXPECT_EQ(s.slice(i)(j, c), static_cast<double>(j + k * (c + 3 * i)));
        EXPECT_EQ(s.stacked()(j + k * c, i), s.slice(i)(j, c));
      }
  EXPECT_EQ(Stack(Config(s.slice(1))).data(),
            std::vector<double>(s.data().begin() + 3 * k, s.data().begin() + 6 * k));
  EXPECT_THROW(Stack(2, 2, std::vector<double>(11)), NumericError);
}

}  // namespace
}  // namespace velmora::shape
