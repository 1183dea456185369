#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/tolerances.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

/// Reads a landmark data file for LoadData: one specimen per line,
/// x1 y1 z1 … xk yk zk then the centroid size (3k+1 numbers, k ≥ 2).
/// Returns all of it or nothing.
/// @return n×(3k+1) matrix, row i = line i
/// @throws FileError naming the file (and line and column where it
///   applies): a file that cannot be opened, holds no numbers, has lines of
///   different lengths, text that is not a number, NaN or infinite values, a
///   line length other than 3k+1, no landmark or a single one, or a
///   specimen whose landmarks all coincide.
TextMatrix load_landmarks(const std::string& path);

/// load_landmarks on text already in memory; `label` names the file.
TextMatrix parse_landmarks(std::string_view text, std::string_view label);

}  // namespace velmora::io
