#include "io/landmark_file.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "core/errors.hpp"
#include "io/checked_matrix.hpp"

namespace velmora::io {

namespace {

void check_layout(const TextMatrix& m, std::string_view label) {
  if (m.cols % 3 != 1) {
    throw FileError(in_quotes(label) +
                    ": each line must hold 3k+1 numbers (x1 y1 z1 ... xk yk zk, then the "
                    "centroid size); line 1 holds " +
                    std::to_string(m.cols) + ".");
  }
  if (m.cols == 1) {
    throw FileError(in_quotes(label) +
                    ": line 1 holds a single number and no landmark; each line must hold x1 "
                    "y1 z1 ... xk yk zk, then the centroid size.");
  }
  if (m.cols == 4 || m.cols == 7) {
    throw FileError(in_quotes(label) + ": each line holds " + too_few_landmarks_text(m.cols / 3));
  }
}

/// Refuses the first specimen whose landmarks all lie on one point.  Works
/// column by column over the column-major matrix (two sequential passes)
/// so that large files stay fast.
void check_spread(const TextMatrix& m, std::string_view label) {
  const std::size_t n = m.rows;
  const std::size_t k = m.cols / 3;
  std::vector<double> centre(3 * n, 0.0);
  std::vector<double> largest(n, 0.0);
  for (std::size_t c = 0; c < 3 * k; ++c) {
    const double* col = m.values.data() + n * c;
    double* ctr = centre.data() + n * (c % 3);
    for (std::size_t i = 0; i < n; ++i) {
      ctr[i] += col[i];
      largest[i] = std::max(largest[i], std::abs(col[i]));
    }
  }
  for (double& x : centre) x /= static_cast<double>(k);
  for (std::size_t i = 0; i < n; ++i) {
    if (too_small_to_represent(largest[i])) {
      throw FileError(in_quotes(label) + " line " + std::to_string(i + 1) + ": " +
                      too_small_text("this specimen", largest[i]));
    }
  }
  // Deviations are taken in units of the specimen's largest coordinate, so
  // coordinates of 1e-300 or 1e300 are judged by their own scale.
  std::vector<double> squares(n, 0.0);
  for (std::size_t c = 0; c < 3 * k; ++c) {
    const double* col = m.values.data() + n * c;
    const double* ctr = centre.data() + n * (c % 3);
    for (std::size_t i = 0; i < n; ++i) {
      const double e = largest[i] > 0 ? (col[i] - ctr[i]) / largest[i] : 0.0;
      squares[i] += e * e;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (std::sqrt(squares[i]) <= kCoincidentTolerance) {
      throw FileError(in_quotes(label) + " line " + std::to_string(i + 1) + ": all " +
                      std::to_string(k) + " landmarks of this specimen lie on one point.");
    }
  }
}

TextMatrix checked_landmarks(TextMatrix m, std::string_view label) {
  check_layout(m, label);
  check_spread(m, label);
  return m;
}

}  // namespace

std::string too_few_landmarks_text(std::size_t k) {
  return std::string(k == 1   ? "a single landmark"
                     : k == 0 ? "no landmark"
                              : "two landmarks") +
         "; the shape of fewer than three points cannot vary, so comparing shapes needs at "
         "least three landmarks per specimen.";
}

bool too_small_to_represent(double largest) {
  return largest > 0 && largest < std::numeric_limits<double>::min();
}

std::string too_small_text(std::string_view what, double largest) {
  char text[160];
  std::snprintf(text, sizeof text,
                "the coordinates of %.*s are too small to represent: the largest is %.3g in "
                "magnitude, below %.3g, the smallest number held with full precision.",
                static_cast<int>(what.size()), what.data(), largest,
                std::numeric_limits<double>::min());
  return text;
}

TextMatrix parse_landmarks(std::string_view text, std::string_view label) {
  return checked_landmarks(parse_checked_matrix(text, label), label);
}

TextMatrix load_landmarks(const std::string& path) {
  return checked_landmarks(read_checked_matrix(path), path);
}

}  // namespace velmora::io
