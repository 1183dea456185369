#pragma once

#include <string>
#include <string_view>

#include "io/text_matrix.hpp"

namespace velmora::io {

/// The common part of the loading actions' reads: parses `text` by the line
/// rules of parse_text_matrix with finite values only, and refuses a file
/// that holds no number at all.
/// @throws FileError with the reader's message (file, line, column)
TextMatrix parse_checked_matrix(std::string_view text, std::string_view label);

/// Reads `path` and parses it as parse_checked_matrix does.
/// @throws FileError "Cannot open the file "PATH": REASON." when the file
///   cannot be read, or the message of parse_checked_matrix
TextMatrix read_checked_matrix(const std::string& path);

}  // namespace velmora::io
