#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "io/text_matrix.hpp"

namespace velmora::io {

/// Reshapes specimen rows x1 y1 z1 … xk yk zk [cs …] into a stack of
/// configurations.
/// @param rows m specimens; @param cols c numbers a row, k = floor(c/3)
/// @param values m×c column-major
/// @return k×3×m column-major: element (j, d, i) = x(i, 3j+d) at
///   j + k·(d + 3·i); columns beyond 3k (the centroid size) are dropped
std::vector<double> rows_to_stack(std::size_t rows, std::size_t cols,
                                  std::span<const double> values);
std::vector<double> rows_to_stack(const TextMatrix& x);

/// One configuration as a specimen row.
/// @param config k×3 column-major (x, y, z columns)
/// @param cs the centroid size written last
/// @return 1×(3k+1): x1 y1 z1 … xk yk zk cs
std::vector<double> config_to_row(std::span<const double> config, std::size_t k, double cs);

}  // namespace velmora::io
