#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/tolerances.hpp"
#include "io/text_matrix.hpp"

namespace velmora::io {

/// Reads a landmark data file for LoadData: one specimen per line,
/// x1 y1 z1 … xk yk zk then the centroid size (3k+1 numbers, k ≥ 3).
/// Returns all of it or nothing.
/// @return n×(3k+1) matrix, row i = line i
/// @throws FileError naming the file (and line and column where it
///   applies): a file that cannot be opened, holds no numbers, has lines of
///   different lengths, text that is not a number, NaN or infinite values, a
///   line length other than 3k+1, fewer than three landmarks, a specimen
///   whose coordinates are too small to represent, or one whose landmarks
///   all coincide (judged by its own largest coordinate).
TextMatrix load_landmarks(const std::string& path);

/// load_landmarks on text already in memory; `label` names the file.
TextMatrix parse_landmarks(std::string_view text, std::string_view label);

/// Why a sample of k < 3 landmarks a specimen is refused, as the end of a
/// sentence: "a single landmark; …" or "two landmarks; the shape of two
/// points cannot vary, so comparing shapes needs at least three landmarks
/// per specimen."
std::string too_few_landmarks_text(std::size_t k);

/// True when the largest coordinate magnitude of a specimen, though not 0,
/// lies below the smallest normal double (about 2.2e-308): its coordinates
/// have lost digits, and their differences cannot be measured.
bool too_small_to_represent(double largest);

/// "the coordinates of `what` are too small to represent: …", naming the
/// largest coordinate magnitude and the limit.
std::string too_small_text(std::string_view what, double largest);

}  // namespace velmora::io
