#pragma once

#include <cstddef>
#include <string>

#include "io/text_matrix.hpp"
#include "platform/value/value.hpp"

/// The data-file readers seen from the run-time.
namespace velmora::io {

/// The rows×cols double array of a read matrix (copies the numbers).
Value to_value(const TextMatrix& m);

/// dload as a value: the file's matrix, or the 1×1 value −1 when the file
/// cannot be opened.
/// @throws RuntimeError naming file, line and column for a malformed file
Value dload_value(const std::string& path);

/// Checks a wireframe value against a configuration of k landmarks before it
/// is drawn, as check_wires does for a matrix.  An empty value passes.
/// @throws DataRefusal when the value is not a matrix of numbers, or with
///   the text of check_wires
void check_wires(const Value& wires, std::size_t k);

}  // namespace velmora::io
