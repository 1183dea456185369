#include "io/list_files.hpp"

#include <cmath>
#include <cstdio>
#include <span>

#include "core/errors.hpp"
#include "io/checked_matrix.hpp"

namespace velmora::io {

namespace {

constexpr std::size_t kWireColumns = 3;

TextMatrix checked_x_list(TextMatrix m, std::string_view label) {
  if (m.cols != 1) {
    throw FileError(in_quotes(label) + " line 1: expected one value per line, found " +
                    std::to_string(m.cols) + ".");
  }
  return m;
}

std::string g_text(double x) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", x);
  return buf;
}

/// No sample has this many landmarks; larger "landmark numbers" are typing
/// errors (1e300), not wires.
constexpr double kMostLandmarks = 1e9;

TextMatrix checked_wire_list(TextMatrix m, std::string_view label) {
  if (m.cols < kWireColumns) {
    throw FileError(in_quotes(label) +
                    " line 1: a wire needs 3 numbers (wire number, landmark, landmark), "
                    "found " +
                    std::to_string(m.cols) + ".");
  }
  for (std::size_t i = 0; i < m.rows; ++i) {
    for (std::size_t c = 1; c < kWireColumns; ++c) {
      const double v = m(i, c);
      if (!(v >= 1 && v <= kMostLandmarks && std::floor(v) == v)) {
        throw FileError(in_quotes(label) + " line " + std::to_string(i + 1) + ": " + g_text(v) +
                        " is not a landmark number (a whole number from 1 up).");
      }
    }
  }
  return m;
}

/// values: rows×cols column-major.
void check_wire_rows(std::size_t rows, std::size_t cols, std::span<const double> values,
                     std::size_t k) {
  if (rows == 0 || cols == 0) return;
  if (cols < kWireColumns) {
    throw FileError(
        "The wireframe needs 3 numbers per wire (wire number, landmark, landmark); it has " +
        std::to_string(cols) + ".");
  }
  for (std::size_t i = 0; i < rows; ++i) {
    for (std::size_t c = 1; c < kWireColumns; ++c) {
      double v = values[i + rows * c];
      bool ok = v >= 1 && v <= static_cast<double>(k) && std::floor(v) == v;
      if (!ok) {
        throw FileError("Wire row " + std::to_string(i + 1) + ": landmark " + g_text(v) +
                        " is not a whole number from 1 to " + std::to_string(k) + ".");
      }
    }
  }
}

}  // namespace

TextMatrix parse_x_list(std::string_view text, std::string_view label) {
  return checked_x_list(parse_checked_matrix(text, label), label);
}

TextMatrix load_x_list(const std::string& path) {
  return checked_x_list(read_checked_matrix(path), path);
}

TextMatrix parse_wire_list(std::string_view text, std::string_view label) {
  return checked_wire_list(parse_checked_matrix(text, label), label);
}

TextMatrix load_wire_list(const std::string& path) {
  return checked_wire_list(read_checked_matrix(path), path);
}

void check_wire_file(const TextMatrix& wires, std::size_t k, std::string_view label) {
  for (std::size_t i = 0; i < wires.rows; ++i) {
    for (std::size_t c = 1; c < kWireColumns && c < wires.cols; ++c) {
      if (wires(i, c) > static_cast<double>(k)) {
        throw FileError(in_quotes(label) + " line " + std::to_string(i + 1) + ": landmark " +
                        g_text(wires(i, c)) + " is beyond the " + std::to_string(k) +
                        " landmarks of the loaded sample.");
      }
    }
  }
}

void check_wires(const TextMatrix& wires, std::size_t k) {
  check_wire_rows(wires.rows, wires.cols, wires.values, k);
}

void check_wires(std::size_t rows, std::size_t cols, std::span<const double> values,
                 std::size_t k) {
  check_wire_rows(rows, cols, values, k);
}

}  // namespace velmora::io
