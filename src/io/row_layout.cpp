#include "io/row_layout.hpp"

namespace velmora::io {

std::vector<double> rows_to_stack(std::size_t rows, std::size_t cols,
                                  std::span<const double> values) {
  const std::size_t k = cols / 3;
  std::vector<double> stack(k * 3 * rows);
  for (std::size_t i = 0; i < rows; ++i)
    for (std::size_t d = 0; d < 3; ++d)
      for (std::size_t j = 0; j < k; ++j)
        stack[j + k * (d + 3 * i)] = values[i + rows * (3 * j + d)];
  return stack;
}

std::vector<double> rows_to_stack(const TextMatrix& x) {
  return rows_to_stack(x.rows, x.cols, x.values);
}

std::vector<double> config_to_row(std::span<const double> config, std::size_t k, double cs) {
  std::vector<double> row(3 * k + 1);
  for (std::size_t j = 0; j < k; ++j)
    for (std::size_t d = 0; d < 3; ++d) row[3 * j + d] = config[j + k * d];
  row[3 * k] = cs;
  return row;
}

}  // namespace velmora::io
