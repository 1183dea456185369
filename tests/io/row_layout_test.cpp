#include "io/row_layout.hpp"

#include <gtest/gtest.h>

#include <numeric>

namespace velmora::io {
namespace {

TEST(RowLayout, VertxyStacksEverySpecimen) {
  // 20 specimens of 12 landmarks: x(i, c) = 1000·i + c makes every entry
  // tell where it came from.
  const std::size_t m = 20, c = 37, k = 12;
  std::vector<double> x(m * c);
  for (std::size_t i = 0; i < m; ++i)
    for (std::size_t col = 0; col < c; ++col) x[i + m * col] = 1000.0 * i + col;
  std::vector<double> stack = rows_to_stack(m, c, x);
  ASSERT_EQ(stack.size(), k * 3 * m);
  for (std::size_t i = 0; i < m; ++i)
    for (std::size_t j = 0; j < k; ++j)
      for (std::size_t d = 0; d < 3; ++d)
        ASSERT_EQ(stack[j + k * (d + 3 * i)], 1000.0 * i + 3 * j + d) << i << " " << j << " " << d;

  // Columns beyond 3k are dropped; a row of 3k numbers needs no size.
  EXPECT_EQ(rows_to_stack(1, 8, std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}),
            (std::vector<double>{1, 4, 2, 5, 3, 6}));
  EXPECT_EQ(rows_to_stack(1, 6, std::vector<double>{1, 2, 3, 4, 5, 6}),
            (std::vector<double>{1, 4, 2, 5, 3, 6}));
  EXPECT_TRUE(rows_to_stack(3, 2, std::vector<double>(6, 1.0)).empty());
}

TEST(RowLayout, RowAndConfigurationRoundTrip) {
  const std::size_t k = 12;
  std::vector<double> config(k * 3);
  std::iota(config.begin(), config.end(), -17.5);
  std::vector<double> row = config_to_row(config, k, 1.0);
  ASSERT_EQ(row.size(), 37u);
  EXPECT_EQ(row.back(), 1.0);
  // x1 y1 z1 x2 … : landmark 2's y is config(1, 1).
  EXPECT_EQ(row[0], config[0]);
  EXPECT_EQ(row[4], config[1 + k]);
  EXPECT_EQ(row[35], config[11 + 2 * k]);

  TextMatrix as_file{1, row.size(), row};
  EXPECT_EQ(rows_to_stack(as_file), config);
}

}  // namespace
}  // namespace velmora::io
