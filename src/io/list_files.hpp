#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "io/text_matrix.hpp"

namespace velmora::io {

/// Reads an independent-variable file for LoadXList: one finite value per
/// line, in the order of the landmark file's specimens.
/// @return n×1 matrix
/// @throws FileError naming the file (line, column): unreadable, no
///   numbers, a line with more than one value, text or NaN/infinite values
TextMatrix load_x_list(const std::string& path);
TextMatrix parse_x_list(std::string_view text, std::string_view label);

/// Reads a wireframe file for LoadWireFrame: one wire per line, at least
/// three numbers (wire number, landmark, landmark; further columns are
/// kept).  The landmark numbers must be whole numbers from 1 up; they are
/// checked against a sample by check_wire_file.
/// @return w×c matrix, c ≥ 3
/// @throws FileError naming the file (line, column): unreadable, no
///   numbers, fewer than three numbers a line, text or NaN/infinite values,
///   a landmark number that is not a whole number from 1 up, or
///   a file of more than 100 MB or more than a million lines (refused
///   before it is parsed)
TextMatrix load_wire_list(const std::string& path);
TextMatrix parse_wire_list(std::string_view text, std::string_view label);

/// The largest wireframe file, in bytes and in lines.
inline constexpr std::uintmax_t kLargestWireFile = 100'000'000;
inline constexpr std::size_t kMostWireLines = 1'000'000;

/// A wire list without the wires that join a landmark to itself and
/// without repeats of a wire (either direction), the first of each kept
/// in order: at most k(k-1)/2 wires remain for k landmarks.
struct WireCleanup {
  TextMatrix wires;
  std::size_t self = 0;      ///< wires left out that join a landmark to itself
  std::size_t repeated = 0;  ///< wires left out that repeat an earlier one
};
WireCleanup without_repeated_wires(const TextMatrix& wires);

/// Checks a wireframe file against a loaded sample of k landmarks.
/// @throws FileError naming `label` and the line of the first landmark
///   number above k
void check_wire_file(const TextMatrix& wires, std::size_t k, std::string_view label);

/// Checks a wireframe against a configuration of k landmarks before it is
/// drawn: columns 2 and 3 of every row must be whole numbers from 1 to k.
/// An empty wireframe passes.
/// @param wires w×c, c ≥ 3 (or rows×cols numbers, column-major)
/// @throws FileError naming the first bad wire row (1-based), the value
///   and k, or the column count when it is below three
void check_wires(const TextMatrix& wires, std::size_t k);
void check_wires(std::size_t rows, std::size_t cols, std::span<const double> values, std::size_t k);

}  // namespace velmora::io
