#include "io/list_files.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <unordered_set>

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
  // The size is checked before the file is read, and again after, in case
  // it grew meanwhile.
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  auto refuse_size = [&](std::uintmax_t bytes) {
    if (bytes <= kLargestWireFile) return;
    throw FileError(in_quotes(path) + ": the file holds " + std::to_string(bytes) +
                    " bytes; a wireframe file may hold at most 100 MB.");
  };
  if (!ec) refuse_size(size);
  const FileText file = FileText::read(path);
  if (!file.ok())
    throw FileError("Cannot open the file " + in_quotes(path) + ": " + file.reason() + ".");
  const std::string_view text = file.text();
  refuse_size(text.size());
  std::size_t lines = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
      ++lines;
  }
  if (!text.empty() && text.back() != '\n' && text.back() != '\r') ++lines;
  if (lines > kMostWireLines) {
    throw FileError(in_quotes(path) + ": the file has " + std::to_string(lines) +
                    " lines; a wireframe file may have at most " + std::to_string(kMostWireLines) +
                    " (one wire a line).");
  }
  return checked_wire_list(parse_checked_matrix(text, path), path);
}

WireCleanup without_repeated_wires(const TextMatrix& wires) {
  WireCleanup out;
  if (wires.cols < kWireColumns) {
    out.wires = wires;
    return out;
  }
  std::unordered_set<std::uint64_t> seen;
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < wires.rows; ++i) {
    auto a = static_cast<std::uint64_t>(wires(i, 1)), b = static_cast<std::uint64_t>(wires(i, 2));
    if (a == b) {
      ++out.self;
      continue;
    }
    if (a > b) std::swap(a, b);
    if (!seen.insert(a << 32 | b).second) {
      ++out.repeated;
      continue;
    }
    kept.push_back(i);
  }
  out.wires.rows = kept.size();
  out.wires.cols = wires.cols;
  out.wires.values.reserve(kept.size() * wires.cols);
  for (std::size_t c = 0; c < wires.cols; ++c)
    for (std::size_t i : kept) out.wires.values.push_back(wires(i, c));
  return out;
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
